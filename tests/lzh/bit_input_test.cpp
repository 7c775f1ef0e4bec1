// Bit input: bit order, read-ahead, the end of the input and the overrun mark.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "lzh/bit_input.h"
#include "support/block_procs.h"

namespace {

using testing_lzh::ByteSource;

// One step of a script: 'b' a GetBit, 'B' a GetByte, with the value expected.
struct Step {
  char op;
  int value;
};

struct ScriptCase {
  const char* name;
  std::vector<std::uint8_t> input;
  std::vector<Step> steps;
};

void PrintTo(const ScriptCase& c, std::ostream* os) { *os << c.name; }

class BitScript : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(BitScript, DeliversBitsMostSignificantFirst) {
  const ScriptCase& c = GetParam();
  ByteSource in(c.input);
  lzh::BitInput bits;
  for (std::size_t i = 0; i < c.steps.size(); ++i) {
    const Step& s = c.steps[i];
    const int got = s.op == 'b' ? bits.GetBit(in) : bits.GetByte(in);
    EXPECT_EQ(got, s.value) << "step " << i << " (" << s.op << ")";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BitScript,
    ::testing::Values(
        // 0xA5 0x0F then the end: 1010 | 0101 0000 | 1111 | zeros.
        ScriptCase{"A5_0F_then_end",
                   {0xA5, 0x0F},
                   {{'b', 1}, {'b', 0}, {'b', 1}, {'b', 0}, {'B', 0x50}, {'b', 1}, {'b', 1},
                    {'b', 1}, {'b', 1}, {'b', 0}, {'B', 0}, {'b', 0}, {'B', 0}}},
        ScriptCase{"no_input_at_all", {}, {{'b', 0}, {'B', 0}, {'b', 0}, {'B', 0}, {'B', 0}}},
        // A byte read across a byte boundary, at every offset.
        ScriptCase{"byte_across_boundary_offset_3",
                   {0b11100110, 0b10111111},
                   {{'b', 1}, {'b', 1}, {'b', 1}, {'B', 0b00110101}, {'b', 1}}},
        ScriptCase{"byte_across_boundary_offset_7",
                   {0x01, 0xFE, 0x80},
                   {{'b', 0}, {'b', 0}, {'b', 0}, {'b', 0}, {'b', 0}, {'b', 0}, {'b', 0},
                    {'B', 0xFF}, {'B', 0x40}, {'b', 0}}},
        ScriptCase{"bytes_aligned", {0x12, 0x34, 0x56}, {{'B', 0x12}, {'B', 0x34}, {'B', 0x56}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BitInput, GetByteEqualsEightGetBitsAtEveryOffset) {
  const std::vector<std::uint8_t> data = {0x9C, 0x3B, 0xE1, 0x47, 0xD2, 0x08, 0x75};
  for (int offset = 0; offset < 8; ++offset) {
    ByteSource a(data), b(data);
    lzh::BitInput x, y;
    for (int i = 0; i < offset; ++i) ASSERT_EQ(x.GetBit(a), y.GetBit(b));
    for (int round = 0; round < 4; ++round) {
      int from_bits = 0;
      for (int i = 0; i < 8; ++i) from_bits = from_bits * 2 + y.GetBit(b);
      EXPECT_EQ(x.GetByte(a), from_bits) << "offset " << offset << " round " << round;
    }
  }
}

// The input is read ahead a byte at a time as soon as eight or fewer bits are
// left; with nine valid bits a GetByte needs no input call.
TEST(BitInput, RefillsOnlyWhenEightOrFewerBitsAreLeft) {
  ByteSource in({0xFF, 0x00, 0xAA, 0x55});
  lzh::BitInput bits;
  bits.GetBit(in);  // refill from empty: two bytes, then one bit out (15 left)
  EXPECT_EQ(in.calls, 2);
  for (int i = 0; i < 6; ++i) bits.GetBit(in);  // 9 left
  EXPECT_EQ(in.calls, 2);
  EXPECT_EQ(bits.GetByte(in), 0x80);  // 1 left, no input call
  EXPECT_EQ(in.calls, 2);
  EXPECT_EQ(bits.GetBit(in), 0);  // the next call refills: one byte, 9 valid
  EXPECT_EQ(in.calls, 3);
  EXPECT_EQ(bits.GetByte(in), 0xAA);  // 8 left: refills with 0x55 first
  EXPECT_EQ(in.calls, 4);
  EXPECT_EQ(bits.GetByte(in), 0x55);  // refills again and meets the end
  EXPECT_EQ(in.calls, 5);
}

// The end of the input is not remembered: every refill asks again.
TEST(BitInput, KeepsAskingTheInputAfterItHasRunOut) {
  ByteSource in({});
  lzh::BitInput bits;
  bits.GetBit(in);
  EXPECT_EQ(in.calls, 2);
  for (int i = 0; i < 8; ++i) bits.GetBit(in);
  EXPECT_EQ(in.calls, 3);
  EXPECT_EQ(in.calls_past_end, 3);
}

// An input that reports actual 0 once and then delivers again: the refill
// that met actual 0 adds eight 0 bits, the later bytes follow them.
TEST(BitInput, MissingByteBecomesEightZeroBitsAndLaterBytesFollow) {
  int call = 0;
  auto in = [&](std::uint8_t* buf, std::uint16_t, std::uint16_t& actual) {
    ++call;
    if (call == 2) {
      buf[0] = 0x77;  // garbage in the area must not be used
      actual = 0;
      return;
    }
    buf[0] = call == 1 ? 0xC3 : 0xFF;
    actual = 1;
  };
  lzh::BitInput bits;
  EXPECT_EQ(bits.GetByte(in), 0xC3);
  EXPECT_EQ(bits.GetByte(in), 0x00);
  EXPECT_EQ(bits.GetByte(in), 0xFF);
}

// The overrun mark: set by the first bit handed out beyond the input, never by
// bits merely fetched ahead.
TEST(BitInput, OverrunMarksTheFirstBitConsumedPastTheEnd) {
  for (int whole_bytes = 0; whole_bytes <= 3; ++whole_bytes) {
    for (int mode = 0; mode < 2; ++mode) {  // 0: GetBit only, 1: GetByte where possible
      ByteSource in(std::vector<std::uint8_t>(static_cast<std::size_t>(whole_bytes), 0xB6));
      lzh::BitInput bits;
      int consumed = 0;
      const int total = whole_bytes * 8;
      while (consumed < total) {
        if (mode == 1 && total - consumed >= 8) {
          bits.GetByte(in);
          consumed += 8;
        } else {
          bits.GetBit(in);
          consumed += 1;
        }
        ASSERT_FALSE(bits.Overrun) << whole_bytes << " bytes, " << consumed << " bits";
      }
      if (whole_bytes > 0) {
        EXPECT_GT(in.calls_past_end, 0) << "the read-ahead met the end";
      }
      EXPECT_EQ(bits.GetBit(in), 0);
      EXPECT_TRUE(bits.Overrun) << whole_bytes << " bytes, mode " << mode;
    }
  }
}

TEST(BitInput, GetByteStraddlingTheEndOverruns) {
  ByteSource in({0xFF});
  lzh::BitInput bits;
  bits.GetBit(in);
  EXPECT_EQ(bits.GetByte(in), 0xFE);  // seven real bits and one stand-in 0
  EXPECT_TRUE(bits.Overrun);
}

TEST(BitInput, ResetClearsBitsAndOverrun) {
  ByteSource first({0xFF});
  lzh::BitInput bits;
  for (int i = 0; i < 12; ++i) bits.GetBit(first);
  ASSERT_TRUE(bits.Overrun);
  bits.Reset();
  EXPECT_FALSE(bits.Overrun);
  ByteSource second({0x5A});
  EXPECT_EQ(bits.GetByte(second), 0x5A);
  EXPECT_FALSE(bits.Overrun);
}

TEST(BitInput, InputExceptionPassesThroughUnchanged) {
  struct Boom {};
  auto in = [](std::uint8_t*, std::uint16_t, std::uint16_t&) { throw Boom{}; };
  lzh::BitInput bits;
  EXPECT_THROW(bits.GetBit(in), Boom);
  EXPECT_THROW(bits.GetByte(in), Boom);
}

}  // namespace
