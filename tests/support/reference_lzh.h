// A plain, slow model of the compressed format for tests: the adaptive
// Huffman model, the position code, a stream builder that codes items with
// them, and a decoder that runs on a byte vector and counts the bits it takes.
//
// It is written for clarity, loop by loop, and shares no code with lzh/, so
// the production decoder (which may be tuned for speed) can be checked
// against it on any stream, and so tests can build streams item by item.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "support/bit_writer.h"

namespace testing_lzh {

inline constexpr int kSymbols = 314;
inline constexpr int kNodes = 627;
inline constexpr int kRoot = 626;

struct RefModel {
  std::array<std::uint16_t, kNodes + 1> freq{};
  std::array<std::uint16_t, kNodes + kSymbols> parent{};
  std::array<std::uint16_t, kNodes> child{};
  int rebuilds = 0;

  RefModel() { Init(); }

  void Init() {
    for (int s = 0; s < kSymbols; ++s) {
      freq[s] = 1;
      child[s] = static_cast<std::uint16_t>(kNodes + s);
      parent[kNodes + s] = static_cast<std::uint16_t>(s);
    }
    int i = 0;
    for (int j = kSymbols; j < kNodes; ++j) {
      freq[j] = static_cast<std::uint16_t>(freq[i] + freq[i + 1]);
      child[j] = static_cast<std::uint16_t>(i);
      parent[i] = static_cast<std::uint16_t>(j);
      parent[i + 1] = static_cast<std::uint16_t>(j);
      i += 2;
    }
    freq[kNodes] = 0xFFFF;
    parent[kRoot] = 0;
  }

  void Rebuild() {
    ++rebuilds;
    int j = 0;
    for (int p = 0; p < kNodes; ++p) {
      if (child[p] >= kNodes) {
        freq[j] = static_cast<std::uint16_t>((std::uint32_t{freq[p]} + 1) / 2);
        child[j] = child[p];
        ++j;
      }
    }
    int i = 0;
    for (j = kSymbols; j < kNodes; ++j) {
      const std::uint32_t f = std::uint32_t{freq[i]} + freq[i + 1];
      freq[j] = static_cast<std::uint16_t>(f);
      int k = j - 1;
      while (f < freq[k]) --k;
      ++k;
      for (int m = j; m > k; --m) freq[m] = freq[m - 1];
      freq[k] = static_cast<std::uint16_t>(f);
      for (int m = j; m > k; --m) child[m] = child[m - 1];
      child[k] = static_cast<std::uint16_t>(i);
      i += 2;
    }
    for (int p = 0; p < kNodes; ++p) {
      const int c = child[p];
      parent[c] = static_cast<std::uint16_t>(p);
      if (c < kNodes) parent[c + 1] = static_cast<std::uint16_t>(p);
    }
  }

  void Update(int s) {
    if (freq[kRoot] == 0x8000) Rebuild();
    int c = parent[kNodes + s];
    do {
      freq[c] = static_cast<std::uint16_t>(freq[c] + 1);
      const std::uint32_t k = freq[c];
      if (freq[c + 1] < k) {
        int l = c + 1;
        while (freq[l] < k) ++l;
        --l;
        freq[c] = freq[l];
        freq[l] = static_cast<std::uint16_t>(k);
        const int i = child[c];
        parent[i] = static_cast<std::uint16_t>(l);
        if (i < kNodes) parent[i + 1] = static_cast<std::uint16_t>(l);
        const int jj = child[l];
        child[l] = static_cast<std::uint16_t>(i);
        parent[jj] = static_cast<std::uint16_t>(c);
        if (jj < kNodes) parent[jj + 1] = static_cast<std::uint16_t>(c);
        child[c] = static_cast<std::uint16_t>(jj);
        c = l;
      }
      c = parent[c];
    } while (c != 0);
  }

  // The code of symbol s in the current tree, the bit taken at the root first.
  std::vector<int> Code(int s) const {
    std::vector<int> bits;
    int c = parent[kNodes + s];
    while (c != kRoot) {
      const int p = parent[c];
      bits.push_back(c - child[p]);
      c = p;
    }
    std::reverse(bits.begin(), bits.end());
    return bits;
  }

  // Weight of symbol s's leaf.
  std::uint16_t LeafWeight(int s) const { return freq[parent[kNodes + s]]; }
};

// The prefix code of a position's upper six bits u: its first eight-bit index
// and its length in bits, by the six index ranges of the code.
struct PrefixCode {
  unsigned first_index;
  int length;
};

inline PrefixCode PrefixOf(unsigned u) {
  if (u == 0) return {0x00, 3};
  if (u <= 3) return {0x20 + (u - 1) * 16, 4};
  if (u <= 11) return {0x50 + (u - 4) * 8, 5};
  if (u <= 23) return {0x90 + (u - 12) * 4, 6};
  if (u <= 47) return {0xC0 + (u - 24) * 2, 7};
  return {0xF0 + (u - 48), 8};
}

inline void PutPosition(BitWriter& w, unsigned position) {
  const PrefixCode code = PrefixOf(position >> 6);
  w.PutBits(code.first_index >> (8 - code.length), code.length);
  w.PutBits(position & 63, 6);
}

// Codes items in step with its own model.
class StreamBuilder {
 public:
  void Symbol(int s) {
    for (int bit : model_.Code(s)) bits_.Put(bit);
    model_.Update(s);
  }
  void Literal(std::uint8_t byte) { Symbol(byte); }
  // length 3..60; position 0..4095: the match starts position + 1 bytes back.
  void Match(int length, unsigned position) {
    Symbol(length + 253);
    PutPosition(bits_, position);
  }
  void Literals(const std::vector<std::uint8_t>& bytes) {
    for (std::uint8_t b : bytes) Literal(b);
  }

  BitWriter& Bits() { return bits_; }
  const RefModel& Model() const { return model_; }
  std::vector<std::uint8_t> Bytes() const { return bits_.Bytes(); }
  std::size_t BitsWritten() const { return bits_.BitsWritten(); }

 private:
  RefModel model_;
  BitWriter bits_;
};

// A compressed file: magic, declared length, then the stream.
inline std::vector<std::uint8_t> MakeFile(std::int32_t declared,
                                          const std::vector<std::uint8_t>& stream) {
  std::vector<std::uint8_t> f = {0x21, 0x48, 0x5A, 0x4C};
  const auto u = static_cast<std::uint32_t>(declared);
  for (int i = 0; i < 4; ++i) f.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
  f.insert(f.end(), stream.begin(), stream.end());
  return f;
}

struct RefDecoded {
  std::vector<std::uint8_t> out;
  // An item needed a bit beyond the end of the stream; out holds the bytes of
  // the items before it.
  bool cut_short = false;
  std::size_t bits_consumed = 0;
  int rebuilds = 0;
};

// Decodes a stream to the declared length, a final match cut at that length,
// stopping at the first item that takes a bit the stream does not hold.
inline RefDecoded RefDecode(const std::uint8_t* data, std::size_t size, std::int32_t length) {
  RefDecoded result;
  RefModel model;
  std::array<std::uint8_t, 4096> ring{};
  for (int i = 0; i < 4036; ++i) ring[i] = 0x20;
  unsigned r = 4036;
  std::size_t pos = 0;
  bool overrun = false;
  auto bit = [&]() -> unsigned {
    unsigned b = 0;
    if (pos < size * 8)
      b = (data[pos >> 3] >> (7 - (pos & 7))) & 1;
    else
      overrun = true;
    ++pos;
    return b;
  };
  auto emit = [&](std::uint8_t x) {
    result.out.push_back(x);
    ring[r] = x;
    r = (r + 1) & 4095;
  };
  auto count = [&] { return static_cast<std::int64_t>(result.out.size()); };

  while (count() < length) {
    int c = model.child[kRoot];
    while (c < kNodes) c = model.child[c + bit()];
    const int s = c - kNodes;
    model.Update(s);
    if (overrun) break;
    if (s < 256) {
      emit(static_cast<std::uint8_t>(s));
      continue;
    }
    unsigned b = 0;
    for (int i = 0; i < 8; ++i) b = (b << 1) | bit();
    unsigned u = 0;
    int code_length = 0;
    for (unsigned cand = 0; cand < 64; ++cand) {
      const PrefixCode pc = PrefixOf(cand);
      if ((b >> (8 - pc.length)) == (pc.first_index >> (8 - pc.length))) {
        u = cand;
        code_length = pc.length;
        break;
      }
    }
    unsigned low = b;
    for (int i = 0; i < code_length - 2; ++i) low = (low << 1) | bit();
    if (overrun) break;
    const unsigned p = (u << 6) | (low & 63);
    const unsigned start = (r - p - 1) & 4095;
    const int len = s - 253;
    for (int k = 0; k < len && count() < length; ++k) emit(ring[(start + k) & 4095]);
  }
  result.cut_short = overrun;
  result.bits_consumed = pos;
  result.rebuilds = model.rebuilds;
  return result;
}

inline RefDecoded RefDecode(const std::vector<std::uint8_t>& stream, std::int32_t length) {
  return RefDecode(stream.data(), stream.size(), length);
}

}  // namespace testing_lzh
