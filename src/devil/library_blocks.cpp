#include "devil/library_blocks.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "core/image.h"

namespace {

constexpr std::size_t kSmallest = std::size_t(64) << 10;
constexpr std::size_t kLargest = std::size_t(4) << 20;
constexpr std::size_t kChunkBytes = std::size_t(8) << 20;  // a few huge pages
constexpr std::size_t kMostBytes = std::size_t(64) << 20;  // beyond it, malloc

struct Chunk {
  std::uint8_t* start;
  std::size_t used;
};

// Blocks are never merged: the library asks for the same few sizes frame
// after frame, so a freed block is soon taken again whole.
struct Blocks {
  std::mutex mutex;
  std::vector<Chunk> chunks;
  std::map<std::size_t, std::vector<void*>> freed;  // by size
  std::unordered_map<void*, std::size_t> sizes;     // every block handed out
};

Blocks& TheBlocks() {
  static Blocks* blocks = new Blocks;  // never destroyed: the library may free at exit
  return *blocks;
}

}  // namespace

void* TakeLibraryBlock(std::size_t size) noexcept try {
  if (size < kSmallest || size >= kLargest) return AllocatePixelMemory(size);
  const std::size_t rounded = (size + kSmallest - 1) / kSmallest * kSmallest;
  Blocks& blocks = TheBlocks();
  const std::lock_guard<std::mutex> lock(blocks.mutex);
  std::vector<void*>& freed = blocks.freed[rounded];
  if (!freed.empty()) {
    void* block = freed.back();
    freed.pop_back();
    return block;
  }
  if (blocks.chunks.empty() || kChunkBytes - blocks.chunks.back().used < rounded) {
    if ((blocks.chunks.size() + 1) * kChunkBytes > kMostBytes) return std::malloc(size);
    void* chunk = AllocatePixelMemory(kChunkBytes);
    if (chunk == nullptr) return nullptr;
    madvise(chunk, kChunkBytes, MADV_WIPEONFORK);
    blocks.chunks.push_back({static_cast<std::uint8_t*>(chunk), 0});
  }
  Chunk& chunk = blocks.chunks.back();
  void* block = chunk.start + chunk.used;
  blocks.sizes.emplace(block, rounded);
  chunk.used += rounded;
  return block;
} catch (...) {
  return nullptr;  // the library reports it as out of memory
}

void GiveLibraryBlock(void* block) noexcept {
  if (block == nullptr) return;
  Blocks& blocks = TheBlocks();
  {
    const std::lock_guard<std::mutex> lock(blocks.mutex);
    const auto found = blocks.sizes.find(block);
    if (found != blocks.sizes.end()) {
      try {
        blocks.freed[found->second].push_back(block);
      } catch (...) {
        // Not kept for reuse; it stays with its chunk.
      }
      return;
    }
  }
  std::free(block);
}
