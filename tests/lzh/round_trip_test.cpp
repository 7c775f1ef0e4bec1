// Round trips: the packer's file, expanded by the real file driver, gives
// back the input byte for byte; without its last byte it is refused.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <ostream>
#include <string>
#include <vector>

#include "lzh/file_driver.h"
#include "lzh/packer.h"
#include "support/seed.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_lzh::ReadFile;
using testing_lzh::WriteFile;

std::uint32_t Seed() {
  static const std::uint32_t seed = testing_lzh::TestSeed();
  return seed;
}

Bytes Random(std::size_t n, std::uint32_t salt) {
  std::mt19937 rng(Seed() ^ salt);
  Bytes b(n);
  for (auto& v : b) v = static_cast<std::uint8_t>(rng());
  return b;
}

Bytes Periodic(std::size_t period, std::size_t n) {
  const Bytes unit = Random(period, static_cast<std::uint32_t>(period));
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = unit[i % period];
  return b;
}

// Runs of random bytes with random lengths, some longer than a match.
Bytes Runs(std::size_t n) {
  std::mt19937 rng(Seed() ^ 0x52554e53u);
  Bytes b;
  while (b.size() < n) b.insert(b.end(), 1 + rng() % 300, static_cast<std::uint8_t>(rng()));
  b.resize(n);
  return b;
}

// Words from a small vocabulary: text-like, many matches of all lengths.
Bytes Words(std::size_t n) {
  static const char* vocabulary[] = {"setup ", "the ", "file ", "window ", "match ", "Tolvex ",
                                     "of ", "position ", "\r\n", "compressed ", "a ", "length "};
  std::mt19937 rng(Seed() ^ 0x574f5244u);
  Bytes b;
  while (b.size() < n) {
    const std::string w = vocabulary[rng() % 12];
    b.insert(b.end(), w.begin(), w.end());
  }
  b.resize(n);
  return b;
}

struct RoundTripCase {
  const char* name;
  std::function<Bytes()> make;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, ExpandsToTheOriginal) {
  const Bytes data = GetParam().make();
  SCOPED_TRACE("seed " + std::to_string(Seed()) + ", " + std::to_string(data.size()) + " bytes");
  const Bytes packed = lzh::PackBuffer(data.data(), data.size());
  ASSERT_GE(packed.size(), 8u);
  EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 4), (Bytes{'!', 'H', 'Z', 'L'}));
  const std::uint32_t declared = packed[4] | packed[5] << 8 | packed[6] << 16 |
                                 static_cast<std::uint32_t>(packed[7]) << 24;
  EXPECT_EQ(declared, data.size());

  testing_lzh::TempDir dir;
  lzh::InputFileName = dir.Path("in.lzh");
  lzh::OutputFileName = dir.Path("out.bin");
  WriteFile(lzh::InputFileName, packed);
  ASSERT_EQ(lzh::DecompressFile(), 1);
  EXPECT_TRUE(ReadFile(lzh::OutputFileName) == data) << "expanded file differs";

  // The last item ends in the last byte: without it the stream is cut short.
  if (!data.empty()) {
    WriteFile(lzh::InputFileName, Bytes(packed.begin(), packed.end() - 1));
    try {
      lzh::ExpandFile();
      ADD_FAILURE() << "the stream without its last byte was accepted";
    } catch (const platform::Exception& e) {
      EXPECT_EQ(e.Message(),
                "Lzrw1 : " + lzh::InputFileName + " : UNEXPECTED END OF COMPRESSED DATA !");
    }
    EXPECT_FALSE(testing_lzh::FileExists(lzh::OutputFileName));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, RoundTrip,
    ::testing::Values(
        RoundTripCase{"empty", [] { return Bytes{}; }},
        RoundTripCase{"one_byte", [] { return Bytes{0x42}; }},
        RoundTripCase{"one_space", [] { return Bytes{0x20}; }},
        RoundTripCase{"all_256_values",
                      [] {
                        Bytes b;
                        for (int i = 0; i < 256; ++i) b.push_back(static_cast<std::uint8_t>(i));
                        return b;
                      }},
        RoundTripCase{"long_run_of_one_byte", [] { return Bytes(100000, 'a'); }},
        RoundTripCase{"spaces_like_the_prefill", [] { return Bytes(9000, 0x20); }},
        RoundTripCase{"zeros", [] { return Bytes(20000, 0); }},
        RoundTripCase{"runs_of_random_lengths", [] { return Runs(60000); }},
        RoundTripCase{"period_1", [] { return Periodic(1, 5000); }},
        RoundTripCase{"period_60", [] { return Periodic(60, 50000); }},
        RoundTripCase{"period_61", [] { return Periodic(61, 20000); }},
        RoundTripCase{"period_4095", [] { return Periodic(4095, 20000); }},
        RoundTripCase{"period_4096", [] { return Periodic(4096, 20000); }},
        RoundTripCase{"period_4097", [] { return Periodic(4097, 20000); }},
        RoundTripCase{"words_over_several_rebuilds", [] { return Words(400000); }},
        RoundTripCase{"random_over_several_rebuilds", [] { return Random(120000, 1); }},
        RoundTripCase{"random_small", [] { return Random(777, 2); }},
        RoundTripCase{"real_pe_from_the_cross_toolchain",
                      [] {
                        const Bytes pe = ReadFile(LZH_SAMPLE_PE);
                        EXPECT_GT(pe.size(), 10000u) << LZH_SAMPLE_PE;
                        EXPECT_TRUE(pe.size() > 2 && pe[0] == 'M' && pe[1] == 'Z');
                        return pe;
                      }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
