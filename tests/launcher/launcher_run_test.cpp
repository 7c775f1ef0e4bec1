// The native launchers of the build, run as the user would run them, each in a
// throw-away TMPDIR: what they leave in the working folder, whether the inner
// setup ran there and how, what they report and their exit code.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "run_sandbox.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_launcher;

TEST(LauncherRunTest, FullRunWritesThePayloadExpandsAndStartsTheInnerSetupInTheFolder) {
  Sandbox box;
  // Arguments change nothing: the launcher reads no command line.
  const RunResult run = box.Run(LAUNCHER_PATH, {"/S", "--target=C:\\Elsewhere"});
  EXPECT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_EQ(run.error_output, "");

  ExpectRowsEqualStaged(box.Work(), PRODUCT_STAGE_DIR, 18);
  EXPECT_TRUE(FileText(box.Work() / "Setup.exe") == FileText(fs::path(SAMPLE_RELEASE_DIR) / "Setup.exe"))
      << "Setup.exe is not the plain inner setup";

  auto record = WaitForRecord(box.Work());
  ASSERT_FALSE(record.empty()) << "the inner setup left no record";
  EXPECT_EQ(record["current directory"], box.Work().string());
  EXPECT_EQ(record["parameter count"], "0");
  EXPECT_EQ(record["parameters"], "");
  EXPECT_EQ(record["list file"], "read");
  const auto files = RowFiles();
  for (int key = 1; key <= 16; ++key)
    EXPECT_EQ(record["programfiles " + std::to_string(key)], files[key - 1] + " present");

  std::set<std::string> expected(files.begin(), files.end());
  expected.insert({"Setup.exe", kRecord});
  EXPECT_EQ(Names(box.Work()), expected);
}

TEST(LauncherRunTest, SecondRunReplacesOlderFilesAndKeepsOthers) {
  Sandbox box;
  MakeTrustedWorkFolder(box);
  WriteText(box.Work() / "Readme.txt", std::string(100000, 'o'));  // longer than the row
  WriteText(box.Work() / "Setup.ex_", "older");
  WriteText(box.Work() / "Setup.exe", std::string(3000000, 'o'));
  WriteText(box.Work() / "Notes.txt", "the user's own");
  fs::create_directory(box.Work() / "Backup");
  WriteText(box.Work() / "Backup" / "Terms.txt", "kept");

  const RunResult run = box.Run(LAUNCHER_PATH);
  EXPECT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_EQ(run.error_output, "");
  ExpectRowsEqualStaged(box.Work(), PRODUCT_STAGE_DIR, 18);
  EXPECT_TRUE(FileText(box.Work() / "Setup.exe") == FileText(fs::path(SAMPLE_RELEASE_DIR) / "Setup.exe"));
  EXPECT_EQ(FileText(box.Work() / "Notes.txt"), "the user's own");
  EXPECT_EQ(FileText(box.Work() / "Backup" / "Terms.txt"), "kept");
  EXPECT_EQ(WaitForRecord(box.Work())["current directory"], box.Work().string());
}

TEST(LauncherRunTest, WithoutTest9RowsOneToEightAreWrittenAndNothingElse) {
  Sandbox box;
  const RunResult run = box.Run(NOTEST9_PATH);
  EXPECT_EQ(run.exit_code, 1);
  const auto report = StderrReport(run);
  ASSERT_TRUE(report.well_formed) << run.error_output;
  EXPECT_EQ(report.class_name, "EResNotFound");
  EXPECT_EQ(report.module, "Setup_Tolvex_NoTest9");
  EXPECT_EQ(report.message, "Ressource Test9 nicht gefunden.");
  ExpectRowsEqualStaged(box.Work(), SAMPLE_STAGE_DIR, 8);
  const auto files = RowFiles();
  EXPECT_EQ(Names(box.Work()), std::set<std::string>(files.begin(), files.begin() + 8));
}

// --- a target that cannot be created ---------------------------------------------

struct BlockedCase {
  const char* name;
  const char* file;     // the blocked row's file
  std::size_t row;      // its row number
  void (*block)(const fs::path& target);
};

// Failures name the case, not its bytes.
void PrintTo(const BlockedCase& c, std::ostream* os) { *os << c.name; }

// Windows refuses to open a read-only file for writing, administrators
// included; the posix backend treats a file without write bits the same, so
// this holds when the tests run as root too.
void MakeReadOnly(const fs::path& target) {
  WriteText(target, "read-only, left as it was");
  fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}
void MakeDirectory(const fs::path& target) { fs::create_directory(target); }

class LauncherBlockedTargetTest : public ::testing::TestWithParam<BlockedCase> {};

TEST_P(LauncherBlockedTargetTest, ReportsEFCreateErrorWithTheFullPath) {
  const BlockedCase& c = GetParam();
  Sandbox box;
  MakeTrustedWorkFolder(box);
  const fs::path target = box.Work() / c.file;
  c.block(target);
  const std::string before = fs::is_regular_file(target) ? FileText(target) : "";

  const RunResult run = box.Run(LAUNCHER_PATH);
  EXPECT_EQ(run.exit_code, 1);
  const auto report = StderrReport(run);
  ASSERT_TRUE(report.well_formed) << run.error_output;
  EXPECT_EQ(report.class_name, "EFCreateError");
  EXPECT_EQ(report.module, "Setup_Tolvex");
  EXPECT_EQ(report.message, "Kann Datei " + WindowsPath(target) + " nicht erstellen.");
  ExpectRowsEqualStaged(box.Work(), PRODUCT_STAGE_DIR, c.row - 1, c.row);
  if (fs::is_regular_file(target)) {
    EXPECT_EQ(FileText(target), before);
  }
  EXPECT_FALSE(fs::exists(box.Work() / "Setup.exe"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LauncherBlockedTargetTest,
    ::testing::Values(BlockedCase{"ReadOnlyFile", "Terms.txt", 8, MakeReadOnly},
                      BlockedCase{"DirectoryOfThatName", "Terms.txt", 8, MakeDirectory},
                      BlockedCase{"ReadOnlyFirstRow", "Tolvex.ex_", 1, MakeReadOnly}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LauncherRunTest, ATargetHeldOpenByAnotherProcessStaysAsItWas) {
  Sandbox box;
  MakeTrustedWorkFolder(box);
  const fs::path target = box.Work() / "Terms.txt";
  WriteText(target, "held by another process");
  // The backend's stand-in for share mode 0 is an exclusive lock.
  const int fd = ::open(target.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);

  const RunResult run = box.Run(LAUNCHER_PATH);
  ::close(fd);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(StderrReport(run).message, "Kann Datei " + WindowsPath(target) + " nicht erstellen.");
  EXPECT_EQ(FileText(target), "held by another process");
}

TEST(LauncherRunTest, AWorkingFolderThatCannotBeCreatedShowsAtTheFirstFile) {
  Sandbox box;
  WriteText(box.Work(), "a file where the folder should be");
  const RunResult run = box.Run(LAUNCHER_PATH);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(StderrReport(run).message,
            "Kann Datei " + WindowsPath(box.Work() / "Tolvex.ex_") + " nicht erstellen.");
  EXPECT_EQ(FileText(box.Work()), "a file where the folder should be");
}

// --- expansion and start ---------------------------------------------------------

TEST(LauncherRunTest, ASetupFileNotInTheFormatLeavesNoProgramAndTheFailedStartIsReported) {
  Sandbox box;
  MakeTrustedWorkFolder(box);
  WriteText(box.Work() / "Setup.exe", "left by an earlier run");
  const RunResult run = box.Run(BADSETUP_PATH);
  EXPECT_EQ(run.exit_code, 1);
  const auto report = StderrReport(run);
  ASSERT_TRUE(report.well_formed) << run.error_output;
  EXPECT_EQ(report.class_name, "EOSError");
  EXPECT_EQ(report.message, "Systemfehler. Code: 2.\r\nDas System kann die angegebene Datei nicht finden.");
  EXPECT_FALSE(fs::exists(box.Work() / "Setup.exe"));
  ExpectRowsEqualStaged(box.Work(), BAD_STAGE_DIR, 18);
  EXPECT_FALSE(fs::exists(box.Work() / kRecord));
}

TEST(LauncherRunTest, AnOlderSetupThatIsInUseIsStartedAsItIs) {
  Sandbox box;
  MakeTrustedWorkFolder(box);
  // The earlier inner setup, with a tail that marks this copy as the old one.
  const fs::path setup = box.Work() / "Setup.exe";
  fs::copy_file(fs::path(SAMPLE_RELEASE_DIR) / "Setup.exe", setup);
  { std::ofstream(setup, std::ios::binary | std::ios::app) << "OLD COPY"; }
  const std::string old = FileText(setup);
  const int fd = ::open(setup.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_SH), 0);

  const RunResult run = box.Run(LAUNCHER_PATH);
  EXPECT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_EQ(run.error_output, "");
  EXPECT_EQ(WaitForRecord(box.Work())["current directory"], box.Work().string());
  ::close(fd);
  EXPECT_TRUE(FileText(setup) == old) << "the older Setup.exe was replaced";
  ExpectRowsEqualStaged(box.Work(), PRODUCT_STAGE_DIR, 18);
}

// --- the temporary directory ------------------------------------------------------

TEST(LauncherRunTest, ATemporaryDirectoryLongerThanTheBufferIsReportedBeforeAnythingIsWritten) {
  Sandbox box;
  // With the trailing separator this needs 256 characters and its zero.
  std::string tmp = box.Tmp().string() + "/";
  tmp += std::string(255 - tmp.size(), 'd');
  ASSERT_EQ(tmp.size(), 255u);
  const RunResult run = RunProgram(LAUNCHER_PATH, {}, tmp, (box.Root() / "out").string());
  EXPECT_EQ(run.exit_code, 1);
  const auto report = StderrReport(run);
  ASSERT_TRUE(report.well_formed) << run.error_output;
  EXPECT_EQ(report.class_name, "EOSError");
  EXPECT_EQ(report.message, "Ein Aufruf einer Betriebssystemfunktion ist fehlgeschlagen.");
  EXPECT_TRUE(fs::is_empty(box.Tmp()));
}

TEST(LauncherRunTest, ATemporaryDirectoryOf254CharactersIsUsed) {
  Sandbox box;
  std::string tmp = box.Tmp().string() + "/";
  tmp += std::string(253 - tmp.size(), 'd');  // 253 + the separator the backend adds
  fs::create_directory(tmp);
  const RunResult run = RunProgram(LAUNCHER_PATH, {}, tmp, (box.Root() / "out").string());
  EXPECT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_EQ(WaitForRecord(fs::path(tmp) / "Inst-Setup_Tolvex")["parameter count"], "0");
}

}  // namespace
