// The launcher's guards for an elevated run in a folder that unelevated
// processes can reach, through the OS seam: the DLL search restricted before
// anything else, the working folder held, protected and emptied when it is not
// trusted, links refused before anything is written, and "Setup.exe" held
// open across its start.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "launch_fixture.h"

namespace launcher {
namespace {

using testing_launcher::FakeOs;
using testing_launcher::InWork;
using testing_launcher::kTargets;
using testing_launcher::kWork;
using testing_launcher::RowBytes;
using testing_launcher::Strings;
using testing_launcher::Text;

using HardeningTest = testing_launcher::LaunchTest;

// Position of a call in the recorded sequence; calls.size() when absent.
std::size_t IndexOf(const FakeOs& os, const std::string& call) {
  return static_cast<std::size_t>(std::find(os.calls.begin(), os.calls.end(), call) -
                                  os.calls.begin());
}

const std::string kWorkFolder = kWork;

TEST_F(HardeningTest, TheDllSearchIsRestrictedBeforeAnyOtherCall) {
  ASSERT_EQ(Run(), 0) << os_.message_text;
  ASSERT_GE(os_.calls.size(), 2u);
  EXPECT_EQ(os_.calls[0], "RestrictDllSearch");
  EXPECT_EQ(os_.calls[1], "CreateApplicationWindow");
  EXPECT_EQ(std::count(os_.calls.begin(), os_.calls.end(), "RestrictDllSearch"), 1);
}

TEST_F(HardeningTest, TheDllSearchIsRestrictedAlsoInARunThatFailsAtOnce) {
  os_.temp_path_result = 0;
  EXPECT_EQ(Run(), 1);
  ASSERT_FALSE(os_.calls.empty());
  EXPECT_EQ(os_.calls[0], "RestrictDllSearch");
}

TEST_F(HardeningTest, ANewFolderIsProtectedBeforeAnythingIsWrittenIntoIt) {
  ASSERT_EQ(Run(), 0) << os_.message_text;
  const std::size_t created = IndexOf(os_, "CreateDirectory " + kWorkFolder);
  const std::size_t held = IndexOf(os_, "HoldFolder " + kWorkFolder);
  const std::size_t protect = IndexOf(os_, "ProtectFolder " + kWorkFolder);
  const std::size_t emptied = IndexOf(os_, "EmptyFolder " + kWorkFolder);
  const std::size_t first_row = IndexOf(os_, "CreateAlways " + InWork(kTargets[0]));
  ASSERT_LT(first_row, os_.calls.size());
  EXPECT_LT(created, held);
  EXPECT_LT(held, protect);
  EXPECT_LT(protect, emptied) << "emptied before nobody else could add to it";
  EXPECT_LT(emptied, first_row);
  EXPECT_TRUE(os_.trusted.count(kWorkFolder));
}

TEST_F(HardeningTest, AnUntrustedFolderIsProtectedThenEmptiedAndUsedAsANewOne) {
  // Left by an older launcher or made by someone else: planted files, a
  // subfolder, a link, and an older copy of a row.
  os_.directories.insert(kWorkFolder);
  os_.directories.insert(InWork("Lib"));
  os_.files[InWork("version.dll")] = Text("planted");
  os_.files[InWork("Lib\\msi.dll")] = Text("planted too");
  os_.files[InWork("Elsewhere.lnk")] = Text("a link");
  os_.reparse_points.insert(InWork("Elsewhere.lnk"));
  os_.files[InWork("Readme.txt")] = Text("older");

  ASSERT_EQ(Run(), 0) << os_.message_text;
  EXPECT_TRUE(os_.Calls({"CreateDirectory"}).empty());
  const Strings calls = os_.Calls({"HoldFolder", "IsFolderTrusted", "ProtectFolder",
                                   "EmptyFolder", "FindResource"});
  ASSERT_GE(calls.size(), 5u);
  EXPECT_EQ(Strings(calls.begin(), calls.begin() + 5),
            (Strings{"HoldFolder " + kWorkFolder, "IsFolderTrusted " + kWorkFolder,
                     "ProtectFolder " + kWorkFolder, "EmptyFolder " + kWorkFolder,
                     "FindResource FILE Test1"}));
  EXPECT_FALSE(os_.files.count(InWork("version.dll")));
  EXPECT_FALSE(os_.files.count(InWork("Lib\\msi.dll")));
  EXPECT_FALSE(os_.files.count(InWork("Elsewhere.lnk")));
  EXPECT_FALSE(os_.directories.count(InWork("Lib")));
  EXPECT_EQ(os_.files[InWork("Readme.txt")], RowBytes(7));
  EXPECT_EQ(os_.files.size(), 19u) << "the 18 rows and Setup.exe";
}

TEST_F(HardeningTest, ATrustedFolderIsReusedWithItsOtherFiles) {
  LeaveTrustedFolder();
  os_.directories.insert(InWork("Backup"));
  os_.files[InWork("Notes.txt")] = Text("the user's own");
  os_.files[InWork("Backup\\Terms.txt")] = Text("kept");
  ASSERT_EQ(Run(), 0) << os_.message_text;
  EXPECT_EQ(os_.Calls({"HoldFolder", "IsFolderTrusted", "ProtectFolder", "EmptyFolder"}),
            (Strings{"HoldFolder " + kWorkFolder, "IsFolderTrusted " + kWorkFolder}));
  EXPECT_EQ(os_.files[InWork("Notes.txt")], Text("the user's own"));
  EXPECT_EQ(os_.files[InWork("Backup\\Terms.txt")], Text("kept"));
  EXPECT_EQ(os_.files[InWork("Terms.txt")], RowBytes(8));
}

TEST_F(HardeningTest, TheProgramIsHeldForReadingOnlyFromAfterTheExpansionUntilTheShellReturned) {
  ASSERT_EQ(Run(), 0) << os_.message_text;
  const std::string program = InWork("Setup.exe");
  const std::size_t expanded = IndexOf(os_, "CreateAlways " + program);
  const std::size_t locked = IndexOf(os_, "OpenReadLocked " + program);
  const std::size_t started =
      IndexOf(os_, "ShellExecute open|" + program + "||" + kWorkFolder + "|5");
  ASSERT_LT(started, os_.calls.size());
  EXPECT_LT(expanded, locked);
  EXPECT_LT(locked, started);
  // Its close is the last close of the program, after the start.
  ASSERT_EQ(std::count(os_.calls.begin(), os_.calls.end(), "Close " + program), 2)
      << "closed after the expansion and after the start";
  const auto last_close = std::find(os_.calls.rbegin(), os_.calls.rend(), "Close " + program);
  EXPECT_GT(static_cast<std::size_t>(os_.calls.rend() - last_close) - 1, started);
  EXPECT_TRUE(os_.program_held_at_start);
  EXPECT_TRUE(os_.folder_held_at_start);
  // Nothing stays open after the run.
  EXPECT_FALSE(os_.IsOpen(program));
  EXPECT_FALSE(os_.IsOpen(kWorkFolder));
}

TEST_F(HardeningTest, AFailedStartReleasesTheHoldsBeforeTheReport) {
  os_.shell_result = 2;
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(ShownReport().class_name, "EOSError");
  const std::size_t report = IndexOf(os_, "MessageBox Anwendungsfehler");
  EXPECT_LT(IndexOf(os_, "Close " + kWorkFolder), report);
  const auto last_close = std::find(os_.calls.rbegin(), os_.calls.rend(), "Close " + InWork("Setup.exe"));
  ASSERT_NE(last_close, os_.calls.rend());
  EXPECT_LT(static_cast<std::size_t>(os_.calls.rend() - last_close) - 1, report);
}

TEST_F(HardeningTest, WithoutAProgramToHoldTheStartIsStillTriedAndReports) {
  os_.AddResource("FILE", "Test17", Text("MZ this is no compressed file"));
  os_.shell_result = 2;  // what the shell answers for a missing file
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(os_.Calls({"OpenReadLocked", "ShellExecute"}),
            (Strings{"OpenReadLocked " + InWork("Setup.exe"),
                     "ShellExecute open|" + InWork("Setup.exe") + "||" + kWorkFolder + "|5"}));
  EXPECT_EQ(ShownReport().message, "Systemfehler. Code: 2.\r\nMeldung 2.");
  EXPECT_FALSE(os_.program_held_at_start);
}

// A link that turns up under the program's name after the checks (only an
// administrator could put it there) is not started through.
class LinkAtStartOs : public FakeOs {
 public:
  platform::FileHandle OpenReadLocked(const std::string& path) override {
    files[path] = Text("a link now");
    reparse_points.insert(path);
    return FakeOs::OpenReadLocked(path);
  }
};

TEST(HardeningStartTest, AProgramThatIsALinkAtItsStartIsNotStarted) {
  LinkAtStartOs os;
  for (int row = 1; row <= 18; ++row)
    os.AddResource("FILE", "Test" + std::to_string(row), RowBytes(row));
  int code = 0;
  {
    testing_launcher::ScopedOs scope(&os);
    code = RunLauncher();
  }
  EXPECT_EQ(code, 1);
  const auto report = testing_launcher::ParseReport(os.message_text);
  EXPECT_EQ(report.class_name, "EFCreateError");
  EXPECT_EQ(report.message, "Kann Datei " + InWork("Setup.exe") + " nicht erstellen.");
  EXPECT_TRUE(os.Calls({"ShellExecute"}).empty());
}

// --- refusals: nothing is written -------------------------------------------------

struct RefusalCase {
  const char* name;
  void (*arrange)(FakeOs&);
  std::string refused;     // the path the report names
  Strings hardening_calls; // HoldFolder .. EmptyFolder calls made, in order
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

// A link to a folder elsewhere, as a junction shows itself.
void FolderIsAJunction(FakeOs& os) {
  os.directories.insert(kWorkFolder);
  os.reparse_points.insert(kWorkFolder);
}
// A symbolic link to a file: no directory bit, the reparse bit all the same.
void FolderIsAFileLink(FakeOs& os) {
  os.files[kWorkFolder] = Text("link");
  os.reparse_points.insert(kWorkFolder);
}
void PlantLink(FakeOs& os, const std::string& name) {
  os.files[InWork(name)] = Text("link to a file elsewhere");
  os.reparse_points.insert(InWork(name));
}
void TermsIsALinkInATrustedFolder(FakeOs& os) {
  os.directories.insert(kWorkFolder);
  os.trusted.insert(kWorkFolder);
  PlantLink(os, "Terms.txt");
}
void TermsIsALinkInAnUntrustedFolder(FakeOs& os) {
  os.directories.insert(kWorkFolder);
  os.files[InWork("Notes.txt")] = Text("stays: the folder is left as it was");
  PlantLink(os, "Terms.txt");
}
void CompressedSetupIsALink(FakeOs& os) {
  os.directories.insert(kWorkFolder);
  PlantLink(os, "Setup.ex_");
}
void ProgramIsALink(FakeOs& os) {
  os.directories.insert(kWorkFolder);
  os.trusted.insert(kWorkFolder);
  PlantLink(os, "Setup.exe");
}
void FolderCannotBeHeld(FakeOs& os) { os.hold_fails = true; }
void FolderCannotBeProtected(FakeOs& os) { os.protect_fails = true; }
// Another process holds a planted file open, so it cannot be removed.
void PlantInUse(FakeOs& os) {
  os.directories.insert(kWorkFolder);
  os.files[InWork("version.dll")] = Text("planted and held open");
  os.locked.insert(InWork("version.dll"));
}

const Strings kHeld = {"HoldFolder " + kWorkFolder};
const Strings kProtectRefused = {"HoldFolder " + kWorkFolder, "IsFolderTrusted " + kWorkFolder,
                                 "ProtectFolder " + kWorkFolder};
const Strings kEmptyRefused = {"HoldFolder " + kWorkFolder, "IsFolderTrusted " + kWorkFolder,
                               "ProtectFolder " + kWorkFolder, "EmptyFolder " + kWorkFolder};

class RefusalTest : public HardeningTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, EndsWithTheReportNamingThePathAndWritesNothing) {
  const RefusalCase& c = GetParam();
  c.arrange(os_);
  const auto files_before = os_.files;
  const auto links_before = os_.reparse_points;

  EXPECT_EQ(Run(), 1);
  const auto report = ShownReport();
  ASSERT_TRUE(report.well_formed) << os_.message_text;
  EXPECT_EQ(report.class_name, "EFCreateError");
  EXPECT_EQ(report.message, "Kann Datei " + c.refused + " nicht erstellen.");
  EXPECT_EQ(os_.Calls({"HoldFolder", "IsFolderTrusted", "ProtectFolder", "EmptyFolder"}),
            c.hardening_calls);
  EXPECT_TRUE(os_.Calls({"CreateAlways", "Write", "FindResource", "ShellExecute"}).empty());
  // Links stay links, and what was there is as it was, unless an emptying ran.
  EXPECT_EQ(os_.reparse_points, links_before);
  if (os_.Calls({"EmptyFolder"}).empty()) {
    EXPECT_EQ(os_.files, files_before);
  }
  EXPECT_FALSE(os_.IsOpen(kWorkFolder)) << "the hold is released before the report";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusalTest,
    ::testing::Values(
        RefusalCase{"FolderIsAJunction", FolderIsAJunction, kWorkFolder, {}},
        RefusalCase{"FolderIsAFileLink", FolderIsAFileLink, kWorkFolder, {}},
        RefusalCase{"RowTargetIsALinkInATrustedFolder", TermsIsALinkInATrustedFolder,
                    InWork("Terms.txt"), kHeld},
        RefusalCase{"RowTargetIsALinkInAnUntrustedFolder", TermsIsALinkInAnUntrustedFolder,
                    InWork("Terms.txt"), kHeld},
        RefusalCase{"CompressedSetupIsALink", CompressedSetupIsALink, InWork("Setup.ex_"), kHeld},
        RefusalCase{"ProgramIsALink", ProgramIsALink, InWork("Setup.exe"), kHeld},
        RefusalCase{"FolderCannotBeHeld", FolderCannotBeHeld, kWorkFolder, kHeld},
        RefusalCase{"FolderCannotBeProtected", FolderCannotBeProtected, kWorkFolder,
                    kProtectRefused},
        RefusalCase{"PlantedFileCannotBeRemoved", PlantInUse, kWorkFolder, kEmptyRefused}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace launcher
