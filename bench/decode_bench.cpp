// decode_bench [benchmark flags] NAME PACKED ORIGINAL [NAME PACKED ORIGINAL ...]
//
// In-process decoder throughput, in bytes of output per second, for each
// compressed file PACKED whose expansion is ORIGINAL:
//   driver/NAME  LzhDecode with the file driver's ReadBlock and WriteBlock,
//                their 32 KB buffers filled and drained by an in-memory Os
//                (no system calls), plus the final flush;
//   memory/NAME  LzhDecode with plain callables over byte vectors, the
//                decoder alone.
// Each file is first decoded once both ways and compared with ORIGINAL; a
// mismatch stops the program before anything is timed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lzh/file_driver.h"
#include "lzh/lzh_decode.h"
#include "lzh/memory.h"
#include "memory_os.h"

namespace {

struct Corpus {
  std::string name;
  std::vector<std::uint8_t> packed;    // the whole compressed file
  std::vector<std::uint8_t> original;  // its expansion
};

std::vector<std::uint8_t> ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "decode_bench: cannot read %s\n", path);
    std::exit(2);
  }
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

std::int32_t DeclaredLength(const std::vector<std::uint8_t>& packed) {
  std::uint32_t n = 0;
  for (int i = 3; i >= 0; --i) n = (n << 8) | packed[4 + static_cast<std::size_t>(i)];
  return static_cast<std::int32_t>(n);
}

bench::MemoryOs g_os;

// One expansion the way the file driver runs it, minus opening the files:
// header read directly, buffers reset, LzhDecode over ReadBlock/WriteBlock,
// final flush.
void DecodeThroughDriver(const Corpus& c) {
  lzh::DriverState& d = lzh::Driver();
  g_os.SetInput(&c.packed);
  d.InputHandle = bench::MemoryOs::kInput;
  d.OutputHandle = bench::MemoryOs::kOutput;
  std::uint8_t header[8];
  g_os.Read(d.InputHandle, header, 8);
  const std::int32_t length = DeclaredLength(c.packed);
  d.InputPosition = 1;
  d.InputCount = 0;
  d.OutputPosition = 1;
  lzh::ReadBlock input{d};
  lzh::WriteBlock output{d};
  lzh::LzhDecode(d.Codec, length, input, output);
  std::uint16_t actual = 0;
  output(d.OutputBuffer, 0, actual);
}

// The decoder alone: callables over the packed vector and a preallocated
// output area.
void DecodeInMemory(const Corpus& c, std::vector<std::uint8_t>& out) {
  std::size_t next = 8;
  const std::uint8_t* in = c.packed.data();
  const std::size_t in_size = c.packed.size();
  auto input = [&](std::uint8_t* area, std::uint16_t, std::uint16_t& actual) {
    if (next < in_size) {
      *area = in[next++];
      actual = 1;
    } else {
      actual = 0;
    }
  };
  std::size_t written = 0;
  auto output = [&](std::uint8_t* area, std::uint16_t count, std::uint16_t& actual) {
    if (written + count <= out.size()) std::memcpy(out.data() + written, area, count);
    written += count;
    actual = count;
  };
  lzh::CodecState state;
  lzh::LzhDecode(state, DeclaredLength(c.packed), input, output);
  out.resize(written < out.size() ? written : out.size());
}

bool Check(const Corpus& c) {
  g_os.KeepOutput(true);
  DecodeThroughDriver(c);
  const bool driver_ok = g_os.Written() == c.original;
  g_os.KeepOutput(false);
  std::vector<std::uint8_t> out(c.original.size() + 64);
  DecodeInMemory(c, out);
  const bool memory_ok = out == c.original;
  if (!driver_ok || !memory_ok)
    std::fprintf(stderr, "decode_bench: %s decodes wrongly (%s)\n", c.name.c_str(),
                 driver_ok ? "memory" : "driver");
  return driver_ok && memory_ok;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc < 4 || (argc - 1) % 3 != 0) {
    std::fprintf(stderr, "usage: decode_bench [benchmark flags] NAME PACKED ORIGINAL ...\n");
    return 2;
  }
  std::vector<Corpus> corpus;
  for (int i = 1; i + 2 < argc; i += 3)
    corpus.push_back({argv[i], ReadAll(argv[i + 1]), ReadAll(argv[i + 2])});

  platform::SetOs(&g_os);
  lzh::DriverState& d = lzh::Driver();
  d.InputBuffer = static_cast<std::uint8_t*>(lzh::CurrentMemoryManager().get(lzh::IoBufferSize));
  d.OutputBuffer = static_cast<std::uint8_t*>(lzh::CurrentMemoryManager().get(lzh::IoBufferSize));

  for (const Corpus& c : corpus) {
    if (!Check(c)) return 1;
    const auto bytes = static_cast<std::int64_t>(c.original.size());
    benchmark::RegisterBenchmark(("driver/" + c.name).c_str(), [&c, bytes](benchmark::State& st) {
      for (auto _ : st) DecodeThroughDriver(c);
      st.SetBytesProcessed(bytes * st.iterations());
    })->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(("memory/" + c.name).c_str(), [&c, bytes](benchmark::State& st) {
      std::vector<std::uint8_t> out(c.original.size() + 64);
      for (auto _ : st) {
        out.resize(c.original.size() + 64);
        DecodeInMemory(c, out);
        benchmark::DoNotOptimize(out.data());
      }
      st.SetBytesProcessed(bytes * st.iterations());
    })->Unit(benchmark::kMillisecond)->UseRealTime();
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  lzh::CurrentMemoryManager().release(d.InputBuffer);
  lzh::CurrentMemoryManager().release(d.OutputBuffer);
  d.InputBuffer = d.OutputBuffer = nullptr;
  d.InputHandle = d.OutputHandle = 0;
  platform::SetOs(nullptr);
  return 0;
}
