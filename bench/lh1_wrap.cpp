// lh1_wrap PACKED ORIGINAL ARCHIVE
//
// Wraps the bit stream of a compressed file (PACKED, "!HZL" + length + stream)
// into a one-member level-0 LHA archive of method "-lh1-", the same bit stream
// under another container, so that lhasa's `lha -p` decodes exactly the bytes
// that `lzh unpack` decodes. ORIGINAL is the expanded file: its size and
// CRC-16 go into the member header, and lhasa checks them.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> ReadAll(const char* path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  ok = static_cast<bool>(in);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

// CRC-16/ARC: reflected polynomial 0xA001, initial value 0; table driven.
std::uint16_t Crc16Arc(const std::vector<std::uint8_t>& data) {
  std::uint16_t table[256];
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
    table[i] = static_cast<std::uint16_t>(crc);
  }
  unsigned crc = 0;
  for (std::uint8_t byte : data) crc = (crc >> 8) ^ table[(crc ^ byte) & 0xFF];
  return static_cast<std::uint16_t>(crc);
}

void PutLe(std::vector<std::uint8_t>& v, std::uint32_t x, int bytes) {
  for (int i = 0; i < bytes; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: lh1_wrap PACKED ORIGINAL ARCHIVE\n");
    return 2;
  }
  bool ok_packed = false, ok_original = false;
  const std::vector<std::uint8_t> packed = ReadAll(argv[1], ok_packed);
  const std::vector<std::uint8_t> original = ReadAll(argv[2], ok_original);
  if (!ok_packed || !ok_original) {
    std::fprintf(stderr, "lh1_wrap: cannot read %s\n", ok_packed ? argv[2] : argv[1]);
    return 1;
  }
  if (packed.size() < 8 || std::memcmp(packed.data(), "!HZL", 4) != 0) {
    std::fprintf(stderr, "lh1_wrap: %s is not a compressed file\n", argv[1]);
    return 1;
  }
  std::uint32_t declared = 0;
  for (int i = 3; i >= 0; --i) declared = (declared << 8) | packed[4 + static_cast<std::size_t>(i)];
  if (declared != original.size()) {
    std::fprintf(stderr, "lh1_wrap: %s declares %u bytes, %s has %zu\n", argv[1], declared,
                 argv[2], original.size());
    return 1;
  }

  const std::string name = "data.bin";
  std::vector<std::uint8_t> header;  // from offset 2 to the end of the header
  for (char c : std::string("-lh1-")) header.push_back(static_cast<std::uint8_t>(c));
  PutLe(header, static_cast<std::uint32_t>(packed.size() - 8), 4);
  PutLe(header, static_cast<std::uint32_t>(original.size()), 4);
  PutLe(header, 0x5A8B6000u, 4);  // DOS date and time 2025-04-11 12:00:00
  header.push_back(0x20);         // attribute: archive
  header.push_back(0);            // header level 0
  header.push_back(static_cast<std::uint8_t>(name.size()));
  for (char c : name) header.push_back(static_cast<std::uint8_t>(c));
  PutLe(header, Crc16Arc(original), 2);
  std::uint8_t checksum = 0;
  for (std::uint8_t b : header) checksum = static_cast<std::uint8_t>(checksum + b);

  std::FILE* out = std::fopen(argv[3], "wb");
  if (!out) {
    std::fprintf(stderr, "lh1_wrap: cannot create %s\n", argv[3]);
    return 1;
  }
  const std::uint8_t lead[2] = {static_cast<std::uint8_t>(header.size()), checksum};
  const std::uint8_t end = 0;
  bool ok = std::fwrite(lead, 1, 2, out) == 2 &&
            std::fwrite(header.data(), 1, header.size(), out) == header.size() &&
            std::fwrite(packed.data() + 8, 1, packed.size() - 8, out) == packed.size() - 8 &&
            std::fwrite(&end, 1, 1, out) == 1;
  ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "lh1_wrap: cannot write %s\n", argv[3]);
    std::remove(argv[3]);
    return 1;
  }
  return 0;
}
