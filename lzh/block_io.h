// The decoder's byte-block procedures.
//
// A BlockIoProc is anything callable as proc(buffer, count, actual): buffer is
// where input is stored or output is taken from, count the number of bytes to
// move (unsigned 16-bit), actual the number really moved (unsigned 16-bit,
// out). For input, actual is smaller than count only when the data has run
// out. Failures are raised as exceptions. The decoder always passes count 1.
//
// The decoder takes its procedures as template parameters, so a callable
// object's per-byte call inlines; a plain function pointer works as well.
#pragma once

#include <concepts>
#include <cstdint>

namespace lzh {

template <class P>
concept BlockIoProc = requires(P& p, std::uint8_t* buffer, std::uint16_t count,
                               std::uint16_t& actual) {
  { p(buffer, count, actual) };
};

using BlockIoFunction = void (*)(std::uint8_t* buffer, std::uint16_t count,
                                 std::uint16_t& actual);

}  // namespace lzh
