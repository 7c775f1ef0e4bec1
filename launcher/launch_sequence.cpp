#include "launcher/launch_sequence.h"

#include "launcher/constants.h"
#include "launcher/expansion.h"
#include "launcher/folder_hardening.h"
#include "launcher/path_helpers.h"
#include "launcher/payload_manifest.h"
#include "launcher/resource_writer.h"
#include "platform/application.h"
#include "platform/exceptions.h"
#include "platform/os.h"

namespace launcher {

std::string WorkDirectory;
std::string SetupProgramPath;

HeldFile PrepareWorkDirectory() {
  WorkDirectory = WorkDirectoryFor(GetTempDirectory());
  EnsureDirectoryPath(WorkDirectory);
  return SecureWorkDirectory(WorkDirectory);
}

void WritePayloadFiles() {
  for (const PayloadRow& row : PayloadManifest) {
    const std::string target = TargetPath(WorkDirectory, row.TargetFileName);
    ExtractResourceToFile(kResourceType, row.ResourceName, target);
  }
}

void StartInnerSetup() {
  platform::Os& os = platform::CurrentOs();
  SetupProgramPath = TargetPath(WorkDirectory, kInnerSetupProgram);
  // Held, sharing reads only, until the shell has returned: nobody can replace
  // or change the program between its expansion and its start. When there is
  // no program to hold, the start is tried all the same and reports.
  const HeldFile program(os.OpenReadLocked(SetupProgramPath));
  if (!program.IsOpen() && IsReparsePoint(os.GetFileAttributes(SetupProgramPath)))
    RefuseToWrite(SetupProgramPath);
  const std::intptr_t result =
      os.ShellExecute(kShellVerb, SetupProgramPath, kParameters, WorkDirectory, kShowCommand);
  // Values up to 32 are the shell's error codes. Without this the user would
  // see nothing at all when, say, a damaged "Setup.ex_" left no program behind.
  if (result <= 32) throw platform::MakeOSError(static_cast<unsigned>(result));
}

void LaunchSetup() {
  platform::TApplication& application = platform::Application();
  application.Initialize();
  application.SetTitle(kApplicationTitle);
  // Held until the inner setup has been started.
  const HeldFile work_folder = PrepareWorkDirectory();
  WritePayloadFiles();
  ExpandInnerSetup();
  StartInnerSetup();
  application.Run();
}

int RunLauncher() {
  // First of all: the application object's window (and everything after it)
  // may load DLLs, and none may come from the folder the launcher was started
  // from (a Downloads folder, say).
  platform::CurrentOs().RestrictDllSearch();
  platform::TApplication application;
  return platform::RunWithStandardReport(LaunchSetup);
}

}  // namespace launcher
