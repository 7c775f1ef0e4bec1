// Runs the win32 backend's calls against real Windows (Wine) and prints one
// line per check: "ok <name>", "FAIL <name>: <what was seen>", or
// "skip <name>: <why>" for a check that this system cannot support. The exit
// code is the number of failed checks.
//
//   os_win32_probe.exe [--unix-root] [--links <folder>]
//
// --unix-root: Wine runs as the Unix root user, who may write any file, so a
// read-only file cannot refuse a writer there.
// --links: a folder that the runner filled with Unix symbolic links, which
// Wine shows as reparse points (see run_os_probe.py for its layout).
//
// tolvex_planted.dll lies beside the probe: once the DLL search is restricted
// it must no longer load by its bare name.
//
// The probe carries two resources of its own (probe_resources.rc): FILE/PROBE
// with known bytes and FILE/EMPTY of size 0.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/os.h"

namespace {

using platform::CurrentOs;
using platform::FileHandle;
using platform::Os;

int g_failures = 0;

void Check(const char* name, bool ok, const std::string& seen = "") {
  if (ok) {
    std::printf("ok %s\n", name);
  } else {
    ++g_failures;
    std::printf("FAIL %s: %s\n", name, seen.c_str());
  }
}

void Skip(const char* name, const char* why) { std::printf("skip %s: %s\n", name, why); }

std::string Num(long long v) { return std::to_string(v); }

bool g_unix_root = false;

// Wine keeps no access lists on files: it reports one made from the Unix mode.
bool IsWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string TempDir() {
  char buffer[256] = {};
  CurrentOs().GetTempPath(255, buffer);
  return buffer;
}

std::string ReadAll(const std::string& path) {
  Os& os = CurrentOs();
  FileHandle h = os.OpenExisting(path);
  if (h <= 0) return "<cannot open>";
  std::string out;
  char block[64];
  for (std::int32_t n; (n = os.Read(h, block, sizeof block)) > 0;) out.append(block, n);
  os.Close(h);
  return out;
}

void WriteFile(const std::string& path, const std::string& content) {
  Os& os = CurrentOs();
  FileHandle h = os.CreateAlways(path);
  if (h > 0) {
    os.Write(h, content.data(), static_cast<std::int32_t>(content.size()));
    os.Close(h);
  }
}

void SystemInformation(const std::string& base) {
  Os& os = CurrentOs();
  char buffer[256] = {};
  const std::uint32_t n = os.GetTempPath(255, buffer);
  Check("temp_path_length", n > 0 && n == std::strlen(buffer), Num(n) + " for " + buffer);
  Check("temp_path_ends_in_separator", n > 0 && buffer[n - 1] == '\\', buffer);
  char small[4] = {};
  const std::uint32_t needed = os.GetTempPath(2, small);
  Check("temp_path_too_small_gives_needed_size", needed == n + 1, Num(needed));

  const bool deleted = os.DeleteFile(base + "\\no such file");
  const std::uint32_t error = os.LastError();
  Check("last_error_of_failed_call", !deleted && error == ERROR_FILE_NOT_FOUND, Num(error));
  const std::string message = os.SystemErrorMessage(ERROR_FILE_NOT_FOUND);
  Check("system_message_without_line_end",
        !message.empty() && message.back() != '\n' && message.back() != '\r' &&
            message.back() != ' ',
        "[" + message + "]");
  Check("module_name_without_folder", os.ModuleName() == "os_win32_probe.exe", os.ModuleName());
}

void Directories(const std::string& base) {
  Os& os = CurrentOs();
  const std::uint32_t attributes = os.GetFileAttributes(base);
  Check("attributes_of_folder",
        attributes != platform::kInvalidFileAttributes &&
            (attributes & platform::kAttributeDirectory),
        Num(attributes));
  Check("attributes_of_missing_path",
        os.GetFileAttributes(base + "\\missing") == platform::kInvalidFileAttributes);
  const std::string dir = base + "\\made";
  Check("create_directory", os.CreateDirectory(dir));
  const bool again = os.CreateDirectory(dir);
  const std::uint32_t error = os.LastError();
  Check("create_existing_directory_fails", !again && error == ERROR_ALREADY_EXISTS, Num(error));
  Check("create_directory_without_parent_fails", !os.CreateDirectory(base + "\\x\\y"));
}

void Resources() {
  Os& os = CurrentOs();
  platform::ResourceData data;
  const bool found = os.FindResource("FILE", "probe", &data);  // stored as PROBE
  const std::string want("probe resource\0\x01\xff", 17);
  Check("resource_found_in_other_case", found);
  Check("resource_bytes", found && std::string(reinterpret_cast<const char*>(data.data),
                                               data.size) == want,
        "size " + Num(data.size));
  platform::ResourceData empty;
  Check("empty_resource", os.FindResource("FILE", "Empty", &empty) && empty.size == 0,
        Num(empty.size));
  platform::ResourceData none;
  Check("missing_resource", !os.FindResource("FILE", "Missing", &none));
  Check("resource_of_other_type", !os.FindResource("DATA", "PROBE", &none));
}

void Files(const std::string& base) {
  Os& os = CurrentOs();
  const std::string path = base + "\\file.bin";
  FileHandle h = os.CreateAlways(path);
  Check("create_always_opens", h > 0, Num(h));
  Check("write_whole_count", os.Write(h, "12345", 5) == 5);
  FileHandle second = os.OpenExisting(path);
  Check("no_sharing_while_open", second < 0, Num(second));
  if (second > 0) os.Close(second);
  os.Flush(h);
  os.Close(h);

  h = os.OpenExisting(path);
  char buffer[16] = {};
  const std::int32_t first = os.Read(h, buffer, sizeof buffer);
  const std::int32_t at_end = os.Read(h, buffer + 8, 8);
  Check("read_returns_count", first == 5 && std::memcmp(buffer, "12345", 5) == 0, Num(first));
  Check("read_at_end_returns_0", at_end == 0, Num(at_end));
  Check("write_to_read_only_handle_fails", os.Write(h, "x", 1) == -1);
  os.Close(h);

  WriteFile(path, "ab");
  Check("create_always_replaces_and_empties", ReadAll(path) == "ab", ReadAll(path));
  Check("open_missing_fails", os.OpenExisting(base + "\\missing.bin") < 0);

  const std::string locked = base + "\\locked.bin";
  WriteFile(locked, "locked");
  FileHandle reader = os.OpenReadLocked(locked);
  Check("open_read_locked", reader > 0);
  FileHandle writer = os.CreateAlways(locked);
  Check("read_locked_file_cannot_be_replaced", writer < 0);
  if (writer > 0) os.Close(writer);
  Check("read_locked_file_cannot_be_deleted", !os.DeleteFile(locked));
  os.Close(reader);
  Check("delete_file", os.DeleteFile(locked) && os.GetFileAttributes(locked) ==
                                                    platform::kInvalidFileAttributes);

  if (g_unix_root) {
    Skip("create_always_on_read_only_file_fails", "Wine runs as the Unix root user");
    return;
  }
  const std::string read_only = base + "\\read-only.txt";
  WriteFile(read_only, "keep");
  SetFileAttributesA(read_only.c_str(), FILE_ATTRIBUTE_READONLY);
  FileHandle denied = os.CreateAlways(read_only);
  const std::uint32_t error = os.LastError();
  Check("create_always_on_read_only_file_fails", denied < 0 && error == ERROR_ACCESS_DENIED,
        Num(denied) + " error " + Num(error));
  if (denied > 0) os.Close(denied);
  Check("read_only_file_kept", ReadAll(read_only) == "keep");
  SetFileAttributesA(read_only.c_str(), FILE_ATTRIBUTE_NORMAL);
}

void Shell(const std::string& base) {
  const std::intptr_t result = CurrentOs().ShellExecute("open", base + "\\Missing.exe", "", base,
                                                        platform::kShow);
  Check("shell_execute_of_missing_program", result == SE_ERR_FNF, Num(result));
}

void ApplicationWindow() {
  Os& os = CurrentOs();
  os.CreateApplicationWindow();
  os.SetApplicationTitle("Probe title");
  HWND w = FindWindowA("TApplication", "Probe title");
  RECT r = {};
  if (w) GetWindowRect(w, &r);
  Check("application_window_titled", w != nullptr);
  Check("application_window_zero_size", w && r.right == r.left && r.bottom == r.top,
        Num(r.right - r.left) + "x" + Num(r.bottom - r.top));
  Check("application_window_shown", w && IsWindowVisible(w));
  os.DestroyApplicationWindow();
  Check("application_window_destroyed", FindWindowA("TApplication", "Probe title") == nullptr);
}

int CountEntries(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  int entries = 0;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (std::strcmp(found.cFileName, ".") && std::strcmp(found.cFileName, "..")) ++entries;
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return entries;
}

void DllSearch() {
  Os& os = CurrentOs();
  // The plant is found while the standard search (the program's folder first)
  // is in force; afterwards only the system folder counts.
  HMODULE before = LoadLibraryA("tolvex_planted.dll");
  Check("planted_dll_found_before_restriction", before != nullptr,
        "error " + Num(GetLastError()));
  if (before) FreeLibrary(before);
  os.RestrictDllSearch();
  HMODULE after = LoadLibraryA("tolvex_planted.dll");
  Check("planted_dll_not_loaded_after_restriction", after == nullptr);
  if (after) FreeLibrary(after);
  Check("dll_search_restricted_still_loads_system_dlls",
        LoadLibraryA("version.dll") != nullptr);
}

void Hardening(const std::string& base) {
  Os& os = CurrentOs();
  const std::string folder = base + "\\protected";
  os.CreateDirectory(folder);
  Check("fresh_folder_not_trusted", !os.IsFolderTrusted(folder));
  Check("protect_folder", os.ProtectFolder(folder), "error " + Num(os.LastError()));
  if (IsWine())
    Skip("protected_folder_trusted", "Wine keeps no access lists on files");
  else
    Check("protected_folder_trusted", os.IsFolderTrusted(folder));
  Check("missing_folder_not_trusted", !os.IsFolderTrusted(base + "\\missing"));
  Check("file_is_no_trusted_folder", !os.IsFolderTrusted(base + "\\file.bin"));
  Check("protect_missing_folder_fails", !os.ProtectFolder(base + "\\missing"));

  const std::string full = base + "\\full";
  os.CreateDirectory(full);
  os.CreateDirectory(full + "\\sub");
  WriteFile(full + "\\a.txt", "a");
  WriteFile(full + "\\sub\\b.txt", "b");
  WriteFile(full + "\\ro.txt", "r");
  SetFileAttributesA((full + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  const bool emptied = os.EmptyFolder(full);
  Check("empty_folder_reports_success", emptied, "error " + Num(GetLastError()));
  const int entries = CountEntries(full);
  Check("empty_folder_removes_everything_inside", entries == 0, Num(entries) + " left");
  Check("empty_folder_keeps_the_folder",
        os.GetFileAttributes(full) != platform::kInvalidFileAttributes);

  // Held, the folder can be neither renamed nor removed; released, it can.
  const std::string held = base + "\\held";
  const std::string moved = base + "\\moved";
  os.CreateDirectory(held);
  const FileHandle hold = os.HoldFolder(held);
  Check("hold_folder", hold > 0, "error " + Num(os.LastError()));
  Check("held_folder_cannot_be_renamed", !MoveFileA(held.c_str(), moved.c_str()));
  Check("held_folder_cannot_be_removed", !RemoveDirectoryA(held.c_str()));
  WriteFile(held + "\\in.txt", "in");
  Check("held_folder_can_be_written_into", ReadAll(held + "\\in.txt") == "in");
  if (hold > 0) os.Close(hold);
  Check("released_folder_can_be_renamed", MoveFileA(held.c_str(), moved.c_str()) != FALSE,
        "error " + Num(GetLastError()));
  Check("hold_of_a_file_fails", os.HoldFolder(base + "\\file.bin") < 0);
}

// The runner's links (Unix symbolic links; Wine shows them as reparse points):
//   outside\keep.txt        a file that must stay as it is
//   folder-link            -> outside
//   file-link              -> outside\keep.txt
//   full\                   a folder holding a.txt, dir-link -> outside,
//                           file-link -> outside\keep.txt
void Links(const std::string& links) {
  Os& os = CurrentOs();
  const std::string keep = links + "\\outside\\keep.txt";
  const std::string folder_link = links + "\\folder-link";
  const std::string file_link = links + "\\file-link";
  const std::uint32_t folder_attributes = os.GetFileAttributes(folder_link);
  const std::uint32_t file_attributes = os.GetFileAttributes(file_link);
  Check("folder_link_is_a_reparse_point",
        folder_attributes != platform::kInvalidFileAttributes &&
            (folder_attributes & platform::kAttributeReparsePoint),
        Num(folder_attributes));

  // A link to a folder under a file's name: no file is opened through it.
  const FileHandle through = os.CreateAlways(folder_link);
  Check("create_always_refuses_a_folder_link", through < 0);
  if (through > 0) os.Close(through);
  if (file_attributes == platform::kInvalidFileAttributes ||
      !(file_attributes & platform::kAttributeReparsePoint)) {
    Skip("file_link_opens", "this Wine shows a symbolic link to a file as a plain file "
                            "(only links to folders are reparse points)");
  } else {
    const FileHandle created = os.CreateAlways(file_link);
    Check("create_always_refuses_a_file_link", created < 0);
    if (created > 0) os.Close(created);
    const FileHandle opened = os.OpenExisting(file_link);
    Check("open_existing_refuses_a_file_link", opened < 0);
    if (opened > 0) os.Close(opened);
    const FileHandle locked = os.OpenReadLocked(file_link);
    Check("open_read_locked_refuses_a_file_link", locked < 0);
    if (locked > 0) os.Close(locked);
  }
  const FileHandle hold = os.HoldFolder(folder_link);
  Check("hold_folder_refuses_a_link", hold < 0);
  if (hold > 0) os.Close(hold);
  Check("a_link_is_no_trusted_folder", !os.IsFolderTrusted(folder_link));
  Check("protect_folder_refuses_a_link", !os.ProtectFolder(folder_link));
  Check("empty_folder_refuses_a_link", !os.EmptyFolder(folder_link));

  // Emptying a folder with links inside never reaches their targets. Where the
  // system can remove a link itself (Windows) everything goes; Wine 8 can
  // only reach a link's target, so it must refuse, leave the links and say so.
  const std::string full = links + "\\full";
  const bool emptied = os.EmptyFolder(full);
  const int left = CountEntries(full);
  Check("empty_folder_with_links_inside_tells_the_truth", emptied == (left == 0),
        Num(left) + " left, reported " + (emptied ? "emptied" : "not emptied"));
  Check("plain_file_beside_links_removed",
        os.GetFileAttributes(full + "\\a.txt") == platform::kInvalidFileAttributes);
  if (IsWine())
    Skip("links_inside_removed", "Wine cannot remove a symbolic link itself through the "
                                 "Windows calls");
  else
    Check("links_inside_removed", left == 0, Num(left) + " left");
  Check("link_targets_kept", CountEntries(links + "\\outside") == 1 &&
                                 ReadAll(keep) == "not the launcher's to touch",
        ReadAll(keep));
}

}  // namespace

int main(int argc, char** argv) {
  std::string links;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--unix-root") == 0) g_unix_root = true;
    if (std::strcmp(argv[i], "--links") == 0 && i + 1 < argc) links = argv[++i];
  }
  const std::string base = TempDir() + "os_win32_probe";
  CurrentOs().CreateDirectory(base);
  SystemInformation(base);
  Directories(base);
  Resources();
  Files(base);
  Shell(base);
  ApplicationWindow();
  DllSearch();
  Hardening(base);
  if (links.empty())
    Skip("links", "no --links folder given");
  else
    Links(links);
  std::printf("%d failed\n", g_failures);
  return g_failures;
}
