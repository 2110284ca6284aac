#include "image/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "image/reasons.h"

bool MakeTemporaryBeside(const std::string& path, std::string& temporary, int& fd,
                         std::string* reason) {
  const std::filesystem::path target(path);
  const std::filesystem::path directory =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  temporary = (directory / ("." + target.filename().string() + ".XXXXXX")).string();
  fd = mkstemp(temporary.data());
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
  return true;
}

bool ReplaceWithTemporary(const std::string& temporary, const std::string& path,
                          std::string* reason) {
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    SetReason(reason, Quoted(path) + " cannot be replaced: " + SystemError());
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* reason) {
  std::string temporary;
  int fd;
  if (!MakeTemporaryBeside(path, temporary, fd, reason)) return false;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    done += std::size_t(written);
  }
  const bool complete = done == text.size();
  const std::string error = complete ? std::string() : SystemError();
  if (close(fd) != 0 || !complete) {
    SetReason(reason,
              Quoted(path) + " could not be written: " + (complete ? SystemError() : error));
    unlink(temporary.c_str());
    return false;
  }
  return ReplaceWithTemporary(temporary, path, reason);
}
