#include "platform/win32/folder_security_win32.h"

#include <array>
#include <string>
#include <vector>

#include <aclapi.h>

namespace platform::win32 {

namespace {

constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr BYTE kInheritFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
// FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, "0x1200a9" in SDDL.
constexpr DWORD kReadAndExecute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
// The object itself, never the target of a junction or link; BACKUP_SEMANTICS
// because folders are opened too.
constexpr DWORD kOpenItself = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

// Closes a handle when it goes.
class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (Valid()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool Valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE Get() const { return h_; }
  HANDLE Release() {
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return h;
  }

 private:
  HANDLE h_;
};

// While it lives, the backup, restore and take-ownership privileges of an
// administrator's token are enabled, so that a folder or file made by someone
// else can be opened, re-owned and removed whatever its access list says.
// Without them (not elevated) the calls are made all the same and fail where
// the access lists forbid them. The previous state is put back afterwards.
class PrivilegesEnabled {
 public:
  PrivilegesEnabled() {
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token_)) {
      token_ = nullptr;
      return;
    }
    static const char* const kNames[] = {"SeBackupPrivilege", "SeRestorePrivilege",
                                         "SeTakeOwnershipPrivilege"};
    std::vector<BYTE> wanted(sizeof(TOKEN_PRIVILEGES) +
                             sizeof(LUID_AND_ATTRIBUTES) * std::size(kNames));
    auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(wanted.data());
    DWORD count = 0;
    for (const char* name : kNames) {
      LUID luid;
      if (!LookupPrivilegeValueA(nullptr, name, &luid)) continue;
      privileges->Privileges[count].Luid = luid;
      privileges->Privileges[count].Attributes = SE_PRIVILEGE_ENABLED;
      ++count;
    }
    privileges->PrivilegeCount = count;
    previous_.resize(wanted.size());
    DWORD size = 0;
    // ERROR_NOT_ALL_ASSIGNED (a token without some of them) is no failure here.
    if (!count ||
        !AdjustTokenPrivileges(token_, FALSE, privileges, static_cast<DWORD>(previous_.size()),
                               reinterpret_cast<TOKEN_PRIVILEGES*>(previous_.data()), &size))
      previous_.clear();
  }
  ~PrivilegesEnabled() {
    if (!previous_.empty())
      AdjustTokenPrivileges(token_, FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(previous_.data()),
                            0, nullptr, nullptr);
    if (token_) CloseHandle(token_);
  }
  PrivilegesEnabled(const PrivilegesEnabled&) = delete;
  PrivilegesEnabled& operator=(const PrivilegesEnabled&) = delete;

 private:
  HANDLE token_ = nullptr;
  std::vector<BYTE> previous_;
};

// A SID in a buffer of its own.
class Sid {
 public:
  static Sid WellKnown(WELL_KNOWN_SID_TYPE type) {
    Sid sid;
    DWORD size = SECURITY_MAX_SID_SIZE;
    sid.bytes_.resize(size);
    if (!CreateWellKnownSid(type, nullptr, sid.bytes_.data(), &size)) sid.bytes_.clear();
    return sid;
  }

  // The user of this process's token. For an administrator's elevated token
  // this is still the user's own account (the one whose %TEMP% this is).
  static Sid CurrentUser() {
    Sid sid;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return sid;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> info(size);
    if (size && GetTokenInformation(token, TokenUser, info.data(), size, &size)) {
      PSID user = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
      const DWORD length = GetLengthSid(user);
      sid.bytes_.resize(length);
      if (!CopySid(length, sid.bytes_.data(), user)) sid.bytes_.clear();
    }
    CloseHandle(token);
    return sid;
  }

  bool Valid() const { return !bytes_.empty(); }
  PSID Get() { return bytes_.data(); }
  bool Equals(PSID other) { return Valid() && other && IsValidSid(other) && EqualSid(Get(), other); }

 private:
  std::vector<BYTE> bytes_;
};

struct Entry {
  Sid sid;
  DWORD mask;
};

// The folder's access list, in the order it is set. Its owner is entries[0].
std::array<Entry, 3> ExpectedEntries() {
  return {Entry{Sid::WellKnown(WinBuiltinAdministratorsSid), FILE_ALL_ACCESS},
          Entry{Sid::WellKnown(WinLocalSystemSid), FILE_ALL_ACCESS},
          Entry{Sid::CurrentUser(), kReadAndExecute}};
}

// Opens the object at path itself, never the target of a link.
HANDLE OpenItself(const std::string& path, DWORD access, DWORD share) {
  return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, kOpenItself, nullptr);
}

HANDLE OpenItselfW(const std::wstring& path, DWORD access, DWORD share) {
  return CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, kOpenItself, nullptr);
}

// Whether the attributes of a path itself mark a reparse point. Looked at
// before every open as well: a system that opens the target of a link even
// with FILE_FLAG_OPEN_REPARSE_POINT (Wine does) still shows the link here.
bool IsReparsePoint(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool Information(HANDLE h, BY_HANDLE_FILE_INFORMATION* info) {
  return GetFileInformationByHandle(h, info) != FALSE;
}

bool IsRealDirectory(HANDLE h) {
  BY_HANDLE_FILE_INFORMATION info;
  return Information(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The folder at path, opened on itself, when it is a real directory.
HANDLE OpenRealDirectory(const std::string& path, DWORD access, DWORD share) {
  if (IsReparsePoint(GetFileAttributesA(path.c_str()))) {
    SetLastError(ERROR_DIRECTORY);
    return INVALID_HANDLE_VALUE;
  }
  Handle h(OpenItself(path, access, share));
  if (!h.Valid()) return INVALID_HANDLE_VALUE;
  if (!IsRealDirectory(h.Get())) {
    SetLastError(ERROR_DIRECTORY);
    return INVALID_HANDLE_VALUE;
  }
  return h.Release();
}

// The full path of what a handle refers to, as "\\?\C:\...": where the object
// really is, after every junction and link on the way.
std::wstring FinalPath(HANDLE h) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return std::wstring();
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n + 1);
  }
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return !a.empty() && a.size() == b.size() &&
         CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool MarkForDeletion(HANDLE h) {
  // Its one member is DeleteFile, a name windows.h maps to DeleteFileA.
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) !=
         FALSE;
}

bool EmptyOpenDirectory(HANDLE folder, const std::wstring& where);

// Removes a junction or link itself: RemoveDirectoryW and DeleteFileW act on
// the link, not on what it points to.
bool RemoveLink(const std::wstring& path, DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str()) != FALSE
                                                 : DeleteFileW(path.c_str()) != FALSE;
}

// Removes the entry at path, which must lie exactly there: it is opened on
// itself and without FILE_SHARE_DELETE, so nobody can rename it or put
// something in its place while it is worked on, and its final path is checked
// so that nothing reached through a junction on the way is touched. listed
// are the attributes its folder's listing gave.
bool RemoveEntry(const std::wstring& path, DWORD listed) {
  const DWORD attributes_now = GetFileAttributesW(path.c_str());
  if (IsReparsePoint(listed) || IsReparsePoint(attributes_now))
    return RemoveLink(path, IsReparsePoint(attributes_now) ? attributes_now : listed);
  const bool folder = (listed & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // A folder is listed through its own handle, so it is opened for that too.
  const DWORD access = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE |
                       (folder ? FILE_LIST_DIRECTORY : 0);
  Handle h(OpenItselfW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE));
  if (!h.Valid()) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!Information(h.Get(), &info) || !SamePath(FinalPath(h.Get()), path)) return false;
  const DWORD attributes = info.dwFileAttributes;
  const bool is_folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (is_folder && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    // Changed from a file into a folder since it was listed: left alone.
    if (!folder || !EmptyOpenDirectory(h.Get(), path)) return false;
  } else if ((attributes & FILE_ATTRIBUTE_READONLY) && info.nNumberOfLinks == 1) {
    // A read-only file cannot be deleted. Only a file with no other name is
    // changed: a hard link shares its attributes with a file elsewhere.
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = attributes & ~FILE_ATTRIBUTE_READONLY;
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(h.Get(), FileBasicInfo, &basic, sizeof basic);
  }
  // A junction or link opened on itself is removed itself.
  return MarkForDeletion(h.Get());
}

// Removes everything in the directory open as folder (with
// FILE_LIST_DIRECTORY), whose final path is where. The listing comes from the
// handle, not from the name, so it is this folder's whatever happens to names.
bool EmptyOpenDirectory(HANDLE folder, const std::wstring& where) {
  std::vector<DWORD> buffer(16 * 1024);  // DWORD-aligned, as the entries must be
  const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(DWORD));
  FILE_INFO_BY_HANDLE_CLASS info_class = FileIdBothDirectoryRestartInfo;
  bool removed = true;
  while (GetFileInformationByHandleEx(folder, info_class, buffer.data(), size)) {
    info_class = FileIdBothDirectoryInfo;
    const BYTE* at = reinterpret_cast<const BYTE*>(buffer.data());
    for (;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      const std::wstring name(entry->FileName, entry->FileNameLength / sizeof(WCHAR));
      if (name != L"." && name != L"..")
        removed = RemoveEntry(where + L"\\" + name, entry->FileAttributes) && removed;
      if (entry->NextEntryOffset == 0) break;
      at += entry->NextEntryOffset;
    }
  }
  return removed && GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace

void RestrictDllSearchToSystem() {
  // SetDefaultDllDirectories is missing on systems without the update that
  // brought it; there SetDllDirectoryA("") at least takes the current folder
  // out of the search.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  SetDefaultDllDirectoriesFn set_default = nullptr;
  if (HMODULE kernel = GetModuleHandleA("kernel32.dll"))
    set_default = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (!set_default || !set_default(kLoadLibrarySearchSystem32)) SetDllDirectoryA("");
}

HANDLE HoldFolder(const std::string& path) {
  // FILE_LIST_DIRECTORY: only a handle with data access counts in the sharing
  // check, so only such a handle keeps others from opening the folder for
  // DELETE (which renaming and removing need).
  PrivilegesEnabled privileges;
  return OpenRealDirectory(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE);
}

bool ProtectFolder(const std::string& path) {
  auto entries = ExpectedEntries();
  DWORD size = sizeof(ACL);
  for (Entry& e : entries) {
    if (!e.sid.Valid()) return false;
    size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(e.sid.Get());
  }
  std::vector<BYTE> buffer(size);
  ACL* acl = reinterpret_cast<ACL*>(buffer.data());
  if (!InitializeAcl(acl, size, ACL_REVISION)) return false;
  for (Entry& e : entries)
    if (!AddAccessAllowedAceEx(acl, ACL_REVISION, kInheritFlags, e.mask, e.sid.Get()))
      return false;
  SECURITY_DESCRIPTOR descriptor;
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorOwner(&descriptor, entries[0].sid.Get(), FALSE) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
      !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
    return false;

  // The owner goes first in the same call: an owner can always rewrite the
  // list, so the folder must not keep one that is not an administrator.
  PrivilegesEnabled privileges;
  Handle folder(OpenRealDirectory(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
  if (!folder.Valid()) return false;
  // SetKernelObjectSecurity, unlike SetNamedSecurityInfo and SetSecurityInfo,
  // does not walk into what the folder holds (where a planted junction would
  // lead it elsewhere): the contents are removed next anyway.
  const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (SetKernelObjectSecurity(folder.Get(), what | PROTECTED_DACL_SECURITY_INFORMATION,
                              &descriptor))
    return true;
  // A system that takes the protection only from the descriptor's control
  // (SE_DACL_PROTECTED, set above) refuses the extra flag.
  return GetLastError() == ERROR_INVALID_PARAMETER &&
         SetKernelObjectSecurity(folder.Get(), what, &descriptor) != FALSE;
}

bool IsFolderTrusted(const std::string& path) {
  Handle folder(OpenRealDirectory(path, READ_CONTROL | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
  if (!folder.Valid()) return false;
  PSID owner = nullptr;
  ACL* dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(folder.Get(), SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                      &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return false;
  auto entries = ExpectedEntries();
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  // A missing list (a NULL DACL) would give everyone everything.
  bool trusted = GetSecurityDescriptorControl(descriptor, &control, &revision) &&
                 (control & SE_DACL_PRESENT) && (control & SE_DACL_PROTECTED) && dacl &&
                 dacl->AceCount == entries.size() && entries[0].sid.Equals(owner);
  for (DWORD i = 0; trusted && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) {
      trusted = false;
      break;
    }
    const auto* header = static_cast<ACE_HEADER*>(ace);
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    // Exactly these flags: an inherited entry would carry INHERITED_ACE.
    trusted = header->AceType == ACCESS_ALLOWED_ACE_TYPE && header->AceFlags == kInheritFlags &&
              allowed->Mask == entries[i].mask && entries[i].sid.Equals(&allowed->SidStart);
  }
  LocalFree(descriptor);
  return trusted;
}

bool EmptyFolder(const std::string& path) {
  PrivilegesEnabled privileges;
  // Held without FILE_SHARE_DELETE while its contents go, listed through its
  // handle, and every entry checked against the folder's own final path.
  Handle folder(OpenRealDirectory(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE));
  if (!folder.Valid()) return false;
  const std::wstring where = FinalPath(folder.Get());
  return !where.empty() && EmptyOpenDirectory(folder.Get(), where);
}

HANDLE OpenFileNoFollow(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  // Should a link appear after the look, the flag opens (and with
  // CREATE_ALWAYS replaces) the link itself, and the check below refuses it.
  Handle h(CreateFileA(path.c_str(), access, share, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!h.Valid()) return INVALID_HANDLE_VALUE;
  BY_HANDLE_FILE_INFORMATION info;
  if (!Information(h.Get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return h.Release();
}

}  // namespace platform::win32
