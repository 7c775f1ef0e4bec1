// Bit input: turns the bytes of an input BlockIoProc into single bits and
// groups of eight, most significant bit of each byte first.
#pragma once

#include <cstdint>

#include "lzh/block_io.h"

namespace lzh {

struct BitInput {
  // Bits fetched but not yet handed out, left-aligned: the next bit is bit 15,
  // and every bit below the BitCount valid ones is 0.
  std::uint16_t BitBuffer = 0;
  // Number of valid bits in BitBuffer: 0 to 16; 9 to 16 right after a refill.
  std::uint8_t BitCount = 0;
  // The input has once reported actual 0 and stand-in zero bits were queued
  // for the missing byte. Stays set until Reset.
  bool PaddingQueued = false;
  // While PaddingQueued: how many of the valid bits at the top of BitBuffer
  // are real input, i.e. come before the first stand-in bit.
  std::uint8_t RealBitsAhead = 0;
  // A stand-in bit has been handed out: the decoder consumed more bits than
  // the input holds. Stays set until Reset.
  bool Overrun = false;

  void Reset() { *this = BitInput{}; }

  template <BlockIoProc In>
  void Refill(In& input) {
    while (BitCount <= 8) {
      std::uint8_t byte = 0;
      std::uint16_t actual = 0;
      input(&byte, 1, actual);
      if (actual != 1) {
        byte = 0;
        if (!PaddingQueued) {
          PaddingQueued = true;
          RealBitsAhead = BitCount;
        }
      }
      BitBuffer = static_cast<std::uint16_t>(BitBuffer | (byte << (8 - BitCount)));
      BitCount = static_cast<std::uint8_t>(BitCount + 8);
    }
  }

  // Accounts for n bits handed out.
  void Consume(std::uint8_t n) {
    BitBuffer = static_cast<std::uint16_t>(BitBuffer << n);
    BitCount = static_cast<std::uint8_t>(BitCount - n);
    if (PaddingQueued) {
      if (RealBitsAhead < n) {
        Overrun = true;
        RealBitsAhead = 0;
      } else {
        RealBitsAhead = static_cast<std::uint8_t>(RealBitsAhead - n);
      }
    }
  }

  template <BlockIoProc In>
  int GetBit(In& input) {
    Refill(input);
    const int bit = BitBuffer >> 15;
    Consume(1);
    return bit;
  }

  template <BlockIoProc In>
  int GetByte(In& input) {
    Refill(input);
    const int byte = BitBuffer >> 8;
    Consume(8);
    return byte;
  }
};

}  // namespace lzh
