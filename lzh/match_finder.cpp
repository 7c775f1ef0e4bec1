#include "lzh/match_finder.h"

#include <algorithm>
#include <stdexcept>

namespace lzh {

MatchFinder::MatchFinder(const std::uint8_t* buffer, std::size_t size, int depth_limit)
    : buffer_(buffer),
      size_(size),
      depth_limit_(depth_limit),
      head_(1u << 16, kNone),
      son_(2 * (kSlotMask + 1), kNone) {
  // Positions are kept in 32 bits, with kNone reserved.
  if (size >= kNone) throw std::length_error("match finder: buffer too large");
}

int MatchFinder::Find(std::size_t pos, Match* out) { return Walk(pos, out); }

int MatchFinder::Walk(std::size_t pos, Match* out) {
  const std::size_t limit = std::min<std::size_t>(kMaxLength, size_ - pos);
  // Fewer than three bytes left: nothing can match here, and no later
  // position can use this one as a source either.
  if (limit < static_cast<std::size_t>(kMinLength)) return 0;

  const std::uint8_t* const cur_bytes = buffer_ + pos;
  const unsigned key = cur_bytes[0] | (static_cast<unsigned>(cur_bytes[1]) << 8);
  std::uint32_t cand = head_[key];
  head_[key] = static_cast<std::uint32_t>(pos);

  // Where the next candidate smaller (greater) than pos gets attached.
  std::uint32_t* smaller = &son_[2 * (pos & kSlotMask)];
  std::uint32_t* greater = smaller + 1;
  // Bytes known to be shared with everything below the smaller (greater) side.
  std::size_t len_smaller = 2;
  std::size_t len_greater = 2;
  std::size_t best = kMinLength - 1;
  int count = 0;

  for (int depth = depth_limit_;; --depth) {
    if (cand == kNone || pos - cand > static_cast<std::size_t>(kMaxDistance) || depth == 0) {
      *smaller = kNone;
      *greater = kNone;
      return count;
    }
    const std::uint8_t* const cand_bytes = buffer_ + cand;
    std::size_t len = std::min(len_smaller, len_greater);
    while (len < limit && cand_bytes[len] == cur_bytes[len]) ++len;
    std::uint32_t* const cand_son = &son_[2 * (cand & kSlotMask)];
    if (len > best) {
      best = len;
      if (out != nullptr) {
        out[count].length = static_cast<std::uint16_t>(len);
        out[count].distance = static_cast<std::uint16_t>(pos - cand);
      }
      ++count;
    }
    if (len == limit) {
      // Equal as far as can be compared: pos takes the candidate's place.
      *smaller = cand_son[0];
      *greater = cand_son[1];
      return count;
    }
    if (cand_bytes[len] < cur_bytes[len]) {
      *smaller = cand;
      smaller = cand_son + 1;
      len_smaller = len;
      cand = *smaller;
    } else {
      *greater = cand;
      greater = cand_son;
      len_greater = len;
      cand = *greater;
    }
  }
}

}  // namespace lzh
