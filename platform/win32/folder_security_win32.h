// Hardening of the working folder for an elevated run: the DLL search of the
// process, the folder's owner and access list, and emptying it without
// following links.
#pragma once

#include <string>

namespace platform::win32 {

// Loads DLLs only from the system folder, and never from the current one.
void RestrictDllSearchToSystem();

// Administrators and SYSTEM full control, the starting user read and execute,
// nothing inherited from the parent; owner Administrators. False on failure.
bool ProtectFolder(const std::string& path);

// True when the folder is a real directory (no reparse point), owned by
// Administrators or SYSTEM, and carries exactly the list ProtectFolder sets.
bool IsFolderTrusted(const std::string& path);

// Removes everything inside the folder. A junction or symbolic link inside it
// is removed itself; what it points to is not touched.
void EmptyFolder(const std::string& path);

}  // namespace platform::win32
