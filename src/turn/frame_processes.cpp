#include "turn/frame_processes.h"

#include <poll.h>
#include <sys/mman.h>
#include <sys/uio.h>
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

// Each message: this header, then the frame's pixels when it was turned, or
// the reason when it was not.
struct Header {
  std::int32_t frame;
  std::int32_t turned;
  std::uint64_t bytes;
};

// Reads a frame's rows from `fd` straight to their places on `canvas`, many
// rows a call. False at the end of the pipe or on an error.
bool ReadRows(int fd, const FrameCanvas& canvas) {
  const std::size_t rowBytes = std::size_t(canvas.width) * canvas.bytesPerPixel;
  constexpr int kRowsACall = 64;
  int row = 0;
  std::size_t into = 0;  // bytes of `row` already read
  while (row < canvas.height) {
    iovec rows[kRowsACall];
    int count = 0;
    for (int y = row; y < canvas.height && count < kRowsACall; ++y, ++count) {
      const std::size_t skip = y == row ? into : 0;
      rows[count] = {canvas.pixels + std::size_t(y) * canvas.stride + skip, rowBytes - skip};
    }
    const ssize_t got = readv(fd, rows, count);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    std::size_t left = std::size_t(got) + into;
    row += int(left / rowBytes);
    into = left % rowBytes;
  }
  return true;
}

// A worker's life: take frames until none are left, send each. Returns the
// exit status.
int Work(const FrameProcessRun& run, Counters& counters, int fd) try {
  std::vector<std::uint8_t> own;
  for (int k; !counters.stop && (k = counters.next++) < run.frames;) {
    FrameCanvas canvas = run.canvasOf(k);
    const std::size_t rowBytes = std::size_t(canvas.width) * canvas.bytesPerPixel;
    own.resize(rowBytes * std::size_t(canvas.height));
    canvas.pixels = own.data();
    canvas.stride = rowBytes;
    std::string why;
    const bool turned = run.turn(k, canvas, &why);
    const Header header{k, turned ? 1 : 0, turned ? own.size() : why.size()};
    if (!WriteFully(fd, &header, sizeof header) ||
        !WriteFully(fd, turned ? static_cast<const void*>(own.data()) : why.data(), header.bytes)) {
      return 1;
    }
    if (!turned) counters.stop = true;
  }
  return 0;
} catch (...) {
  return 1;
}

struct Worker {
  pid_t pid = -1;
  int fd = -1;
};

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
  std::vector<Worker> workers;
  for (int p = 0; p < std::min(run.processes, run.frames); ++p) {
    int fds[2];
    if (pipe(fds) != 0) break;
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      for (const Worker& other : workers) close(other.fd);
      _exit(Work(run, counters, fds[1]));
    }
    close(fds[1]);
    if (pid < 0) {
      close(fds[0]);
      break;
    }
    workers.push_back({pid, fds[0]});
  }
  if (keepingOut) madvise(kept, end - first, MADV_DOFORK);
  if (workers.empty()) {
    munmap(page, sizeof(Counters));
    failure = "no process could be started to turn the frames";
    return false;
  }

  // Gathers until every pipe has ended.
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
  while (!waiting.empty()) {
    if (poll(waiting.data(), waiting.size(), -1) < 0) {
      if (errno == EINTR) continue;
      fail(-1, "the processes that turn the frames could not be watched");
      break;
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
        FrameCanvas canvas = known ? run.canvasOf(k) : FrameCanvas{};
        const std::size_t rowBytes = std::size_t(canvas.width) * canvas.bytesPerPixel;
        const std::size_t expected = header.turned ? rowBytes * std::size_t(canvas.height) : 0;
        if (!known || header.bytes != (header.turned ? expected : std::min<std::uint64_t>(header.bytes, 4096))) {
          fail(-1, "a process turning frames sent what was not asked for");
          ended = true;
        } else {
          frame.resize(header.turned ? 0 : std::size_t(header.bytes));
          ended = header.turned ? !ReadRows(fd, canvas) : !ReadFully(fd, frame.data(), frame.size());
          if (!ended && header.turned) {
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
  }
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
