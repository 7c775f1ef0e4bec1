// Placeholder greedy packer; replaced by the parsing packer.
#include "lzh/packer.h"

#include <cstring>

#include "lzh/huffman_model.h"
#include "lzh/lzh_decode.h"

namespace lzh {

namespace {

struct BitWriter {
  std::vector<std::uint8_t>& out;
  std::uint32_t acc = 0;
  int n = 0;
  void Put(std::uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
      acc = (acc << 1) | ((bits >> i) & 1);
      if (++n == 8) {
        out.push_back(static_cast<std::uint8_t>(acc));
        acc = 0;
        n = 0;
      }
    }
  }
  void Finish() {
    if (n) out.push_back(static_cast<std::uint8_t>(acc << (8 - n)));
    n = 0;
  }
};

struct Model {
  std::uint16_t freq[HuffmanTables::FrequencyEntries];
  std::uint16_t parent[HuffmanTables::ParentEntries];
  std::uint16_t child[HuffmanTables::ChildEntries];
  HuffmanTables t{freq, parent, child};
  Model() { InitHuffmanModel(t); }
  void Encode(BitWriter& w, int symbol) {
    std::uint32_t code = 0;
    int len = 0;
    unsigned c = parent[NodeCount + symbol];
    std::uint64_t bits = 0;
    do {
      bits |= static_cast<std::uint64_t>(c & 1) << len;  // odd position: bit 1
      ++len;
      c = parent[c];
    } while (c != RootNode);
    (void)code;
    // len can exceed 32 only on degenerate trees; write bit by bit.
    for (int i = len - 1; i >= 0; --i) w.Put(static_cast<std::uint32_t>((bits >> i) & 1), 1);
    UpdateHuffmanModel(t, symbol);
  }
};

void EncodePosition(BitWriter& w, unsigned p) {
  const unsigned u = p >> 6;
  int first = 0;
  while (PositionCodeTable[static_cast<std::size_t>(first)] != u) ++first;
  const int len = PositionLengthTable[static_cast<std::size_t>(first)];
  w.Put(static_cast<std::uint32_t>(first) >> (8 - len), len);
  w.Put(p & 0x3F, 6);
}

}  // namespace

std::vector<std::uint8_t> PackBuffer(const std::uint8_t* data, std::size_t size,
                                     const PackOptions&) {
  std::vector<std::uint8_t> out(8);
  std::memcpy(out.data(), "!HZL", 4);
  const std::uint32_t n = static_cast<std::uint32_t>(size);
  for (int i = 0; i < 4; ++i) out[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (8 * i));
  // Virtual history: 4036 spaces, then the data.
  std::vector<std::uint8_t> v(PrefillSize, PrefillByte);
  v.insert(v.end(), data, data + size);
  BitWriter w{out};
  Model m;
  std::size_t pos = PrefillSize;
  while (pos < v.size()) {
    int best = 0;
    std::size_t best_d = 0;
    const std::size_t limit = std::min<std::size_t>(LongestMatch, v.size() - pos);
    for (std::size_t d = 1; d <= WindowSize && d <= pos; ++d) {
      std::size_t l = 0;
      while (l < limit && v[pos - d + l] == v[pos + l]) ++l;
      if (static_cast<int>(l) > best) {
        best = static_cast<int>(l);
        best_d = d;
        if (l == limit) break;
      }
    }
    if (best > MatchThreshold) {
      m.Encode(w, best + 253);
      EncodePosition(w, static_cast<unsigned>(best_d - 1));
      pos += static_cast<std::size_t>(best);
    } else {
      m.Encode(w, v[pos]);
      ++pos;
    }
  }
  w.Finish();
  return out;
}

}  // namespace lzh
