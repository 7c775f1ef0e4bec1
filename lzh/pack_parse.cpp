#include "lzh/pack_parse.h"

#include <algorithm>
#include <limits>

#include "lzh/pack_model.h"

namespace lzh {

namespace {

constexpr std::array<std::uint32_t, MatchFinder::kMaxDistance + 1> MakeDistancePrices() {
  std::array<std::uint32_t, MatchFinder::kMaxDistance + 1> prices{};
  for (int d = 1; d <= MatchFinder::kMaxDistance; ++d)
    prices[static_cast<std::size_t>(d)] =
        static_cast<std::uint32_t>(PositionBits(static_cast<unsigned>(d - 1))) * kPriceScale;
  return prices;
}

constexpr std::array<std::uint32_t, MatchFinder::kMaxDistance + 1> kDistancePrices =
    MakeDistancePrices();

// First match symbol: length 3.
constexpr int kLengthSymbolBase = 256 - MatchFinder::kMinLength;

}  // namespace

void ParseBlock(const std::uint8_t* bytes, const BlockMatches& matches,
                const SymbolPrices& prices, std::vector<Item>& items) {
  const std::size_t n = matches.Positions();
  if (n == 0) return;
  constexpr std::uint32_t kUnreached = std::numeric_limits<std::uint32_t>::max();
  // cost[i]: cheapest price of bytes[0..i); via[i]: the item that ends there.
  std::vector<std::uint32_t> cost(n + 1, kUnreached);
  std::vector<Item> via(n + 1);
  cost[0] = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t here = cost[i];
    const std::uint32_t literal = here + prices[bytes[i]];
    if (literal < cost[i + 1]) {
      cost[i + 1] = literal;
      via[i + 1] = Item{1, 0};
    }
    int length = MatchFinder::kMinLength;
    for (std::uint32_t k = matches.first[i]; k < matches.first[i + 1]; ++k) {
      const Match m = matches.all[k];
      const std::uint32_t base = here + kDistancePrices[m.distance];
      for (; length <= m.length; ++length) {
        const std::uint32_t price = base + prices[static_cast<std::size_t>(kLengthSymbolBase + length)];
        std::uint32_t& target = cost[i + static_cast<std::size_t>(length)];
        if (price < target) {
          target = price;
          via[i + static_cast<std::size_t>(length)] = Item{static_cast<std::uint16_t>(length), m.distance};
        }
      }
    }
  }
  // Walk back from the end, then append in order.
  const std::size_t start = items.size();
  for (std::size_t i = n; i > 0; i -= via[i].length) items.push_back(via[i]);
  std::reverse(items.begin() + static_cast<std::ptrdiff_t>(start), items.end());
}

}  // namespace lzh
