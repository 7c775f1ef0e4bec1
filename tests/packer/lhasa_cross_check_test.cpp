// The packer's output, wrapped as an LHA "-lh1-" member, must be expanded by
// lhasa byte for byte: the proof that the packer writes the real bit stream.
// The launcher's own decoder must read the same file back as well.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <sys/wait.h>

#include "lha_archive.h"
#include "lzh/packer.h"
#include "memory_decode.h"
#include "packer_cases.h"

namespace packer_test {
namespace {

#ifndef LHA_PROGRAM
#define LHA_PROGRAM ""
#endif

struct CommandResult {
  int status = -1;
  Bytes output;
};

CommandResult RunCommand(const std::string& command) {
  CommandResult r;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  std::uint8_t chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) r.output.insert(r.output.end(), chunk, chunk + n);
  const int raw = pclose(pipe);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

class LhasaCrossCheck : public testing::TestWithParam<PackCase> {};

TEST_P(LhasaCrossCheck, LhasaAndOwnDecoderReproduceInput) {
  const std::string lha = LHA_PROGRAM;
  if (lha.empty() || access(lha.c_str(), X_OK) != 0)
    GTEST_SKIP() << "lha (lhasa) is not installed; scripts/install-deps installs it";
  std::string skip;
  const Bytes data = GetParam().make(skip);
  if (!skip.empty()) GTEST_SKIP() << skip;
  SCOPED_TRACE("PACKER_TEST_SEED=" + std::to_string(TestSeed()));

  const Bytes packed = lzh::PackBuffer(data.data(), data.size());
  ASSERT_EQ(DecodeInMemory(packed), data) << "own decoder";

  const std::string path = testing::TempDir() + "packer_" + GetParam().name + "_" +
                           std::to_string(getpid()) + ".lzh";
  {
    const Bytes archive = MakeLh1Archive(packed, data, GetParam().name + ".bin");
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
    ASSERT_TRUE(out.good()) << path;
  }
  const CommandResult tested = RunCommand(lha + " -t '" + path + "' 2>&1");
  EXPECT_EQ(tested.status, 0) << std::string(tested.output.begin(), tested.output.end());
  const CommandResult printed = RunCommand(lha + " -pq '" + path + "' 2>/dev/null");
  EXPECT_EQ(printed.status, 0);
  EXPECT_TRUE(printed.output == data) << "lha -p gave " << printed.output.size() << " bytes for "
                                      << data.size();
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Inputs, LhasaCrossCheck, testing::ValuesIn(PackCases()), CaseName);

}  // namespace
}  // namespace packer_test
