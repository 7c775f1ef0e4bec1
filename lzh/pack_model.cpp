#include "lzh/pack_model.h"

namespace lzh {

void AdaptiveModel::Encode(BitWriter& out, int symbol) {
  // Leaf to root: at each level the node's position says which child it is
  // (siblings sit at even/odd pairs, bit 1 is the odd one). The leaf's bit is
  // the last one the decoder reads, so collecting them upwards from bit 0
  // builds the code most significant bit first.
  std::uint32_t code = 0;
  int length = 0;
  unsigned c = parent_[NodeCount + symbol];
  while (c != RootNode) {
    if (length == 32) {
      // Deeper than a tree of 16-bit weights gets in practice: take the
      // slow way with one bit per entry.
      EncodeDeep(out, symbol);
      return;
    }
    code |= (c & 1u) << length;
    ++length;
    c = parent_[c];
  }
  out.Put(code, length);
  Update(symbol);
}

void AdaptiveModel::EncodeDeep(BitWriter& out, int symbol) {
  std::uint8_t bits[NodeCount];
  int length = 0;
  for (unsigned c = parent_[NodeCount + symbol]; c != RootNode; c = parent_[c])
    bits[length++] = static_cast<std::uint8_t>(c & 1u);
  while (length > 0) out.Put(bits[--length], 1);
  Update(symbol);
}

void AdaptiveModel::CodeLengths(std::array<std::uint8_t, SymbolCount>& lengths) const {
  // A parent outweighs each of its children and weights never decrease with
  // position, so every parent sits above its children: one pass from the
  // root down gives all depths.
  std::array<std::uint16_t, NodeCount> depth;
  depth[RootNode] = 0;
  for (int p = RootNode; p >= 0; --p) {
    const unsigned c = child_[static_cast<std::size_t>(p)];
    const std::uint16_t d = depth[static_cast<std::size_t>(p)];
    if (c >= static_cast<unsigned>(NodeCount)) {
      lengths[c - NodeCount] = static_cast<std::uint8_t>(d > 255 ? 255 : d);
    } else {
      depth[c] = depth[c + 1] = static_cast<std::uint16_t>(d + 1);
    }
  }
}

}  // namespace lzh
