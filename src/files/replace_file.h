#pragma once

#include <cstdio>
#include <functional>
#include <string>

// A file written whole or not at all. The new content goes to a temporary
// file beside the target, created exclusively (O_EXCL) under a short
// unpredictable name and written only through the stream on the descriptor
// that created it, never reopened by name; once complete it is renamed over
// the target. The new file keeps the mode of the file it replaces, or takes
// the usual mode of a new file. A failure leaves the target as it was and
// no temporary file behind.

enum class ReplaceStep { kNone, kCreate, kWrite, kReplace };

struct ReplaceResult {
  ReplaceStep failed = ReplaceStep::kNone;
  int error = 0;  // errno of the failed step; 0 when `write` gave up without one
  explicit operator bool() const { return failed == ReplaceStep::kNone; }
};

// `write` fills the open file and says whether it could. `durable` also
// waits for the data to reach the disk before the rename.
ReplaceResult ReplaceFile(const std::string& path, const std::function<bool(std::FILE*)>& write,
                          bool durable = false);
