// The packer: writes what the decoder reads.
//
// The output is a complete compressed file: "!HZL", the declared length, then
// the items coded with the decoder's own adaptive model and position code, 0
// bits after the last item, the last item ending in the last byte. Matches copy
// only from the pre-filled spaces and from bytes already produced, never from
// window positions the decoder has not written yet.
//
// Parsing runs block by block over the data. Every position's matches come
// from the binary-tree finder with the nearest distance for each length; the
// block is then parsed as a shortest path under symbol prices taken from the
// adaptive model, several times: each pass re-prices with the model that the
// previous pass's items would produce. The model then counts the block's
// final items, and the next block starts from that state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lzh/pack_encode.h"
#include "lzh/pack_parse.h"

namespace lzh {

// The largest parsing block: a block's summed prices must fit 32 bits.
inline constexpr std::size_t kMaxBlockSize = 1 << 18;

struct PackOptions {
  // Parsing passes per block: the first prices symbols with the model as the
  // coder holds it at the block's start, later ones with the model that the
  // previous pass's items would leave behind.
  int passes = 4;
  // Bytes per parsing block, 1 to kMaxBlockSize.
  std::size_t block_size = 1 << 16;
  // Nodes the match finder visits per position at most (at least 1).
  int search_depth = 256;
};

// The items that PackBuffer codes for data. Raises std::length_error for
// inputs longer than kMaxPackInput.
std::vector<Item> ParseInput(const std::uint8_t* data, std::size_t size,
                             const PackOptions& options = {});

// The whole compressed file for data. Raises std::length_error for inputs
// longer than kMaxPackInput.
std::vector<std::uint8_t> PackBuffer(const std::uint8_t* data, std::size_t size,
                                     const PackOptions& options = {});

}  // namespace lzh
