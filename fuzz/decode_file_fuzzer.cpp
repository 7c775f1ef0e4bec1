// Arbitrary bytes as a compressed file, expanded by the real file driver.
//
// Besides crashes and sanitizer reports it checks what the driver promises:
// an expansion that succeeds writes exactly the declared number of bytes,
// and they are the ones the reference decoder reads from the same stream; a
// failure leaves no output file; every file is closed again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz/memory_file_os.h"
#include "lzh/file_driver.h"
#include "support/reference_lzh.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::MemoryFileOs os;
  fuzzing::ScopedOs scoped(&os);
  lzh::InputFileName = "C:\\Temp\\Inst-Setup_Tolvex\\Setup.ex_";
  lzh::OutputFileName = "C:\\Temp\\Inst-Setup_Tolvex\\Setup.exe";
  os.files[lzh::InputFileName].assign(data, data + size);

  const std::int32_t result = lzh::DecompressFile();
  FUZZ_CHECK(result == 1 || result == -1, "result is 1 or -1");
  FUZZ_CHECK(os.OpenCount() == 0, "every file closed");
  FUZZ_CHECK(os.files[lzh::InputFileName] == std::vector<std::uint8_t>(data, data + size),
             "input unchanged");

  const bool header_ok = size >= 8 && data[0] == 0x21 && data[1] == 0x48 && data[2] == 0x5A &&
                         data[3] == 0x4C;
  if (!header_ok) {
    FUZZ_CHECK(result == -1, "a bad header fails");
    FUZZ_CHECK(os.files.count(lzh::OutputFileName) == 0, "no output after a failure");
    return 0;
  }
  const auto declared = static_cast<std::int32_t>(
      data[4] | data[5] << 8 | data[6] << 16 | static_cast<std::uint32_t>(data[7]) << 24);
  const testing_lzh::RefDecoded ref = testing_lzh::RefDecode(data + 8, size - 8, declared);
  if (ref.cut_short) {
    FUZZ_CHECK(result == -1, "a cut-short stream fails");
    FUZZ_CHECK(os.files.count(lzh::OutputFileName) == 0, "no output after a failure");
    return 0;
  }
  FUZZ_CHECK(result == 1, "a complete stream expands");
  const auto& out = os.files[lzh::OutputFileName];
  FUZZ_CHECK(out.size() == static_cast<std::size_t>(declared > 0 ? declared : 0),
             "output of exactly the declared length");
  FUZZ_CHECK(out == ref.out, "output equals the reference decoder's");
  return 0;
}
