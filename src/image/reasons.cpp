#include "image/reasons.h"

#include <cerrno>
#include <cstring>

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

std::string SystemError() {
  return std::strerror(errno);
}
