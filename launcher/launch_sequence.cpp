#include "launcher/launch_sequence.h"

#include "launcher/constants.h"
#include "launcher/expansion.h"
#include "launcher/path_helpers.h"
#include "launcher/payload_manifest.h"
#include "launcher/resource_writer.h"
#include "platform/application.h"
#include "platform/exceptions.h"
#include "platform/os.h"

namespace launcher {

std::string WorkDirectory;
std::string SetupProgramPath;

void PrepareWorkDirectory() {
  WorkDirectory = WorkDirectoryFor(GetTempDirectory());
  EnsureDirectoryPath(WorkDirectory);
}

void WritePayloadFiles() {
  for (const PayloadRow& row : PayloadManifest) {
    const std::string target = TargetPath(WorkDirectory, row.TargetFileName);
    ExtractResourceToFile(kResourceType, row.ResourceName, target);
  }
}

void StartInnerSetup() {
  SetupProgramPath = TargetPath(WorkDirectory, kInnerSetupProgram);
  const std::intptr_t result = platform::CurrentOs().ShellExecute(
      kShellVerb, SetupProgramPath, kParameters, WorkDirectory, kShowCommand);
  // Values up to 32 are the shell's error codes. Without this the user would
  // see nothing at all when, say, a damaged "Setup.ex_" left no program behind.
  if (result <= 32) throw platform::MakeOSError(static_cast<unsigned>(result));
}

void LaunchSetup() {
  platform::TApplication& application = platform::Application();
  application.Initialize();
  application.SetTitle(kApplicationTitle);
  PrepareWorkDirectory();
  WritePayloadFiles();
  ExpandInnerSetup();
  StartInnerSetup();
  application.Run();
}

}  // namespace launcher
