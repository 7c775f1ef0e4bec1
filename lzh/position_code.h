// The fixed prefix code of a match position's upper six bits.
//
// Indexed by the next eight bits of the stream: PositionCodeTable gives the
// upper six bits u of the position, PositionLengthTable the length of u's
// prefix code (3 to 8 bits). Six plain bits, the low bits of the position,
// follow the prefix code.
#pragma once

#include <array>
#include <cstdint>

#include "lzh/bit_input.h"

namespace lzh {

struct PositionTables {
  std::array<std::uint8_t, 256> code{};
  std::array<std::uint8_t, 256> length{};
};

constexpr PositionTables MakePositionTables() {
  PositionTables t;
  // Index ranges [first, end), each value repeated per_value times.
  struct Range {
    int first, end, per_value, first_value, bits;
  };
  constexpr Range ranges[] = {{0x00, 0x20, 32, 0, 3},  {0x20, 0x50, 16, 1, 4},
                              {0x50, 0x90, 8, 4, 5},   {0x90, 0xC0, 4, 12, 6},
                              {0xC0, 0xF0, 2, 24, 7},  {0xF0, 0x100, 1, 48, 8}};
  for (const Range& r : ranges) {
    for (int i = r.first; i < r.end; ++i) {
      t.code[static_cast<std::size_t>(i)] =
          static_cast<std::uint8_t>(r.first_value + (i - r.first) / r.per_value);
      t.length[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(r.bits);
    }
  }
  return t;
}

inline constexpr PositionTables kPositionTables = MakePositionTables();
inline constexpr const std::array<std::uint8_t, 256>& PositionCodeTable = kPositionTables.code;
inline constexpr const std::array<std::uint8_t, 256>& PositionLengthTable =
    kPositionTables.length;

// The position 0..4095 of a match: it starts position + 1 bytes back.
template <BlockIoProc In>
unsigned DecodePosition(BitInput& bits, In& input) {
  const unsigned b = static_cast<unsigned>(bits.GetByte(input));
  const unsigned u = PositionCodeTable[b];
  const int n = PositionLengthTable[b] - 2;
  unsigned v = b;
  for (int i = 0; i < n; ++i) v = ((v << 1) + static_cast<unsigned>(bits.GetBit(input))) & 0xFFFF;
  return (u << 6) | (v & 0x3F);
}

}  // namespace lzh
