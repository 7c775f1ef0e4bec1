// Decodes a compressed file held in memory with the launcher's own decoder.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "lzh/lzh_decode.h"

namespace packer_test {

// The stream after the 8-byte header, expanded to the declared length.
inline std::vector<std::uint8_t> DecodeInMemory(const std::vector<std::uint8_t>& file) {
  if (file.size() < 8 || std::memcmp(file.data(), "!HZL", 4) != 0)
    throw std::runtime_error("not a compressed file");
  std::int32_t length = 0;
  for (int i = 3; i >= 0; --i) length = static_cast<std::int32_t>((static_cast<std::uint32_t>(length) << 8) | file[4 + static_cast<std::size_t>(i)]);
  std::size_t next = 8;
  auto input = [&](std::uint8_t* area, std::uint16_t, std::uint16_t& actual) {
    if (next < file.size()) {
      *area = file[next++];
      actual = 1;
    } else {
      actual = 0;
    }
  };
  std::vector<std::uint8_t> out;
  auto output = [&](std::uint8_t* area, std::uint16_t count, std::uint16_t& actual) {
    out.insert(out.end(), area, area + count);
    actual = count;
  };
  lzh::CodecState state;
  lzh::LzhDecode(state, length, input, output);
  return out;
}

}  // namespace packer_test
