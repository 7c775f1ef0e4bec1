// EnsureDirectoryPath, watched through the OS seam: which folders it asks
// about, which it creates and in what order, and that it stays silent.
#include <gtest/gtest.h>

#include <set>
#include <ostream>
#include <string>
#include <vector>

#include "fake_os.h"
#include "launcher/path_helpers.h"

namespace launcher {
namespace {

using testing_launcher::FakeOs;
using testing_launcher::ScopedOs;
using Strings = std::vector<std::string>;

struct EnsureCase {
  const char* name;
  const char* path;
  std::set<std::string> folders;  // existing before the call ("C:" always exists)
  std::set<std::string> files;    // existing files
  Strings creations;              // CreateDirectory calls, in order
  std::set<std::string> folders_after;
};

// Failures name the case, not its bytes.
void PrintTo(const EnsureCase& c, std::ostream* os) { *os << c.name; }

class EnsureDirectoryPathTest : public ::testing::TestWithParam<EnsureCase> {};

TEST_P(EnsureDirectoryPathTest, CreatesWhatIsMissingOutermostFirst) {
  const EnsureCase& c = GetParam();
  FakeOs os;
  os.directories = c.folders;
  for (const auto& f : c.files) os.files[f] = {'x'};
  ScopedOs scope(&os);

  EXPECT_NO_THROW(EnsureDirectoryPath(c.path));

  Strings creations;
  for (const auto& call : os.Calls({"CreateDirectory "}))
    creations.push_back(call.substr(std::string("CreateDirectory ").size()));
  EXPECT_EQ(creations, c.creations);
  EXPECT_EQ(os.directories, c.folders_after);
  EXPECT_TRUE(os.Calls({"MessageBox"}).empty());
}

const std::set<std::string> kTemp = {"C:\\Temp"};

INSTANTIATE_TEST_SUITE_P(
    Cases, EnsureDirectoryPathTest,
    ::testing::Values(
        EnsureCase{"ExistingFolder", "C:\\Temp", kTemp, {}, {}, kTemp},
        EnsureCase{"ExistingFolderWithSeparator", "C:\\Temp\\", kTemp, {}, {}, kTemp},
        EnsureCase{"WorkingFolderBelowExistingTemp", "C:\\Temp\\Inst-Setup_Tolvex", kTemp, {},
                   {"C:\\Temp\\Inst-Setup_Tolvex"},
                   {"C:\\Temp", "C:\\Temp\\Inst-Setup_Tolvex"}},
        EnsureCase{"ThreeMissingLevels", "C:\\a\\b\\c", {}, {},
                   {"C:\\a", "C:\\a\\b", "C:\\a\\b\\c"},
                   {"C:\\a", "C:\\a\\b", "C:\\a\\b\\c"}},
        EnsureCase{"ThreeMissingLevelsWithSeparator", "C:\\a\\b\\c\\", {}, {},
                   {"C:\\a", "C:\\a\\b", "C:\\a\\b\\c"},
                   {"C:\\a", "C:\\a\\b", "C:\\a\\b\\c"}},
        // The file is no folder: one attempt, which fails, and no report.
        EnsureCase{"PathNamesAFile", "C:\\Temp\\Readme.txt", kTemp, {"C:\\Temp\\Readme.txt"},
                   {"C:\\Temp\\Readme.txt"}, kTemp},
        // A parent that cannot be created does not stop the attempt on the folder.
        EnsureCase{"ParentIsAFile", "C:\\Temp\\f\\sub", kTemp, {"C:\\Temp\\f"},
                   {"C:\\Temp\\f", "C:\\Temp\\f\\sub"}, kTemp},
        EnsureCase{"Drive", "C:", {}, {}, {}, {}},
        EnsureCase{"DriveRoot", "C:\\", {}, {}, {}, {}},
        EnsureCase{"LoneBackslash", "\\", {}, {}, {}, {}},
        EnsureCase{"Empty", "", {}, {}, {}, {}},
        // A slash is no separator: "C:/a" is one name below "C:".
        EnsureCase{"SlashIsOrdinary", "C:/a/b", {}, {}, {"C:/a/b"}, {}},
        // Without any separator or colon there is no parent to try.
        EnsureCase{"RelativeName", "work", {}, {}, {"work"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EnsureDirectoryPathCallsTest, AsksAboutEachLevelOnceBeforeCreating) {
  FakeOs os;
  os.directories = {};
  ScopedOs scope(&os);
  EnsureDirectoryPath("C:\\a\\b");
  EXPECT_EQ(os.calls, (Strings{"GetFileAttributes C:\\a\\b", "GetFileAttributes C:\\a",
                               "CreateDirectory C:\\a", "CreateDirectory C:\\a\\b"}));
}

}  // namespace
}  // namespace launcher
