#include "platform/win32/folder_security_win32.h"

#include <array>
#include <vector>

#include "platform/win32/windows_api.h"

#include <aclapi.h>

namespace platform::win32 {

namespace {

constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr BYTE kInheritFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

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

  // The user of this process's token.
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
  bool Equals(PSID other) { return Valid() && other && EqualSid(Get(), other); }

 private:
  std::vector<BYTE> bytes_;
};

struct Entry {
  Sid sid;
  DWORD mask;
};

// The folder's access list, in the order it is set.
std::array<Entry, 3> ExpectedEntries() {
  return {Entry{Sid::WellKnown(WinBuiltinAdministratorsSid), FILE_ALL_ACCESS},
          Entry{Sid::WellKnown(WinLocalSystemSid), FILE_ALL_ACCESS},
          Entry{Sid::CurrentUser(), FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
}

bool IsRealDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

void RestrictDllSearchToSystem() {
  // SetDefaultDllDirectories is missing on systems without the update that
  // brought it; SetDllDirectoryA("") at least drops the current folder.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  if (HMODULE kernel = GetModuleHandleA("kernel32.dll")) {
    void* entry = reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories"));
    if (entry) reinterpret_cast<SetDefaultDllDirectoriesFn>(entry)(kLoadLibrarySearchSystem32);
  }
  SetDllDirectoryA("");
}

bool ProtectFolder(const std::string& path) {
  if (!IsRealDirectory(path)) return false;
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
  std::string name = path;
  const DWORD result = SetNamedSecurityInfoA(
      name.data(), SE_FILE_OBJECT,
      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      entries[0].sid.Get(), nullptr, acl, nullptr);
  if (result != ERROR_SUCCESS) {
    SetLastError(result);
    return false;
  }
  return true;
}

bool IsFolderTrusted(const std::string& path) {
  if (!IsRealDirectory(path)) return false;
  PSID owner = nullptr;
  ACL* dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::string name = path;
  if (GetNamedSecurityInfoA(name.data(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return false;
  bool trusted = false;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  auto entries = ExpectedEntries();
  Sid system = Sid::WellKnown(WinLocalSystemSid);
  if (GetSecurityDescriptorControl(descriptor, &control, &revision) &&
      (control & SE_DACL_PROTECTED) && dacl && dacl->AceCount == entries.size() &&
      (entries[0].sid.Equals(owner) || system.Equals(owner))) {
    trusted = true;
    for (DWORD i = 0; i < dacl->AceCount && trusted; ++i) {
      void* ace = nullptr;
      if (!GetAce(dacl, i, &ace)) {
        trusted = false;
        break;
      }
      auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
      trusted = allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
                allowed->Header.AceFlags == kInheritFlags && allowed->Mask == entries[i].mask &&
                entries[i].sid.Equals(&allowed->SidStart);
    }
  }
  LocalFree(descriptor);
  return trusted;
}

void EmptyFolder(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string full = path + "\\" + name;
    const DWORD attributes = found.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_READONLY)
      SetFileAttributesA(full.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      // A junction or directory link goes by RemoveDirectoryA on the link.
      if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) EmptyFolder(full);
      RemoveDirectoryA(full.c_str());
    } else {
      DeleteFileA(full.c_str());  // a file link: the link itself
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

}  // namespace platform::win32
