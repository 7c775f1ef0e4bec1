// Staging of one payload row from a release folder, as the vendor build and
// the sample payload both do it: taken as it is, packed from the plain file,
// or the build stops naming the missing file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "process_runner.h"

namespace {

namespace fs = std::filesystem;
using testing_launcher::ReadText;
using testing_launcher::RunProgram;
using testing_launcher::RunResult;

class StagingTest : public ::testing::Test {
 protected:
  StagingTest() {
    std::string templ = "/tmp/tolvex-stage-XXXXXX";
    if (!mkdtemp(templ.data())) std::abort();
    root_ = templ;
    fs::create_directory(Release());
  }
  ~StagingTest() override { fs::remove_all(root_); }

  fs::path Release() const { return root_ / "release"; }
  fs::path Output() const { return root_ / "staged.bin"; }

  void Put(const std::string& name, const std::string& bytes) {
    std::ofstream(Release() / name, std::ios::binary) << bytes;
  }

  RunResult Stage(int row, const std::string& target, const std::string& expanded) {
    return RunProgram(CMAKE_COMMAND,
                      {"-DRELEASE_DIR=" + Release().string(), "-DROW=" + std::to_string(row),
                       "-DTARGET=" + target, "-DEXPANDED=" + expanded,
                       "-DOUTPUT=" + Output().string(), "-DLZH=" LZH_TOOL, "-P", STAGE_ROW_SCRIPT},
                      root_.string(), root_.string());
  }

  fs::path root_;
};

std::string Plain() {
  std::string s;
  for (int i = 0; i < 70000; ++i) s += static_cast<char>("Tolvex stand-in "[i % 16] ^ (i / 997));
  return s;
}

TEST_F(StagingTest, ARowFilePresentIsTakenAsItIs) {
  Put("Tolvex.ex_", "vendor's own compressed bytes");
  Put("Tolvex.exe", "a plain file that must not win");
  const RunResult run = Stage(1, "Tolvex.ex_", "Tolvex.exe");
  ASSERT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_EQ(ReadText(Output().string()), "vendor's own compressed bytes");
}

TEST_F(StagingTest, AStoredRowIsCopiedByteForByte) {
  const std::string text = "Zeile 1\r\nZeile \xFC" "2";
  Put("Readme.txt", text);
  const RunResult run = Stage(7, "Readme.txt", "");
  ASSERT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_EQ(ReadText(Output().string()), text);
}

TEST_F(StagingTest, ACompressedRowIsPackedFromItsPlainFileAndExpandsBack) {
  Put("Tolvex.exe", Plain());
  const RunResult run = Stage(1, "Tolvex.ex_", "Tolvex.exe");
  ASSERT_EQ(run.exit_code, 0) << run.error_output;
  const std::string packed = ReadText(Output().string());
  ASSERT_GE(packed.size(), 8u);
  EXPECT_EQ(packed.substr(0, 4), "!HZL");
  std::uint32_t declared = 0;
  for (int i = 0; i < 4; ++i) declared |= static_cast<std::uint32_t>(static_cast<unsigned char>(packed[4 + i])) << (8 * i);
  EXPECT_EQ(declared, Plain().size());
  EXPECT_LT(packed.size(), Plain().size());

  const fs::path back = root_ / "expanded.bin";
  const RunResult unpack =
      RunProgram(LZH_TOOL, {"unpack", Output().string(), back.string()}, root_.string(), root_.string());
  ASSERT_EQ(unpack.exit_code, 0) << unpack.error_output;
  EXPECT_TRUE(ReadText(back.string()) == Plain());
}

struct MissingCase {
  const char* name;
  int row;
  const char* target;
  const char* expanded;
  const char* present;  // a file put into the release folder beforehand, or ""
  const char* named;    // what the error names
};

// Failures name the case, not its bytes.
void PrintTo(const MissingCase& c, std::ostream* os) { *os << c.name; }

class StagingMissingTest : public StagingTest, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(StagingMissingTest, StopsWithAnErrorNamingTheFile) {
  const MissingCase& c = GetParam();
  if (*c.present) Put(c.present, "unrelated");
  const RunResult run = Stage(c.row, c.target, c.expanded);
  EXPECT_NE(run.exit_code, 0);
  EXPECT_NE(run.error_output.find(c.named), std::string::npos) << run.error_output;
  EXPECT_FALSE(fs::exists(Output()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StagingMissingTest,
    ::testing::Values(
        MissingCase{"CompressedRowWithNeither", 1, "Tolvex.ex_", "Tolvex.exe", "",
                    "missing file Tolvex.ex_ (or Tolvex.exe to pack it from)"},
        MissingCase{"StoredRow", 9, "Shortcut.ico", "", "Shortcut.png", "missing file Shortcut.ico"},
        MissingCase{"NameInOtherCaseIsNoMatchOnLinux", 17, "Setup.ex_", "Setup.exe", "setup.EXE",
                    "missing file Setup.ex_"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StagingTest, AFolderUnderTheRowNameDoesNotCount) {
  fs::create_directory(Release() / "Setup.lst");
  const RunResult run = Stage(18, "Setup.lst", "");
  EXPECT_NE(run.exit_code, 0);
  EXPECT_NE(run.error_output.find("missing file Setup.lst"), std::string::npos) << run.error_output;
}

}  // namespace
