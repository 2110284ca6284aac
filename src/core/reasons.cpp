#include "core/reasons.h"

#include <cerrno>
#include <cstring>

std::string Quoted(const std::string& path) {
  constexpr char kHex[] = "0123456789abcdef";
  std::string quoted = "\"";
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    const auto next = i + 1 < path.size() ? static_cast<unsigned char>(path[i + 1]) : 0;
    // A control character would break the message's one line or drive the
    // terminal, UTF-8's C1 controls (such as the CSI U+009B) included; each
    // is shown as an escape, and a backslash doubled to keep them apart.
    if (c == '\\') {
      quoted += "\\\\";
    } else if (c == '\n') {
      quoted += "\\n";
    } else if (c == '\t') {
      quoted += "\\t";
    } else if (c == '\r') {
      quoted += "\\r";
    } else if (c < 0x20 || c == 0x7f) {
      quoted += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    } else if (c == 0xc2 && next >= 0x80 && next <= 0x9f) {
      quoted += {'\\', 'u', '0', '0', kHex[next >> 4], kHex[next & 15]};
      ++i;
    } else {
      quoted += char(c);
    }
  }
  return quoted + "\"";
}

std::string SystemError() {
  return std::strerror(errno);
}
