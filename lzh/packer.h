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
  // Parsing passes: the first prices symbols with the fresh model, later
  // ones with the statistics of the previous pass.
  int passes = 3;
};

// The whole compressed file for data.
std::vector<std::uint8_t> PackBuffer(const std::uint8_t* data, std::size_t size,
                                     const PackOptions& options = {});

}  // namespace lzh
