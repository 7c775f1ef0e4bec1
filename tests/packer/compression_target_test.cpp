// The packer must beat the best historic encoders of this bit stream on the
// GPL-2 text that Debian ships: 7,199 bytes of stream (compressed file minus
// its 8-byte header).
#include <gtest/gtest.h>

#include "lzh/packer.h"
#include "test_inputs.h"

namespace packer_test {
namespace {

TEST(CompressionTarget, Gpl2BeatsBestHistoricEncoder) {
  bool found = false;
  const Bytes data = ReadFile(kGpl2Path, found);
  if (!found) GTEST_SKIP() << kGpl2Path << " is not installed";
  ASSERT_EQ(data.size(), 18092u) << "not the GPL-2 text the target was measured on";
  const Bytes packed = lzh::PackBuffer(data.data(), data.size());
  const std::size_t stream = packed.size() - 8;
  RecordProperty("gpl2_stream_bytes", static_cast<int>(stream));
  EXPECT_LT(stream, 7199u);
}

}  // namespace
}  // namespace packer_test
