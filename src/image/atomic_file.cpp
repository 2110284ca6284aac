#include "image/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "image/reasons.h"

bool WriteReplacing(const std::string& path,
                    const std::function<bool(std::FILE* file, std::string& why)>& encode,
                    std::string* reason) {
  const std::filesystem::path target(path);
  const std::filesystem::path directory =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  // Short, so that any name the folder takes for the target it takes here.
  std::string temporary = (directory / ".gyrelle-XXXXXX").string();
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    SetReason(reason, Quoted(path) + " cannot be written: " + SystemError());
    return false;
  }
  // mkstemp makes the file private; give it the mode of the file it
  // replaces, or the usual mode of a new file.
  struct stat existing;
  if (stat(path.c_str(), &existing) == 0) {
    fchmod(fd, existing.st_mode & 07777);
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  std::FILE* file = fdopen(fd, "wb");
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
