#include "files/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

ReplaceResult ReplaceFile(const std::string& path, const std::function<bool(std::FILE*)>& write,
                          bool durable) {
  const std::filesystem::path target(path);
  const std::filesystem::path directory =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  // Short, so that any name the folder takes for the target it takes here.
  std::string temporary = (directory / ".gyrelle-XXXXXX").string();
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return {ReplaceStep::kCreate, errno};
  const auto fail = [&](ReplaceStep step, int error) {
    unlink(temporary.c_str());
    return ReplaceResult{step, error};
  };

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
    const int error = errno;
    close(fd);
    return fail(ReplaceStep::kCreate, error);
  }

  errno = 0;
  bool written = write(file);
  int error = written ? 0 : errno;
  if (written && (std::fflush(file) != 0 || (durable && fsync(fd) != 0))) {
    written = false;
    error = errno;
  }
  if (std::fclose(file) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) return fail(ReplaceStep::kWrite, error);
  if (std::rename(temporary.c_str(), path.c_str()) != 0) return fail(ReplaceStep::kReplace, errno);
  return {};
}
