// The packer's side of the decoder's codes: the adaptive Huffman model used
// for encoding, and the fixed position code.
#pragma once

#include <array>
#include <cstdint>

#include "lzh/huffman_model.h"
#include "lzh/pack_bit_writer.h"
#include "lzh/position_code.h"

namespace lzh {

// An adaptive model that a coder owns by value (copies are independent),
// running the decoder's own InitHuffmanModel and UpdateHuffmanModel.
class AdaptiveModel {
 public:
  AdaptiveModel() {
    HuffmanTables t = Tables();
    InitHuffmanModel(t);
  }
  AdaptiveModel(const AdaptiveModel&) = default;
  AdaptiveModel& operator=(const AdaptiveModel&) = default;

  // Writes the current code of symbol, then counts it, as the decoder's
  // DecodeChar does after reading it.
  void Encode(BitWriter& out, int symbol);
  // Counts symbol without writing it.
  void Update(int symbol) {
    HuffmanTables t = Tables();
    UpdateHuffmanModel(t, symbol);
  }
  // The current code length of every symbol.
  void CodeLengths(std::array<std::uint8_t, SymbolCount>& lengths) const;
  // The current weight of symbol's leaf, and of the root.
  unsigned Weight(int symbol) const { return freq_[parent_[NodeCount + symbol]]; }
  unsigned RootWeight() const { return freq_[RootNode]; }

 private:
  void EncodeDeep(BitWriter& out, int symbol);
  HuffmanTables Tables() { return HuffmanTables{freq_.data(), parent_.data(), child_.data()}; }

  std::array<std::uint16_t, HuffmanTables::FrequencyEntries> freq_;
  std::array<std::uint16_t, HuffmanTables::ParentEntries> parent_;
  std::array<std::uint16_t, HuffmanTables::ChildEntries> child_;
};

// The prefix code of a position's upper six bits u: code and length (3..8).
struct PositionPrefix {
  std::uint8_t code;
  std::uint8_t bits;
};

constexpr std::array<PositionPrefix, 64> MakePositionPrefixes() {
  std::array<PositionPrefix, 64> prefixes{};
  // The first table index of u, shifted right by the unused bits, is u's code.
  for (int i = 255; i >= 0; --i) {
    const int bits = PositionLengthTable[static_cast<std::size_t>(i)];
    prefixes[PositionCodeTable[static_cast<std::size_t>(i)]] = {
        static_cast<std::uint8_t>(i >> (8 - bits)), static_cast<std::uint8_t>(bits)};
  }
  return prefixes;
}

inline constexpr std::array<PositionPrefix, 64> kPositionPrefixes = MakePositionPrefixes();

// Bits that position (distance - 1, 0..4095) takes in the stream.
constexpr int PositionBits(unsigned position) { return kPositionPrefixes[position >> 6].bits + 6; }

inline void EncodePosition(BitWriter& out, unsigned position) {
  const PositionPrefix prefix = kPositionPrefixes[position >> 6];
  out.Put(prefix.code, prefix.bits);
  out.Put(position & 0x3F, 6);
}

}  // namespace lzh
