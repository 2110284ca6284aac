#include "core/whole_io.h"

#include <unistd.h>

#include <cerrno>

bool WriteFully(int fd, const void* data, std::size_t size) {
  const auto* at = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t put = write(fd, at, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    at += put;
    size -= std::size_t(put);
  }
  return true;
}

bool ReadFully(int fd, void* data, std::size_t size) {
  auto* at = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = read(fd, at, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    at += got;
    size -= std::size_t(got);
  }
  return true;
}
