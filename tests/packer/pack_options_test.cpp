// Every setting of the packer's knobs still writes a stream that decodes to
// the input under the window rules: tiny blocks cut matches at block ends,
// a depth of 1 starves the match finder, a single pass skips re-pricing.
#include <gtest/gtest.h>

#include "lzh/packer.h"
#include "test_inputs.h"
#include "window_tracking_decoder.h"

namespace packer_test {
namespace {

struct OptionsCase {
  const char* name;
  lzh::PackOptions options;
};

void PrintTo(const OptionsCase& c, std::ostream* os) { *os << c.name; }

lzh::PackOptions With(int passes, std::size_t block_size, int depth) {
  lzh::PackOptions o;
  o.passes = passes;
  o.block_size = block_size;
  o.search_depth = depth;
  return o;
}

class PackOptionsStream : public testing::TestWithParam<OptionsCase> {};

TEST_P(PackOptionsStream, DecodesToInput) {
  SCOPED_TRACE("PACKER_TEST_SEED=" + std::to_string(TestSeed()));
  Bytes data = WordText(12000, TestSeed() + 10);
  const Bytes runs = Runs(6000, TestSeed() + 11);
  data.insert(data.end(), runs.begin(), runs.end());

  const Bytes packed = lzh::PackBuffer(data.data(), data.size(), GetParam().options);
  const TrackedDecode d = DecodeTracking(packed);
  EXPECT_EQ(d.fault, "");
  EXPECT_TRUE(d.output == data);
  EXPECT_EQ(d.stream_bytes, (d.item_bits + 7) / 8);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, PackOptionsStream,
    testing::Values(OptionsCase{"defaults", lzh::PackOptions{}},
                    OptionsCase{"one_pass", With(1, 1 << 16, 256)},
                    OptionsCase{"no_passes_given", With(0, 1 << 16, 256)},
                    OptionsCase{"one_byte_blocks", With(2, 1, 256)},
                    OptionsCase{"blocks_cut_matches", With(3, 61, 256)},
                    OptionsCase{"block_size_zero", With(2, 0, 256)},
                    OptionsCase{"block_size_huge", With(2, std::size_t{1} << 40, 256)},
                    OptionsCase{"depth_one", With(2, 1 << 16, 1)},
                    OptionsCase{"depth_zero", With(2, 1 << 16, 0)}),
    [](const testing::TestParamInfo<OptionsCase>& info) { return std::string(info.param.name); });

// More parsing effort must not make the stream longer on text, where the
// re-pricing passes matter most.
TEST(PackOptions, RepricingPassesDoNotLoseOnGpl2) {
  bool found = false;
  const Bytes data = ReadFile(kGpl2Path, found);
  if (!found) GTEST_SKIP() << kGpl2Path << " is not installed";
  const std::size_t one = lzh::PackBuffer(data.data(), data.size(), With(1, 1 << 16, 256)).size();
  const std::size_t four = lzh::PackBuffer(data.data(), data.size(), With(4, 1 << 16, 256)).size();
  EXPECT_LT(four, one);
}

}  // namespace
}  // namespace packer_test
