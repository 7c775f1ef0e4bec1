// The launch sequence: the program's whole job, run once, top to bottom.
#pragma once

#include <string>

namespace launcher {

// The working folder, without a trailing separator; set once per run.
extern std::string WorkDirectory;
// The working folder's "Setup.exe", formed after the expansion.
extern std::string SetupProgramPath;

// Titles the application object, writes the payload into the working folder,
// expands and starts the inner setup, and runs the application object. Catches
// nothing: a failing step ends the run through the standard report.
// Needs the application object (platform::TApplication) to exist.
void LaunchSetup();

// The steps of LaunchSetup after the title, in their order.
// Sets WorkDirectory from the temporary directory and creates the folder.
void PrepareWorkDirectory();
// Writes the 18 rows of PayloadManifest, each complete before the next.
void WritePayloadFiles();
// Sets SetupProgramPath and asks the shell to start it in the working folder,
// without waiting. Raises EOSError when the shell reports that it could not.
void StartInnerSetup();

}  // namespace launcher
