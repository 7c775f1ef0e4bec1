// LzhDecode over the file driver's ReadBlock and WriteBlock.
//
// The decode is the shared DecodeItems loop; what differs is how the two
// procedures' per-byte work is done. ReadBlock would hand over one byte per
// call and WriteBlock take one: here the loop takes its bytes straight from
// InputBuffer and puts them straight into OutputBuffer, and calls the
// driver's own slow paths (RefillInputBuffer, FlushOutputBuffer) when a
// buffer is used up or full, as the procedures do. The files therefore see
// reads and writes of the same sizes in the same order (a block read may come
// a few items earlier: the bits are read up to eight bytes ahead), and every
// failure raises the same exception.
//
// Bits are kept in a 64-bit window instead of the 16-bit BitBuffer, filled
// eight bytes at a time, so the tree walk costs a shift per level and a
// position is read in one step. Matches are copied inside OutputBuffer.
#include <cstring>

#include "lzh/file_driver.h"

namespace lzh {

namespace {

inline std::uint64_t LoadBigEndian64(const std::uint8_t* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
#if defined(__GNUC__) || defined(__clang__)
  return __builtin_bswap64(w);
#else
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
  return v;
#endif
}

// The bit source: the unread bytes of InputBuffer behind a 64-bit window.
class BufferBits {
 public:
  explicit BufferBits(DriverState& d)
      : d_(&d),
        next_(d.InputBuffer + d.InputPosition - 1),
        end_(d.InputBuffer + (d.InputCount > 0 ? d.InputCount : 0)) {
    if (next_ > end_) next_ = end_;
  }

  unsigned WalkTree(const std::uint16_t* child) {
    // Unconditional: a refill costs less than guessing whether one is due.
    Refill();
    // One bit per level from the window, which now holds at least 56 bits: a
    // walk takes at most 21. (The tree is a Huffman tree of its weights, and a
    // leaf at depth d needs a root weight of at least Fibonacci(d + 2); the
    // root weighs at most 2^15 < Fibonacci(24).)
    std::size_t c = child[RootNode];
    std::uint64_t w = window_;
    int depth = 0;
    while (c < static_cast<std::size_t>(NodeCount)) {
      c = child[c + (w >> 63)];
      w <<= 1;
      ++depth;
    }
    window_ = w;
    count_ -= depth;
    return static_cast<unsigned>(c);
  }

  // A position after a walk: the window still holds 35 bits or more.
  unsigned Position() {
    const unsigned b = static_cast<unsigned>(window_ >> 56);
    const unsigned n = PositionLengthTable[b] + 6u;  // prefix code and six low bits
    const unsigned v = static_cast<unsigned>(window_ >> (64 - n));
    window_ <<= n;
    count_ -= static_cast<int>(n);
    return (static_cast<unsigned>(PositionCodeTable[b]) << 6) | (v & 0x3F);
  }

  // Some bit handed out was a stand-in for input that is not there.
  bool Overrun() const { return count_ < padding_; }

  // Leaves InputPosition behind the bytes taken into the window.
  void Sync() { d_->InputPosition = static_cast<std::uint16_t>(next_ - d_->InputBuffer + 1); }

 private:
  // Fills the window to at least 56 valid bits.
  void Refill() {
    if (end_ - next_ >= 8) [[likely]] {
      // The bits below the valid ones that this load sets are those of the
      // next byte, which the next refill sets again in the same place.
      window_ |= LoadBigEndian64(next_) >> count_;
      const int take = (63 - count_) >> 3;
      next_ += take;
      count_ += take * 8;
      return;
    }
    *this = RefilledSlowly(*this);
  }

  // Byte by byte near the end of the buffer; reads the next block from the
  // file when the buffer is empty, and adds 0 bytes when the file has ended.
  // Takes and gives the state by value, so the loop's copy never has its
  // address taken.
  [[gnu::noinline]] static BufferBits RefilledSlowly(BufferBits b) {
    while (b.count_ <= 56) {
      if (b.next_ == b.end_) {
        b.Sync();
        if (!RefillInputBuffer(*b.d_)) {
          const int add = ((63 - b.count_) >> 3) * 8;
          b.count_ += add;
          b.padding_ += add;
          return b;
        }
        b.next_ = b.d_->InputBuffer + b.d_->InputPosition - 1;
        b.end_ = b.d_->InputBuffer + b.d_->InputCount;
        continue;
      }
      b.window_ |= static_cast<std::uint64_t>(*b.next_++) << (56 - b.count_);
      b.count_ += 8;
    }
    return b;
  }

  DriverState* d_;
  const std::uint8_t* next_;
  const std::uint8_t* end_;
  std::uint64_t window_ = 0;  // valid bits left-aligned, the next bit is bit 63
  int count_ = 0;             // valid bits in window_
  int padding_ = 0;           // valid bits, at the bottom, that stand in for missing input
};

// The byte sink: OutputBuffer, written out in blocks of IoBlockSize. The
// history of a match is read from OutputBuffer itself as far as this decode
// has written there since the last block went out, and from RingBuffer before
// that: every block write first copies the block's last bytes into the
// window, at their window positions.
class BufferSink {
 public:
  BufferSink(DriverState& d, std::uint8_t* ring)
      : d_(&d),
        ring_(ring),
        next_(d.OutputBuffer + d.OutputPosition - 1),
        end_(d.OutputBuffer + IoBlockSize),
        history_(next_) {}

  void Literal(std::uint8_t x) {
    if (next_ == end_) [[unlikely]]
      *this = Flushed(*this);
    *next_++ = x;
  }

  void Match(unsigned distance, unsigned n) {
    if (distance > static_cast<std::size_t>(next_ - history_) ||
        n > static_cast<std::size_t>(end_ - next_)) [[unlikely]] {
      *this = MatchedSlowly(*this, distance, n);
      return;
    }
    std::uint8_t* const to = next_;
    const std::uint8_t* const from = to - distance;
    if (distance >= 8) {
      // Eight bytes at a time: each chunk reads only bytes written before
      // it. The last chunk may write up to 7 bytes past the match, inside the
      // buffer's spare bytes; they are overwritten by what follows.
      for (unsigned k = 0; k < n; k += 8) std::memcpy(to + k, from + k, 8);
    } else {
      for (unsigned k = 0; k < n; ++k) to[k] = from[k];
    }
    next_ = to + n;
  }

  // Leaves OutputPosition behind the bytes put and the window up to date.
  void Sync() {
    SaveHistory();
    d_->OutputPosition = static_cast<std::uint16_t>(next_ - d_->OutputBuffer + 1);
  }

 private:
  static constexpr unsigned kMask = WindowSize - 1;

  // The byte distance (1 to 4096) back from the next one.
  std::uint8_t Back(unsigned distance) const {
    const std::ptrdiff_t in_buffer = next_ - history_;
    if (static_cast<std::ptrdiff_t>(distance) <= in_buffer)
      return next_[-static_cast<std::ptrdiff_t>(distance)];
    return ring_[(ring_at_history_ + static_cast<unsigned>(in_buffer) - distance) & kMask];
  }

  // Copies the bytes put since history_ into the window.
  void SaveHistory() {
    std::size_t m = static_cast<std::size_t>(next_ - history_);
    const std::uint8_t* from = history_;
    unsigned at = ring_at_history_;
    ring_at_history_ = static_cast<unsigned>((at + m) & kMask);
    history_ = next_;
    if (m > WindowSize) {
      from += m - WindowSize;
      at = static_cast<unsigned>((at + m - WindowSize) & kMask);
      m = WindowSize;
    }
    const std::size_t first = m < WindowSize - at ? m : WindowSize - at;
    std::memcpy(ring_ + at, from, first);
    std::memcpy(ring_, from + first, m - first);
  }

  // Writes the full buffer; by value, so the loop's copy never has its
  // address taken.
  [[gnu::noinline]] static BufferSink Flushed(BufferSink s) {
    s.Sync();
    FlushOutputBuffer(*s.d_);
    s.next_ = s.d_->OutputBuffer + s.d_->OutputPosition - 1;
    s.history_ = s.next_;
    return s;
  }

  // A match that reaches back before this block or does not fit into it.
  [[gnu::noinline]] static BufferSink MatchedSlowly(BufferSink s, unsigned distance, unsigned n) {
    for (unsigned k = 0; k < n; ++k) s.Literal(s.Back(distance));
    return s;
  }

  DriverState* d_;
  std::uint8_t* ring_;
  std::uint8_t* next_;
  std::uint8_t* end_;
  // Where this decode's bytes in the buffer begin, and the window position of
  // that byte.
  std::uint8_t* history_;
  unsigned ring_at_history_ = StartPosition;
};

}  // namespace

void LzhDecode(CodecState& state, std::int32_t length, ReadBlock& input, WriteBlock& output) {
  AllocCodecTables(state);
  try {
    InitHuffmanModel(state.Tables);
    BufferBits bits(input.d);
    BufferSink sink(output.d, state.RingBuffer);
    // A failure abandons the expansion: the driver's positions are then
    // reset by the next one, so only a normal end writes them back.
    DecodeItems(state, length, bits, sink);
    bits.Sync();
    sink.Sync();
  } catch (...) {
    FreeCodecTables(state);
    throw;
  }
  FreeCodecTables(state);
}

}  // namespace lzh
