// A tiny MSB-first bit writer for building coded streams by hand in tests.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace testing_lzh {

class BitWriter {
 public:
  void Put(int bit) {
    if (fill_ == 0) bytes_.push_back(0);
    if (bit) bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (0x80u >> fill_));
    fill_ = (fill_ + 1) & 7;
    ++bits_;
  }
  // The low n bits of value, most significant first.
  void PutBits(unsigned value, int n) {
    for (int i = n - 1; i >= 0; --i) Put((value >> i) & 1);
  }
  // A string of '0' and '1'; any other character (spaces, commas) is skipped.
  void PutString(std::string_view bits) {
    for (char c : bits)
      if (c == '0' || c == '1') Put(c - '0');
  }
  void PutByte(std::uint8_t b) { PutBits(b, 8); }

  std::size_t BitsWritten() const { return bits_; }
  // The bytes so far; the unused low bits of the last byte are 0.
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  int fill_ = 0;
  std::size_t bits_ = 0;
};

inline std::vector<std::uint8_t> BitsToBytes(std::string_view bits) {
  BitWriter w;
  w.PutString(bits);
  return w.Bytes();
}

}  // namespace testing_lzh
