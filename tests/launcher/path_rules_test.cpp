// The path rules with Windows-style paths: the separator rule, the working
// folder rule and the target path rule.
#include <gtest/gtest.h>

#include "launcher/path_helpers.h"

namespace launcher {
namespace {

struct SeparatorCase {
  const char* directory;
  const char* expected;
};

class AppendPathSeparatorTest : public ::testing::TestWithParam<SeparatorCase> {};

TEST_P(AppendPathSeparatorTest, AddsExactlyOneBackslashWhereNeeded) {
  EXPECT_EQ(AppendPathSeparator(GetParam().directory), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AppendPathSeparatorTest,
    ::testing::Values(SeparatorCase{"", ""},  // nothing to separate
                      SeparatorCase{"C:\\Temp", "C:\\Temp\\"},
                      SeparatorCase{"C:\\Temp\\", "C:\\Temp\\"},
                      // A slash is an ordinary character.
                      SeparatorCase{"C:/Temp", "C:/Temp\\"},
                      SeparatorCase{"C:/Temp/", "C:/Temp/\\"},
                      // Only the last character is looked at.
                      SeparatorCase{"C:\\Temp\\\\", "C:\\Temp\\\\"},
                      SeparatorCase{"C:", "C:\\"},
                      SeparatorCase{"\\", "\\"},
                      SeparatorCase{"relative", "relative\\"}));

struct WorkFolderCase {
  const char* temp_directory;
  const char* work_directory;
  const char* first_target;  // target path of row 1
};

class WorkFolderRuleTest : public ::testing::TestWithParam<WorkFolderCase> {};

TEST_P(WorkFolderRuleTest, JoinsTempDirectoryPrefixAndTitleWithNothingBetween) {
  const std::string work = WorkDirectoryFor(GetParam().temp_directory);
  EXPECT_EQ(work, GetParam().work_directory);
  EXPECT_EQ(TargetPath(work, "Tolvex.ex_"), GetParam().first_target);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorkFolderRuleTest,
    ::testing::Values(
        WorkFolderCase{"C:\\Temp\\", "C:\\Temp\\Inst-Setup_Tolvex",
                       "C:\\Temp\\Inst-Setup_Tolvex\\Tolvex.ex_"},
        WorkFolderCase{"C:\\Users\\Anna\\AppData\\Local\\Temp\\",
                       "C:\\Users\\Anna\\AppData\\Local\\Temp\\Inst-Setup_Tolvex",
                       "C:\\Users\\Anna\\AppData\\Local\\Temp\\Inst-Setup_Tolvex\\Tolvex.ex_"},
        // No separator is inserted: the rule relies on the system's trailing "\".
        WorkFolderCase{"C:\\Temp", "C:\\TempInst-Setup_Tolvex",
                       "C:\\TempInst-Setup_Tolvex\\Tolvex.ex_"},
        WorkFolderCase{"\\tmp\\", "\\tmp\\Inst-Setup_Tolvex",
                       "\\tmp\\Inst-Setup_Tolvex\\Tolvex.ex_"}));

TEST(TargetPathTest, UsesTheSeparatorRuleOnTheWorkingFolder) {
  EXPECT_EQ(TargetPath("C:\\W", "Setup.exe"), "C:\\W\\Setup.exe");
  EXPECT_EQ(TargetPath("C:\\W\\", "Setup.exe"), "C:\\W\\Setup.exe");
  EXPECT_EQ(TargetPath("", "Setup.exe"), "Setup.exe");
}

}  // namespace
}  // namespace launcher
