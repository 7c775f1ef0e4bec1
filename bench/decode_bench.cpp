// decode_bench [benchmark flags] OUTDIR NAME PACKED ORIGINAL [NAME PACKED ORIGINAL ...]
//
// In-process decoder throughput, in bytes of output per second, for each
// compressed file PACKED whose expansion is ORIGINAL:
//   driver/NAME  the file driver's ExpandStream on open files: the declared
//                length, LzhDecode over ReadBlock and WriteBlock with their
//                32 KB buffers, the final flush; the output goes to a file in
//                OUTDIR (a tmpfs folder keeps the disk out of the figure).
//                Opening and closing the files is not timed.
//   memory/NAME  LzhDecode with plain callables over byte vectors, the
//                decoder alone.
// Each file is first expanded once both ways and compared with ORIGINAL; a
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
#include "platform/os.h"

namespace {

struct Corpus {
  std::string name;
  std::string packed_path;
  std::vector<std::uint8_t> packed;    // the whole compressed file
  std::vector<std::uint8_t> original;  // its expansion
};

std::string g_out_dir;

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "decode_bench: cannot read %s\n", path.c_str());
    std::exit(2);
  }
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

std::int32_t DeclaredLength(const std::vector<std::uint8_t>& packed) {
  std::uint32_t n = 0;
  for (int i = 3; i >= 0; --i) n = (n << 8) | packed[4 + static_cast<std::size_t>(i)];
  return static_cast<std::int32_t>(n);
}

std::string OutputPath(const Corpus& c) { return g_out_dir + "/" + c.name + ".out"; }

// Opens the input behind its magic and creates the output, as ExpandFile does.
void OpenFiles(const Corpus& c) {
  platform::Os& os = platform::CurrentOs();
  lzh::DriverState& d = lzh::Driver();
  d.InputHandle = os.OpenExisting(c.packed_path);
  d.OutputHandle = os.CreateAlways(OutputPath(c));
  std::uint8_t magic[4];
  if (d.InputHandle <= 0 || d.OutputHandle <= 0 || os.Read(d.InputHandle, magic, 4) != 4) {
    std::fprintf(stderr, "decode_bench: cannot open %s or %s\n", c.packed_path.c_str(),
                 OutputPath(c).c_str());
    std::exit(2);
  }
}

void CloseFiles() {
  platform::Os& os = platform::CurrentOs();
  lzh::DriverState& d = lzh::Driver();
  os.Close(d.InputHandle);
  os.Close(d.OutputHandle);
  d.InputHandle = d.OutputHandle = 0;
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
  OpenFiles(c);
  lzh::ExpandStream();
  CloseFiles();
  const bool driver_ok = ReadAll(OutputPath(c)) == c.original;
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
  if (argc < 5 || (argc - 2) % 3 != 0) {
    std::fprintf(stderr,
                 "usage: decode_bench [benchmark flags] OUTDIR NAME PACKED ORIGINAL ...\n");
    return 2;
  }
  g_out_dir = argv[1];
  std::vector<Corpus> corpus;
  for (int i = 2; i + 2 < argc; i += 3)
    corpus.push_back({argv[i], argv[i + 1], ReadAll(argv[i + 1]), ReadAll(argv[i + 2])});

  lzh::DriverState& d = lzh::Driver();
  const lzh::MemoryManager& mm = lzh::CurrentMemoryManager();
  d.InputBuffer = static_cast<std::uint8_t*>(mm.get(lzh::IoBufferSize));
  d.OutputBuffer = static_cast<std::uint8_t*>(mm.get(lzh::IoBufferSize));

  for (const Corpus& c : corpus) {
    if (!Check(c)) return 1;
    const auto bytes = static_cast<std::int64_t>(c.original.size());
    benchmark::RegisterBenchmark(("driver/" + c.name).c_str(), [&c, bytes](benchmark::State& st) {
      for (auto _ : st) {
        st.PauseTiming();
        OpenFiles(c);
        st.ResumeTiming();
        lzh::ExpandStream();
        st.PauseTiming();
        CloseFiles();
        st.ResumeTiming();
      }
      st.SetBytesProcessed(bytes * st.iterations());
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("memory/" + c.name).c_str(), [&c, bytes](benchmark::State& st) {
      std::vector<std::uint8_t> out(c.original.size() + 64);
      for (auto _ : st) {
        out.resize(c.original.size() + 64);
        DecodeInMemory(c, out);
        benchmark::DoNotOptimize(out.data());
      }
      st.SetBytesProcessed(bytes * st.iterations());
    })->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  for (const Corpus& c : corpus) std::remove(OutputPath(c).c_str());
  mm.release(d.InputBuffer);
  mm.release(d.OutputBuffer);
  d.InputBuffer = d.OutputBuffer = nullptr;
  return 0;
}
