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

#include <cstddef>
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

// The node at c has just been counted to weight k, more than the node after
// it: exchanges it with the last node of the run that had its old weight (the
// sentinel above the root ends the scan) and returns that node's position.
// The two positions swap what hangs at them; the children's parent links
// follow, the positions' own parent links stay.
inline std::size_t ExchangeNode(std::uint16_t* const freq, std::uint16_t* const parent,
                                std::uint16_t* const child, std::size_t c, std::uint16_t k) {
  // The weights are in order, so the run is the positions after c that weigh
  // less than k: counted eight at a time, without a branch per position.
  std::size_t l = c;
  if (c + 8 <= static_cast<std::size_t>(NodeCount)) {
    unsigned run = 0;
    for (std::size_t j = 1; j <= 8; ++j) run += freq[c + j] < k ? 1u : 0u;
    l = c + run;
    if (run == 8)
      while (k > freq[l + 1]) ++l;
  } else {
    ++l;
    while (k > freq[l + 1]) ++l;
  }
  freq[c] = freq[l];
  freq[l] = k;

  // A leaf has one parent link, an internal node's two children have two:
  // for a leaf the second store repeats the first.
  const unsigned i = child[c];
  parent[i] = static_cast<std::uint16_t>(l);
  parent[i + static_cast<unsigned>(i < static_cast<unsigned>(NodeCount))] =
      static_cast<std::uint16_t>(l);

  const unsigned j = child[l];
  child[l] = static_cast<std::uint16_t>(i);
  parent[j] = static_cast<std::uint16_t>(c);
  parent[j + static_cast<unsigned>(j < static_cast<unsigned>(NodeCount))] =
      static_cast<std::uint16_t>(c);
  child[c] = static_cast<std::uint16_t>(j);
  return l;
}

// Counts the node at c and every node above it, up to the root, following the
// parent links and exchanging where the order of weights is disturbed.
inline void CountUpFrom(std::uint16_t* const freq, std::uint16_t* const parent,
                        std::uint16_t* const child, std::size_t c) {
  // Positions as byte offsets into the tables, which saves an address
  // computation per level.
  auto at = [](std::uint16_t* table, std::size_t offset) -> std::uint16_t& {
    return *reinterpret_cast<std::uint16_t*>(reinterpret_cast<unsigned char*>(table) + offset);
  };
  std::size_t o = 2 * c;
  do {
    const std::uint16_t k = static_cast<std::uint16_t>(at(freq, o) + 1);
    at(freq, o) = k;
    if (k > at(freq, o + 2)) [[unlikely]]
      o = 2 * ExchangeNode(freq, parent, child, o / 2, k);
    o = 2 * static_cast<std::size_t>(at(parent, o));
  } while (o != 0);
}

// One more occurrence of symbol on the tables given by their three arrays
// (those of t); t is rebuilt first when the root has reached the limit.
inline void CountSymbol(HuffmanTables& t, std::uint16_t* const freq, std::uint16_t* const parent,
                        std::uint16_t* const child, unsigned symbol) {
  if (freq[RootNode] == FrequencyLimit) [[unlikely]]
    RebuildHuffmanTree(t);
  CountUpFrom(freq, parent, child, parent[NodeCount + symbol]);
}

// Counts one more occurrence of symbol (0..313), rebuilding first at the limit.
inline void UpdateHuffmanModel(HuffmanTables& t, int symbol) {
  CountSymbol(t, t.FrequencyTable, t.ParentTable, t.ChildTable, static_cast<unsigned>(symbol));
}

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
