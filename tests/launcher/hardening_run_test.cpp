// The native launcher's guards run end to end: a working folder or a target
// that is a symbolic link is refused with the report and nothing is written
// through it; a new folder gets mode 0700; a folder that another user owns or
// others may write is emptied, without following its links, and taken over.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <set>
#include <string>

#include "run_sandbox.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_launcher;

// A folder outside the sandbox's TMPDIR with one file, for links to point at.
struct Outside {
  explicit Outside(const Sandbox& box) : dir(box.Root() / "outside"), file(dir / "keep.txt") {
    fs::create_directory(dir);
    WriteText(file, "not the launcher's to touch");
  }
  void ExpectUnchanged() const {
    EXPECT_EQ(Names(dir), std::set<std::string>{"keep.txt"}) << "written through a link";
    EXPECT_EQ(FileText(file), "not the launcher's to touch");
  }
  fs::path dir, file;
};

mode_t ModeOf(const fs::path& p) {
  struct stat st;
  return lstat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

uid_t OwnerOf(const fs::path& p) {
  struct stat st;
  return lstat(p.c_str(), &st) == 0 ? st.st_uid : static_cast<uid_t>(-1);
}

TEST(HardeningRunTest, ASymlinkedWorkingFolderIsRefusedAndNothingIsWrittenThroughIt) {
  Sandbox box;
  const Outside outside(box);
  fs::create_directory_symlink(outside.dir, box.Work());

  const RunResult run = box.Run(LAUNCHER_PATH);
  EXPECT_EQ(run.exit_code, 1);
  const auto report = StderrReport(run);
  ASSERT_TRUE(report.well_formed) << run.error_output;
  EXPECT_EQ(report.class_name, "EFCreateError");
  EXPECT_EQ(report.message, "Kann Datei " + WindowsPath(box.Work()) + " nicht erstellen.");
  EXPECT_TRUE(fs::is_symlink(box.Work()));
  outside.ExpectUnchanged();
}

// --- a target that is a link ------------------------------------------------------

struct LinkedTargetCase {
  const char* name;
  const char* link;    // the target file name that is a link
  bool trusted_folder; // the folder otherwise as an earlier launcher left it
};

void PrintTo(const LinkedTargetCase& c, std::ostream* os) { *os << c.name; }

class LinkedTargetTest : public ::testing::TestWithParam<LinkedTargetCase> {};

TEST_P(LinkedTargetTest, IsRefusedBeforeAnythingIsWritten) {
  const LinkedTargetCase& c = GetParam();
  Sandbox box;
  const Outside outside(box);
  if (c.trusted_folder) {
    MakeTrustedWorkFolder(box);
  } else {
    fs::create_directory(box.Work());
    fs::permissions(box.Work(), fs::perms::all, fs::perm_options::replace);
  }
  const mode_t mode_before = ModeOf(box.Work());
  const fs::path link = box.Work() / c.link;
  fs::create_symlink(outside.file, link);

  const RunResult run = box.Run(LAUNCHER_PATH);
  EXPECT_EQ(run.exit_code, 1);
  const auto report = StderrReport(run);
  ASSERT_TRUE(report.well_formed) << run.error_output;
  EXPECT_EQ(report.class_name, "EFCreateError");
  EXPECT_EQ(report.message, "Kann Datei " + WindowsPath(link) + " nicht erstellen.");
  EXPECT_TRUE(fs::is_symlink(link));
  outside.ExpectUnchanged();
  // Nothing written, and the folder left as it was: the link stays for the
  // user to see.
  EXPECT_EQ(Names(box.Work()), std::set<std::string>{c.link});
  EXPECT_EQ(ModeOf(box.Work()), mode_before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkedTargetTest,
    ::testing::Values(LinkedTargetCase{"FirstRowInATrustedFolder", "Tolvex.ex_", true},
                      LinkedTargetCase{"TermsInATrustedFolder", "Terms.txt", true},
                      LinkedTargetCase{"TermsInAnOpenFolder", "Terms.txt", false},
                      LinkedTargetCase{"ProgramInATrustedFolder", "Setup.exe", true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the folder's own protection --------------------------------------------------

TEST(HardeningRunTest, ANewWorkingFolderHasMode0700WhateverTheUmask) {
  Sandbox box;
  const mode_t saved = umask(0);  // the launcher inherits it
  const RunResult run = box.Run(LAUNCHER_PATH);
  umask(saved);
  EXPECT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_EQ(ModeOf(box.Work()), 0700u);
  EXPECT_EQ(OwnerOf(box.Work()), geteuid());
  EXPECT_FALSE(WaitForRecord(box.Work()).empty()) << "the inner setup did not run";
}

struct UntrustedCase {
  const char* name;
  bool needs_root;                 // chown to another user
  fs::perms mode;
  void (*prepare)(const fs::path& folder);
};

void PrintTo(const UntrustedCase& c, std::ostream* os) { *os << c.name; }

constexpr uid_t kOtherUser = 65534;  // nobody

void GiveToAnotherUser(const fs::path& folder) {
  ASSERT_EQ(lchown(folder.c_str(), kOtherUser, kOtherUser), 0);
}
void KeepOwner(const fs::path&) {}

class UntrustedFolderTest : public ::testing::TestWithParam<UntrustedCase> {};

TEST_P(UntrustedFolderTest, IsEmptiedWithoutFollowingLinksAndTakenOver) {
  const UntrustedCase& c = GetParam();
  if (c.needs_root && geteuid() != 0)
    GTEST_SKIP() << "giving the folder to another user needs root (chown)";
  Sandbox box;
  const Outside outside(box);
  const fs::path work = box.Work();
  fs::create_directory(work);
  // What a planting process leaves: a library, a subfolder with another, links
  // to a folder and a file elsewhere, an older copy of a row.
  WriteText(work / "libplanted.so", "planted");
  fs::create_directory(work / "Lib");
  WriteText(work / "Lib" / "version.dll", "planted too");
  fs::create_directory_symlink(outside.dir, work / "LinkToFolder");
  fs::create_symlink(outside.file, work / "LinkToFile");
  WriteText(work / "Readme.txt", "older");
  fs::permissions(work, c.mode, fs::perm_options::replace);
  c.prepare(work);

  const RunResult run = box.Run(LAUNCHER_PATH);
  EXPECT_EQ(run.exit_code, 0) << run.error_output;
  EXPECT_EQ(run.error_output, "");
  outside.ExpectUnchanged();
  EXPECT_EQ(OwnerOf(work), geteuid());
  EXPECT_EQ(ModeOf(work), 0700u);
  EXPECT_FALSE(WaitForRecord(work).empty()) << "the inner setup did not run";
  const auto rows = RowFiles();
  std::set<std::string> expected(rows.begin(), rows.end());
  expected.insert({"Setup.exe", kRecord});
  EXPECT_EQ(Names(work), expected) << "something planted was left";
  ExpectRowsEqualStaged(work, PRODUCT_STAGE_DIR, 18);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UntrustedFolderTest,
    ::testing::Values(
        UntrustedCase{"OwnedByAnotherUser", true, fs::perms::owner_all, GiveToAnotherUser},
        UntrustedCase{"WritableByOthers", false, fs::perms::all, KeepOwner},
        UntrustedCase{"GroupMayEnter", false, fs::perms::owner_all | fs::perms::group_read |
                                                   fs::perms::group_exec,
                      KeepOwner}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
