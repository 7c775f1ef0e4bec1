#include "lzh/pack_encode.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "lzh/file_driver.h"
#include "lzh/lzh_decode.h"
#include "lzh/pack_bit_writer.h"
#include "lzh/pack_model.h"

namespace lzh {

namespace {

[[noreturn]] void BadItem(std::size_t index, std::size_t at, const std::string& why) {
  throw std::invalid_argument("lzh: item " + std::to_string(index) + " at output byte " +
                              std::to_string(at) + ": " + why);
}

}  // namespace

void CheckPackSize(std::size_t size) {
  if (size > kMaxPackInput)
    throw std::length_error("lzh: input of " + std::to_string(size) +
                            " bytes is longer than the format can declare (at most " +
                            std::to_string(kMaxPackInput) + ")");
}

void CheckItems(const std::uint8_t* data, std::size_t size, const std::vector<Item>& items) {
  CheckPackSize(size);
  std::size_t n = 0;
  for (std::size_t index = 0; index < items.size(); ++index) {
    const Item item = items[index];
    if (n >= size) BadItem(index, n, "past the end of the data");
    if (item.length == 1) {
      if (item.distance != 0) BadItem(index, n, "literal with a distance");
      ++n;
      continue;
    }
    if (item.length < MatchFinder::kMinLength || item.length > MatchFinder::kMaxLength)
      BadItem(index, n, "match length " + std::to_string(item.length));
    if (item.distance < 1 || item.distance > MatchFinder::kMaxDistance)
      BadItem(index, n, "match distance " + std::to_string(item.distance));
    if (item.distance > n + PrefillSize)
      BadItem(index, n, "distance " + std::to_string(item.distance) +
                            " reaches window bytes not written yet");
    if (size - n < item.length) BadItem(index, n, "match runs past the end of the data");
    // Source byte k is data[n - d + k], or a pre-filled space before data[0];
    // when the match overlaps itself that is a byte the match has produced.
    for (std::size_t k = 0; k < item.length; ++k) {
      const std::size_t src = n + k + PrefillSize - item.distance;  // index into spaces + data
      const std::uint8_t byte = src < PrefillSize ? PrefillByte : data[src - PrefillSize];
      if (byte != data[n + k]) BadItem(index, n, "match copies other bytes than the data");
    }
    n += item.length;
  }
  if (n != size) BadItem(items.size(), n, "items end before the data");
}

std::vector<std::uint8_t> EncodeItems(const std::uint8_t* data, std::size_t size,
                                      const std::vector<Item>& items) {
  CheckItems(data, size, items);
  std::vector<std::uint8_t> out(8);
  std::memcpy(out.data(), kMagic, 4);
  for (int i = 0; i < 4; ++i)
    out[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
  BitWriter writer(out);
  AdaptiveModel model;
  std::size_t n = 0;
  for (const Item& item : items) {
    model.Encode(writer, SymbolOf(item, data + n));
    if (item.length > 1) EncodePosition(writer, item.distance - 1u);
    n += item.length;
  }
  writer.Finish();
  return out;
}

}  // namespace lzh
