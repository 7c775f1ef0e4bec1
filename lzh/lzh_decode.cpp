#include "lzh/lzh_decode.h"

#include "lzh/memory.h"

namespace lzh {

void AllocCodecTables(CodecState& state) {
  state.Bits.Reset();
  const MemoryManager& mm = CurrentMemoryManager();
  void* blocks[4] = {};
  const std::size_t sizes[4] = {
      WindowSize,
      HuffmanTables::FrequencyEntries * sizeof(std::uint16_t),
      HuffmanTables::ParentEntries * sizeof(std::uint16_t),
      HuffmanTables::ChildEntries * sizeof(std::uint16_t),
  };
  for (int i = 0; i < 4; ++i) {
    blocks[i] = mm.get(sizes[i]);
    if (blocks[i] == nullptr) {
      // Give back what was obtained before raising, so a failed request
      // leaks nothing.
      for (int j = i - 1; j >= 0; --j) mm.release(blocks[j]);
      throw ElzhException(kNoTableMemoryText);
    }
  }
  state.RingBuffer = static_cast<std::uint8_t*>(blocks[0]);
  state.Tables.FrequencyTable = static_cast<std::uint16_t*>(blocks[1]);
  state.Tables.ParentTable = static_cast<std::uint16_t*>(blocks[2]);
  state.Tables.ChildTable = static_cast<std::uint16_t*>(blocks[3]);
}

void FreeCodecTables(CodecState& state) {
  const MemoryManager& mm = CurrentMemoryManager();
  void* blocks[4] = {state.Tables.ChildTable, state.Tables.ParentTable,
                     state.Tables.FrequencyTable, state.RingBuffer};
  state.Tables = HuffmanTables{};
  state.RingBuffer = nullptr;
  bool ok = true;
  for (void* block : blocks) ok = mm.release(block) && ok;
  if (!ok) throw ElzhException(kFreeTableMemoryText);
}

}  // namespace lzh
