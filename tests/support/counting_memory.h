// A memory manager for tests: records every request and release, keeps the
// set of live blocks, and fails the request or release a test chooses.
#pragma once

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "lzh/memory.h"

namespace testing_lzh {

struct MemoryLog {
  int fail_get_call = 0;      // that request (counting from 1) returns nullptr
  int fail_release_call = 0;  // that release reports failure (the block is freed)
  std::vector<std::size_t> get_sizes;
  std::vector<std::size_t> release_sizes;  // sizes of the blocks released, in order
  std::vector<std::string> events;         // "get N", "release N"
  std::set<void*> live;
  std::vector<std::pair<void*, std::size_t>> sizes;

  std::size_t SizeOf(void* block) const {
    for (const auto& [b, s] : sizes)
      if (b == block) return s;
    return 0;
  }
};

inline MemoryLog& Memory() {
  static MemoryLog log;
  return log;
}

inline void* CountingGet(std::size_t size) {
  MemoryLog& m = Memory();
  m.get_sizes.push_back(size);
  m.events.push_back("get " + std::to_string(size));
  if (static_cast<int>(m.get_sizes.size()) == m.fail_get_call) return nullptr;
  void* block = std::malloc(size ? size : 1);
  m.live.insert(block);
  m.sizes.emplace_back(block, size);
  return block;
}

inline bool CountingRelease(void* block) {
  MemoryLog& m = Memory();
  const std::size_t size = m.SizeOf(block);
  m.release_sizes.push_back(size);
  m.events.push_back("release " + std::to_string(size));
  m.live.erase(block);
  std::free(block);
  return static_cast<int>(m.release_sizes.size()) != m.fail_release_call;
}

inline constexpr lzh::MemoryManager kCountingMemory{CountingGet, CountingRelease};

// Installs the counting manager with a fresh log; restores the default after.
class ScopedCountingMemory {
 public:
  ScopedCountingMemory() {
    Memory() = MemoryLog{};
    lzh::SetMemoryManager(&kCountingMemory);
  }
  ~ScopedCountingMemory() { lzh::SetMemoryManager(nullptr); }
  ScopedCountingMemory(const ScopedCountingMemory&) = delete;
  ScopedCountingMemory& operator=(const ScopedCountingMemory&) = delete;
  MemoryLog& operator*() { return Memory(); }
  MemoryLog* operator->() { return &Memory(); }
};

}  // namespace testing_lzh
