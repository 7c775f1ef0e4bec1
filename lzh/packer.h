// The packer: writes what the decoder reads.
//
// The output is a complete compressed file: "!HZL", the declared length, then
// the items coded with the decoder's own adaptive model and position code, 0
// bits after the last item, the last item ending in the last byte. Matches copy
// only from the pre-filled spaces and from bytes already produced, never from
// window positions the decoder has not written yet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lzh {

struct PackOptions {
  // Parsing passes per block: the first prices symbols with the model as the
  // coder holds it at the block's start, later ones with the model that the
  // previous pass's items would leave behind.
  int passes = 3;
  // Bytes per parsing block.
  std::size_t block_size = 1 << 16;
  // Nodes the match finder visits per position at most.
  int search_depth = 256;
  // experimental
  int pricing = 0;
};

// Inputs longer than this cannot be declared in the header.
inline constexpr std::size_t kMaxPackInput = 0x7FFFFFFF;

// The whole compressed file for data. Raises std::length_error for inputs
// longer than kMaxPackInput.
std::vector<std::uint8_t> PackBuffer(const std::uint8_t* data, std::size_t size,
                                     const PackOptions& options = {});

}  // namespace lzh
