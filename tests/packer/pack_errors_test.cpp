// What the packer refuses: inputs too long for the header, and item lists
// that the decoder could not follow or that do not spell out the data.
#include <gtest/gtest.h>

#include <stdexcept>

#include "lzh/packer.h"
#include "test_inputs.h"

namespace packer_test {
namespace {

TEST(PackErrors, InputLongerThanDeclarableLengthIsRejected) {
  // Only the size is looked at before the refusal, so a tiny buffer serves.
  const std::uint8_t byte = 0;
  const std::size_t too_long = std::size_t{0x7FFFFFFF} + 1;
  EXPECT_THROW(lzh::PackBuffer(&byte, too_long), std::length_error);
  EXPECT_THROW(lzh::ParseInput(&byte, too_long), std::length_error);
  EXPECT_THROW(lzh::EncodeItems(&byte, too_long, {}), std::length_error);
  try {
    lzh::PackBuffer(&byte, too_long);
  } catch (const std::length_error& e) {
    EXPECT_NE(std::string(e.what()).find("2147483648"), std::string::npos) << e.what();
  }
}

struct BadItems {
  const char* name;
  std::string data;
  std::vector<lzh::Item> items;
  const char* message_part;
};

void PrintTo(const BadItems& c, std::ostream* os) { *os << c.name; }

class ItemCheck : public testing::TestWithParam<BadItems> {};

TEST_P(ItemCheck, RefusedWithReason) {
  const BadItems& c = GetParam();
  const Bytes data = Text(c.data);
  try {
    lzh::EncodeItems(data.data(), data.size(), c.items);
    FAIL() << "accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ItemCheck,
    testing::Values(
        BadItems{"literal_with_distance", "ab", {{1, 0}, {1, 5}}, "literal with a distance"},
        BadItems{"match_too_short", "aaaa", {{1, 0}, {2, 1}, {1, 0}}, "match length 2"},
        BadItems{"match_too_long", std::string(62, 'a'), {{1, 0}, {61, 1}}, "match length 61"},
        BadItems{"distance_zero", "aaaa", {{1, 0}, {3, 0}}, "match distance 0"},
        BadItems{"distance_beyond_window", "aaaa", {{1, 0}, {3, 4097}}, "match distance 4097"},
        BadItems{"unwritten_window", "aaaa", {{1, 0}, {3, 4038}}, "not written yet"},
        BadItems{"match_past_end", "abab", {{1, 0}, {1, 0}, {3, 2}}, "past the end of the data"},
        BadItems{"wrong_bytes", "abcabd", {{1, 0}, {1, 0}, {1, 0}, {3, 3}}, "other bytes"},
        BadItems{"wrong_space_source", "xyz", {{3, 100}}, "other bytes"},
        BadItems{"items_end_early", "abc", {{1, 0}, {1, 0}}, "end before the data"},
        BadItems{"items_past_end", "ab", {{1, 0}, {1, 0}, {1, 0}}, "past the end of the data"}),
    [](const testing::TestParamInfo<BadItems>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace packer_test
