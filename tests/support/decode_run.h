// Runs the production decoder on a byte vector and collects what it did.
#pragma once

#include <cstdint>
#include <vector>

#include "lzh/lzh_decode.h"
#include "support/block_procs.h"

namespace testing_lzh {

struct DecodeRun {
  std::vector<std::uint8_t> out;
  bool cut_short = false;  // ELzhEndOfInput was raised
  int input_calls = 0;
  int calls_past_end = 0;
  bool all_counts_one = true;  // every output call moved one byte
};

inline DecodeRun RunDecode(const std::vector<std::uint8_t>& stream, std::int32_t length) {
  DecodeRun r;
  ByteSource in(stream);
  ByteSink sink;
  lzh::CodecState state;
  try {
    lzh::LzhDecode(state, length, in, sink);
  } catch (const lzh::ELzhEndOfInput&) {
    r.cut_short = true;
  }
  r.out = std::move(sink.out);
  r.input_calls = in.calls;
  r.calls_past_end = in.calls_past_end;
  for (std::uint16_t c : sink.counts)
    if (c != 1) r.all_counts_one = false;
  return r;
}

}  // namespace testing_lzh
