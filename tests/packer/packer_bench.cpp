// packer_bench [-p PASSES] [-b BLOCK] [-d DEPTH] FILE...
// Packs each file, checks the result with the decoder and prints the stream
// size (compressed file minus its 8-byte header), the ratio and the time.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "lzh/packer.h"
#include "memory_decode.h"

int main(int argc, char** argv) {
  lzh::PackOptions options;
  int i = 1;
  for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
    const long v = std::strtol(argv[i + 1], nullptr, 10);
    switch (argv[i][1]) {
      case 'p': options.passes = static_cast<int>(v); break;
      case 'b': options.block_size = static_cast<std::size_t>(v); break;
      case 'd': options.search_depth = static_cast<int>(v); break;
      default: std::fprintf(stderr, "unknown option %s\n", argv[i]); return 2;
    }
  }
  int failures = 0;
  for (; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), {});
    const auto t0 = std::chrono::steady_clock::now();
    const std::vector<std::uint8_t> packed = lzh::PackBuffer(data.data(), data.size(), options);
    const auto t1 = std::chrono::steady_clock::now();
    const bool ok = packer_test::DecodeInMemory(packed) == data;
    failures += ok ? 0 : 1;
    const double seconds = std::chrono::duration<double>(t1 - t0).count();
    std::printf("%-60s %10zu -> %10zu stream bytes  %6.2f%%  %7.3f s  %s\n", argv[i], data.size(),
                packed.size() - 8, data.empty() ? 0.0 : 100.0 * static_cast<double>(packed.size() - 8) / static_cast<double>(data.size()),
                seconds, ok ? "ok" : "DECODE MISMATCH");
  }
  return failures == 0 ? 0 : 1;
}
