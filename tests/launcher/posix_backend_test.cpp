// The posix backend's Windows face: "\" paths, the temporary directory from
// TMPDIR, files that Windows would not let the launcher write through, and the
// folder guards (hold, trust, protection, emptying) that never follow a link.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>
#include <string>

#include "platform/os.h"
#include "process_runner.h"

namespace {

namespace fs = std::filesystem;

class PosixBackendTest : public ::testing::Test {
 protected:
  PosixBackendTest() {
    std::string templ = "/tmp/tolvex-posix-XXXXXX";
    if (!mkdtemp(templ.data())) std::abort();
    root_ = templ;
  }
  ~PosixBackendTest() override { fs::remove_all(root_); }

  // The Windows-style name of a path below the test folder.
  std::string Win(const std::string& name) const {
    std::string s = (root_ / name).string();
    for (char& c : s)
      if (c == '/') c = '\\';
    return s;
  }

  platform::Os& os_ = platform::DefaultOs();
  fs::path root_;
};

TEST_F(PosixBackendTest, TempPathComesFromTmpdirWithATrailingBackslash) {
  const char* saved = std::getenv("TMPDIR");
  const std::string keep = saved ? saved : "";
  setenv("TMPDIR", "/var/tmp/x", 1);
  char buffer[256];
  EXPECT_EQ(os_.GetTempPath(255, buffer), 11u);
  EXPECT_STREQ(buffer, "\\var\\tmp\\x\\");
  // Too small a buffer: the size needed, zero included, and nothing copied.
  buffer[0] = 'Q';
  EXPECT_EQ(os_.GetTempPath(11, buffer), 12u);
  EXPECT_EQ(buffer[0], 'Q');
  unsetenv("TMPDIR");
  EXPECT_EQ(os_.GetTempPath(255, buffer), 5u);
  EXPECT_STREQ(buffer, "\\tmp\\");
  if (saved) setenv("TMPDIR", keep.c_str(), 1);
}

TEST_F(PosixBackendTest, BackslashPathsReachTheFileSystem) {
  EXPECT_TRUE(os_.CreateDirectory(Win("a")));
  EXPECT_TRUE(fs::is_directory(root_ / "a"));
  EXPECT_FALSE(os_.CreateDirectory(Win("a")));
  EXPECT_EQ(os_.GetFileAttributes(Win("a")) & platform::kAttributeDirectory,
            platform::kAttributeDirectory);
  const platform::FileHandle h = os_.CreateAlways(Win("a\\f.txt"));
  ASSERT_GT(h, 0);
  EXPECT_EQ(os_.Write(h, "abc", 3), 3);
  os_.Close(h);
  EXPECT_EQ(testing_launcher::ReadText((root_ / "a" / "f.txt").string()), "abc");
  EXPECT_EQ(os_.GetFileAttributes(Win("a\\f.txt")) & platform::kAttributeDirectory, 0u);
  EXPECT_EQ(os_.GetFileAttributes(Win("missing")), platform::kInvalidFileAttributes);
}

TEST_F(PosixBackendTest, CreateAlwaysEmptiesAnExistingFile) {
  std::ofstream(root_ / "f") << std::string(1000, 'x');
  const platform::FileHandle h = os_.CreateAlways(Win("f"));
  ASSERT_GT(h, 0);
  EXPECT_EQ(os_.Write(h, "new", 3), 3);
  os_.Close(h);
  EXPECT_EQ(testing_launcher::ReadText((root_ / "f").string()), "new");
}

TEST_F(PosixBackendTest, ReadOnlyFilesAndOtherKindsAreNotOpenedForWriting) {
  std::ofstream(root_ / "ro") << "kept";
  chmod((root_ / "ro").c_str(), 0444);
  EXPECT_NE(os_.GetFileAttributes(Win("ro")) & platform::kAttributeReadOnly, 0u);
  EXPECT_LT(os_.CreateAlways(Win("ro")), 0);
  EXPECT_EQ(testing_launcher::ReadText((root_ / "ro").string()), "kept");
  // Reading it is fine.
  const platform::FileHandle h = os_.OpenExisting(Win("ro"));
  EXPECT_GT(h, 0);
  if (h > 0) os_.Close(h);

  // A FIFO under the name must neither block nor be written to.
  ASSERT_EQ(mkfifo((root_ / "fifo").c_str(), 0644), 0);
  EXPECT_LT(os_.CreateAlways(Win("fifo")), 0);
  EXPECT_LT(os_.OpenExisting(Win("fifo")), 0);

  fs::create_directory(root_ / "dir");
  EXPECT_LT(os_.CreateAlways(Win("dir")), 0);

  // A symbolic link is not followed.
  std::ofstream(root_ / "real") << "real";
  fs::create_symlink(root_ / "real", root_ / "link");
  EXPECT_LT(os_.CreateAlways(Win("link")), 0);
  EXPECT_EQ(testing_launcher::ReadText((root_ / "real").string()), "real");
}

TEST_F(PosixBackendTest, ShellStartOfAMissingProgramReturnsFileNotFound) {
  EXPECT_EQ(os_.ShellExecute("open", Win("Setup.exe"), "", Win(""), 5), 2);
  EXPECT_EQ(os_.SystemErrorMessage(2), "Das System kann die angegebene Datei nicht finden.");
}

// --- the folder guards --------------------------------------------------------------

mode_t ModeOf(const fs::path& p) {
  struct stat st;
  return lstat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

TEST_F(PosixBackendTest, HoldFolderTakesOnlyARealFolder) {
  fs::create_directory(root_ / "dir");
  fs::create_directory_symlink(root_ / "dir", root_ / "link");
  std::ofstream(root_ / "file") << "x";
  const platform::FileHandle held = os_.HoldFolder(Win("dir"));
  EXPECT_GT(held, 0);
  if (held > 0) os_.Close(held);
  EXPECT_LT(os_.HoldFolder(Win("link")), 0);
  EXPECT_LT(os_.HoldFolder(Win("file")), 0);
  EXPECT_LT(os_.HoldFolder(Win("missing")), 0);
}

struct TrustCase {
  const char* name;
  mode_t mode;
  bool trusted;
};

void PrintTo(const TrustCase& c, std::ostream* os) { *os << c.name; }

class FolderTrustTest : public PosixBackendTest, public ::testing::WithParamInterface<TrustCase> {};

TEST_P(FolderTrustTest, OnlyAFolderOfThisUserThatNobodyElseMayEnterIsTrusted) {
  const TrustCase& c = GetParam();
  fs::create_directory(root_ / "dir");
  ASSERT_EQ(chmod((root_ / "dir").c_str(), c.mode), 0);
  EXPECT_EQ(os_.IsFolderTrusted(Win("dir")), c.trusted);
  // Never through a link, whatever the folder it points to.
  fs::create_directory_symlink(root_ / "dir", root_ / "link");
  EXPECT_FALSE(os_.IsFolderTrusted(Win("link")));
}

INSTANTIATE_TEST_SUITE_P(Modes, FolderTrustTest,
                         ::testing::Values(TrustCase{"Mode0700", 0700, true},
                                           TrustCase{"Mode0500", 0500, true},
                                           TrustCase{"GroupMayEnter", 0750, false},
                                           TrustCase{"OthersMayEnter", 0701, false},
                                           TrustCase{"Mode0755", 0755, false},
                                           TrustCase{"Mode0777", 0777, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PosixBackendTest, NeitherAFileNorAMissingFolderIsTrusted) {
  std::ofstream(root_ / "file") << "x";
  chmod((root_ / "file").c_str(), 0600);
  EXPECT_FALSE(os_.IsFolderTrusted(Win("file")));
  EXPECT_FALSE(os_.IsFolderTrusted(Win("missing")));
}

TEST_F(PosixBackendTest, AFolderOfAnotherUserIsNotTrustedAndProtectingTakesItOver) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root (chown)";
  fs::create_directory(root_ / "dir");
  ASSERT_EQ(chmod((root_ / "dir").c_str(), 0700), 0);
  ASSERT_EQ(lchown((root_ / "dir").c_str(), 65534, 65534), 0);
  EXPECT_FALSE(os_.IsFolderTrusted(Win("dir")));
  EXPECT_TRUE(os_.ProtectFolder(Win("dir")));
  struct stat st;
  ASSERT_EQ(lstat((root_ / "dir").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, geteuid());
  EXPECT_TRUE(os_.IsFolderTrusted(Win("dir")));
}

TEST_F(PosixBackendTest, ProtectFolderSetsMode0700AndNeverFollowsALink) {
  fs::create_directory(root_ / "dir");
  ASSERT_EQ(chmod((root_ / "dir").c_str(), 0777), 0);
  EXPECT_TRUE(os_.ProtectFolder(Win("dir")));
  EXPECT_EQ(ModeOf(root_ / "dir"), 0700u);
  EXPECT_TRUE(os_.IsFolderTrusted(Win("dir")));

  fs::create_directory(root_ / "target");
  ASSERT_EQ(chmod((root_ / "target").c_str(), 0755), 0);
  fs::create_directory_symlink(root_ / "target", root_ / "link");
  EXPECT_FALSE(os_.ProtectFolder(Win("link")));
  EXPECT_EQ(ModeOf(root_ / "target"), 0755u);
}

TEST_F(PosixBackendTest, EmptyFolderRemovesLinksThemselvesAndLeavesTheirTargets) {
  const fs::path outside = root_ / "outside";
  fs::create_directory(outside);
  std::ofstream(outside / "keep.txt") << "keep";
  const fs::path dir = root_ / "dir";
  fs::create_directories(dir / "sub" / "deeper");
  std::ofstream(dir / "a.txt") << "a";
  std::ofstream(dir / "sub" / "deeper" / "b.txt") << "b";
  std::ofstream(dir / "ro.txt") << "r";
  chmod((dir / "ro.txt").c_str(), 0444);
  fs::create_directory_symlink(outside, dir / "folder-link");
  fs::create_directory_symlink(outside, dir / "sub" / "nested-link");
  fs::create_symlink(outside / "keep.txt", dir / "file-link");
  fs::create_symlink(root_ / "nowhere", dir / "dangling");

  EXPECT_TRUE(os_.EmptyFolder(Win("dir")));
  EXPECT_TRUE(fs::is_directory(dir));
  EXPECT_TRUE(fs::is_empty(dir));
  EXPECT_EQ(Names(outside), std::set<std::string>{"keep.txt"});
  EXPECT_EQ(testing_launcher::ReadText((outside / "keep.txt").string()), "keep");
}

TEST_F(PosixBackendTest, EmptyFolderOnALinkDoesNothing) {
  const fs::path outside = root_ / "outside";
  fs::create_directory(outside);
  std::ofstream(outside / "keep.txt") << "keep";
  fs::create_directory_symlink(outside, root_ / "link");
  EXPECT_FALSE(os_.EmptyFolder(Win("link")));
  EXPECT_EQ(Names(outside), std::set<std::string>{"keep.txt"});
}

TEST_F(PosixBackendTest, AReadLockedFileCannotBeReplacedWhileHeld) {
  std::ofstream(root_ / "Setup.exe") << "program";
  const platform::FileHandle held = os_.OpenReadLocked(Win("Setup.exe"));
  ASSERT_GT(held, 0);
  EXPECT_LT(os_.CreateAlways(Win("Setup.exe")), 0);
  // Other readers are fine.
  const platform::FileHandle reader = os_.OpenReadLocked(Win("Setup.exe"));
  EXPECT_GT(reader, 0);
  if (reader > 0) os_.Close(reader);
  os_.Close(held);
  const platform::FileHandle writer = os_.CreateAlways(Win("Setup.exe"));
  EXPECT_GT(writer, 0);
  if (writer > 0) os_.Close(writer);

  fs::create_symlink(root_ / "Setup.exe", root_ / "link.exe");
  EXPECT_LT(os_.OpenReadLocked(Win("link.exe")), 0);
  EXPECT_NE(os_.GetFileAttributes(Win("link.exe")) & platform::kAttributeReparsePoint, 0u);
}

}  // namespace
