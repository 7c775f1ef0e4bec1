// The posix backend's Windows face: "\" paths, the temporary directory from
// TMPDIR, and files that Windows would not let the launcher write through.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

}  // namespace
