#include "turn/frame_processes.h"

#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "core/whole_io.h"

namespace {

// What the workers share: the next frame to take, and whether to stop.
// Lock-free atomics work across processes.
struct Counters {
  std::atomic<int> next{0};
  std::atomic<bool> stop{false};
};

// Each message: this header, then the reason when the frame was not
// turned. A turned frame lies in the worker's next slot of shared memory.
struct Header {
  std::int32_t frame;
  std::int32_t turned;
  std::uint64_t bytes;
};

// Slots per worker: enough that a worker seldom waits for this process to
// take a frame (it takes all there are between its own), few enough that
// large frames take little memory and shared pages, slow to come by, are
// few.
constexpr int kMostSlots = 4;
constexpr std::size_t kSlotBudget = std::size_t(32) << 20;

// A worker's slots in the shared memory: frames go to them in turn, and a
// slot is used again once this process has given it back with a byte.
struct Slots {
  std::uint8_t* first = nullptr;
  std::size_t bytes = 0;  // each
  int count = 0;
  std::uint8_t* At(long long n) const { return first + std::size_t(n % count) * bytes; }
};

// A worker's life: take frames until none are left, turn each into the next
// slot and tell of it. Returns the exit status.
int Work(const FrameProcessRun& run, Counters& counters, int fd, const Slots& slots) try {
  long long sent = 0;
  for (;;) {
    // A free slot first: a frame taken while waiting for one would hold the
    // others up at the end.
    std::uint8_t given = 0;
    if (sent >= slots.count && !ReadFully(fd, &given, 1)) return 1;
    const int k = counters.next++;
    if (counters.stop || k >= run.frames) break;
    FrameCanvas canvas = run.canvasOf(k);
    const std::size_t rowBytes = std::size_t(canvas.width) * canvas.bytesPerPixel;
    if (rowBytes * std::size_t(canvas.height) > slots.bytes) return 1;
    canvas.pixels = slots.At(sent);
    canvas.stride = rowBytes;
    std::string why;
    const bool turned = run.turn(k, canvas, &why);
    const Header header{k, turned ? 1 : 0, turned ? 0 : why.size()};
    if (!WriteFully(fd, &header, sizeof header) ||
        (!turned && !WriteFully(fd, why.data(), header.bytes))) {
      return 1;
    }
    if (turned) ++sent;
    if (!turned) counters.stop = true;
  }
  return 0;
} catch (...) {
  return 1;
}

struct Worker {
  pid_t pid = -1;
  int fd = -1;
  Slots slots;
  long long taken = 0;  // turned frames taken from its slots
};

// Copies a turned frame from its slot to its place on `canvas`.
void Place(const std::uint8_t* slot, const FrameCanvas& canvas) {
  const std::size_t rowBytes = std::size_t(canvas.width) * canvas.bytesPerPixel;
  for (int y = 0; y < canvas.height; ++y) {
    std::memcpy(canvas.pixels + std::size_t(y) * canvas.stride, slot + std::size_t(y) * rowBytes,
                rowBytes);
  }
}

}  // namespace

bool TurnInProcesses(const FrameProcessRun& run, int& failedFrame, std::string& failure,
                     bool& cancelled) {
  failedFrame = -1;
  failure.clear();
  cancelled = false;
  void* page = mmap(nullptr, sizeof(Counters), PROT_READ | PROT_WRITE,
                    MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (page == MAP_FAILED) {
    failure = "no memory to share with the processes that turn the frames";
    return false;
  }
  Counters& counters = *new (page) Counters;
  const std::uintptr_t pageBytes = std::uintptr_t(sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(run.keepOut);
  const std::uintptr_t first = (start + pageBytes - 1) / pageBytes * pageBytes;
  const std::uintptr_t end = (start + run.keepOutBytes) / pageBytes * pageBytes;
  void* const kept = reinterpret_cast<void*>(first);
  const bool keepingOut = run.keepOut != nullptr && end > first &&
                          madvise(kept, end - first, MADV_DONTFORK) == 0;
  // Every worker's slots, shared before the workers are forked.
  std::size_t frameBytes = 0;
  for (int k = 0; k < run.frames; ++k) {
    const FrameCanvas canvas = run.canvasOf(k);
    frameBytes = std::max(frameBytes, std::size_t(canvas.width) * canvas.bytesPerPixel *
                                          std::size_t(std::max(canvas.height, 0)));
  }
  // This process turns frames too: workers for the rest.
  const int most = std::max(0, std::min(run.processes, run.frames) - 1);
  Slots slots;
  slots.bytes = std::max<std::size_t>(frameBytes, 1);
  slots.count = int(std::clamp<std::size_t>(kSlotBudget / slots.bytes, 2, kMostSlots));
  const std::size_t shareBytes = std::size_t(most) * std::size_t(slots.count) * slots.bytes;
  void* const shared = most == 0 ? nullptr
                                 : mmap(nullptr, shareBytes, PROT_READ | PROT_WRITE,
                                        MAP_SHARED | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (shared == MAP_FAILED) {
    if (keepingOut) madvise(kept, end - first, MADV_DOFORK);
    munmap(page, sizeof(Counters));
    failure = "no memory to share with the processes that turn the frames";
    return false;
  }
  std::vector<Worker> workers;
  for (int p = 0; p < most; ++p) {
    // A socket rather than a pipe: this process writes back to it, and a
    // worker that has died must not end this one with SIGPIPE.
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) break;
    Slots own = slots;
    own.first = static_cast<std::uint8_t*>(shared) + std::size_t(p) * slots.count * slots.bytes;
    // No library image is alive between frames, as its blocks must not be
    // when a worker is forked (devil/library_blocks.h).
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      for (const Worker& other : workers) close(other.fd);
      // A fork leaves shared pages unmapped; one call maps them all.
      madvise(own.first, std::size_t(own.count) * own.bytes, MADV_POPULATE_WRITE);
      _exit(Work(run, counters, fds[1], own));
    }
    close(fds[1]);
    if (pid < 0) {
      close(fds[0]);
      break;
    }
    workers.push_back({pid, fds[0], own, 0});
  }
  if (keepingOut) madvise(kept, end - first, MADV_DOFORK);

  // Turns frames here while there are any, taking what the workers made
  // between them; then gathers until every socket has ended. No worker
  // started is no failure: this process turns every frame then.
  std::vector<char> received(std::size_t(run.frames), 0);
  int done = 0;
  std::vector<std::uint8_t> frame;
  std::vector<pollfd> waiting;
  for (const Worker& worker : workers) waiting.push_back({worker.fd, POLLIN, 0});
  const auto fail = [&](int k, const std::string& why) {
    if (failure.empty() || (k >= 0 && (failedFrame < 0 || k < failedFrame))) {
      failedFrame = k, failure = why;
    }
    counters.stop = true;
  };
  // Takes what the workers have sent, waiting up to `timeout` ms for it.
  // False when they can no longer be watched; `took` tells whether anything
  // came.
  const auto gather = [&](int timeout, bool* took = nullptr) {
    const int ready = poll(waiting.data(), waiting.size(), timeout);
    if (took != nullptr) *took = ready > 0;
    if (ready < 0) {
      if (errno == EINTR) return true;
      fail(-1, "the processes that turn the frames could not be watched");
      return false;
    }
    for (std::size_t i = 0; i < waiting.size();) {
      if (waiting[i].revents == 0) {
        ++i;
        continue;
      }
      Header header{};
      const int fd = waiting[i].fd;
      bool ended = !ReadFully(fd, &header, sizeof header);
      if (!ended) {
        const int k = header.frame;
        const bool known = k >= 0 && k < run.frames && received[std::size_t(k)] == 0;
        if (!known || header.bytes != (header.turned ? 0 : std::min<std::uint64_t>(header.bytes, 4096))) {
          fail(-1, "a process turning frames sent what was not asked for");
          ended = true;
        } else {
          frame.resize(header.turned ? 0 : std::size_t(header.bytes));
          ended = !header.turned && !ReadFully(fd, frame.data(), frame.size());
          if (!ended && header.turned) {
            Worker& worker = *std::find_if(workers.begin(), workers.end(),
                                           [&](const Worker& w) { return w.fd == fd; });
            Place(worker.slots.At(worker.taken++), run.canvasOf(k));
            const std::uint8_t slot = 0;
            send(fd, &slot, 1, MSG_NOSIGNAL);  // a worker gone is told of as it ends
            received[std::size_t(k)] = 1;
            if (run.tell && !counters.stop && !run.tell(++done)) {
              cancelled = true;
              counters.stop = true;
            }
          } else if (!ended) {
            fail(k, std::string(frame.begin(), frame.end()));
          }
        }
      }
      if (ended) {
        close(fd);
        waiting.erase(waiting.begin() + std::ptrdiff_t(i));
      } else {
        ++i;
      }
    }
    return true;
  };
  bool watching = true;
  for (int k; watching && !counters.stop && (k = counters.next++) < run.frames;) {
    std::string why;
    bool turned = false;
    try {
      turned = run.turn(k, run.canvasOf(k), &why);
    } catch (const std::bad_alloc&) {
      why = "not enough memory to turn the frame";
    } catch (...) {
      why = "the frame could not be turned";
    }
    if (!turned) {
      fail(k, why);
    } else {
      received[std::size_t(k)] = 1;
      if (run.tell && !counters.stop && !run.tell(++done)) {
        cancelled = true;
        counters.stop = true;
      }
    }
    // Everything the workers have made is taken, so that none waits on a
    // slot while this process turns its next frame.
    for (bool took = true; watching && took && !waiting.empty();) watching = gather(0, &took);
  }
  while (watching && !waiting.empty()) watching = gather(-1);
  for (pollfd& left : waiting) close(left.fd);
  for (const Worker& worker : workers) {
    int status = 0;
    while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) {
      fail(-1, "a process turning frames was ended by signal " + std::to_string(WTERMSIG(status)));
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      fail(-1, "a process turning frames failed");
    }
  }
  if (shared != nullptr) munmap(shared, shareBytes);
  munmap(page, sizeof(Counters));
  if (!failure.empty()) return false;
  if (cancelled) {
    failure = "the sheet was cancelled";
    return false;
  }
  if (std::count(received.begin(), received.end(), 1) != run.frames) {
    failure = "not every frame was turned";
    return false;
  }
  return true;
}
