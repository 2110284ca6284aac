#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "core/progress.h"

// Files that appear only once complete: written to a new temporary file
// beside the target, made exclusively (O_EXCL) under a short unpredictable
// name and written through its own descriptor, never reopened by name, then
// renamed over the target, so a failed write never destroys the file it was
// replacing.

// Why `path` could not be written that way, found before anything is
// written: its folder missing or not a folder, or its name too long for the
// folder; empty when none of these holds. The words follow the path.
std::string FolderOrNameProblem(const std::string& path);

// Writes `path` that way through `encode`, which leaves errno set when it
// fails, or fills `why` when no file call failed. False with a reason.
// A file the user may not write is not replaced, and its replacement never
// takes the set-user-ID or set-group-ID bit.
// `progress`, when given, hears of the bytes written now and then, and last
// just before the file is kept; when it says stop, the file is not kept.
bool WriteReplacing(const std::string& path,
                    const std::function<bool(std::FILE* file, std::string& why)>& encode,
                    std::string* reason = nullptr, const ProgressHook& progress = {});

// Writes `text` to `path` that way.
bool WriteFileAtomically(const std::string& path, const std::string& text,
                         std::string* reason = nullptr);
