// An open handle of the Os, closed when the guard goes, also when an exception
// passes. The launcher holds the working folder and the inner setup program
// this way until the shell has started the program.
#pragma once

#include <utility>

#include "platform/os.h"

namespace launcher {

class HeldFile {
 public:
  // Takes over handle; one that failed to open (<= 0) is held as nothing.
  explicit HeldFile(platform::FileHandle handle = 0) : handle_(handle > 0 ? handle : 0) {}
  ~HeldFile() {
    if (handle_ > 0) platform::CurrentOs().Close(handle_);
  }
  HeldFile(HeldFile&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}
  HeldFile& operator=(HeldFile&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool IsOpen() const { return handle_ > 0; }

 private:
  platform::FileHandle handle_;
};

}  // namespace launcher
