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

#include "process_runner.h"
#include "report_matchers.h"

namespace {

namespace fs = std::filesystem;
using testing_launcher::ParseReport;
using testing_launcher::ReadText;
using testing_launcher::RunProgram;
using testing_launcher::RunResult;

const char kRecord[] = "Setup.record.txt";

// A fresh folder with the launcher's TMPDIR ("tmp") and its output files ("out").
class Sandbox {
 public:
  Sandbox() {
    std::string templ = "/tmp/tolvex-run-XXXXXX";
    if (!mkdtemp(templ.data())) std::abort();
    root_ = fs::canonical(templ);
    fs::create_directory(root_ / "tmp");
    fs::create_directory(root_ / "out");
  }
  ~Sandbox() {
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  fs::path Tmp() const { return root_ / "tmp"; }
  fs::path Work() const { return Tmp() / "Inst-Setup_Tolvex"; }
  fs::path Root() const { return root_; }

  RunResult Run(const std::string& launcher, const std::vector<std::string>& args = {}) const {
    return RunProgram(launcher, args, Tmp().string(), (root_ / "out").string());
  }

 private:
  fs::path root_;
};

// The path as the launcher names it: the posix backend shows "/" as "\".
std::string WindowsPath(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

std::string FileText(const fs::path& p) { return ReadText(p.string()); }

void WriteText(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << text;
}

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

// The 18 row files of a staged payload, in row order, as listed for embedding.
std::vector<std::string> RowFiles() {
  return {"Tolvex.ex_", "Plenum.dl_", "Vantor.ex_", "Tolvex.ch_", "TolvexMail.ex_",
          "Kestrum.ex_", "Readme.txt", "Terms.txt", "Shortcut.ico", "Norvik.bin",
          "StyleA.vsf", "StyleB.vsf", "StyleC.vsf", "StyleD.vsf", "StyleE.vsf",
          "StyleF.vsf", "Setup.ex_", "Setup.lst"};
}

// Waits for the inner setup's record, which it writes last, by renaming.
// Bounded: a setup that never runs fails the test instead of hanging it.
std::map<std::string, std::string> WaitForRecord(const fs::path& work) {
  const fs::path record = work / kRecord;
  for (int i = 0; i < 1500 && !fs::exists(record); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::map<std::string, std::string> fields;
  std::istringstream in(FileText(record));
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return fields;
}

// Rows 1..rows are the staged files; later rows were not written, except the
// one row a test had put in place itself (skip_row, counted from 1).
void ExpectRowsEqualStaged(const fs::path& work, const fs::path& staged, std::size_t rows,
                           std::size_t skip_row = 0) {
  const auto files = RowFiles();
  for (std::size_t i = 0; i < files.size(); ++i) {
    const fs::path written = work / files[i];
    if (i + 1 == skip_row) continue;
    if (i < rows) {
      ASSERT_TRUE(fs::exists(written)) << files[i];
      EXPECT_TRUE(FileText(written) == FileText(staged / files[i])) << files[i] << " differs";
    } else {
      EXPECT_FALSE(fs::exists(written)) << files[i] << " written after the failing row";
    }
  }
}

// The report's lines on stderr: caption, then the text.
testing_launcher::Report StderrReport(const RunResult& run) {
  const std::string caption = "Anwendungsfehler\n";
  if (run.error_output.rfind(caption, 0) != 0) return {};
  std::string text = run.error_output.substr(caption.size());
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return ParseReport(text);
}

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
  fs::create_directory(box.Work());
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
  fs::create_directory(box.Work());
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
  fs::create_directory(box.Work());
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
  fs::create_directory(box.Work());
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
  fs::create_directory(box.Work());
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
