// In-memory block procedures for driving the decoder directly in tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace testing_lzh {

// Delivers a byte vector one request at a time; actual 0 once it is used up.
struct ByteSource {
  std::vector<std::uint8_t> data;
  std::size_t position = 0;
  int calls = 0;          // every call, also those past the end
  int calls_past_end = 0;

  explicit ByteSource(std::vector<std::uint8_t> bytes) : data(std::move(bytes)) {}

  void operator()(std::uint8_t* buffer, std::uint16_t count, std::uint16_t& actual) {
    ++calls;
    std::size_t n = count;
    if (n > data.size() - position) n = data.size() - position;
    if (n == 0) ++calls_past_end;
    if (n > 0) std::memcpy(buffer, data.data() + position, n);
    position += n;
    actual = static_cast<std::uint16_t>(n);
  }
};

// Collects every byte handed to it and the count of each call.
struct ByteSink {
  std::vector<std::uint8_t> out;
  std::vector<std::uint16_t> counts;

  void operator()(std::uint8_t* buffer, std::uint16_t count, std::uint16_t& actual) {
    counts.push_back(count);
    out.insert(out.end(), buffer, buffer + count);
    actual = count;
  }
};

}  // namespace testing_lzh
