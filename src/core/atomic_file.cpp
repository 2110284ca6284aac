#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/reasons.h"

namespace {

// A stream over a descriptor that counts the bytes put through it and tells
// `progress` every kReportBytes; once told to stop it takes no more.
constexpr long long kReportBytes = 1 << 16;

struct CountingFile {
  int fd;
  const ProgressHook& progress;
  long long written = 0;
  long long nextReport = kReportBytes;
  bool stopped = false;
};

ssize_t CountingWrite(void* cookie, const char* data, std::size_t size) {
  auto& file = *static_cast<CountingFile*>(cookie);
  if (file.stopped) {
    errno = ECANCELED;
    return -1;
  }
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = write(file.fd, data + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return done > 0 ? ssize_t(done) : -1;
    done += std::size_t(put);
  }
  file.written += (long long)size;
  if (file.written >= file.nextReport) {
    file.nextReport = file.written + kReportBytes;
    file.stopped = !file.progress(file.written, 0);
  }
  return ssize_t(size);
}

int CountingSeek(void* cookie, off64_t* offset, int whence) {
  const off64_t at = lseek64(static_cast<CountingFile*>(cookie)->fd, *offset, whence);
  if (at < 0) return -1;
  *offset = at;
  return 0;
}

int CountingClose(void* cookie) {
  return close(static_cast<CountingFile*>(cookie)->fd);
}

std::filesystem::path FolderOf(const std::filesystem::path& target) {
  return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

}  // namespace

std::string FolderOrNameProblem(const std::string& path) {
  const std::filesystem::path target(path);
  const std::filesystem::path folder = FolderOf(target);
  struct stat status;
  if (stat(folder.c_str(), &status) != 0) return SystemError();
  if (!S_ISDIR(status.st_mode)) return std::strerror(ENOTDIR);
  if (access(folder.c_str(), W_OK | X_OK) != 0) return SystemError();
  const long nameMax = pathconf(folder.c_str(), _PC_NAME_MAX);
  if (nameMax > 0 && target.filename().native().size() > std::size_t(nameMax)) {
    return std::strerror(ENAMETOOLONG);
  }
  return {};
}

bool WriteReplacing(const std::string& path,
                    const std::function<bool(std::FILE* file, std::string& why)>& encode,
                    std::string* reason, const ProgressHook& progress) {
  const std::filesystem::path target(path);
  const std::filesystem::path directory = FolderOf(target);
  // As cp does: a file made read-only is kept as it is.
  struct stat existing;
  const bool exists = stat(path.c_str(), &existing) == 0;
  if (exists && !S_ISDIR(existing.st_mode) && access(path.c_str(), W_OK) != 0) {
    SetReason(reason, Quoted(path) + " cannot be replaced: " + SystemError());
    return false;
  }
  // Short, so that any name the folder takes for the target it takes here.
  std::string temporary = (directory / ".gyrelle-XXXXXX").string();
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    SetReason(reason, Quoted(path) + " cannot be written: " + SystemError());
    return false;
  }
  // mkstemp makes the file private; give it the mode of the file it
  // replaces, but for the bits that would run a new program as another
  // user, or the usual mode of a new file.
  if (exists) {
    fchmod(fd, existing.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID));
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  CountingFile counting{fd, progress};
  std::FILE* file =
      progress ? fopencookie(&counting, "wb", {nullptr, CountingWrite, CountingSeek, CountingClose})
               : fdopen(fd, "wb");
  if (file == nullptr) {
    SetReason(reason, Quoted(path) + " cannot be written: " + SystemError());
    close(fd);
    unlink(temporary.c_str());
    return false;
  }
  errno = 0;
  std::string why = "the write failed";
  bool written = encode(file, why);
  int error = written ? 0 : errno;
  if (std::fclose(file) != 0 && written) {
    written = false;
    error = errno;
  }
  // Told to stop, during the write or at this last word: not kept.
  if (written && progress && (counting.stopped || !progress(counting.written, 0))) {
    written = false;
    error = ECANCELED;
  }
  if (!written) {
    SetReason(reason,
              Quoted(path) + " could not be written: " + (error != 0 ? std::strerror(error) : why));
    unlink(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    SetReason(reason, Quoted(path) + " cannot be replaced: " + SystemError());
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* reason) {
  return WriteReplacing(
      path,
      [&](std::FILE* file, std::string&) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size();
      },
      reason);
}
