// The compressed file format and the file decompression driver.
//
// Format (integers little-endian):
//   offset 0, 4 bytes: magic "!HZL" (0x21 0x48 0x5A 0x4C)
//   offset 4, 4 bytes: declared length, signed; 0 or less gives an empty file
//   offset 8 ...     : the coded items, MSB first, no alignment, no end
//                      marker; the last item ends in the last byte and the
//                      bits after it are 0.
//
// DecompressFile expands InputFileName into OutputFileName. Every failure is
// an exception inside, which DecompressFile turns into the result -1; once the
// output has been created, a failure removes it again.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "lzh/exceptions.h"
#include "lzh/lzh_decode.h"
#include "platform/os.h"

namespace lzh {

inline constexpr std::uint8_t kMagic[4] = {0x21, 0x48, 0x5A, 0x4C};
inline constexpr int IoBlockSize = 32768;
inline constexpr int IoBufferSize = 32784;

// Set by the caller before DecompressFile; they stay as set.
extern std::string InputFileName;
extern std::string OutputFileName;

// The driver's state for one expansion.
struct DriverState {
  std::uint8_t* InputBuffer = nullptr;   // IoBufferSize bytes; reads use IoBlockSize
  std::uint8_t* OutputBuffer = nullptr;  // IoBufferSize bytes; writes use IoBlockSize
  // 1-based position in InputBuffer of the next byte to deliver; the buffer
  // is empty when InputPosition > InputCount.
  std::uint16_t InputPosition = 1;
  // Valid bytes in InputBuffer, at positions 1..InputCount.
  std::int32_t InputCount = 0;
  // 1-based position of the next free byte; OutputPosition - 1 bytes pending.
  std::uint16_t OutputPosition = 1;
  platform::FileHandle InputHandle = 0;   // 0 not open, < 0 opening failed
  platform::FileHandle OutputHandle = 0;  // 0 not open, < 0 creating failed
  CodecState Codec;
};

// The driver's one instance.
DriverState& Driver();

void CheckRead(std::int32_t result, std::int32_t expected);
void CheckWritten(std::int32_t result, std::int32_t expected);

// The slow path of ReadBlock: keeps the unread bytes, reads up to a block
// behind them. False when the buffer is still empty (end of file).
bool RefillInputBuffer(DriverState& d);
// Writes the pending bytes of the output buffer and empties it.
void FlushOutputBuffer(DriverState& d);

// The buffered block reader, a BlockIoProc for counts 1 to 32768.
struct ReadBlock {
  DriverState& d;
  void operator()(std::uint8_t* area, std::uint16_t count, std::uint16_t& actual) {
    if (static_cast<std::int32_t>(d.InputPosition) + count > d.InputCount + 1) {
      if (!RefillInputBuffer(d)) {
        actual = 0;
        return;
      }
    }
    std::memcpy(area, d.InputBuffer + d.InputPosition - 1, count);
    d.InputPosition = static_cast<std::uint16_t>(d.InputPosition + count);
    actual = count;
    const std::int32_t excess = static_cast<std::int32_t>(d.InputPosition) - d.InputCount - 1;
    if (excess > 0) actual = static_cast<std::uint16_t>(actual - excess);
  }
};

// The buffered block writer, a BlockIoProc for counts 0 to 32768; count 0 is
// the final flush.
struct WriteBlock {
  DriverState& d;
  void operator()(std::uint8_t* area, std::uint16_t count, std::uint16_t& actual) {
    if (count == 0) {
      FlushOutputBuffer(d);
      actual = 0;
      return;
    }
    if (static_cast<int>(d.OutputPosition) + count > IoBlockSize + 1) FlushOutputBuffer(d);
    std::memcpy(d.OutputBuffer + d.OutputPosition - 1, area, count);
    d.OutputPosition = static_cast<std::uint16_t>(d.OutputPosition + count);
    actual = count;
  }
};

// LzhDecode with the driver's own procedures: the same decode, with their
// per-byte work done inside the loop on the driver's buffers, and the same
// reads and writes of the files (driver_decode.cpp).
void LzhDecode(CodecState& state, std::int32_t length, ReadBlock& input, WriteBlock& output);

// Reads the declared length and runs the decoder on the open files.
void ExpandStream();
// Opens the files, checks the header, expands; always 1 when it returns.
std::int32_t ExpandFile();
// 1 when the file was expanded, -1 when anything failed.
std::int32_t DecompressFile();

}  // namespace lzh
