// Hardening of the working folder for an elevated run: the DLL search of the
// process, holding the folder in place, its owner and access list, and
// emptying it without following links.
//
// Everything here works on handles opened on the object itself
// (FILE_FLAG_OPEN_REPARSE_POINT), never on what a junction or symbolic link
// points to, and changes no object outside the folder.
#pragma once

#include <string>

#include "platform/win32/windows_api.h"

namespace platform::win32 {

// Loads DLLs only from the system folder, and never from the program's own
// folder or the current one.
void RestrictDllSearchToSystem();

// The folder itself, opened so that it cannot be renamed or removed while the
// handle is open (no FILE_SHARE_DELETE). INVALID_HANDLE_VALUE when the path is
// no real directory (a reparse point included).
HANDLE HoldFolder(const std::string& path);

// Owner Administrators; Administrators and SYSTEM full control, the starting
// user read and execute, for the folder and everything created in it; nothing
// inherited from the parent:
//   O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;<user>)
// Not propagated to what the folder holds already. False on failure.
bool ProtectFolder(const std::string& path);

// True when the folder is a real directory (no reparse point), owned by
// Administrators, with a protected list of exactly the entries ProtectFolder
// sets, in its order.
bool IsFolderTrusted(const std::string& path);

// Removes everything inside the folder. A junction or symbolic link inside it
// is removed itself; what it points to is not touched. False when something
// could not be removed.
bool EmptyFolder(const std::string& path);

// A file opened with CreateFileA that is neither a reparse point nor a
// directory: a link is not followed. INVALID_HANDLE_VALUE otherwise, with
// ERROR_ACCESS_DENIED for a reparse point.
HANDLE OpenFileNoFollow(const std::string& path, DWORD access, DWORD share, DWORD disposition);

}  // namespace platform::win32
