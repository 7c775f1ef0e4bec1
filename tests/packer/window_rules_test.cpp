// The stream keeps the decoder's window rules and ends where its items end.
#include <gtest/gtest.h>

#include <stdexcept>

#include "lzh/pack_model.h"
#include "lzh/packer.h"
#include "packer_cases.h"
#include "window_tracking_decoder.h"

namespace packer_test {
namespace {

class PackedStream : public testing::TestWithParam<PackCase> {};

TEST_P(PackedStream, ReadsOnlyWrittenWindowAndEndsInLastByte) {
  std::string skip;
  const Bytes data = GetParam().make(skip);
  if (!skip.empty()) GTEST_SKIP() << skip;
  SCOPED_TRACE("PACKER_TEST_SEED=" + std::to_string(TestSeed()));

  const Bytes packed = lzh::PackBuffer(data.data(), data.size());
  const TrackedDecode d = DecodeTracking(packed);
  EXPECT_EQ(d.fault, "");
  EXPECT_TRUE(d.output == data);
  // The last item ends in the last byte, and the rest of that byte is 0.
  EXPECT_EQ(d.stream_bytes, (d.item_bits + 7) / 8);
  EXPECT_TRUE(d.padding_zero);
}

INSTANTIATE_TEST_SUITE_P(Inputs, PackedStream, testing::ValuesIn(PackCases()), CaseName);

// Hand-made item lists at the edge of the window's reach: the tracking
// decoder and the packer's own item check must agree on every one. The
// stream is written without the check, so a bad list really reaches the
// decoder.
struct ReachCase {
  const char* name;
  std::size_t literals;     // plain 'a' literals first
  std::uint16_t distance;   // then one 3-byte match
  bool legal;
};

void PrintTo(const ReachCase& c, std::ostream* os) { *os << c.name; }

Bytes EncodeUnchecked(const Bytes& data, const std::vector<lzh::Item>& items) {
  Bytes out = {'!', 'H', 'Z', 'L', 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) out[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(data.size() >> (8 * i));
  lzh::BitWriter writer(out);
  lzh::AdaptiveModel model;
  std::size_t n = 0;
  for (const lzh::Item& item : items) {
    model.Encode(writer, lzh::SymbolOf(item, data.data() + n));
    if (item.length > 1) lzh::EncodePosition(writer, item.distance - 1u);
    n += item.length;
  }
  writer.Finish();
  return out;
}

class WindowReach : public testing::TestWithParam<ReachCase> {};

TEST_P(WindowReach, TrackerAndItemCheckAgree) {
  const ReachCase& c = GetParam();
  std::vector<lzh::Item> items(c.literals, lzh::Item{1, 0});
  items.push_back(lzh::Item{3, c.distance});
  // A legal reach this far back lands in the pre-filled spaces.
  Bytes data(c.literals, 'a');
  data.insert(data.end(), 3, ' ');

  const TrackedDecode d = DecodeTracking(EncodeUnchecked(data, items));
  if (c.legal) {
    EXPECT_EQ(d.fault, "");
    EXPECT_TRUE(d.output == data);
    EXPECT_NO_THROW(lzh::CheckItems(data.data(), data.size(), items));
  } else {
    EXPECT_NE(d.fault.find("before it was written"), std::string::npos) << d.fault;
    EXPECT_THROW(lzh::CheckItems(data.data(), data.size(), items), std::invalid_argument);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Edges, WindowReach,
    testing::Values(ReachCase{"first_item_oldest_space", 0, 4036, true},
                    ReachCase{"first_item_one_too_far", 0, 4037, false},
                    ReachCase{"first_item_full_window", 0, 4096, false},
                    ReachCase{"after_10_oldest_space", 10, 4046, true},
                    ReachCase{"after_10_one_too_far", 10, 4047, false},
                    ReachCase{"after_59_last_unwritten", 59, 4096, false},
                    ReachCase{"after_60_full_window", 60, 4096, true}),
    [](const testing::TestParamInfo<ReachCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace packer_test
