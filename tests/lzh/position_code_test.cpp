// The position code: prefix of the upper six bits, then six plain bits.
#include <gtest/gtest.h>

#include <string>

#include "lzh/position_code.h"
#include "support/bit_writer.h"
#include "support/block_procs.h"
#include "support/reference_lzh.h"

namespace {

using testing_lzh::BitWriter;
using testing_lzh::ByteSource;

struct PositionCase {
  const char* bits;
  unsigned position;
  int get_bits;  // GetBit calls after the one GetByte
};

// Each code is followed by a marker byte that must be the next eight bits, so
// the number of bits taken (8 + GetBit calls) is checked exactly.
TEST(DecodePosition, ListedCodes) {
  const PositionCase cases[] = {
      {"0010 110101", 117, 2},       // u = 1, low bits 53
      {"000 000000", 0, 1},          // shortest code: GetByte and one GetBit
      {"11111111 111111", 4095, 6},  // longest code: six GetBit calls
      {"0010 000000", 64, 2},        // u = 1
      {"01010 000000", 4 * 64, 3},   // u = 4
      {"100100 000000", 12 * 64, 4}, // u = 12
      {"1100000 000000", 24 * 64, 5},
      {"11111111 000000", 63 * 64, 6},
      {"000 111111", 63, 1},
  };
  for (const PositionCase& c : cases) {
    for (int offset = 0; offset < 8; ++offset) {
      BitWriter w;
      w.PutBits(0x55, offset);
      w.PutString(c.bits);
      w.PutByte(0xC6);
      ByteSource in(w.Bytes());
      lzh::BitInput bits;
      for (int i = 0; i < offset; ++i) bits.GetBit(in);
      EXPECT_EQ(lzh::DecodePosition(bits, in), c.position) << c.bits << " offset " << offset;
      EXPECT_EQ(bits.GetByte(in), 0xC6) << c.bits << ": expected 8 + " << c.get_bits << " bits";
      EXPECT_FALSE(bits.Overrun);
    }
  }
}

// Every position, coded by the six index ranges of the code, at every bit
// alignment, decodes to itself and takes prefix length + 6 bits.
TEST(DecodePosition, EveryPositionRoundTrips) {
  for (unsigned p = 0; p < 4096; ++p) {
    const int offset = static_cast<int>(p % 8);
    BitWriter w;
    w.PutBits(0xFF, offset);
    testing_lzh::PutPosition(w, p);
    w.PutByte(0x81);
    ByteSource in(w.Bytes());
    lzh::BitInput bits;
    for (int i = 0; i < offset; ++i) bits.GetBit(in);
    ASSERT_EQ(lzh::DecodePosition(bits, in), p);
    ASSERT_EQ(bits.GetByte(in), 0x81) << "position " << p;
  }
}

TEST(DecodePosition, TablesFollowTheIndexRanges) {
  for (unsigned b = 0; b < 256; ++b) {
    int matches = 0;
    for (unsigned u = 0; u < 64; ++u) {
      const testing_lzh::PrefixCode pc = testing_lzh::PrefixOf(u);
      const unsigned shift = 8u - static_cast<unsigned>(pc.length);
      if ((b >> shift) != (pc.first_index >> shift)) continue;
      ++matches;
      EXPECT_EQ(lzh::PositionCodeTable[b], u) << "index " << b;
      EXPECT_EQ(lzh::PositionLengthTable[b], pc.length) << "index " << b;
    }
    EXPECT_EQ(matches, 1) << "index " << b << " must start exactly one code";
  }
}

}  // namespace
