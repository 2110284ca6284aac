#pragma once

#include <cstddef>

// Whole reads and writes on a descriptor: short transfers and interruptions
// taken in stride.

// False when a write failed (errno set).
bool WriteFully(int fd, const void* data, std::size_t size);

// False at the end of the file or on an error before `size` bytes.
bool ReadFully(int fd, void* data, std::size_t size);
