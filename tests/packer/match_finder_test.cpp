// The match finder against a brute-force search: for every position and
// every length it must report the smallest distance at which that length is
// found within the window, and nothing that is not there.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "lzh/match_finder.h"
#include "test_inputs.h"

namespace packer_test {
namespace {

// nearest[L] = smallest distance with a match of at least L bytes, 0 if none.
std::array<int, 61> BruteNearest(const Bytes& buf, std::size_t pos) {
  std::array<int, 61> nearest{};
  const std::size_t limit = std::min<std::size_t>(60, buf.size() - pos);
  for (std::size_t d = 1; d <= 4096 && d <= pos; ++d) {
    std::size_t len = 0;
    while (len < limit && buf[pos - d + len] == buf[pos + len]) ++len;
    for (std::size_t l = 3; l <= len; ++l)
      if (nearest[l] == 0) nearest[l] = static_cast<int>(d);
  }
  return nearest;
}

struct FinderCase {
  const char* name;
  Bytes (*make)(std::uint32_t seed);
};

void PrintTo(const FinderCase& c, std::ostream* os) { *os << c.name; }

class MatchFinderOracle : public testing::TestWithParam<FinderCase> {};

TEST_P(MatchFinderOracle, NearestDistanceForEveryLength) {
  const std::uint32_t seed = TestSeed();
  SCOPED_TRACE("PACKER_TEST_SEED=" + std::to_string(seed));
  const Bytes buf = GetParam().make(seed);
  // Deep enough that the tree is never cut on these inputs.
  lzh::MatchFinder finder(buf.data(), buf.size(), 1 << 20);
  lzh::Match found[lzh::MatchFinder::kMaxLength];
  for (std::size_t pos = 0; pos < buf.size(); ++pos) {
    const int n = finder.Find(pos, found);
    std::array<int, 61> reported{};
    int previous = 2;
    for (int k = 0; k < n; ++k) {
      ASSERT_GT(found[k].length, previous) << "at " << pos;
      ASSERT_LE(found[k].length, 60);
      for (int l = previous + 1; l <= found[k].length; ++l) reported[static_cast<std::size_t>(l)] = found[k].distance;
      previous = found[k].length;
    }
    const std::array<int, 61> expected = BruteNearest(buf, pos);
    ASSERT_EQ(reported, expected) << "at position " << pos << " of " << buf.size();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, MatchFinderOracle,
    testing::Values(
        // Few symbols: many candidates per length, deep trees.
        FinderCase{"two_letter_random",
                   [](std::uint32_t seed) {
                     Bytes b = RandomBytes(9000, seed);
                     for (auto& x : b) x = static_cast<std::uint8_t>('a' + (x & 1));
                     return b;
                   }},
        FinderCase{"word_text", [](std::uint32_t seed) { return WordText(9000, seed); }},
        // Long runs: replaced nodes and matches that reach the end.
        FinderCase{"runs", [](std::uint32_t seed) { return Runs(9000, seed); }},
        // Repeats one byte beyond the window: nothing may be found there.
        FinderCase{"period_4097",
                   [](std::uint32_t seed) {
                     Bytes unit = RandomBytes(4097, seed);
                     Bytes b = unit;
                     b.insert(b.end(), unit.begin(), unit.end());
                     return b;
                   }}),
    [](const testing::TestParamInfo<FinderCase>& info) { return std::string(info.param.name); });

// Skip inserts a position without reporting, and later searches find it.
TEST(MatchFinder, SkippedPositionsAreSources) {
  const Bytes buf = Text("abcdefgh--abcdefgh");
  lzh::MatchFinder finder(buf.data(), buf.size());
  lzh::Match found[lzh::MatchFinder::kMaxLength];
  for (std::size_t pos = 0; pos < 10; ++pos) finder.Skip(pos);
  ASSERT_EQ(finder.Find(10, found), 1);
  EXPECT_EQ(found[0].length, 8);
  EXPECT_EQ(found[0].distance, 10);
}

}  // namespace
}  // namespace packer_test
