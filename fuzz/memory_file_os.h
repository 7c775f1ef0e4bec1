// An Os whose files live in memory, so a fuzz input costs no disk traffic.
// Only the file calls are served here; the rest goes to the real backend.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/os.h"

namespace fuzzing {

class MemoryFileOs : public platform::Os {
 public:
  std::map<std::string, std::vector<std::uint8_t>> files;

  MemoryFileOs() : real_(platform::DefaultOs()) {}

  int OpenCount() const { return static_cast<int>(open_.size()); }

  platform::FileHandle OpenExisting(const std::string& path) override {
    if (!files.count(path) || IsOpen(path)) return -1;
    return Add(path);
  }
  platform::FileHandle CreateAlways(const std::string& path) override {
    if (IsOpen(path)) return -1;
    files[path].clear();
    return Add(path);
  }
  std::int32_t Read(platform::FileHandle h, void* buffer, std::int32_t count) override {
    auto it = open_.find(h);
    if (it == open_.end() || count < 0) return -1;
    const auto& data = files[it->second.path];
    std::size_t n = static_cast<std::size_t>(count);
    const std::size_t at = it->second.position;
    if (at >= data.size()) return 0;
    if (n > data.size() - at) n = data.size() - at;
    std::memcpy(buffer, data.data() + at, n);
    it->second.position += n;
    return static_cast<std::int32_t>(n);
  }
  std::int32_t Write(platform::FileHandle h, const void* buffer, std::int32_t count) override {
    auto it = open_.find(h);
    if (it == open_.end() || count < 0) return -1;
    auto& data = files[it->second.path];
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    data.insert(data.end(), p, p + count);
    return count;
  }
  void Flush(platform::FileHandle) override {}
  void Close(platform::FileHandle h) override { open_.erase(h); }
  bool DeleteFile(const std::string& path) override {
    if (IsOpen(path)) return false;
    return files.erase(path) > 0;
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
    return OpenExisting(path);
  }

 private:
  struct OpenFile {
    std::string path;
    std::size_t position = 0;
  };

  bool IsOpen(const std::string& path) const {
    for (const auto& [h, f] : open_)
      if (f.path == path) return true;
    return false;
  }
  platform::FileHandle Add(const std::string& path) {
    const platform::FileHandle h = next_++;
    open_[h] = OpenFile{path, 0};
    return h;
  }

  platform::Os& real_;
  std::map<platform::FileHandle, OpenFile> open_;
  platform::FileHandle next_ = 1;
};

// Installs an Os for one fuzz input.
class ScopedOs {
 public:
  explicit ScopedOs(platform::Os* os) { platform::SetOs(os); }
  ~ScopedOs() { platform::SetOs(nullptr); }
  ScopedOs(const ScopedOs&) = delete;
  ScopedOs& operator=(const ScopedOs&) = delete;
};

// Stops the run with a message when a property does not hold; libFuzzer saves
// the input that did it.
#define FUZZ_CHECK(cond, what)                                                 \
  do {                                                                         \
    if (!(cond)) {                                                             \
      std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, __FILE__, \
                   __LINE__);                                                  \
      std::abort();                                                            \
    }                                                                          \
  } while (0)

}  // namespace fuzzing
