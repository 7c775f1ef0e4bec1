// The launch sequence: the program's whole job, run once, top to bottom.
#pragma once

#include <string>

#include "launcher/held_file.h"

namespace launcher {

// The working folder, without a trailing separator; set once per run.
extern std::string WorkDirectory;
// The working folder's "Setup.exe", formed after the expansion.
extern std::string SetupProgramPath;

// The program's entry: restricts the DLL search to the system folder before
// anything else can load a DLL, creates the application object and runs
// LaunchSetup under the standard report. Returns the exit code (0, or 1 after
// the report).
int RunLauncher();

// Titles the application object, writes the payload into the working folder,
// expands and starts the inner setup, and runs the application object. Catches
// nothing: a failing step ends the run through the standard report.
// Needs the application object (platform::TApplication) to exist.
void LaunchSetup();

// The steps of LaunchSetup after the title, in their order.
// Sets WorkDirectory from the temporary directory, creates the folder and
// secures it (SecureWorkDirectory); returns the hold on it.
HeldFile PrepareWorkDirectory();
// Writes the 18 rows of PayloadManifest, each complete before the next.
void WritePayloadFiles();
// Sets SetupProgramPath and asks the shell to start it in the working folder,
// without waiting, while the program is held open for reading only. Raises
// EOSError when the shell reports that it could not, EFCreateError when the
// program's name is a link.
void StartInnerSetup();

}  // namespace launcher
