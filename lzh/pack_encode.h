// Writes a compressed file from a list of items.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lzh/pack_parse.h"

namespace lzh {

// Inputs longer than this cannot be declared in the header.
inline constexpr std::size_t kMaxPackInput = 0x7FFFFFFF;

// Raises std::length_error when size exceeds kMaxPackInput.
void CheckPackSize(std::size_t size);

// The symbol that codes item, whose first byte is *bytes.
inline int SymbolOf(const Item& item, const std::uint8_t* bytes) {
  return item.length == 1 ? bytes[0] : 256 - MatchFinder::kMinLength + item.length;
}

// Checks that items spell out data[0..size) and that the decoder can follow
// them: literals have distance 0, matches length 3..60, and a match starting
// at output count n with distance d reads only pre-filled spaces or bytes
// already written (n - d >= -4036, d <= 4096) and ends within data; what it
// copies must equal data. Raises std::invalid_argument naming the first
// offending item, std::length_error when size exceeds kMaxPackInput.
void CheckItems(const std::uint8_t* data, std::size_t size, const std::vector<Item>& items);

// The whole compressed file: magic, declared length size, the items coded
// with a fresh adaptive model, 0 bits up to the byte boundary. Items are
// checked first with CheckItems.
std::vector<std::uint8_t> EncodeItems(const std::uint8_t* data, std::size_t size,
                                      const std::vector<Item>& items);

}  // namespace lzh
