#include "lzh/packer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "lzh/lzh_decode.h"
#include "lzh/match_finder.h"
#include "lzh/pack_model.h"

namespace lzh {

namespace {

// What a symbol is expected to cost under model: the mean of its current
// code length and of log2(root weight / its weight). The code length is what
// the next use really costs; the weight ratio is smoother and follows the
// statistics that a symbol's uses build up. Measured, the mean parses a
// little better than either alone.
void PriceSymbols(const AdaptiveModel& model, SymbolPrices& prices) {
  std::array<std::uint8_t, SymbolCount> lengths;
  model.CodeLengths(lengths);
  const double root = model.RootWeight();
  for (std::size_t s = 0; s < SymbolCount; ++s) {
    const double bits =
        0.5 * (lengths[s] + std::log2(root / model.Weight(static_cast<int>(s))));
    prices[s] = static_cast<std::uint32_t>(std::lround(bits * kPriceScale));
  }
}

// The model after counting items, whose bytes start at bytes.
void CountItems(AdaptiveModel& model, const std::uint8_t* bytes, const Item* first,
                const Item* last) {
  for (; first != last; ++first) {
    model.Update(SymbolOf(*first, bytes));
    bytes += first->length;
  }
}

// Collects the matches of history[start..end), cut so that none runs past end.
void FindBlockMatches(MatchFinder& finder, std::size_t start, std::size_t end,
                      BlockMatches& matches) {
  matches.Clear();
  Match found[MatchFinder::kMaxLength];
  for (std::size_t pos = start; pos < end; ++pos) {
    matches.first.push_back(static_cast<std::uint32_t>(matches.all.size()));
    const int n = finder.Find(pos, found);
    for (int k = 0; k < n; ++k) {
      Match m = found[k];
      if (m.length > end - pos) {
        m.length = static_cast<std::uint16_t>(end - pos);
        if (m.length >= MatchFinder::kMinLength) matches.all.push_back(m);
        break;
      }
      matches.all.push_back(m);
    }
  }
  matches.first.push_back(static_cast<std::uint32_t>(matches.all.size()));
}

}  // namespace

std::vector<Item> ParseInput(const std::uint8_t* data, std::size_t size,
                             const PackOptions& options) {
  CheckPackSize(size);
  // The history as the decoder sees it: the pre-filled spaces, then the data.
  // A match may reach back into the spaces but never further, since offsets
  // below 0 would be window positions the decoder has not written.
  std::vector<std::uint8_t> history(PrefillSize + size, PrefillByte);
  if (size > 0) std::memcpy(history.data() + PrefillSize, data, size);
  const std::uint8_t* const bytes = history.data();

  MatchFinder finder(bytes, history.size(), std::max(options.search_depth, 1));
  for (std::size_t pos = 0; pos < PrefillSize; ++pos) finder.Skip(pos);

  AdaptiveModel model;
  BlockMatches matches;
  std::vector<Item> items;
  SymbolPrices prices;
  const std::size_t block_size = std::clamp<std::size_t>(options.block_size, 1, kMaxBlockSize);
  const int passes = std::max(options.passes, 1);

  for (std::size_t start = PrefillSize; start < history.size(); start += block_size) {
    const std::size_t end = std::min(history.size(), start + block_size);
    FindBlockMatches(finder, start, end, matches);
    const std::size_t block_first = items.size();
    PriceSymbols(model, prices);
    for (int pass = 1;; ++pass) {
      items.resize(block_first);
      ParseBlock(bytes + start, matches, prices, items);
      if (pass == passes) break;
      AdaptiveModel trial = model;
      CountItems(trial, bytes + start, items.data() + block_first, items.data() + items.size());
      PriceSymbols(trial, prices);
    }
    CountItems(model, bytes + start, items.data() + block_first, items.data() + items.size());
  }
  return items;
}

std::vector<std::uint8_t> PackBuffer(const std::uint8_t* data, std::size_t size,
                                     const PackOptions& options) {
  return EncodeItems(data, size, ParseInput(data, size, options));
}

}  // namespace lzh
