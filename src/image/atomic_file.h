#pragma once

#include <string>

// Files that appear only once complete: written to a new temporary file
// beside the target, then renamed over it, so a failed write never destroys
// the file it was replacing.

// A new temporary file beside `path`, made exclusively, with the mode of the
// file it will replace or the usual mode of a new file. Its descriptor is
// open; false with a reason when it cannot be made.
bool MakeTemporaryBeside(const std::string& path, std::string& temporary, int& fd,
                         std::string* reason);

// Renames the finished `temporary` over `path`; removes it and gives a
// reason when that fails.
bool ReplaceWithTemporary(const std::string& temporary, const std::string& path,
                          std::string* reason);

// Writes `text` to `path` that way.
bool WriteFileAtomically(const std::string& path, const std::string& text,
                         std::string* reason = nullptr);
