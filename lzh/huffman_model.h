// Adaptive Huffman model of the literal/length alphabet.
//
// 314 symbols: 0..255 literal bytes, 256..313 match lengths 3..60. The tree
// lives in three tables of 16-bit entries. The coder that wrote a stream ran
// the very same model in step, so every rule here, tie-breaks included,
// decides which bits mean which symbol later in the stream.
//
// Between calls:
//  1. Freq[0..626] is non-decreasing; Freq[627] is the sentinel 0xFFFF.
//  2. Siblings sit at position pairs (0,1), (2,3) ... (624,625): an internal
//     node's Child entry is even and at most 624; its bit-1 child is Child+1.
//  3. An internal node weighs the sum of its children; a leaf at least 1.
//  4. The root is at 626 with Parent 0; position 0 always holds a leaf.
//  5. The root weighs at most FrequencyLimit, every other node less.
#pragma once

#include <cstdint>

#include "lzh/bit_input.h"

namespace lzh {

inline constexpr int SymbolCount = 314;
inline constexpr int NodeCount = 2 * SymbolCount - 1;  // 627
inline constexpr int RootNode = NodeCount - 1;          // 626
inline constexpr std::uint16_t FrequencyLimit = 0x8000;

struct HuffmanTables {
  std::uint16_t* FrequencyTable = nullptr;  // 628 entries
  std::uint16_t* ParentTable = nullptr;     // 941 entries: nodes, then 627 + symbol
  std::uint16_t* ChildTable = nullptr;      // 627 entries: first child, or 627 + symbol

  static constexpr int FrequencyEntries = NodeCount + 1;
  static constexpr int ParentEntries = NodeCount + SymbolCount;
  static constexpr int ChildEntries = NodeCount;
};

// The fresh tree: symbol s's leaf at position s, all weights 1.
void InitHuffmanModel(HuffmanTables& t);
// Halves all leaf weights (rounding up) and rebuilds the tree.
void RebuildHuffmanTree(HuffmanTables& t);
// Counts one more occurrence of symbol (0..313), rebuilding first at the limit.
void UpdateHuffmanModel(HuffmanTables& t, int symbol);

// Walks the tree from the root, one bit per level, then updates the model.
template <BlockIoProc In>
int DecodeChar(HuffmanTables& t, BitInput& bits, In& input) {
  const std::uint16_t* child = t.ChildTable;
  unsigned c = child[RootNode];
  while (c < static_cast<unsigned>(NodeCount)) c = child[c + bits.GetBit(input)];
  const int symbol = static_cast<int>(c) - NodeCount;
  UpdateHuffmanModel(t, symbol);
  return symbol;
}

}  // namespace lzh
