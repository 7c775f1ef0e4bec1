// The decode that the file driver runs on its own buffers, against the
// reference decoder: match history across output blocks, matches that do not
// fit into the current block, input that crosses its blocks, the end of the
// input at every bit, corrupt streams, the model's rebuilds.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "lzh/file_driver.h"
#include "support/reference_lzh.h"
#include "support/seed.h"
#include "support/temp_dir.h"

namespace {

using testing_lzh::MakeFile;
using testing_lzh::RefDecode;
using testing_lzh::StreamBuilder;
using Bytes = std::vector<std::uint8_t>;

constexpr int kBlock = lzh::IoBlockSize;

std::string WindowsPath(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

struct Expansion {
  std::string error;  // "" when ExpandFile returned
  Bytes out;
};

// One ExpandFile of the compressed file (declared, stream).
Expansion Expand(const Bytes& stream, std::int32_t declared) {
  testing_lzh::TempDir dir;
  const std::string in = dir.Path("Setup.ex_"), out = dir.Path("Setup.exe");
  testing_lzh::WriteFile(in, MakeFile(declared, stream));
  lzh::InputFileName = WindowsPath(in);
  lzh::OutputFileName = WindowsPath(out);
  Expansion e;
  try {
    lzh::ExpandFile();
    e.out = testing_lzh::ReadFile(out);
  } catch (const platform::Exception& x) {
    e.error = x.Message();
    EXPECT_FALSE(testing_lzh::FileExists(out)) << "a failed expansion leaves no output";
  }
  return e;
}

// The driver and the reference agree on the stream: the same bytes, or both
// find it cut short.
void ExpectAgreement(const Bytes& stream, std::int32_t declared, const std::string& what) {
  const auto ref = RefDecode(stream, declared);
  const Expansion e = Expand(stream, declared);
  if (ref.cut_short) {
    EXPECT_NE(e.error.find("UNEXPECTED END OF COMPRESSED DATA"), std::string::npos)
        << what << ": " << e.error;
  } else {
    ASSERT_EQ(e.error, "") << what;
    ASSERT_EQ(e.out.size(), ref.out.size()) << what;
    EXPECT_TRUE(e.out == ref.out) << what << ": output differs";
  }
}

std::uint8_t Pattern(std::size_t i) { return static_cast<std::uint8_t>((i * 131) ^ (i >> 7)); }

// Literals up to `upto` output bytes.
void LiteralsUpTo(StreamBuilder& b, std::int64_t& produced, std::int64_t upto) {
  for (; produced < upto; ++produced) b.Literal(Pattern(static_cast<std::size_t>(produced)));
}

// A 60-byte match starting at every offset from 60 bytes before an output
// block ends to 10 bytes after, each distance of the table: the match either
// fits, ends exactly at the block's end, or is split by the block write; its
// source lies in the block, in the window before it, or in both.
TEST(DriverDecode, MatchesAroundTheEndOfAnOutputBlock) {
  const unsigned distances[] = {1, 2, 3, 7, 8, 9, 16, 61, 200, 4095, 4096};
  StreamBuilder base;
  std::int64_t base_produced = 0;
  LiteralsUpTo(base, base_produced, kBlock - 60);
  for (unsigned distance : distances) {
    for (int offset : {-60, -59, -30, -9, -8, -7, -1, 0, 1, 2, 7, 8, 9}) {
      StreamBuilder b = base;
      std::int64_t produced = base_produced;
      LiteralsUpTo(b, produced, kBlock + offset);
      b.Match(60, distance - 1);
      produced += 60;
      b.Match(17, distance - 1);  // and one more right behind it
      produced += 17;
      ExpectAgreement(b.Bytes(), static_cast<std::int32_t>(produced),
                      "distance " + std::to_string(distance) + " offset " + std::to_string(offset));
    }
  }
}

// Right after a block has been written, every distance reaches back into the
// window: first matches of every length and every distance class there.
TEST(DriverDecode, MatchesRightAfterABlockReadTheWindow) {
  std::mt19937 rng(testing_lzh::TestSeed());
  StreamBuilder b;
  std::int64_t produced = 0;
  for (int block = 1; block <= 3; ++block) {
    LiteralsUpTo(b, produced, static_cast<std::int64_t>(block) * kBlock);
    for (int i = 0; i < 200; ++i) {
      const int len = 3 + static_cast<int>(rng() % 58);
      const unsigned position = i < 100 ? static_cast<unsigned>(rng() % 4096)
                                        : static_cast<unsigned>(4095 - rng() % 64);
      b.Match(len, position);
      produced += len;
    }
  }
  ExpectAgreement(b.Bytes(), static_cast<std::int32_t>(produced), "after blocks");
}

// The first output block: matches into the pre-filled spaces and the window's
// unwritten tail, before anything has been written out.
TEST(DriverDecode, FirstMatchesReadThePrefill) {
  for (unsigned position : {0u, 1u, 7u, 8u, 59u, 4034u, 4035u, 4036u, 4094u, 4095u}) {
    StreamBuilder b;
    b.Match(60, position);
    b.Literal('x');
    b.Match(5, position);
    ExpectAgreement(b.Bytes(), 66, "position " + std::to_string(position));
  }
}

// Streams of random items, long enough for several rebuilds of the model and
// many output blocks; literals skewed so that codes grow short and long.
TEST(DriverDecode, LongRandomItemStreams) {
  const std::uint32_t seed = testing_lzh::TestSeed();
  std::mt19937 rng(seed);
  for (int round = 0; round < 3; ++round) {
    StreamBuilder b;
    std::int64_t produced = 0;
    for (int i = 0; i < 120000; ++i) {
      const unsigned kind = rng() % 8;
      if (kind < 3 && produced > 0) {
        const int len = 3 + static_cast<int>(rng() % 58);
        b.Match(len, rng() % 4096);
        produced += len;
      } else {
        b.Literal(static_cast<std::uint8_t>(kind == 7 ? rng() : rng() % 6 + 'a'));
        ++produced;
      }
    }
    ASSERT_GE(b.Model().rebuilds, 2);
    ExpectAgreement(b.Bytes(), static_cast<std::int32_t>(produced),
                    "seed " + std::to_string(seed) + " round " + std::to_string(round));
  }
}

// A stream of more than two input blocks, complete and cut at every byte
// around the ends of its input blocks: every cut is found, at the item the
// reference finds it.
TEST(DriverDecode, CutsAroundTheInputBlocks) {
  std::mt19937 rng(testing_lzh::TestSeed());
  StreamBuilder b;
  std::int64_t produced = 0;
  while (b.BitsWritten() < 8u * (2 * kBlock + 100)) {
    if (rng() % 3 == 0 && produced > 0) {
      const int len = 3 + static_cast<int>(rng() % 58);
      b.Match(len, rng() % 4096);
      produced += len;
    } else {
      b.Literal(static_cast<std::uint8_t>(rng()));
      ++produced;
    }
  }
  const Bytes full = b.Bytes();
  const auto declared = static_cast<std::int32_t>(produced);
  ExpectAgreement(full, declared, "complete");
  for (std::size_t edge : {std::size_t{kBlock}, std::size_t{2 * kBlock}}) {
    for (std::size_t keep = edge - 9; keep <= edge + 9; ++keep) {
      const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keep));
      ASSERT_TRUE(RefDecode(cut, declared).cut_short);
      ExpectAgreement(cut, declared, "kept " + std::to_string(keep));
    }
  }
}

// A short stream cut at every byte, and its last item ending on every bit of
// its last byte: the driver tells a complete stream from a cut one exactly.
TEST(DriverDecode, EndOfTheInputAtEveryByteAndBit) {
  for (int extra = 0; extra < 8; ++extra) {
    StreamBuilder b;
    b.Literals({'e', 'd', 'g', 'e'});
    b.Match(10, 1);
    for (int i = 0; i < extra; ++i) b.Literal('z');
    const Bytes full = b.Bytes();
    const auto declared = static_cast<std::int32_t>(14 + extra);
    for (std::size_t keep = 0; keep <= full.size(); ++keep)
      ExpectAgreement(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keep)),
                      declared, "extra " + std::to_string(extra) + " kept " + std::to_string(keep));
  }
}

// Random bytes are a corrupt stream that decodes to something: the driver and
// the reference agree on every byte and on whether the stream runs out. Sizes
// around one and two input blocks.
TEST(DriverDecode, CorruptStreamsAgreeWithTheReference) {
  const std::uint32_t seed = testing_lzh::TestSeed();
  std::mt19937 rng(seed);
  std::vector<std::size_t> sizes = {0, 1, 2, 7, 8, 9, 100, 4096};
  for (std::size_t s : {std::size_t{kBlock}, std::size_t{2 * kBlock}})
    for (std::size_t d : {0, 1, 7, 8, 9}) sizes.insert(sizes.end(), {s - d, s + d});
  for (std::size_t size : sizes) {
    Bytes stream(size);
    for (auto& v : stream) v = static_cast<std::uint8_t>(rng());
    const auto reach = static_cast<std::int32_t>(RefDecode(stream, INT32_MAX).out.size());
    const std::string what = "seed " + std::to_string(seed) + " size " + std::to_string(size);
    ExpectAgreement(stream, reach, what + " to its reach");
    ExpectAgreement(stream, reach + 1, what + " one past its reach");
    if (reach > 0) ExpectAgreement(stream, static_cast<std::int32_t>(rng() % reach), what);
  }
}

// Decodes one after the other start afresh: model, window and the table of
// the tree's first levels carry nothing over.
TEST(DriverDecode, ExpansionsStartAfresh) {
  StreamBuilder first;
  for (int i = 0; i < 50000; ++i) first.Literal(static_cast<std::uint8_t>(i % 3));
  StreamBuilder second;
  second.Literals({'t', 'w', 'o'});
  second.Match(40, 4000);
  for (int round = 0; round < 2; ++round) {
    ExpectAgreement(first.Bytes(), 50000, "first");
    ExpectAgreement(second.Bytes(), 43, "second");
  }
}

}  // namespace
