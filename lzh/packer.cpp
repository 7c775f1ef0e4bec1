#include "lzh/packer.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "lzh/file_driver.h"
#include "lzh/lzh_decode.h"
#include "lzh/match_finder.h"
#include "lzh/pack_bit_writer.h"
#include "lzh/pack_model.h"
#include "lzh/pack_parse.h"

namespace lzh {

namespace {

constexpr int kLengthSymbolBase = 256 - MatchFinder::kMinLength;

int SymbolOf(const Item& item, const std::uint8_t* bytes) {
  return item.length == 1 ? bytes[0] : kLengthSymbolBase + item.length;
}

void PricesFromCodeLengths(const AdaptiveModel& model, SymbolPrices& prices) {
  std::array<std::uint8_t, SymbolCount> lengths;
  model.CodeLengths(lengths);
  for (int s = 0; s < SymbolCount; ++s) prices[static_cast<std::size_t>(s)] = lengths[static_cast<std::size_t>(s)] * kPriceScale;
}

void PricesFromWeights(const AdaptiveModel& model, SymbolPrices& prices) {
  const double root = model.RootWeight();
  for (int s = 0; s < SymbolCount; ++s)
    prices[static_cast<std::size_t>(s)] = static_cast<std::uint32_t>(
        std::lround(std::log2(root / model.Weight(s)) * kPriceScale));
}

void Prices(const AdaptiveModel& model, int pricing, SymbolPrices& prices) {
  if (pricing == 0) PricesFromWeights(model, prices);
  else PricesFromCodeLengths(model, prices);
}

}  // namespace

std::vector<std::uint8_t> PackBuffer(const std::uint8_t* data, std::size_t size,
                                     const PackOptions& options) {
  if (size > kMaxPackInput)
    throw std::length_error("lzh: input of " + std::to_string(size) +
                            " bytes is longer than the format can declare");
  std::vector<std::uint8_t> out(8);
  std::memcpy(out.data(), kMagic, 4);
  for (int i = 0; i < 4; ++i)
    out[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));

  // The history as the decoder sees it: the pre-filled spaces, then the data.
  std::vector<std::uint8_t> history(PrefillSize + size, PrefillByte);
  if (size > 0) std::memcpy(history.data() + PrefillSize, data, size);
  const std::uint8_t* const bytes = history.data();

  MatchFinder finder(bytes, history.size(), options.search_depth);
  for (std::size_t pos = 0; pos < PrefillSize; ++pos) finder.Skip(pos);

  BitWriter writer(out);
  AdaptiveModel model;
  BlockMatches matches;
  std::vector<Item> items;
  SymbolPrices prices;
  Match found[MatchFinder::kMaxLength];
  const std::size_t block_size = options.block_size == 0 ? 1 : options.block_size;
  const int passes = options.passes < 1 ? 1 : options.passes;

  for (std::size_t start = PrefillSize; start < history.size(); start += block_size) {
    const std::size_t end = std::min(history.size(), start + block_size);
    matches.Clear();
    for (std::size_t pos = start; pos < end; ++pos) {
      matches.first.push_back(static_cast<std::uint32_t>(matches.all.size()));
      const int n = finder.Find(pos, found);
      for (int k = 0; k < n; ++k) {
        Match m = found[k];
        // A block's items end at its end.
        if (pos + m.length > end) {
          m.length = static_cast<std::uint16_t>(end - pos);
          if (m.length < MatchFinder::kMinLength) break;
          matches.all.push_back(m);
          break;
        }
        matches.all.push_back(m);
      }
    }
    matches.first.push_back(static_cast<std::uint32_t>(matches.all.size()));

    Prices(model, options.pricing, prices);
    for (int pass = 1; pass < passes; ++pass) {
      items.clear();
      ParseBlock(bytes + start, matches, prices, items);
      AdaptiveModel trial = model;
      std::size_t pos = start;
      for (const Item& item : items) {
        trial.Update(SymbolOf(item, bytes + pos));
        pos += item.length;
      }
      Prices(trial, options.pricing, prices);
    }
    items.clear();
    ParseBlock(bytes + start, matches, prices, items);
    std::size_t pos = start;
    for (const Item& item : items) {
      model.Encode(writer, SymbolOf(item, bytes + pos));
      if (item.length > 1) EncodePosition(writer, item.distance - 1u);
      pos += item.length;
    }
  }
  writer.Finish();
  return out;
}

}  // namespace lzh
