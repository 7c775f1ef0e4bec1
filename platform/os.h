// The one seam between the program and the operating system.
//
// Everything above platform/ reaches the OS through an Os object: the launcher,
// the file driver of the decompressor and the tools. The product uses the win32
// backend; Linux builds and tests use the posix backend, which presents the
// file system with Windows paths ("\" separators) so that the launcher's path
// rules run unchanged. Tests install their own Os (a recorder, a fault
// injector) with SetOs().
//
// Paths are 8-bit strings in the ANSI code page with "\" as the only separator.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A file handle: > 0 an open file, 0 not open, < 0 opening failed.
using FileHandle = std::intptr_t;

constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr std::uint32_t kAttributeReadOnly = 0x01;
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;

constexpr int kShowNormal = 1;
constexpr int kShow = 5;  // SW_SHOW

constexpr unsigned kMbIconError = 0x10;     // MB_ICONERROR
constexpr unsigned kMbTaskModal = 0x2000;   // MB_TASKMODAL

// A resource of the running image, used where the loader put it.
struct ResourceData {
  const std::uint8_t* data = nullptr;
  std::uint32_t size = 0;
};

class Os {
 public:
  virtual ~Os() = default;

  // --- system information -------------------------------------------------
  // GetTempPathA: copies the temporary directory (ending in "\") with its
  // terminating zero into buffer when it fits in size characters. Returns the
  // length without the zero, the needed size when it does not fit, 0 on failure.
  virtual std::uint32_t GetTempPath(std::uint32_t size, char* buffer) = 0;
  // GetLastError of the calling thread (0: no error code set).
  virtual std::uint32_t LastError() = 0;
  // The system's message text for an error code, without a trailing line end.
  virtual std::string SystemErrorMessage(std::uint32_t code) = 0;
  // Name of the running program file, without its directory.
  virtual std::string ModuleName() = 0;

  // --- directories --------------------------------------------------------
  // GetFileAttributesA of the path itself (a link is not followed).
  virtual std::uint32_t GetFileAttributes(const std::string& path) = 0;
  // CreateDirectoryA without security attributes.
  virtual bool CreateDirectory(const std::string& path) = 0;

  // --- resources of the running image ---------------------------------------
  // FindResourceA + LoadResource + LockResource + SizeofResource. Names and
  // types are matched without regard to case. False when not found.
  virtual bool FindResource(const std::string& type, const std::string& name,
                            ResourceData* out) = 0;

  // --- files ----------------------------------------------------------------
  // Neither open goes through a link: a path that is a reparse point (junction,
  // symbolic link) fails, whatever it points to.
  // CreateFileA GENERIC_READ, share mode 0, OPEN_EXISTING.
  virtual FileHandle OpenExisting(const std::string& path) = 0;
  // CreateFileA GENERIC_READ|GENERIC_WRITE, share mode 0, CREATE_ALWAYS.
  virtual FileHandle CreateAlways(const std::string& path) = 0;
  // ReadFile / WriteFile: bytes moved, 0 at end of file, -1 on failure.
  virtual std::int32_t Read(FileHandle h, void* buffer, std::int32_t count) = 0;
  virtual std::int32_t Write(FileHandle h, const void* buffer, std::int32_t count) = 0;
  virtual void Flush(FileHandle h) = 0;
  virtual void Close(FileHandle h) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;

  // --- shell and user interface -----------------------------------------------
  // ShellExecuteA(0, verb, file, parameters, directory, show). Returns a value
  // above 32 on success, else an error code (<= 32).
  virtual std::intptr_t ShellExecute(const char* verb, const std::string& file,
                                     const char* parameters,
                                     const std::string& directory, int show) = 0;
  // MessageBoxA(0, text, caption, flags).
  virtual void MessageBox(const std::string& text, const std::string& caption,
                          unsigned flags) = 0;

  // --- application object -----------------------------------------------------
  // Creates the application's zero-size top-level window (if the platform has
  // windows) and sets its caption.
  virtual void CreateApplicationWindow() = 0;
  virtual void SetApplicationTitle(const std::string& title) = 0;
  virtual void DestroyApplicationWindow() = 0;

  // --- hardening for an elevated run ------------------------------------------
  // Restricts the DLL search of this process to the system folder. Called first.
  virtual void RestrictDllSearch() = 0;
  // Opens the folder itself (a link is not followed: a reparse point fails) and
  // holds it so that, while the handle is open, the folder can be neither
  // renamed nor removed, and so nothing else can take its place under its name.
  // Returns < 0 on failure; released with Close.
  virtual FileHandle HoldFolder(const std::string& path) = 0;
  // Whether an existing folder (given without trailing separator) can be
  // trusted as it is: it carries exactly the protection of ProtectFolder and
  // belongs to the administrators (Windows) or to this user (POSIX).
  virtual bool IsFolderTrusted(const std::string& path) = 0;
  // Gives the folder the launcher's protection (owner Administrators;
  // Administrators and SYSTEM full control, the starting user read and
  // execute, nothing inherited; on POSIX owner this user, mode 0700).
  // False on failure.
  virtual bool ProtectFolder(const std::string& path) = 0;
  // Removes everything inside the folder without following any link in it (a
  // link is removed itself). False when something could not be removed.
  virtual bool EmptyFolder(const std::string& path) = 0;
  // Opens a file for reading, sharing reads only, so that nobody can replace or
  // change it while the handle is held. A link is not followed. < 0 on failure.
  virtual FileHandle OpenReadLocked(const std::string& path) = 0;
};

// The process's Os. Defaults to the backend chosen at build time.
Os& CurrentOs();
// Installs another Os (tests); nullptr restores the default backend.
void SetOs(Os* os);
// The backend's own instance.
Os& DefaultOs();

}  // namespace platform
