// Shortest-path parsing of one block: the cheapest sequence of literals and
// matches under fixed symbol prices.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "lzh/huffman_model.h"
#include "lzh/match_finder.h"

namespace lzh {

// Prices are in 1/kPriceScale bits.
inline constexpr std::uint32_t kPriceScale = 64;

using SymbolPrices = std::array<std::uint32_t, SymbolCount>;

// One coded item: a literal (length 1, distance 0) or a match.
struct Item {
  std::uint16_t length;
  std::uint16_t distance;
};

// The match lists of the positions of one block, as the finder reported them.
struct BlockMatches {
  std::vector<std::uint32_t> first;  // per position + 1 sentinel: index into all
  std::vector<Match> all;

  void Clear() {
    first.clear();
    all.clear();
  }
  std::size_t Positions() const { return first.empty() ? 0 : first.size() - 1; }
};

// Parses bytes[0..matches.Positions()) into items (appended), minimising the
// summed price: symbol price plus the position's bits for a match. A match
// of length L may use the reported distance for any length up to L.
void ParseBlock(const std::uint8_t* bytes, const BlockMatches& matches,
                const SymbolPrices& prices, std::vector<Item>& items);

}  // namespace lzh
