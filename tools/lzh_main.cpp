// lzh pack INPUT OUTPUT   - writes INPUT in the compressed format to OUTPUT
// lzh unpack INPUT OUTPUT - expands INPUT with the launcher's own file driver
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "lzh/file_driver.h"
#include "lzh/packer.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: lzh pack INPUT OUTPUT\n"
               "       lzh unpack INPUT OUTPUT\n");
  return 2;
}

int Pack(const char* input, const char* output) {
  std::FILE* in = std::fopen(input, "rb");
  if (!in) {
    std::fprintf(stderr, "lzh: cannot open %s: %s\n", input, std::strerror(errno));
    return 1;
  }
  std::vector<std::uint8_t> data;
  std::uint8_t chunk[1 << 16];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) data.insert(data.end(), chunk, chunk + n);
  const bool read_failed = std::ferror(in) != 0;
  std::fclose(in);
  if (read_failed) {
    std::fprintf(stderr, "lzh: cannot read %s\n", input);
    return 1;
  }
  if (data.size() > 0x7FFFFFFFu) {
    std::fprintf(stderr, "lzh: %s is too large for the format (over 2 GiB)\n", input);
    return 1;
  }
  const std::vector<std::uint8_t> packed = lzh::PackBuffer(data.data(), data.size());
  std::FILE* out = std::fopen(output, "wb");
  if (!out) {
    std::fprintf(stderr, "lzh: cannot create %s: %s\n", output, std::strerror(errno));
    return 1;
  }
  const bool ok = std::fwrite(packed.data(), 1, packed.size(), out) == packed.size();
  if (std::fclose(out) != 0 || !ok) {
    std::fprintf(stderr, "lzh: cannot write %s\n", output);
    std::remove(output);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  const std::string verb = argv[1];
  if (verb == "pack") return Pack(argv[2], argv[3]);
  if (verb != "unpack") return Usage();
  // The names go to the driver as given, so its messages show the paths the
  // user typed; the backend accepts "/" as well as "\".
  lzh::InputFileName = argv[2];
  lzh::OutputFileName = argv[3];
  try {
    lzh::ExpandFile();
  } catch (const platform::Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "lzh: %s\n", e.what());
    return 1;
  }
  return 0;
}
