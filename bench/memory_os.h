// An Os whose two file handles are memory: handle 1 reads a byte vector,
// handle 2 swallows what is written (counting it, or keeping it when asked).
// Everything else goes to the real backend. It lets the file driver's block
// procedures run in-process without a system call per block.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/os.h"

namespace bench {

class MemoryOs final : public platform::Os {
 public:
  static constexpr platform::FileHandle kInput = 1;
  static constexpr platform::FileHandle kOutput = 2;

  // The bytes that handle 1 delivers, from the start.
  void SetInput(const std::vector<std::uint8_t>* input) {
    input_ = input;
    next_ = 0;
  }
  // Whether handle 2 keeps the written bytes in Written().
  void KeepOutput(bool keep) {
    keep_ = keep;
    written_.clear();
    written_count_ = 0;
  }
  const std::vector<std::uint8_t>& Written() const { return written_; }
  std::uint64_t WrittenCount() const { return written_count_; }

  std::int32_t Read(platform::FileHandle h, void* buffer, std::int32_t count) override {
    if (h != kInput) return real_.Read(h, buffer, count);
    const std::size_t left = input_->size() - next_;
    const std::size_t n = left < static_cast<std::size_t>(count) ? left : static_cast<std::size_t>(count);
    std::memcpy(buffer, input_->data() + next_, n);
    next_ += n;
    return static_cast<std::int32_t>(n);
  }
  std::int32_t Write(platform::FileHandle h, const void* buffer, std::int32_t count) override {
    if (h != kOutput) return real_.Write(h, buffer, count);
    if (keep_) {
      const auto* p = static_cast<const std::uint8_t*>(buffer);
      written_.insert(written_.end(), p, p + count);
    }
    written_count_ += static_cast<std::uint64_t>(count);
    return count;
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
    return real_.OpenExisting(path);
  }
  platform::FileHandle CreateAlways(const std::string& path) override {
    return real_.CreateAlways(path);
  }
  void Flush(platform::FileHandle h) override {
    if (h != kInput && h != kOutput) real_.Flush(h);
  }
  void Close(platform::FileHandle h) override {
    if (h != kInput && h != kOutput) real_.Close(h);
  }
  bool DeleteFile(const std::string& path) override { return real_.DeleteFile(path); }
  std::intptr_t ShellExecute(const char* verb, const std::string& file, const char* parameters,
                             const std::string& directory, int show) override {
    return real_.ShellExecute(verb, file, parameters, directory, show);
  }
  void MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    real_.MessageBox(text, caption, flags);
  }
  void CreateApplicationWindow() override { real_.CreateApplicationWindow(); }
  void SetApplicationTitle(const std::string& title) override { real_.SetApplicationTitle(title); }
  void DestroyApplicationWindow() override { real_.DestroyApplicationWindow(); }
  void RestrictDllSearch() override { real_.RestrictDllSearch(); }
  bool IsFolderTrusted(const std::string& path) override { return real_.IsFolderTrusted(path); }
  void EmptyFolder(const std::string& path) override { real_.EmptyFolder(path); }
  bool ProtectFolder(const std::string& path) override { return real_.ProtectFolder(path); }
  platform::FileHandle OpenReadLocked(const std::string& path) override {
    return real_.OpenReadLocked(path);
  }

 private:
  platform::Os& real_ = platform::DefaultOs();
  const std::vector<std::uint8_t>* input_ = nullptr;
  std::size_t next_ = 0;
  bool keep_ = false;
  std::vector<std::uint8_t> written_;
  std::uint64_t written_count_ = 0;
};

}  // namespace bench
