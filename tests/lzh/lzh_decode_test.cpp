// The LZSS loop: window pre-fill and start position, matches, the cut at the
// declared length, the end of the input, and the working memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <ostream>
#include <string>
#include <vector>

#include "lzh/lzh_decode.h"
#include "support/bit_writer.h"
#include "support/block_procs.h"
#include "support/counting_memory.h"
#include "support/decode_run.h"
#include "support/reference_lzh.h"
#include "support/seed.h"

namespace {

using testing_lzh::ByteSink;
using testing_lzh::ByteSource;
using testing_lzh::RefDecode;
using testing_lzh::RunDecode;
using testing_lzh::StreamBuilder;
using Bytes = std::vector<std::uint8_t>;

Bytes Repeat(std::uint8_t b, std::size_t n) { return Bytes(n, b); }
Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct ItemCase {
  const char* name;
  std::function<void(StreamBuilder&)> items;
  std::int32_t length;
  Bytes expected;
};

void PrintTo(const ItemCase& c, std::ostream* os) { *os << c.name; }

class Items : public ::testing::TestWithParam<ItemCase> {};

TEST_P(Items, DecodeToTheExpectedBytes) {
  const ItemCase& c = GetParam();
  StreamBuilder b;
  c.items(b);
  const Bytes stream = b.Bytes();
  const auto run = RunDecode(stream, c.length);
  EXPECT_FALSE(run.cut_short);
  EXPECT_EQ(run.out, c.expected);
  EXPECT_TRUE(run.all_counts_one);
  // The reference agrees, which keeps the reference itself honest.
  const auto ref = RefDecode(stream, c.length);
  EXPECT_EQ(ref.out, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Items,
    ::testing::Values(
        ItemCase{"literals", [](StreamBuilder& b) { b.Literals(Text("Hello")); }, 5, Text("Hello")},
        // s = 4036 - 0 - 1 = 4035: one pre-filled space, then the match's own.
        ItemCase{"first_match_position_0_length_5", [](StreamBuilder& b) { b.Match(5, 0); }, 5,
                 Repeat(0x20, 5)},
        ItemCase{"distance_1_length_60_after_A",
                 [](StreamBuilder& b) {
                   b.Literal(0x41);
                   b.Match(60, 0);
                 },
                 61, Repeat(0x41, 61)},
        ItemCase{"distance_2_overlap",
                 [](StreamBuilder& b) {
                   b.Literals(Text("AB"));
                   b.Match(7, 1);
                 },
                 9, Text("ABABABABA")},
        // Reads window 4035 (a space), 4036 ('X'), then its own two bytes.
        ItemCase{"match_reads_prefill_and_its_own_output",
                 [](StreamBuilder& b) {
                   b.Literal('X');
                   b.Match(4, 1);
                 },
                 5, Text("X X X")},
        // Window positions 4036 to 4095 start as 0.
        ItemCase{"unwritten_window_tail_reads_as_zero",
                 [](StreamBuilder& b) { b.Match(3, 4095); }, 3, Bytes{0, 0, 0}},
        ItemCase{"unwritten_window_tail_after_a_literal",
                 [](StreamBuilder& b) {
                   b.Literal('Q');
                   b.Match(3, 4094);
                 },
                 4, Bytes{'Q', 0, 0, 0}},
        ItemCase{"final_match_cut_at_declared_length",
                 [](StreamBuilder& b) {
                   b.Literal(0x41);
                   b.Match(60, 0);
                 },
                 5, Repeat(0x41, 5)},
        ItemCase{"match_longest_and_shortest",
                 [](StreamBuilder& b) {
                   b.Literals(Text("abc"));
                   b.Match(3, 2);
                   b.Match(60, 5);
                 },
                 66, Concat(Text("abcabc"), [] {
                   Bytes r;
                   for (int i = 0; i < 60; ++i) r.push_back(static_cast<std::uint8_t>("abc"[i % 3]));
                   return r;
                 }())},
        ItemCase{"all_literal_values",
                 [](StreamBuilder& b) {
                   for (int v = 0; v < 256; ++v) b.Literal(static_cast<std::uint8_t>(v));
                 },
                 256, [] {
                   Bytes r;
                   for (int v = 0; v < 256; ++v) r.push_back(static_cast<std::uint8_t>(v));
                   return r;
                 }()}),
    [](const auto& info) { return std::string(info.param.name); });

// The header-only streams: what the fresh model makes of 0 bits. 116 is 0x74;
// after it, eight 0 bits are 313 (length 60), then nine 0 bits position 0.
struct ZeroCase {
  std::size_t zero_bytes;
  std::int32_t length;
  Bytes expected;
  bool cut_short;
};

TEST(LzhDecode, ZeroBitsAndTheDeclaredLength) {
  const ZeroCase cases[] = {
      {1, 1, {0x74}, false},
      {4, 5, Repeat(0x74, 5), false},  // a literal, then a 60-byte match cut at 5
      {0, 1, {}, true},
      {3, 5, {0x74}, true},  // the match's position needs a 25th bit
      {3, 0x7FFFFFFF, {0x74}, true},  // a huge declared length fails at once
      {0, 0, {}, false},
      {4, 61, Repeat(0x74, 61), false},
  };
  for (const ZeroCase& c : cases) {
    const auto run = RunDecode(Bytes(c.zero_bytes, 0), c.length);
    EXPECT_EQ(run.out, c.expected) << c.zero_bytes << " bytes, length " << c.length;
    EXPECT_EQ(run.cut_short, c.cut_short) << c.zero_bytes << " bytes, length " << c.length;
    EXPECT_LT(run.input_calls, 10);
  }
}

TEST(LzhDecode, ZeroOrNegativeLengthAsksForNoInput) {
  for (std::int32_t length : {0, -1, -5, INT32_MIN}) {
    testing_lzh::ScopedCountingMemory memory;
    const auto run = RunDecode(Bytes(16, 0xFF), length);
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(run.input_calls, 0) << length;
    EXPECT_EQ(memory->get_sizes.size(), 4u);
    EXPECT_TRUE(memory->live.empty());
  }
}

// Any first match from position 0 to 4035 copies pre-filled spaces only.
TEST(LzhDecode, FirstMatchAnywhereInThePrefillGivesSpaces) {
  for (unsigned p = 0; p <= 4035; ++p) {
    StreamBuilder b;
    b.Match(60, p);
    const auto run = RunDecode(b.Bytes(), 60);
    ASSERT_EQ(run.out, Repeat(0x20, 60)) << "position " << p;
  }
}

// Position 4095 reaches 4096 bytes back: the window position about to be
// overwritten.
TEST(LzhDecode, Position4095CopiesTheByte4096Back) {
  StreamBuilder b;
  Bytes expected;
  for (int i = 0; i < 4096; ++i) {
    const auto v = static_cast<std::uint8_t>((i * 37 + i / 256) & 0xFF);
    b.Literal(v);
    expected.push_back(v);
  }
  b.Match(5, 4095);
  for (int k = 0; k < 5; ++k) expected.push_back(expected[static_cast<std::size_t>(k)]);
  const auto run = RunDecode(b.Bytes(), static_cast<std::int32_t>(expected.size()));
  EXPECT_FALSE(run.cut_short);
  EXPECT_EQ(run.out, expected);
}

// A 60-byte match cut at every possible declared length.
TEST(LzhDecode, FinalMatchIsCutAtEveryDeclaredLength) {
  StreamBuilder b;
  b.Literal(0x41);
  b.Match(60, 0);
  const Bytes stream = b.Bytes();
  for (std::int32_t length = 1; length <= 61; ++length) {
    const auto run = RunDecode(stream, length);
    EXPECT_EQ(run.out, Repeat(0x41, static_cast<std::size_t>(length))) << length;
    EXPECT_FALSE(run.cut_short);
  }
}

// A stream whose last item ends on the last bit of its last byte: the
// read-ahead asks past the end, gets actual 0, and the decode ends normally.
TEST(LzhDecode, LastItemEndingOnTheLastBitIsNotAnOverrun) {
  StreamBuilder b;
  b.Literals(Text("edge"));
  b.Match(10, 1);
  int extra = 0;
  while (b.BitsWritten() % 8 != 0) {
    b.Literal('z');
    ++extra;
  }
  const auto length = static_cast<std::int32_t>(4 + 10 + extra);
  const auto run = RunDecode(b.Bytes(), length);
  EXPECT_FALSE(run.cut_short);
  EXPECT_EQ(run.out.size(), static_cast<std::size_t>(length));
  EXPECT_GE(run.calls_past_end, 1);

  // One byte less: the last item lacks its bits.
  Bytes shorter = b.Bytes();
  shorter.pop_back();
  EXPECT_TRUE(RunDecode(shorter, length).cut_short);
}

// Every prefix of a well-formed stream is cut short, and what was emitted is
// exactly the output of the items that were complete.
TEST(LzhDecode, EveryTruncationIsDetected) {
  std::mt19937 rng(testing_lzh::TestSeed());
  StreamBuilder b;
  std::int32_t produced = 0;
  for (int i = 0; i < 150; ++i) {
    if (rng() % 3 == 0 && produced > 0) {
      const int len = 3 + static_cast<int>(rng() % 58);
      b.Match(len, static_cast<unsigned>(rng() % static_cast<unsigned>(std::min(produced, 4096))));
      produced += len;
    } else {
      b.Literal(static_cast<std::uint8_t>(rng()));
      ++produced;
    }
  }
  const Bytes full = b.Bytes();
  const auto whole = RunDecode(full, produced);
  ASSERT_FALSE(whole.cut_short);
  ASSERT_EQ(whole.out.size(), static_cast<std::size_t>(produced));
  for (std::size_t keep = 0; keep < full.size(); ++keep) {
    const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keep));
    const auto run = RunDecode(prefix, produced);
    const auto ref = RefDecode(prefix, produced);
    ASSERT_TRUE(run.cut_short) << "kept " << keep << " of " << full.size() << " bytes";
    ASSERT_TRUE(ref.cut_short);
    ASSERT_EQ(run.out, ref.out) << "kept " << keep;
    ASSERT_TRUE(std::equal(run.out.begin(), run.out.end(), whole.out.begin()));
  }
}

// Random bytes are a corrupt stream, which decodes to something: the decoder
// and the reference agree on every byte and on where the input runs out. The
// long streams cross several rebuilds of the model.
TEST(LzhDecode, AgreesWithTheReferenceOnRandomStreams) {
  const std::uint32_t seed = testing_lzh::TestSeed();
  std::mt19937 rng(seed);
  std::vector<std::size_t> sizes;
  for (int i = 0; i < 300; ++i) sizes.push_back(rng() % 600);
  sizes.insert(sizes.end(), {65536, 100000});
  for (std::size_t size : sizes) {
    Bytes stream(size);
    for (auto& v : stream) v = static_cast<std::uint8_t>(rng());
    // Either a declared length the stream can reach, or more than it holds.
    // The long ones always run to the end of their input.
    const std::int32_t length = size < 65536 && rng() % 2
                                    ? static_cast<std::int32_t>(rng() % (size * 4 + 2))
                                    : INT32_MAX;
    const auto run = RunDecode(stream, length);
    const auto ref = RefDecode(stream, length);
    ASSERT_EQ(run.cut_short, ref.cut_short) << "seed " << seed << " size " << size;
    ASSERT_EQ(run.out, ref.out) << "seed " << seed << " size " << size;
    if (size >= 65536) {
      EXPECT_GE(ref.rebuilds, 1);
    }
  }
}

// Valid streams of random items, among them long ones that cross rebuilds.
TEST(LzhDecode, AgreesWithTheReferenceOnRandomItemStreams) {
  const std::uint32_t seed = testing_lzh::TestSeed();
  std::mt19937 rng(seed);
  for (int round = 0; round < 6; ++round) {
    StreamBuilder b;
    std::int64_t produced = 0;
    const int items = round < 4 ? 2000 : 90000;
    for (int i = 0; i < items; ++i) {
      const unsigned kind = rng() % 8;
      if (kind < 3) {
        const int len = 3 + static_cast<int>(rng() % 58);
        b.Match(len, rng() % 4096);
        produced += len;
      } else {
        // Literals skewed toward a few values, so codes grow short and long.
        b.Literal(static_cast<std::uint8_t>(kind == 7 ? rng() : rng() % 8 + 'a'));
        ++produced;
      }
    }
    const Bytes stream = b.Bytes();
    const auto length = static_cast<std::int32_t>(produced);
    const auto run = RunDecode(stream, length);
    const auto ref = RefDecode(stream, length);
    ASSERT_FALSE(ref.cut_short);
    ASSERT_FALSE(run.cut_short) << "seed " << seed << " round " << round;
    ASSERT_EQ(run.out.size(), static_cast<std::size_t>(produced));
    ASSERT_EQ(run.out, ref.out) << "seed " << seed << " round " << round;
    if (items > 50000) {
      EXPECT_GE(b.Model().rebuilds, 2);
    }
  }
}

// Nothing carries over from one decode to the next, even with bits left over.
TEST(LzhDecode, EachDecodeStartsFresh) {
  lzh::CodecState state;
  StreamBuilder first;
  first.Literals(Text("first stream"));
  first.Match(20, 3);
  StreamBuilder second;
  second.Literals(Text("two"));
  second.Match(4, 4000);
  for (int i = 0; i < 3; ++i) {
    ByteSource a(first.Bytes());
    ByteSink out_a;
    lzh::LzhDecode(state, 12 + 20, a, out_a);
    EXPECT_EQ(out_a.out, RefDecode(first.Bytes(), 32).out);
    ByteSource b(second.Bytes());
    ByteSink out_b;
    lzh::LzhDecode(state, 7, b, out_b);
    EXPECT_EQ(out_b.out, Text("two    "));
  }
}

// --- working memory -----------------------------------------------------------

constexpr std::size_t kRing = 4096, kFreq = 628 * 2, kParent = 941 * 2, kChild = 627 * 2;

TEST(LzhDecode, ObtainsAndReleasesTheTablesInOrder) {
  testing_lzh::ScopedCountingMemory memory;
  StreamBuilder b;
  b.Literals(Text("abc"));
  RunDecode(b.Bytes(), 3);
  EXPECT_EQ(memory->get_sizes, (std::vector<std::size_t>{kRing, kFreq, kParent, kChild}));
  EXPECT_EQ(memory->release_sizes, (std::vector<std::size_t>{kChild, kParent, kFreq, kRing}));
  EXPECT_TRUE(memory->live.empty());
}

TEST(LzhDecode, FailedRequestReleasesWhatWasObtainedAndReadsNothing) {
  const std::size_t order[] = {kRing, kFreq, kParent, kChild};
  for (int failing = 1; failing <= 4; ++failing) {
    testing_lzh::ScopedCountingMemory memory;
    memory->fail_get_call = failing;
    ByteSource in(Bytes(8, 0));
    ByteSink out;
    lzh::CodecState state;
    try {
      lzh::LzhDecode(state, 10, in, out);
      ADD_FAILURE() << "no exception for request " << failing;
    } catch (const lzh::ElzhException& e) {
      EXPECT_EQ(e.Message(), "LZH : Cannot get memory for dictionary tables");
    }
    EXPECT_EQ(in.calls, 0);
    EXPECT_TRUE(out.out.empty());
    EXPECT_TRUE(memory->live.empty()) << "leak after failed request " << failing;
    std::vector<std::size_t> released(order, order + failing - 1);
    std::reverse(released.begin(), released.end());
    EXPECT_EQ(memory->release_sizes, released) << "request " << failing;
  }
}

TEST(LzhDecode, FailedReleaseRaisesAfterTheOutput) {
  for (int failing = 1; failing <= 4; ++failing) {
    testing_lzh::ScopedCountingMemory memory;
    memory->fail_release_call = failing;
    StreamBuilder b;
    b.Literals(Text("done"));
    ByteSource in(b.Bytes());
    ByteSink out;
    lzh::CodecState state;
    try {
      lzh::LzhDecode(state, 4, in, out);
      ADD_FAILURE() << "no exception for release " << failing;
    } catch (const lzh::ElzhException& e) {
      EXPECT_EQ(e.Message(), "LZH : Error freeing memory for dictionary tables");
    }
    EXPECT_EQ(out.out, Text("done"));
    EXPECT_TRUE(memory->live.empty());
  }
}

struct ProcFailure {
  int at_call;
};

TEST(LzhDecode, ExceptionsOfTheProceduresPassThroughAfterTheTablesAreFreed) {
  StreamBuilder b;
  b.Literals(Text("0123456789"));
  const Bytes stream = b.Bytes();
  for (int at = 1; at <= 5; ++at) {
    {
      testing_lzh::ScopedCountingMemory memory;
      ByteSource src(stream);
      auto in = [&](std::uint8_t* buf, std::uint16_t n, std::uint16_t& actual) {
        if (src.calls + 1 == at) throw ProcFailure{at};
        src(buf, n, actual);
      };
      ByteSink out;
      lzh::CodecState state;
      EXPECT_THROW(lzh::LzhDecode(state, 10, in, out), ProcFailure);
      EXPECT_TRUE(memory->live.empty());
      EXPECT_EQ(memory->release_sizes.size(), 4u);
    }
    {
      testing_lzh::ScopedCountingMemory memory;
      ByteSource in(stream);
      ByteSink sink;
      auto out = [&](std::uint8_t* buf, std::uint16_t n, std::uint16_t& actual) {
        if (static_cast<int>(sink.counts.size()) + 1 == at) throw ProcFailure{at};
        sink(buf, n, actual);
      };
      lzh::CodecState state;
      EXPECT_THROW(lzh::LzhDecode(state, 10, in, out), ProcFailure);
      EXPECT_EQ(sink.out, Text(std::string("0123456789").substr(0, static_cast<std::size_t>(at - 1))));
      EXPECT_TRUE(memory->live.empty());
    }
  }
}

// The output's actual is not looked at.
TEST(LzhDecode, IgnoresTheOutputActual) {
  StreamBuilder b;
  b.Literals(Text("xyz"));
  ByteSource in(b.Bytes());
  Bytes got;
  auto out = [&](std::uint8_t* buf, std::uint16_t, std::uint16_t& actual) {
    got.push_back(*buf);
    actual = 0;
  };
  lzh::CodecState state;
  lzh::LzhDecode(state, 3, in, out);
  EXPECT_EQ(got, Text("xyz"));
}

}  // namespace
