// An Os for launcher tests that touches nothing real: folders and files live in
// memory under Windows paths, resources are a table the test fills, and every
// call the launcher makes is recorded in order ("CreateDirectory C:\a", ...).
//
// Folders follow Windows: CreateDirectory fails when the name exists (folder or
// file) or its parent folder is missing. Drive roots ("C:") always exist.
// Links follow Windows too: a path in reparse_points shows the reparse bit in
// its own attributes (with the directory bit for a folder link), and no file
// is opened through it. A folder is trusted only when it is in trusted, which
// ProtectFolder puts it in; a folder the launcher creates is not.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/os.h"

namespace testing_launcher {

using Bytes = std::vector<std::uint8_t>;

inline std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

class FakeOs : public platform::Os {
 public:
  // --- what the system looks like ---------------------------------------------
  std::string temp_path = "C:\\Temp\\";
  // When set, GetTempPath returns this and copies nothing (a failure: 0; too
  // small a buffer: the size needed).
  std::optional<std::uint32_t> temp_path_result;
  std::uint32_t temp_path_error = 0;  // LastError after a GetTempPath failure

  std::set<std::string> directories = {"C:\\Temp"};
  std::map<std::string, Bytes> files;
  // Paths whose CreateAlways / OpenExisting fails (in use by another process).
  std::set<std::string> locked;
  // Junctions and symbolic links (also listed in directories or files).
  std::set<std::string> reparse_points;
  // Folders that carry the launcher's protection.
  std::set<std::string> trusted;
  // Hardening calls that fail.
  bool hold_fails = false;
  bool protect_fails = false;
  // Resources by upper-case "TYPE/NAME".
  std::map<std::string, Bytes> resources;
  // Write calls store at most this many bytes (a full disk); -1: no limit.
  std::int64_t write_room = -1;
  std::intptr_t shell_result = 42;

  // --- what happened -----------------------------------------------------------
  std::vector<std::string> calls;
  std::string message_text, message_caption;
  unsigned message_flags = 0;
  const char* shell_parameters = nullptr;  // the pointer as passed
  std::string application_title;
  // At the shell start: whether the program and the folder were held open.
  bool program_held_at_start = false;
  bool folder_held_at_start = false;

  void AddResource(const std::string& type, const std::string& name, Bytes bytes) {
    resources[Upper(type) + "/" + Upper(name)] = std::move(bytes);
  }

  // The calls whose text begins with one of the prefixes, in order.
  std::vector<std::string> Calls(std::initializer_list<const char*> prefixes) const {
    std::vector<std::string> out;
    for (const auto& c : calls)
      for (const char* p : prefixes)
        if (c.rfind(p, 0) == 0) {
          out.push_back(c);
          break;
        }
    return out;
  }

  // --- Os ------------------------------------------------------------------------
  std::uint32_t GetTempPath(std::uint32_t size, char* buffer) override {
    calls.push_back("GetTempPath " + std::to_string(size));
    if (temp_path_result) {
      last_error_ = temp_path_error;
      return *temp_path_result;
    }
    if (temp_path.size() + 1 > size) return static_cast<std::uint32_t>(temp_path.size() + 1);
    std::memcpy(buffer, temp_path.c_str(), temp_path.size() + 1);
    return static_cast<std::uint32_t>(temp_path.size());
  }
  std::uint32_t LastError() override { return last_error_; }
  std::string SystemErrorMessage(std::uint32_t code) override {
    return "Meldung " + std::to_string(code) + ".";
  }
  std::string ModuleName() override { return "Setup_Tolvex.exe"; }

  std::uint32_t GetFileAttributes(const std::string& path) override {
    calls.push_back("GetFileAttributes " + path);
    if (reparse_points.count(path))
      return platform::kAttributeReparsePoint | (IsDirectory(path) ? platform::kAttributeDirectory : 0);
    if (IsDirectory(path)) return platform::kAttributeDirectory;
    if (files.count(path)) return 0x80;  // FILE_ATTRIBUTE_NORMAL
    last_error_ = 2;
    return platform::kInvalidFileAttributes;
  }
  bool CreateDirectory(const std::string& path) override {
    calls.push_back("CreateDirectory " + path);
    if (IsDirectory(path) || files.count(path)) {
      last_error_ = 183;  // ERROR_ALREADY_EXISTS
      return false;
    }
    const std::size_t at = path.find_last_of('\\');
    if (at == std::string::npos || !IsDirectory(path.substr(0, at))) {
      last_error_ = 3;  // ERROR_PATH_NOT_FOUND
      return false;
    }
    directories.insert(path);
    return true;
  }

  bool FindResource(const std::string& type, const std::string& name,
                    platform::ResourceData* out) override {
    calls.push_back("FindResource " + type + " " + name);
    auto it = resources.find(Upper(type) + "/" + Upper(name));
    if (it == resources.end()) {
      last_error_ = 1814;
      return false;
    }
    out->data = it->second.data();
    out->size = static_cast<std::uint32_t>(it->second.size());
    return true;
  }

  platform::FileHandle OpenExisting(const std::string& path) override {
    calls.push_back("OpenExisting " + path);
    if (reparse_points.count(path)) return Fail(5);
    if (locked.count(path) || !files.count(path) || open_paths_.count(path)) return Fail(32);
    return NewHandle(path);
  }
  platform::FileHandle CreateAlways(const std::string& path) override {
    calls.push_back("CreateAlways " + path);
    const std::size_t at = path.find_last_of('\\');
    if (locked.count(path) || open_paths_.count(path) || IsDirectory(path) ||
        reparse_points.count(path))
      return Fail(5);
    if (at == std::string::npos || !IsDirectory(path.substr(0, at))) return Fail(3);
    files[path].clear();
    return NewHandle(path);
  }
  std::int32_t Read(platform::FileHandle h, void* buffer, std::int32_t count) override {
    auto it = handles_.find(h);
    if (it == handles_.end()) return -1;
    const Bytes& data = files[it->second.path];
    const std::size_t from = std::min(it->second.position, data.size());
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), data.size() - from);
    std::memcpy(buffer, data.data() + from, n);
    it->second.position = from + n;
    return static_cast<std::int32_t>(n);
  }
  std::int32_t Write(platform::FileHandle h, const void* buffer, std::int32_t count) override {
    calls.push_back("Write " + std::to_string(count));
    auto it = handles_.find(h);
    if (it == handles_.end()) return -1;
    std::int32_t n = count;
    if (write_room >= 0) {
      n = static_cast<std::int32_t>(std::min<std::int64_t>(count, write_room));
      write_room -= n;
    }
    Bytes& data = files[it->second.path];
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    data.insert(data.end(), bytes, bytes + n);
    return n;
  }
  void Flush(platform::FileHandle) override {}
  void Close(platform::FileHandle h) override {
    auto it = handles_.find(h);
    if (it == handles_.end()) return;
    calls.push_back("Close " + it->second.path);
    open_paths_.erase(it->second.path);
    handles_.erase(it);
  }
  bool DeleteFile(const std::string& path) override {
    calls.push_back("DeleteFile " + path);
    if (open_paths_.count(path)) {
      Fail(32);  // ERROR_SHARING_VIOLATION
      return false;
    }
    return files.erase(path) > 0;
  }

  std::intptr_t ShellExecute(const char* verb, const std::string& file, const char* parameters,
                             const std::string& directory, int show) override {
    shell_parameters = parameters;
    program_held_at_start = IsOpen(file);
    folder_held_at_start = IsOpen(directory);
    calls.push_back(std::string("ShellExecute ") + verb + "|" + file + "|" +
                    (parameters ? parameters : "<null>") + "|" + directory + "|" +
                    std::to_string(show));
    return shell_result;
  }
  void MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    calls.push_back("MessageBox " + caption);
    message_text = text;
    message_caption = caption;
    message_flags = flags;
  }

  void CreateApplicationWindow() override { calls.push_back("CreateApplicationWindow"); }
  void SetApplicationTitle(const std::string& title) override {
    calls.push_back("SetApplicationTitle " + title);
    application_title = title;
  }
  void DestroyApplicationWindow() override { calls.push_back("DestroyApplicationWindow"); }

  void RestrictDllSearch() override { calls.push_back("RestrictDllSearch"); }
  platform::FileHandle HoldFolder(const std::string& path) override {
    calls.push_back("HoldFolder " + path);
    if (hold_fails || !IsDirectory(path) || reparse_points.count(path)) return Fail(5);
    return NewHandle(path);
  }
  bool IsFolderTrusted(const std::string& path) override {
    calls.push_back("IsFolderTrusted " + path);
    return trusted.count(path) && IsDirectory(path) && !reparse_points.count(path);
  }
  bool ProtectFolder(const std::string& path) override {
    calls.push_back("ProtectFolder " + path);
    if (protect_fails || !IsDirectory(path)) return false;
    trusted.insert(path);
    return true;
  }
  // Removes files and folders below path; a file in use stays and makes it fail.
  bool EmptyFolder(const std::string& path) override {
    calls.push_back("EmptyFolder " + path);
    const std::string inside = path + "\\";
    bool removed = true;
    for (auto it = files.begin(); it != files.end();) {
      if (it->first.rfind(inside, 0) != 0) {
        ++it;
      } else if (locked.count(it->first) || open_paths_.count(it->first)) {
        removed = false;
        ++it;
      } else {
        reparse_points.erase(it->first);
        it = files.erase(it);
      }
    }
    for (auto it = directories.begin(); it != directories.end();) {
      if (it->rfind(inside, 0) == 0 && removed) {
        reparse_points.erase(*it);
        trusted.erase(*it);
        it = directories.erase(it);
      } else {
        ++it;
      }
    }
    return removed;
  }
  platform::FileHandle OpenReadLocked(const std::string& path) override {
    calls.push_back("OpenReadLocked " + path);
    if (reparse_points.count(path)) return Fail(5);
    if (!files.count(path) || locked.count(path) || open_paths_.count(path)) return Fail(2);
    return NewHandle(path);
  }

  bool IsDirectory(const std::string& path) const {
    if (path.size() == 2 && path[1] == ':') return true;
    return directories.count(path) > 0;
  }
  bool IsOpen(const std::string& path) const { return open_paths_.count(path) > 0; }

 private:
  struct Open {
    std::string path;
    std::size_t position = 0;
  };

  platform::FileHandle Fail(std::uint32_t error) {
    last_error_ = error;
    return -1;
  }
  platform::FileHandle NewHandle(const std::string& path) {
    const platform::FileHandle h = next_handle_++;
    handles_[h] = {path, 0};
    open_paths_.insert(path);
    return h;
  }

  std::uint32_t last_error_ = 0;
  platform::FileHandle next_handle_ = 100;
  std::map<platform::FileHandle, Open> handles_;
  std::set<std::string> open_paths_;
};

// Installs a FakeOs as the process's Os for the lifetime of the object.
class ScopedOs {
 public:
  explicit ScopedOs(platform::Os* os) { platform::SetOs(os); }
  ~ScopedOs() { platform::SetOs(nullptr); }
  ScopedOs(const ScopedOs&) = delete;
  ScopedOs& operator=(const ScopedOs&) = delete;
};

}  // namespace testing_launcher
