#include "lzh/memory.h"

#include <cstdlib>

namespace lzh {

namespace {

void* HeapGet(std::size_t size) { return std::malloc(size ? size : 1); }

bool HeapRelease(void* block) {
  std::free(block);
  return true;
}

constexpr MemoryManager kHeap{HeapGet, HeapRelease};
const MemoryManager* g_manager = &kHeap;

}  // namespace

const MemoryManager& CurrentMemoryManager() { return *g_manager; }

void SetMemoryManager(const MemoryManager* manager) { g_manager = manager ? manager : &kHeap; }

}  // namespace lzh
