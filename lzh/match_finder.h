// Match finder for the packer: a binary search tree of the window's suffixes.
//
// The finder works on the packer's history buffer: the decoder's 4036
// pre-filled spaces followed by the data, so buffer offset 4036 is the first
// data byte and every offset is a legal match source as long as the distance
// is at most 4096.
//
// All positions that share their first two bytes form one tree, ordered by
// the bytes that follow (compared up to the longest match), with newer
// positions nearer the root. Searching for the current position and inserting
// it is one walk from the root: it visits candidates from the nearest to the
// farthest and splits the tree around the new root. Every candidate that is
// the nearest one for some match length lies on that walk, so the matches it
// reports give the smallest distance for every length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lzh {

struct Match {
  std::uint16_t length;    // 3..60
  std::uint16_t distance;  // 1..4096
};

class MatchFinder {
 public:
  static constexpr int kMaxDistance = 4096;
  static constexpr int kMaxLength = 60;
  static constexpr int kMinLength = 3;

  // buffer stays owned by the caller and must outlive the finder. depth_limit
  // bounds the nodes visited per position (the tree below is cut off there).
  MatchFinder(const std::uint8_t* buffer, std::size_t size, int depth_limit = 256);

  // Reports the matches at pos and inserts pos. Positions must be visited
  // in increasing order, each exactly once (through Find or Skip), starting
  // at 0. out receives matches with strictly increasing length and distance;
  // a match of length L and distance D means that D is the smallest distance
  // at which any length from the previous entry's length + 1 up to L is found.
  // Lengths never run past the end of the buffer. Returns the number written
  // (at most kMaxLength - kMinLength + 1).
  int Find(std::size_t pos, Match* out);
  // Inserts pos without reporting.
  void Skip(std::size_t pos) { Walk(pos, nullptr); }

 private:
  int Walk(std::size_t pos, Match* out);

  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  static constexpr std::size_t kSlotMask = 2 * kMaxDistance - 1;

  const std::uint8_t* buffer_;
  std::size_t size_;
  int depth_limit_;
  std::vector<std::uint32_t> head_;  // newest position per two-byte prefix
  std::vector<std::uint32_t> son_;   // per position slot: smaller, greater subtree
};

}  // namespace lzh
