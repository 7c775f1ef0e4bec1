// The memory manager that the decompressor obtains its blocks from: the
// decoder's window and tables, the file driver's I/O buffers. Tests replace it
// to make a given request fail.
#pragma once

#include <cstddef>

namespace lzh {

struct MemoryManager {
  // A block of size bytes, or nullptr when the request cannot be met.
  void* (*get)(std::size_t size);
  // Releases a block; false when the release fails.
  bool (*release)(void* block);
};

const MemoryManager& CurrentMemoryManager();
// nullptr restores the default (the C heap).
void SetMemoryManager(const MemoryManager* manager);

}  // namespace lzh
