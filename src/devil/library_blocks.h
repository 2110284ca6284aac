#pragma once

#include <cstddef>

// The library's memory. It takes and gives back blocks of 64 KiB to 4 MiB
// for every frame it turns; those come from a few chunks of huge pages kept
// for reuse and wiped in a forked child. A worker process and this one then
// share none of those pages, so neither pays a page fault for every page it
// writes first, and a new chunk costs a fault or two. Larger blocks are
// taken as ours are (AllocatePixelMemory), smaller ones from malloc. Fork
// only while the library holds no image of 64 KiB or more: in the child its
// pixels would read as zeros.
void* TakeLibraryBlock(std::size_t size) noexcept;
void GiveLibraryBlock(void* block) noexcept;
