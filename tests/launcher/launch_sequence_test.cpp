// The launch sequence run against an in-memory system: the order of its calls
// through the OS seam, the 21 paths it forms, what it leaves in the working
// folder, and how each failing step ends the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "launch_fixture.h"
#include "launcher/launch_sequence.h"

namespace launcher {
namespace {

using testing_launcher::Bytes;
using testing_launcher::FakeOs;
using testing_launcher::InWork;
using testing_launcher::kTargets;
using testing_launcher::kWork;
using testing_launcher::PlainInnerSetup;
using testing_launcher::RowBytes;
using testing_launcher::Strings;
using testing_launcher::Text;

using LaunchSequenceTest = testing_launcher::LaunchTest;

TEST_F(LaunchSequenceTest, FullRunWritesEveryRowExpandsAndStartsInTheWorkingFolder) {
  ASSERT_EQ(Run(), 0) << os_.message_text;

  // A new folder is held, found untrusted (it has inherited its access list),
  // protected and emptied before the first row.
  Strings expected = {"RestrictDllSearch",
                      "SetApplicationTitle Setup_Tolvex",
                      "GetTempPath 255",
                      "CreateDirectory C:\\Temp\\Inst-Setup_Tolvex",
                      "HoldFolder C:\\Temp\\Inst-Setup_Tolvex",
                      "IsFolderTrusted C:\\Temp\\Inst-Setup_Tolvex",
                      "ProtectFolder C:\\Temp\\Inst-Setup_Tolvex",
                      "EmptyFolder C:\\Temp\\Inst-Setup_Tolvex"};
  for (std::size_t i = 0; i < kTargets.size(); ++i) {
    expected.push_back("FindResource FILE Test" + std::to_string(i + 1));
    expected.push_back("CreateAlways " + InWork(kTargets[i]));
  }
  expected.push_back("OpenExisting " + InWork("Setup.ex_"));
  expected.push_back("CreateAlways " + InWork("Setup.exe"));
  expected.push_back("OpenReadLocked " + InWork("Setup.exe"));
  expected.push_back("ShellExecute open|" + InWork("Setup.exe") + "||" + kWork + "|5");
  EXPECT_EQ(os_.Calls({"RestrictDllSearch", "SetApplicationTitle", "GetTempPath",
                       "CreateDirectory", "HoldFolder", "IsFolderTrusted", "ProtectFolder",
                       "EmptyFolder", "FindResource", "CreateAlways", "OpenExisting",
                       "OpenReadLocked", "DeleteFile", "ShellExecute", "MessageBox"}),
            expected);

  for (std::size_t i = 0; i < kTargets.size(); ++i)
    EXPECT_EQ(os_.files[InWork(kTargets[i])], RowBytes(static_cast<int>(i) + 1)) << kTargets[i];
  EXPECT_EQ(os_.files[InWork("Setup.exe")], PlainInnerSetup());
  EXPECT_EQ(os_.files.size(), 19u);
  // The parameters are an empty string, not a null pointer.
  ASSERT_NE(os_.shell_parameters, nullptr);
  EXPECT_STREQ(os_.shell_parameters, "");
  EXPECT_EQ(WorkDirectory, kWork);
  EXPECT_EQ(SetupProgramPath, InWork("Setup.exe"));
  EXPECT_EQ(os_.application_title, "Setup_Tolvex");
  // Nothing stays open.
  for (const auto& [path, bytes] : os_.files) EXPECT_FALSE(os_.IsOpen(path)) << path;
}

TEST_F(LaunchSequenceTest, EachRowIsOneWriteOfTheWholeResourceAndClosedBeforeTheNext) {
  ASSERT_EQ(Run(), 0);
  const Strings calls = os_.Calls({"FindResource", "Write", "Close", "OpenExisting"});
  Strings rows(calls.begin(), calls.begin() + 18 * 3);
  Strings expected;
  for (std::size_t i = 0; i < kTargets.size(); ++i) {
    expected.push_back("FindResource FILE Test" + std::to_string(i + 1));
    expected.push_back("Write " + std::to_string(RowBytes(static_cast<int>(i) + 1).size()));
    expected.push_back("Close " + InWork(kTargets[i]));
  }
  EXPECT_EQ(rows, expected);
}

TEST_F(LaunchSequenceTest, AnEmptyResourceGivesAnEmptyFileWithoutAWrite) {
  os_.AddResource("FILE", "Test18", {});
  os_.files[InWork("Setup.lst")] = Text("left from an earlier run");
  LeaveTrustedFolder();
  ASSERT_EQ(Run(), 0);
  EXPECT_TRUE(os_.files[InWork("Setup.lst")].empty());
  const Strings calls = os_.Calls({"CreateAlways", "Write"});
  auto at = std::find(calls.begin(), calls.end(), "CreateAlways " + InWork("Setup.lst"));
  ASSERT_NE(at, calls.end());
  ASSERT_NE(at + 1, calls.end());
  EXPECT_EQ(*(at + 1), "CreateAlways " + InWork("Setup.exe")) << "a write for the empty row";
}

TEST_F(LaunchSequenceTest, SecondRunReusesTheFolderReplacesRowsAndKeepsOtherFiles) {
  LeaveTrustedFolder();
  os_.files[InWork("Readme.txt")] = Bytes(10000, 'o');  // longer than the resource
  os_.files[InWork("Setup.exe")] = Bytes(20000, 'o');
  os_.files[InWork("Notes.txt")] = Text("mine");
  ASSERT_EQ(Run(), 0);
  EXPECT_TRUE(os_.Calls({"CreateDirectory"}).empty());
  EXPECT_EQ(os_.files[InWork("Readme.txt")], RowBytes(7));
  EXPECT_EQ(os_.files[InWork("Setup.exe")], PlainInnerSetup());
  EXPECT_EQ(os_.files[InWork("Notes.txt")], Text("mine"));
}

TEST_F(LaunchSequenceTest, AnOlderSetupThatCannotBeReplacedIsStillStarted) {
  LeaveTrustedFolder();
  os_.files[InWork("Setup.exe")] = Text("the running inner setup");
  os_.locked.insert(InWork("Setup.exe"));
  ASSERT_EQ(Run(), 0) << os_.message_text;
  EXPECT_EQ(os_.files[InWork("Setup.exe")], Text("the running inner setup"));
  EXPECT_EQ(os_.Calls({"ShellExecute"}).size(), 1u);
  EXPECT_TRUE(os_.Calls({"MessageBox"}).empty());
}

TEST_F(LaunchSequenceTest, ASetupFileNotInTheFormatLeavesNoProgramButTheStartIsTried) {
  os_.AddResource("FILE", "Test17", Text("MZ this is no compressed file"));
  LeaveTrustedFolder();
  os_.files[InWork("Setup.exe")] = Text("from an earlier run");
  ASSERT_EQ(Run(), 0);  // this shell claims success
  EXPECT_EQ(os_.files.count(InWork("Setup.exe")), 0u);
  EXPECT_EQ(os_.Calls({"DeleteFile"}), Strings{"DeleteFile " + InWork("Setup.exe")});
  EXPECT_EQ(os_.Calls({"ShellExecute"}).size(), 1u);
  EXPECT_EQ(os_.files[InWork("Setup.ex_")], Text("MZ this is no compressed file"));
}

// --- failing steps -----------------------------------------------------------------

struct FailureCase {
  const char* name;
  void (*arrange)(FakeOs&);
  const char* class_name;
  std::string message;     // as the report shows it
  std::size_t rows_written;  // rows 1..n exist afterwards
  bool started;
};

// Failures name the case, not its bytes.
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class LaunchFailureTest : public LaunchSequenceTest,
                          public ::testing::WithParamInterface<FailureCase> {};

TEST_P(LaunchFailureTest, EndsWithTheReportAndExitCodeOne) {
  const FailureCase& c = GetParam();
  c.arrange(os_);
  EXPECT_EQ(Run(), 1);
  const auto r = ShownReport();
  ASSERT_TRUE(r.well_formed) << os_.message_text;
  EXPECT_EQ(r.class_name, c.class_name);
  EXPECT_EQ(r.message, c.message);
  EXPECT_EQ(os_.message_caption, "Anwendungsfehler");
  for (std::size_t i = 0; i < kTargets.size(); ++i) {
    const bool exists = os_.files.count(InWork(kTargets[i])) > 0;
    EXPECT_EQ(exists, i < c.rows_written) << kTargets[i];
  }
  EXPECT_EQ(os_.Calls({"ShellExecute"}).size(), c.started ? 1u : 0u);
  // The report is the last thing that happens (before the window goes).
  ASSERT_GE(os_.calls.size(), 2u);
  EXPECT_EQ(os_.calls[os_.calls.size() - 2], "MessageBox Anwendungsfehler");
}

void TempPathFailsWithCode(FakeOs& os) {
  os.temp_path_result = 0;
  os.temp_path_error = 5;
}
void TempPathFailsWithoutCode(FakeOs& os) { os.temp_path_result = 0; }
void TempPathNeedsMoreRoom(FakeOs& os) { os.temp_path_result = 300; }
void TempPathOf255(FakeOs& os) {
  os.temp_path = "C:\\" + std::string(251, 't') + "\\";  // 255 characters
  os.directories.insert(os.temp_path.substr(0, os.temp_path.size() - 1));
}
void Test9Missing(FakeOs& os) { os.resources.erase("FILE/TEST9"); }
void TermsInUse(FakeOs& os) {
  os.directories.insert(kWork);
  os.trusted.insert(kWork);
  os.files[InWork("Terms.txt")] = Text("held by another process");
  os.locked.insert(InWork("Terms.txt"));
}
void WorkingFolderBlockedByAFile(FakeOs& os) { os.files[kWork] = Text("a file, not a folder"); }
void DiskFullInRow3(FakeOs& os) {
  os.write_room = static_cast<std::int64_t>(RowBytes(1).size() + RowBytes(2).size() + 5);
}
void ShellFileNotFound(FakeOs& os) { os.shell_result = 2; }
void ShellOutOfResources(FakeOs& os) { os.shell_result = 0; }
void ShellReturns32(FakeOs& os) { os.shell_result = 32; }

const std::string kNoCode = "Ein Aufruf einer Betriebssystemfunktion ist fehlgeschlagen.";

INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchFailureTest,
    ::testing::Values(
        FailureCase{"TempPathFailsWithCode", TempPathFailsWithCode, "EOSError",
                    "Systemfehler. Code: 5.\r\nMeldung 5.", 0, false},
        FailureCase{"TempPathFailsWithoutCode", TempPathFailsWithoutCode, "EOSError", kNoCode, 0,
                    false},
        FailureCase{"TempPathNeedsMoreRoom", TempPathNeedsMoreRoom, "EOSError", kNoCode, 0, false},
        FailureCase{"TempPathOf255Characters", TempPathOf255, "EOSError", kNoCode, 0, false},
        FailureCase{"Test9Missing", Test9Missing, "EResNotFound",
                    "Ressource Test9 nicht gefunden.", 8, false},
        FailureCase{"TargetInUse", TermsInUse, "EFCreateError",
                    "Kann Datei C:\\Temp\\Inst-Setup_Tolvex\\Terms.txt nicht erstellen.", 8, false},
        FailureCase{"WorkingFolderCannotBeCreated", WorkingFolderBlockedByAFile, "EFCreateError",
                    "Kann Datei C:\\Temp\\Inst-Setup_Tolvex\\Tolvex.ex_ nicht erstellen.", 0, false},
        FailureCase{"ShortWrite", DiskFullInRow3, "EWriteError", "Stream-Write-Fehler .", 3, false},
        FailureCase{"ShellFileNotFound", ShellFileNotFound, "EOSError",
                    "Systemfehler. Code: 2.\r\nMeldung 2.", 18, true},
        FailureCase{"ShellReturns32", ShellReturns32, "EOSError",
                    "Systemfehler. Code: 32.\r\nMeldung 32.", 18, true},
        FailureCase{"ShellOutOfResources", ShellOutOfResources, "EOSError", kNoCode, 18, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LaunchFailureTest, NothingIsTouchedWhenTheTempDirectoryFails) {
  os_.temp_path_result = 0;
  os_.temp_path_error = 5;
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(os_.calls, (Strings{"RestrictDllSearch", "CreateApplicationWindow",
                                "SetApplicationTitle Setup_Tolvex",
                                "GetTempPath 255", "MessageBox Anwendungsfehler",
                                "DestroyApplicationWindow"}));
}

TEST_F(LaunchFailureTest, TheTargetInUseKeepsItsContent) {
  TermsInUse(os_);
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(os_.files[InWork("Terms.txt")], Text("held by another process"));
}

TEST_F(LaunchFailureTest, AShortWriteLeavesThePartlyWrittenFile) {
  DiskFullInRow3(os_);
  EXPECT_EQ(Run(), 1);
  const Bytes row3 = RowBytes(3);
  EXPECT_EQ(os_.files[InWork("Vantor.ex_")], Bytes(row3.begin(), row3.begin() + 5));
}

TEST_F(LaunchSequenceTest, ATempDirectoryOf254CharactersStillFits) {
  os_.temp_path = "C:\\" + std::string(250, 't') + "\\";
  ASSERT_EQ(os_.temp_path.size(), 254u);
  os_.directories.insert(os_.temp_path.substr(0, 253));
  ASSERT_EQ(Run(), 0) << os_.message_text;
  EXPECT_EQ(WorkDirectory, os_.temp_path + "Inst-Setup_Tolvex");
}

TEST_F(LaunchSequenceTest, ShellResult33CountsAsStarted) {
  os_.shell_result = 33;
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(os_.Calls({"MessageBox"}).empty());
}

}  // namespace
}  // namespace launcher
