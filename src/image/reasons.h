#pragma once

#include <string>

// How the engine words its failures: one line each, paths in double quotes.

// A path as the engine's messages name it: in double quotes.
std::string Quoted(const std::string& path);

// Fills the caller's optional reason.
inline void SetReason(std::string* reason, const std::string& text) {
  if (reason != nullptr) *reason = text;
}

// The system's words for errno.
std::string SystemError();
