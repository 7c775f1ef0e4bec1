#include "lzh/huffman_model.h"

#include <cstring>

namespace lzh {

void InitHuffmanModel(HuffmanTables& t) {
  std::uint16_t* freq = t.FrequencyTable;
  std::uint16_t* parent = t.ParentTable;
  std::uint16_t* child = t.ChildTable;
  for (int s = 0; s < SymbolCount; ++s) {
    freq[s] = 1;
    child[s] = static_cast<std::uint16_t>(NodeCount + s);
    parent[NodeCount + s] = static_cast<std::uint16_t>(s);
  }
  int i = 0;
  for (int j = SymbolCount; j < NodeCount; ++j, i += 2) {
    freq[j] = static_cast<std::uint16_t>(freq[i] + freq[i + 1]);
    child[j] = static_cast<std::uint16_t>(i);
    parent[i] = parent[i + 1] = static_cast<std::uint16_t>(j);
  }
  freq[NodeCount] = 0xFFFF;
  parent[RootNode] = 0;
}

void RebuildHuffmanTree(HuffmanTables& t) {
  std::uint16_t* freq = t.FrequencyTable;
  std::uint16_t* parent = t.ParentTable;
  std::uint16_t* child = t.ChildTable;

  // Leaves to the front, in their relative order, weights halved rounding up.
  int j = 0;
  for (int p = 0; p < NodeCount; ++p) {
    if (child[p] >= NodeCount) {
      freq[j] = static_cast<std::uint16_t>((static_cast<unsigned>(freq[p]) + 1) / 2);
      child[j] = child[p];
      ++j;
    }
  }
  // Internal nodes: each pair's sum goes after the last position that weighs
  // no more than it (among equal weights, last).
  int i = 0;
  for (j = SymbolCount; j < NodeCount; ++j, i += 2) {
    const unsigned f = static_cast<unsigned>(freq[i]) + freq[i + 1];
    int k = j - 1;
    while (f < freq[k]) --k;
    ++k;
    const std::size_t moved = static_cast<std::size_t>(j - k);
    std::memmove(&freq[k + 1], &freq[k], moved * sizeof(std::uint16_t));
    freq[k] = static_cast<std::uint16_t>(f);
    std::memmove(&child[k + 1], &child[k], moved * sizeof(std::uint16_t));
    child[k] = static_cast<std::uint16_t>(i);
  }
  // Parents follow the children.
  for (int p = 0; p < NodeCount; ++p) {
    const unsigned c = child[p];
    parent[c] = static_cast<std::uint16_t>(p);
    if (c < static_cast<unsigned>(NodeCount)) parent[c + 1] = static_cast<std::uint16_t>(p);
  }
}

}  // namespace lzh
