// The adaptive Huffman model: the fresh tree, its codes, the exchange, the
// rebuild at the frequency limit, and the model in step with the reference
// over long random symbol sequences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "lzh/huffman_model.h"
#include "lzh/lzh_decode.h"
#include "support/bit_writer.h"
#include "support/block_procs.h"
#include "support/reference_lzh.h"
#include "support/seed.h"

namespace {

using testing_lzh::BitsToBytes;
using testing_lzh::ByteSource;
using testing_lzh::RefModel;
using testing_lzh::StreamBuilder;

constexpr int kLeaf = lzh::NodeCount;

// The decoder's working memory with a fresh model, released at the end.
class FreshModel {
 public:
  FreshModel() {
    lzh::AllocCodecTables(state_);
    lzh::InitHuffmanModel(state_.Tables);
  }
  ~FreshModel() { lzh::FreeCodecTables(state_); }

  lzh::HuffmanTables& Tables() { return state_.Tables; }
  lzh::BitInput& Bits() { return state_.Bits; }
  std::uint16_t Freq(int p) const { return state_.Tables.FrequencyTable[p]; }
  std::uint16_t Child(int p) const { return state_.Tables.ChildTable[p]; }
  std::uint16_t Parent(int p) const { return state_.Tables.ParentTable[p]; }
  std::uint16_t LeafPosition(int s) const { return Parent(kLeaf + s); }
  std::uint16_t LeafWeight(int s) const { return Freq(LeafPosition(s)); }

  template <class In>
  int Decode(In& in) {
    return lzh::DecodeChar(state_.Tables, state_.Bits, in);
  }

  bool SameAs(const RefModel& ref) const {
    return std::memcmp(state_.Tables.FrequencyTable, ref.freq.data(), sizeof ref.freq) == 0 &&
           std::memcmp(state_.Tables.ParentTable, ref.parent.data(), sizeof ref.parent) == 0 &&
           std::memcmp(state_.Tables.ChildTable, ref.child.data(), sizeof ref.child) == 0;
  }

  // The invariants that hold between calls; empty when all hold.
  std::string Violation() const {
    if (Freq(lzh::NodeCount) != 0xFFFF) return "sentinel changed";
    if (Parent(lzh::RootNode) != 0) return "root has a parent";
    if (Child(0) < kLeaf) return "position 0 is not a leaf";
    std::vector<int> seen(lzh::SymbolCount, 0);
    for (int p = 0; p < lzh::NodeCount; ++p) {
      if (p > 0 && Freq(p) < Freq(p - 1)) return "weights decrease at " + std::to_string(p);
      const int c = Child(p);
      if (c >= kLeaf) {
        const int s = c - kLeaf;
        if (s >= lzh::SymbolCount) return "bad symbol at " + std::to_string(p);
        ++seen[static_cast<std::size_t>(s)];
        if (Parent(c) != p) return "leaf link of symbol " + std::to_string(s);
        if (Freq(p) == 0) return "leaf of weight 0 at " + std::to_string(p);
      } else {
        if (c % 2 != 0 || c > 624) return "odd or high child at " + std::to_string(p);
        if (Parent(c) != p || Parent(c + 1) != p) return "parent link below " + std::to_string(p);
        if (Freq(p) != Freq(c) + Freq(c + 1)) return "weight sum at " + std::to_string(p);
      }
    }
    for (int s = 0; s < lzh::SymbolCount; ++s)
      if (seen[static_cast<std::size_t>(s)] != 1) return "symbol " + std::to_string(s) + " leaves";
    return "";
  }

 private:
  lzh::CodecState state_;
};

// The initial weights by position, as listed for the fresh tree.
TEST(HuffmanModel, FreshTreeWeightsByPosition) {
  struct Run {
    int first, last, weight;
  };
  const Run runs[] = {{0, 313, 1},     {314, 470, 2},   {471, 548, 4},   {549, 549, 6},
                      {550, 587, 8},   {588, 588, 10},  {589, 607, 16},  {608, 608, 26},
                      {609, 617, 32},  {618, 618, 58},  {619, 622, 64},  {623, 623, 122},
                      {624, 624, 128}, {625, 625, 186}, {626, 626, 314}};
  FreshModel m;
  for (const Run& r : runs)
    for (int p = r.first; p <= r.last; ++p) EXPECT_EQ(m.Freq(p), r.weight) << "position " << p;
  EXPECT_EQ(m.Freq(lzh::NodeCount), 0xFFFF);
  for (int s = 0; s < lzh::SymbolCount; ++s) EXPECT_EQ(m.LeafPosition(s), s);
  EXPECT_EQ(m.Violation(), "");
  EXPECT_TRUE(m.SameAs(RefModel{}));
}

TEST(HuffmanModel, FreshCodeLengthsAreNineThenEightBits) {
  const RefModel fresh;
  for (int s = 0; s < lzh::SymbolCount; ++s) {
    StreamBuilder b;
    b.Symbol(s);
    b.Bits().PutByte(0xA5);  // marker: must be the next eight bits
    ByteSource in(b.Bytes());
    FreshModel m;
    ASSERT_EQ(m.Decode(in), s);
    EXPECT_EQ(fresh.Code(s).size(), s < 116 ? 9u : 8u) << "symbol " << s;
    EXPECT_EQ(m.Bits().GetByte(in), 0xA5) << "symbol " << s << " took the wrong bit count";
    EXPECT_FALSE(m.Bits().Overrun);
  }
}

struct CodeCase {
  const char* bits;
  int symbol;
};

// Codes spelled out bit by bit, each from a fresh model, each followed by a
// marker byte that must come next.
TEST(HuffmanModel, FreshModelDecodesTheListedCodes) {
  const CodeCase cases[] = {{"00000000", 116}, {"110001100", 0}, {"11000101", 313}};
  for (const CodeCase& c : cases) {
    testing_lzh::BitWriter w;
    w.PutString(c.bits);
    w.PutByte(0x3C);
    ByteSource in(w.Bytes());
    FreshModel m;
    EXPECT_EQ(m.Decode(in), c.symbol) << c.bits;
    EXPECT_EQ(m.Bits().GetByte(in), 0x3C) << c.bits;
    EXPECT_EQ(m.Freq(lzh::RootNode), 315);
  }
}

TEST(HuffmanModel, FirstSymbol116ExchangesItsLeafWithPosition313) {
  const CodeCase after[] = {{"11000101", 116}, {"00000000", 313}};
  for (const CodeCase& c : after) {
    testing_lzh::BitWriter w;
    w.PutString("00000000");
    w.PutString(c.bits);
    ByteSource in(w.Bytes());
    FreshModel m;
    ASSERT_EQ(m.Decode(in), 116);
    EXPECT_EQ(m.LeafPosition(116), 313);
    EXPECT_EQ(m.LeafPosition(313), 116);
    EXPECT_EQ(m.LeafWeight(116), 2);
    EXPECT_EQ(m.Freq(lzh::RootNode), 315);
    EXPECT_EQ(m.Violation(), "");
    EXPECT_EQ(m.Decode(in), c.symbol) << c.bits;
    EXPECT_FALSE(m.Bits().Overrun);
  }
}

// One symbol over and over: the root reaches 0x8000 after 32454 updates, and
// the 32455th update rebuilds before it counts.
TEST(HuffmanModel, FirstRebuildComesInThe32455thUpdate) {
  for (int symbol : {0, 116, 313}) {
    StreamBuilder b;
    for (int i = 0; i < 32455; ++i) b.Symbol(symbol);
    ByteSource in(b.Bytes());
    FreshModel m;
    for (int i = 0; i < 32454; ++i) ASSERT_EQ(m.Decode(in), symbol) << "decode " << i;
    EXPECT_EQ(m.Freq(lzh::RootNode), lzh::FrequencyLimit);
    EXPECT_EQ(m.LeafWeight(symbol), 32455);
    // The root is never exchanged, not even at the limit.
    EXPECT_EQ(m.Child(lzh::RootNode) < kLeaf, true);
    EXPECT_EQ(m.Parent(lzh::RootNode), 0);
    EXPECT_EQ(m.Violation(), "");

    ASSERT_EQ(m.Decode(in), symbol);
    EXPECT_EQ(m.LeafWeight(symbol), 16229) << "symbol " << symbol;
    for (int s = 0; s < lzh::SymbolCount; ++s)
      if (s != symbol) {
        ASSERT_EQ(m.LeafWeight(s), 1) << "symbol " << s;
      }
    EXPECT_EQ(m.Freq(lzh::RootNode), 16542);
    EXPECT_EQ(m.Violation(), "");
    EXPECT_FALSE(m.Bits().Overrun);
  }
}

// Leaf weights are halved rounding up, without 16-bit overflow.
TEST(HuffmanModel, RebuildHalvesLeafWeightsRoundingUp) {
  const std::pair<std::uint16_t, std::uint16_t> rows[] = {
      {1, 1}, {2, 1}, {3, 2}, {4, 2}, {32455, 16228}, {65535, 32768}};
  for (const auto& [before, after] : rows) {
    FreshModel m;
    // Position 313 is the last leaf of the fresh tree: a heavier weight there
    // keeps the leaves in order. Internal nodes are rebuilt from the leaves.
    m.Tables().FrequencyTable[313] = before;
    lzh::RebuildHuffmanTree(m.Tables());
    EXPECT_EQ(m.LeafWeight(313), after) << before;
    EXPECT_EQ(m.LeafWeight(0), 1);
    EXPECT_EQ(m.Freq(lzh::RootNode), 313 + after) << before;
    EXPECT_EQ(m.Violation(), "") << before;
  }
}

// A new internal node goes after every node of equal weight.
TEST(HuffmanModel, RebuildPlacesANewNodeAfterEqualWeights) {
  FreshModel m;
  // Leaves 0 and 1 halve to 1, the others (weight 3) to 2: the first internal
  // node (1 + 1 = 2) equals 312 leaves and must come after all of them.
  for (int p = 2; p < lzh::SymbolCount; ++p) m.Tables().FrequencyTable[p] = 3;
  lzh::RebuildHuffmanTree(m.Tables());
  EXPECT_EQ(m.Freq(313), 2);
  EXPECT_GE(m.Child(313), kLeaf);
  EXPECT_EQ(m.Child(314), 0);
  EXPECT_EQ(m.Freq(314), 2);
  EXPECT_EQ(m.Violation(), "");

  // The fresh tree rebuilt is the fresh tree, which holds only when equal
  // weights go last.
  FreshModel rebuilt;
  lzh::RebuildHuffmanTree(rebuilt.Tables());
  EXPECT_TRUE(rebuilt.SameAs(RefModel{}));
}

// Long random symbol sequences of several shapes: the model stays equal to the
// reference, table for table, through exchanges and rebuilds.
TEST(HuffmanModel, StaysInStepWithTheReferenceModel) {
  const std::uint32_t seed = testing_lzh::TestSeed();
  std::mt19937 rng(seed);
  struct Shape {
    const char* name;
    int updates;
    std::function<int()> next;
  };
  std::geometric_distribution<int> geometric(0.02);
  std::uniform_int_distribution<int> any(0, lzh::SymbolCount - 1);
  std::uniform_int_distribution<int> few(250, 262);
  int cycle = 0;
  const Shape shapes[] = {
      {"uniform", 70000, [&] { return any(rng); }},
      {"geometric", 100000, [&] { return std::min(geometric(rng), lzh::SymbolCount - 1); }},
      {"few symbols", 70000, [&] { return few(rng); }},
      {"cycle", 70000, [&] { return (cycle++ * 7) % lzh::SymbolCount; }},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(std::string(shape.name) + ", seed " + std::to_string(seed));
    FreshModel m;
    RefModel ref;
    for (int i = 0; i < shape.updates; ++i) {
      const int s = shape.next();
      lzh::UpdateHuffmanModel(m.Tables(), s);
      ref.Update(s);
      ASSERT_TRUE(m.SameAs(ref)) << "after update " << i << " of symbol " << s;
      if (i % 4096 == 0) {
        ASSERT_EQ(m.Violation(), "") << "after update " << i;
      }
    }
    EXPECT_EQ(m.Violation(), "");
    EXPECT_GE(ref.rebuilds, 2) << "the sequence should cross rebuilds";
  }
}

}  // namespace
