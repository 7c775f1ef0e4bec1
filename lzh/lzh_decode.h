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

// The decoding loop, shared by every pair of byte procedures.
//
// Bits is the source of codes: WalkTree(child) walks the tree from the root to
// a leaf, one bit per level, and returns the leaf's ChildTable entry (627 +
// symbol); Position() reads a match position; Overrun() tells whether an item
// took bits beyond the end of the input. Sink takes the output: Literal(x) one
// byte, Match(distance, n) n bytes copied from distance bytes back (1 to
// 4096), each read after the one before it has been written. Sink keeps the
// history window, whose bytes before the first output are those of RingBuffer
// as this loop fills it.
//
// Both are copied into locals for the loop, so that their state can stay in
// registers (a byte store could alias anything reached through a reference),
// and copied back when the decode ends normally.
template <class Bits, class Sink>
void DecodeItems(CodecState& state, std::int32_t length, Bits& bits_io, Sink& sink_io) {
  HuffmanTables& tables = state.Tables;
  std::uint16_t* const freq = tables.FrequencyTable;
  std::uint16_t* const parent = tables.ParentTable;
  std::uint16_t* const child = tables.ChildTable;
  std::uint8_t* const ring = state.RingBuffer;
  for (int i = 0; i < PrefillSize; ++i) ring[i] = PrefillByte;
  for (int i = PrefillSize; i < WindowSize; ++i) ring[i] = 0;
  Bits bits = bits_io;
  Sink sink = sink_io;

  std::int32_t count = 0;
  while (count < length) {
    const unsigned c = bits.WalkTree(child) - static_cast<unsigned>(NodeCount);
    CountSymbol(tables, freq, parent, child, c);
    if (bits.Overrun()) [[unlikely]]
      throw ELzhEndOfInput("LZH : unexpected end of input");
    if (c < 256) {
      sink.Literal(static_cast<std::uint8_t>(c));
      ++count;
      continue;
    }
    const unsigned p = bits.Position();
    if (bits.Overrun()) [[unlikely]]
      throw ELzhEndOfInput("LZH : unexpected end of input");
    // A final match that would run past length is cut there.
    const std::int32_t left = length - count;
    const int n = static_cast<int>(c) - 253 < left ? static_cast<int>(c) - 253 : left;
    count += n;
    sink.Match(p + 1, static_cast<unsigned>(n));
  }
  bits_io = bits;
  sink_io = sink;
}

// Codes read bit by bit through an input BlockIoProc, one byte per call.
template <BlockIoProc In>
struct ProcBits {
  BitInput* bits;
  In* input;
  unsigned WalkTree(const std::uint16_t* child) {
    unsigned c = child[RootNode];
    while (c < static_cast<unsigned>(NodeCount)) c = child[c + bits->GetBit(*input)];
    return c;
  }
  unsigned Position() { return DecodePosition(*bits, *input); }
  bool Overrun() const { return bits->Overrun; }
};

// Output bytes handed to an output BlockIoProc one at a time, the history in
// RingBuffer.
template <BlockIoProc Out>
struct ProcSink {
  Out* output;
  std::uint8_t* ring;
  unsigned r = StartPosition;  // the window position of the next byte

  void Literal(std::uint8_t x) {
    std::uint16_t actual = 0;
    (*output)(&x, 1, actual);
    ring[r] = x;
    r = (r + 1) & (WindowSize - 1);
  }
  void Match(unsigned distance, unsigned n) {
    unsigned s = (r - distance) & (WindowSize - 1);
    for (unsigned k = 0; k < n; ++k) {
      Literal(ring[s]);
      s = (s + 1) & (WindowSize - 1);
    }
  }
};

// Expands the bit stream that input delivers into exactly length bytes handed
// to output one at a time (none for length <= 0). A final match that would run
// past length is cut there. Raises ELzhEndOfInput as soon as a decoded item
// needed bits beyond the end of the input. (The file driver's ReadBlock and
// WriteBlock have an overload of their own, in file_driver.h.)
template <BlockIoProc In, BlockIoProc Out>
void LzhDecode(CodecState& state, std::int32_t length, In& input, Out& output) {
  AllocCodecTables(state);
  try {
    InitHuffmanModel(state.Tables);
    ProcBits<In> bits{&state.Bits, &input};
    ProcSink<Out> sink{&output, state.RingBuffer};
    DecodeItems(state, length, bits, sink);
  } catch (...) {
    FreeCodecTables(state);
    throw;
  }
  FreeCodecTables(state);
}

}  // namespace lzh
