// The fixed names and values of the launch. Nothing here is configurable.
#pragma once

namespace launcher {

// Title of the application object, and the last part of the working folder's name.
inline constexpr const char kApplicationTitle[] = "Setup_Tolvex";
// Stands between the temporary directory and the title.
inline constexpr const char kFolderPrefix[] = "Inst-";
// Type of every payload resource.
inline constexpr const char kResourceType[] = "FILE";
// The compressed inner setup that row 17 writes, and the program expanded from it
// (which is also the program started).
inline constexpr const char kCompressedInnerSetup[] = "Setup.ex_";
inline constexpr const char kInnerSetupProgram[] = "Setup.exe";
// The shell start.
inline constexpr const char kShellVerb[] = "open";
inline constexpr const char kParameters[] = "";  // a pointer to a zero, never null
inline constexpr int kShowCommand = 5;           // SW_SHOW

}  // namespace launcher
