// An Os for driver tests: forwards to the real backend, records the file
// calls in order, and fails the calls a test chooses.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/os.h"

namespace testing_lzh {

class FaultOs : public platform::Os {
 public:
  // Faults; call numbers count from 1 over the whole run.
  bool fail_open = false;
  bool fail_create = false;
  int fail_read_call = 0;   // that Read returns -1
  int fail_write_call = 0;  // that Write returns -1
  int short_write_call = 0; // that Write stores one byte less than asked

  // What happened.
  std::vector<std::string> events;  // "open", "create", "flush out", "close in", ...
  std::vector<std::int32_t> read_sizes;
  std::vector<std::int32_t> write_sizes;  // sizes asked for
  int open_handles = 0;
  // When set, every event is also appended here (e.g. a memory log's events,
  // to see file calls and memory calls in one order).
  std::vector<std::string>* timeline = nullptr;

  FaultOs() : real_(platform::DefaultOs()) {}

  // Events of one kind only, e.g. all starting with "close".
  std::vector<std::string> EventsExcept(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : events)
      if (e.rfind(prefix, 0) != 0) out.push_back(e);
    return out;
  }

  std::uint32_t GetTempPath(std::uint32_t size, char* buffer) override {
    return real_.GetTempPath(size, buffer);
  }
  std::uint32_t LastError() override { return real_.LastError(); }
  std::string SystemErrorMessage(std::uint32_t code) override {
    return real_.SystemErrorMessage(code);
  }
  std::string ModuleName() override { return real_.ModuleName(); }
  std::uint32_t GetFileAttributes(const std::string& path) override {
    return real_.GetFileAttributes(path);
  }
  bool CreateDirectory(const std::string& path) override { return real_.CreateDirectory(path); }
  bool FindResource(const std::string& type, const std::string& name,
                    platform::ResourceData* out) override {
    return real_.FindResource(type, name, out);
  }

  platform::FileHandle OpenExisting(const std::string& path) override {
    Log("open");
    if (fail_open) return -1;
    const platform::FileHandle h = real_.OpenExisting(path);
    if (h > 0) {
      names_[h] = "in";
      ++open_handles;
    }
    return h;
  }
  platform::FileHandle CreateAlways(const std::string& path) override {
    Log("create");
    if (fail_create) return -1;
    const platform::FileHandle h = real_.CreateAlways(path);
    if (h > 0) {
      names_[h] = "out";
      ++open_handles;
    }
    return h;
  }
  std::int32_t Read(platform::FileHandle h, void* buffer, std::int32_t count) override {
    read_sizes.push_back(count);
    if (static_cast<int>(read_sizes.size()) == fail_read_call) return -1;
    return real_.Read(h, buffer, count);
  }
  std::int32_t Write(platform::FileHandle h, const void* buffer, std::int32_t count) override {
    write_sizes.push_back(count);
    const int n = static_cast<int>(write_sizes.size());
    if (n == fail_write_call) return -1;
    if (n == short_write_call && count > 0) return real_.Write(h, buffer, count - 1);
    return real_.Write(h, buffer, count);
  }
  void Flush(platform::FileHandle h) override {
    Log("flush " + Name(h));
    real_.Flush(h);
  }
  void Close(platform::FileHandle h) override {
    Log("close " + Name(h));
    if (names_.erase(h)) --open_handles;
    real_.Close(h);
  }
  bool DeleteFile(const std::string& path) override {
    Log("delete");
    return real_.DeleteFile(path);
  }

  std::intptr_t ShellExecute(const char* verb, const std::string& file, const char* parameters,
                             const std::string& directory, int show) override {
    return real_.ShellExecute(verb, file, parameters, directory, show);
  }
  void MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    real_.MessageBox(text, caption, flags);
  }
  void CreateApplicationWindow() override { real_.CreateApplicationWindow(); }
  void SetApplicationTitle(const std::string& title) override {
    real_.SetApplicationTitle(title);
  }
  void DestroyApplicationWindow() override { real_.DestroyApplicationWindow(); }
  void RestrictDllSearch() override { real_.RestrictDllSearch(); }
  bool IsFolderTrusted(const std::string& path) override { return real_.IsFolderTrusted(path); }
  bool EmptyFolder(const std::string& path) override { return real_.EmptyFolder(path); }
  platform::FileHandle HoldFolder(const std::string& path) override {
    return real_.HoldFolder(path);
  }
  bool ProtectFolder(const std::string& path) override { return real_.ProtectFolder(path); }
  platform::FileHandle OpenReadLocked(const std::string& path) override {
    return real_.OpenReadLocked(path);
  }

 private:
  void Log(const std::string& e) {
    events.push_back(e);
    if (timeline) timeline->push_back(e);
  }
  std::string Name(platform::FileHandle h) const {
    auto it = names_.find(h);
    return it == names_.end() ? "?" : it->second;
  }

  platform::Os& real_;
  std::map<platform::FileHandle, std::string> names_;
};

// Installs an Os for the lifetime of the guard.
class ScopedOs {
 public:
  explicit ScopedOs(platform::Os* os) { platform::SetOs(os); }
  ~ScopedOs() { platform::SetOs(nullptr); }
  ScopedOs(const ScopedOs&) = delete;
  ScopedOs& operator=(const ScopedOs&) = delete;
};

}  // namespace testing_lzh
