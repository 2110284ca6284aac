#include "io/decoder_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <new>
#include <thread>
#include <vector>

#include "core/reasons.h"
#include "core/whole_io.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr char kMagic[8] = {'G', 'Y', 'R', 'D', 'E', 'C', '1', '\0'};
// A reason is one line; anything longer is not the decoder speaking.
constexpr std::uint32_t kMaxReasonBytes = 4096;

struct ResultHeader {
  char magic[8];
  std::uint32_t failed;        // 1: reasonBytes of reason follow, nothing else
  std::uint32_t reasonBytes;   //
  std::int32_t width;          // otherwise the palette (depth 1), then
  std::int32_t height;         // width x height x bytesPerPixel bytes of
  std::int32_t bytesPerPixel;  // pixels, bottom row first
  std::uint32_t hasPalette;
};

std::string testProgram;
milliseconds timeLimit = kDecodeTimeLimit;

// Installed, the helper lives in its own folder under libexec, reached from
// the program's bin folder by GYRELLE_DECODER_DIR_FROM_BIN; in a build tree
// it sits beside the program.
std::string DecoderProgram() {
  if (!testProgram.empty()) return testProgram;
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return kDecoderProgramName;
  const auto installed =
      (self.parent_path() / GYRELLE_DECODER_DIR_FROM_BIN / kDecoderProgramName).lexically_normal();
  if (std::filesystem::is_regular_file(installed, error)) return installed.string();
  return (self.parent_path() / kDecoderProgramName).string();
}

// "10 seconds", "0.25 seconds".
std::string Describe(milliseconds limit) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", double(limit.count()) / 1000.0);
  return std::string(text) + (limit == std::chrono::seconds(1) ? " second" : " seconds");
}

class Deadline {
 public:
  explicit Deadline(milliseconds limit) : end_(Clock::now() + limit) {}
  int RemainingMs() const {
    const auto left = std::chrono::ceil<milliseconds>(end_ - Clock::now()).count();
    return int(std::clamp<std::int64_t>(left, 0, INT32_MAX));
  }

 private:
  Clock::time_point end_;
};

enum class ReadResult { kDone, kEnded, kTimedOut };

// Reads exactly `size` bytes before the deadline.
ReadResult ReadFully(int fd, void* data, std::size_t size, const Deadline& deadline) {
  auto* at = static_cast<char*>(data);
  while (size > 0) {
    pollfd ready{fd, POLLIN, 0};
    const int polled = poll(&ready, 1, deadline.RemainingMs());
    if (polled < 0 && errno == EINTR) continue;
    if (polled < 0) return ReadResult::kEnded;
    if (polled == 0) return ReadResult::kTimedOut;
    const ssize_t got = read(fd, at, size);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return ReadResult::kEnded;
    at += got;
    size -= std::size_t(got);
  }
  return ReadResult::kDone;
}

// The helper process, stopped and reaped whatever happens to the caller's
// read.
class Helper {
 public:
  Helper() = default;
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;
  ~Helper() {
    if (pid_ > 0) Kill();
    if (fd_ >= 0) close(fd_);
    if (picture_ >= 0) close(picture_);
  }

  // Starts `program` with the picture on `pictureFd` as its standard input
  // and the answer pipe as kDecodeResultFd; 0 or an errno.
  int Start(const std::string& program, int pictureFd, std::vector<std::string> args) {
    // Kept clear of the descriptors the helper is given, which the dup2s
    // below would otherwise overwrite before it is handed on.
    if (pictureFd >= 0 && pictureFd <= kDecodeResultFd) {
      pictureFd = picture_ = fcntl(pictureFd, F_DUPFD_CLOEXEC, kDecodeResultFd + 1);
      if (pictureFd < 0) return errno;
    }
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return errno;
    fd_ = ends[0];
    int writeEnd = ends[1];
    if (writeEnd == kDecodeResultFd) {
      // dup2 onto itself would keep close-on-exec set.
      writeEnd = fcntl(ends[1], F_DUPFD_CLOEXEC, kDecodeResultFd + 1);
      close(ends[1]);
      if (writeEnd < 0) return errno;
    }
    // A roomier pipe moves a picture in fewer rounds; the default works too.
    fcntl(fd_, F_SETPIPE_SZ, 1 << 20);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd, kDecodeResultFd);
    // The library and the codecs it uses talk on the standard streams; only
    // the answer pipe counts.
    if (pictureFd >= 0) {
      posix_spawn_file_actions_adddup2(&actions, pictureFd, 0);
    } else {
      posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, kDecodeResultFd + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int error =
        posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(writeEnd);
    if (error != 0) pid_ = 0;
    return error;
  }

  int Fd() const { return fd_; }

  // The helper's wait status once it has ended, waiting until the deadline;
  // stopped and -1 when it has not ended by then. 0 when the status is lost
  // (the caller lets the system reap its children).
  int Finish(const Deadline& deadline) {
    for (milliseconds pause(1);; pause = std::min(pause * 2, milliseconds(20))) {
      int status = 0;
      const pid_t ended = waitpid(pid_, &status, WNOHANG);
      if (ended == pid_ || (ended < 0 && errno == ECHILD)) {
        pid_ = 0;
        return ended > 0 ? status : 0;
      }
      const int left = deadline.RemainingMs();
      if (left == 0) {
        Kill();
        return -1;
      }
      std::this_thread::sleep_for(std::min(pause, milliseconds(left)));
    }
  }

  void Kill() {
    kill(pid_, SIGKILL);
    int status;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = 0;
  }

 private:
  pid_t pid_ = 0;
  int fd_ = -1;
  int picture_ = -1;  // a copy of the picture's descriptor, when one was made
};

std::string TooLong(const std::string& path) {
  return Quoted(path) + " took too long to read (more than " + Describe(timeLimit) +
         "); the file may be damaged";
}

// Why a helper that gave no complete answer gave none.
std::string Stopped(const std::string& path, int status) {
  const std::string start = Quoted(path) + " could not be read: ";
  if (status == -1) return TooLong(path);
  if (WIFSIGNALED(status)) {
    return start + "the decoder crashed (" + strsignal(WTERMSIG(status)) +
           "); the file may be damaged";
  }
  // The shell's convention, kept by posix_spawn where it cannot report a
  // failed exec itself (as under valgrind).
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
    return start + "the decoder " + Quoted(DecoderProgram()) + " could not be started";
  }
  return start + "the decoder stopped without an answer";
}

// Reads the helper's answer for `path`; with `last`, waits for the helper
// to end once it is read.
// `answered` tells whether the helper gave a whole answer, a picture or a
// reason, and can go on to the next.
std::unique_ptr<Image> ReadAnswer(Helper& helper, const std::string& path, int bytesPerPixel,
                                  const Deadline& deadline, bool last, std::string* reason,
                                  bool* answered = nullptr) {
  bool whole = false;
  const auto fail = [&](const std::string& text) -> std::unique_ptr<Image> {
    if (reason != nullptr) *reason = text;
    if (answered != nullptr) *answered = whole;
    return nullptr;
  };
  if (answered != nullptr) *answered = true;
  // Whatever goes wrong on the way, the helper's end says the most.
  const auto broken = [&](ReadResult result) {
    if (result == ReadResult::kTimedOut) return fail(TooLong(path));
    return fail(Stopped(path, helper.Finish(deadline)));
  };
  ResultHeader header;
  if (const auto r = ReadFully(helper.Fd(), &header, sizeof header, deadline);
      r != ReadResult::kDone) {
    return broken(r);
  }
  const std::string garbled = Quoted(path) + " could not be read: the decoder's answer was garbled";
  if (std::memcmp(header.magic, kMagic, sizeof kMagic) != 0) return fail(garbled);

  if (header.failed != 0) {
    if (header.reasonBytes == 0 || header.reasonBytes > kMaxReasonBytes) return fail(garbled);
    std::string text(header.reasonBytes, '\0');
    if (const auto r = ReadFully(helper.Fd(), text.data(), text.size(), deadline);
        r != ReadResult::kDone) {
      return broken(r);
    }
    whole = true;
    return fail(text);
  }

  const std::uint64_t pixels =
      std::uint64_t(std::max(header.width, 0)) * std::uint64_t(std::max(header.height, 0));
  if (header.bytesPerPixel != bytesPerPixel || header.width <= 0 || header.height <= 0 ||
      pixels > kMaxPicturePixels || header.hasPalette != (bytesPerPixel == 1 ? 1u : 0u)) {
    return fail(garbled);
  }
  try {
    Palette palette;
    if (header.hasPalette != 0) {
      std::uint8_t entries[Palette::kBytes];
      if (const auto r = ReadFully(helper.Fd(), entries, sizeof entries, deadline);
          r != ReadResult::kDone) {
        return broken(r);
      }
      palette.Set(entries);
    }
    auto image = std::make_unique<Image>();
    image->Allocate(path, header.width, header.height, bytesPerPixel);
    if (const auto r = ReadFully(helper.Fd(), image->Pixels(), image->ByteSize(), deadline);
        r != ReadResult::kDone) {
      return broken(r);
    }
    if (header.hasPalette != 0) image->SetPalette(palette);
    if (!last) return image;
    // The answer is complete; a helper that then lingers is stopped, and
    // the picture stands. Its end closes the pipe, so wait for that first.
    pollfd closed{helper.Fd(), POLLIN, 0};
    while (poll(&closed, 1, deadline.RemainingMs()) < 0 && errno == EINTR) {
    }
    helper.Finish(deadline);
    return image;
  } catch (const std::bad_alloc&) {
    return fail(Quoted(path) + " is too large to hold in memory");
  }
}

}  // namespace

std::unique_ptr<Image> DecodeInHelper(int fd, const std::string& path, int bytesPerPixel,
                                      std::string* reason) {
  const Deadline deadline(timeLimit);
  Helper helper;
  const std::string program = DecoderProgram();
  if (const int error = helper.Start(program, fd, {std::to_string(bytesPerPixel), path});
      error != 0) {
    SetReason(reason, Quoted(path) + " could not be read: the decoder " + Quoted(program) +
                          " could not be started: " + std::strerror(error));
    return nullptr;
  }
  return ReadAnswer(helper, path, bytesPerPixel, deadline, true, reason);
}

std::vector<std::unique_ptr<Image>> DecodeFilesInHelper(const std::vector<std::string>& paths,
                                                        int bytesPerPixel,
                                                        std::vector<std::string>& reasons) {
  std::vector<std::unique_ptr<Image>> pictures(paths.size());
  reasons.assign(paths.size(), {});
  if (paths.empty()) return pictures;
  Helper helper;
  const std::string program = DecoderProgram();
  std::vector<std::string> args = {kDecodeFilesOption, std::to_string(bytesPerPixel)};
  args.insert(args.end(), paths.begin(), paths.end());
  if (const int error = helper.Start(program, -1, args); error != 0) {
    for (std::size_t i = 0; i < paths.size(); ++i) {
      reasons[i] = Quoted(paths[i]) + " could not be read: the decoder " + Quoted(program) +
                   " could not be started: " + std::strerror(error);
    }
    return pictures;
  }
  for (std::size_t i = 0; i < paths.size(); ++i) {
    // Each picture has the whole time limit.
    const Deadline deadline(timeLimit);
    bool answered = true;
    pictures[i] = ReadAnswer(helper, paths[i], bytesPerPixel, deadline, i + 1 == paths.size(),
                             &reasons[i], &answered);
    // A decoder that crashed or hung on this picture answers for no other
    // (and is stopped as the helper goes).
    if (!answered) {
      for (std::size_t j = i + 1; j < paths.size(); ++j) {
        reasons[j] = Quoted(paths[j]) + " was not read: the decoder stopped at " + Quoted(paths[i]);
      }
      break;
    }
  }
  return pictures;
}

bool SendDecodeResult(int fd, const DecodedPicture* picture, const std::string& reason) {
  ResultHeader header{};
  std::memcpy(header.magic, kMagic, sizeof kMagic);
  if (picture == nullptr) {
    const std::string text = reason.empty() ? "the picture could not be read" : reason;
    header.failed = 1;
    header.reasonBytes = std::uint32_t(std::min<std::size_t>(text.size(), kMaxReasonBytes));
    return WriteFully(fd, &header, sizeof header) &&
           WriteFully(fd, text.data(), header.reasonBytes);
  }
  header.width = picture->width;
  header.height = picture->height;
  header.bytesPerPixel = picture->bytesPerPixel;
  header.hasPalette = picture->palette != nullptr;
  return WriteFully(fd, &header, sizeof header) &&
         (picture->palette == nullptr ||
          WriteFully(fd, picture->palette->Entries(), Palette::kBytes)) &&
         WriteFully(fd, picture->pixels,
                    std::size_t(picture->width) * std::size_t(picture->height) *
                        std::size_t(picture->bytesPerPixel));
}

void SetDecoderForTesting(const std::string& program, std::chrono::milliseconds limit) {
  testProgram = program;
  timeLimit = limit;
}
