// The LZSS layer of the decoder: working memory, the decoding loop.
//
// The history window holds 4096 bytes; before the first symbol its positions
// 0..4035 hold spaces and the first output byte goes to position 4036. A match
// of length L (symbol - 253, 3..60) at position p copies L bytes starting
// p + 1 bytes back, each read after the previous one has been stored.
#pragma once

#include <cstdint>

#include "lzh/bit_input.h"
#include "lzh/block_io.h"
#include "lzh/exceptions.h"
#include "lzh/huffman_model.h"
#include "lzh/position_code.h"

namespace lzh {

inline constexpr int WindowSize = 4096;
inline constexpr int LongestMatch = 60;
inline constexpr int MatchThreshold = 2;
inline constexpr int PrefillSize = WindowSize - LongestMatch;  // 4036
inline constexpr int StartPosition = PrefillSize;
inline constexpr std::uint8_t PrefillByte = 0x20;

// The decoder's state for one decode: bit input, window and model tables.
// The blocks exist from AllocCodecTables to FreeCodecTables.
struct CodecState {
  BitInput Bits;
  std::uint8_t* RingBuffer = nullptr;
  HuffmanTables Tables;
};

// Resets the bit input and obtains the window and the three tables, in that
// order. Raises ElzhException when a block cannot be obtained, after having
// released those already obtained.
void AllocCodecTables(CodecState& state);
// Releases the blocks in reverse order; raises ElzhException when a release
// fails.
void FreeCodecTables(CodecState& state);

// Expands the bit stream that input delivers into exactly length bytes handed
// to output one at a time (none for length <= 0). A final match that would run
// past length is cut there. Raises ELzhEndOfInput as soon as a decoded item
// needed bits beyond the end of the input.
template <BlockIoProc In, BlockIoProc Out>
void LzhDecode(CodecState& state, std::int32_t length, In& input, Out& output) {
  AllocCodecTables(state);
  try {
    InitHuffmanModel(state.Tables);
    std::uint8_t* const ring = state.RingBuffer;
    for (int i = 0; i < PrefillSize; ++i) ring[i] = PrefillByte;
    for (int i = PrefillSize; i < WindowSize; ++i) ring[i] = 0;
    unsigned r = StartPosition;
    std::int32_t count = 0;
    BitInput& bits = state.Bits;

    auto emit = [&](std::uint8_t x) {
      std::uint16_t actual = 0;
      output(&x, 1, actual);
      ring[r] = x;
      r = (r + 1) & (WindowSize - 1);
      ++count;
    };

    while (count < length) {
      const int c = DecodeChar(state.Tables, bits, input);
      if (bits.Overrun) throw ELzhEndOfInput("LZH : unexpected end of input");
      if (c < 256) {
        emit(static_cast<std::uint8_t>(c));
        continue;
      }
      const unsigned p = DecodePosition(bits, input);
      if (bits.Overrun) throw ELzhEndOfInput("LZH : unexpected end of input");
      const unsigned s = (r - p - 1) & (WindowSize - 1);
      const int len = c - 253;
      for (int k = 0; k < len && count < length; ++k)
        emit(ring[(s + static_cast<unsigned>(k)) & (WindowSize - 1)]);
    }
  } catch (...) {
    FreeCodecTables(state);
    throw;
  }
  FreeCodecTables(state);
}

}  // namespace lzh
