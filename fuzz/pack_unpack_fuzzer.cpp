// Arbitrary bytes packed, then expanded by the real file driver: the result
// is the input again, the reference decoder reads the same bytes from the
// packed stream, and without its last byte the packed file is refused.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz/memory_file_os.h"
#include "lzh/file_driver.h"
#include "lzh/packer.h"
#include "support/reference_lzh.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> original(data, data + size);
  const std::vector<std::uint8_t> packed = lzh::PackBuffer(data, size);
  FUZZ_CHECK(packed.size() >= 8, "a header at least");
  FUZZ_CHECK(packed[0] == 0x21 && packed[1] == 0x48 && packed[2] == 0x5A && packed[3] == 0x4C,
             "magic");
  const std::uint32_t declared = packed[4] | packed[5] << 8 | packed[6] << 16 |
                                 static_cast<std::uint32_t>(packed[7]) << 24;
  FUZZ_CHECK(declared == size, "declared length is the input size");

  const testing_lzh::RefDecoded ref =
      testing_lzh::RefDecode(packed.data() + 8, packed.size() - 8, static_cast<std::int32_t>(size));
  FUZZ_CHECK(!ref.cut_short && ref.out == original, "the reference decoder reads the input back");
  FUZZ_CHECK(size == 0 || ref.bits_consumed > (packed.size() - 9) * 8,
             "the last item ends in the last byte");

  fuzzing::MemoryFileOs os;
  fuzzing::ScopedOs scoped(&os);
  lzh::InputFileName = "in.lzh";
  lzh::OutputFileName = "out.bin";
  os.files[lzh::InputFileName] = packed;
  FUZZ_CHECK(lzh::DecompressFile() == 1, "the packed file expands");
  FUZZ_CHECK(os.files[lzh::OutputFileName] == original, "expanded file equals the input");

  if (size > 0) {
    os.files[lzh::InputFileName].pop_back();
    FUZZ_CHECK(lzh::DecompressFile() == -1, "without its last byte the file is refused");
    FUZZ_CHECK(os.files.count(lzh::OutputFileName) == 0, "no output after a failure");
  }
  return 0;
}
