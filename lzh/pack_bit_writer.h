// Bit output of the packer: bits go out most significant first, the way the
// decoder's bit input takes them; the last byte is padded with 0 bits.
#pragma once

#include <cstdint>
#include <vector>

namespace lzh {

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  // Appends the low count bits of bits (count 0..32), highest first.
  void Put(std::uint32_t bits, int count) {
    acc_ = (acc_ << count) | (bits & ((std::uint64_t{1} << count) - 1));
    pending_ += count;
    while (pending_ >= 8) {
      pending_ -= 8;
      out_.push_back(static_cast<std::uint8_t>(acc_ >> pending_));
    }
    acc_ &= (std::uint64_t{1} << pending_) - 1;
  }

  // Pads the last partial byte with 0 bits.
  void Finish() {
    if (pending_ > 0) out_.push_back(static_cast<std::uint8_t>(acc_ << (8 - pending_)));
    acc_ = 0;
    pending_ = 0;
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::uint64_t acc_ = 0;
  int pending_ = 0;
};

}  // namespace lzh
