// A test-only decoder that watches the window: it runs the decoder's model
// and position code (DecodeChar, DecodePosition) over a compressed file, but
// keeps its own window in which positions 4036..4095 start out unwritten.
// Reading one of them before it has been written is a fault of the stream:
// the real decoder gives those positions no defined value.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "lzh/bit_input.h"
#include "lzh/huffman_model.h"
#include "lzh/lzh_decode.h"
#include "lzh/position_code.h"

namespace packer_test {

struct TrackedDecode {
  std::vector<std::uint8_t> output;
  // Empty when the stream kept every rule; else the first broken one.
  std::string fault;
  // Bits that the items took, and whether the bits after them up to the end
  // of the stream (the last byte's padding) are all 0.
  std::uint64_t item_bits = 0;
  bool padding_zero = false;
  std::size_t stream_bytes = 0;
};

inline TrackedDecode DecodeTracking(const std::vector<std::uint8_t>& file) {
  TrackedDecode r;
  if (file.size() < 8) {
    r.fault = "no header";
    return r;
  }
  std::uint32_t declared = 0;
  for (int i = 3; i >= 0; --i) declared = (declared << 8) | file[4 + static_cast<std::size_t>(i)];
  const std::int64_t length = static_cast<std::int32_t>(declared);
  r.stream_bytes = file.size() - 8;

  std::size_t next = 8;
  std::uint64_t fetches = 0;
  auto input = [&](std::uint8_t* area, std::uint16_t, std::uint16_t& actual) {
    ++fetches;
    actual = 0;
    if (next < file.size()) {
      *area = file[next++];
      actual = 1;
    }
  };
  std::array<std::uint16_t, lzh::HuffmanTables::FrequencyEntries> freq;
  std::array<std::uint16_t, lzh::HuffmanTables::ParentEntries> parent;
  std::array<std::uint16_t, lzh::HuffmanTables::ChildEntries> child;
  lzh::HuffmanTables tables{freq.data(), parent.data(), child.data()};
  lzh::InitHuffmanModel(tables);
  lzh::BitInput bits;

  std::array<std::uint8_t, lzh::WindowSize> ring{};
  std::array<bool, lzh::WindowSize> written{};
  for (int i = 0; i < lzh::PrefillSize; ++i) {
    ring[static_cast<std::size_t>(i)] = lzh::PrefillByte;
    written[static_cast<std::size_t>(i)] = true;
  }
  unsigned pos = lzh::StartPosition;
  auto emit = [&](std::uint8_t x) {
    r.output.push_back(x);
    ring[pos] = x;
    written[pos] = true;
    pos = (pos + 1) & (lzh::WindowSize - 1);
  };

  for (std::size_t item = 0; static_cast<std::int64_t>(r.output.size()) < length; ++item) {
    const int c = lzh::DecodeChar(tables, bits, input);
    if (c < 256) {
      emit(static_cast<std::uint8_t>(c));
      continue;
    }
    const unsigned p = lzh::DecodePosition(bits, input);
    const unsigned from = (pos - p - 1) & (lzh::WindowSize - 1);
    const int len = c - 253;
    const std::string where = "item " + std::to_string(item) + " at output byte " + std::to_string(r.output.size());
    if (static_cast<std::int64_t>(r.output.size()) + len > length && r.fault.empty())
      r.fault = where + ": match of " + std::to_string(len) + " runs past the declared length";
    for (int k = 0; k < len; ++k) {
      const unsigned at = (from + static_cast<unsigned>(k)) & (lzh::WindowSize - 1);
      if (!written[at] && r.fault.empty())
        r.fault = where + ": reads window position " + std::to_string(at) + " before it was written";
      emit(ring[at]);
    }
  }
  r.item_bits = fetches * 8 - bits.BitCount;
  if (r.item_bits > 8 * r.stream_bytes) {
    if (r.fault.empty()) r.fault = "items take more bits than the stream holds";
  } else {
    r.padding_zero = true;
    for (std::uint64_t b = r.item_bits; b < 8 * r.stream_bytes; ++b)
      if ((file[8 + b / 8] >> (7 - b % 8)) & 1) r.padding_zero = false;
  }
  return r;
}

}  // namespace packer_test
