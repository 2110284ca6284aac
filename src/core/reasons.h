#pragma once

#include <string>

// How the engine words its failures: one line each, paths in double quotes.

// A path as every message names it: in double quotes, its control
// characters escaped (a newline as \n, ESC as \x1b), so the message stays
// one line that does nothing to the terminal.
std::string Quoted(const std::string& path);

// Fills the caller's optional reason.
inline void SetReason(std::string* reason, const std::string& text) {
  if (reason != nullptr) *reason = text;
}

// The system's words for errno.
std::string SystemError();
