// A one-member level-0 LHA archive around a packed stream, for checking the
// packer's output with lhasa, an independent decoder of the same bit stream
// (LHA's method "-lh1-").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace packer_test {

// CRC-16/ARC: reflected polynomial 0xA001, initial value 0.
inline std::uint16_t Crc16Arc(const std::vector<std::uint8_t>& data) {
  std::uint16_t crc = 0;
  for (std::uint8_t byte : data) {
    crc ^= byte;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
  }
  return crc;
}

// packed is a whole compressed file ("!HZL", length, stream); the archive
// carries the stream alone under the member name, with original's CRC.
inline std::vector<std::uint8_t> MakeLh1Archive(const std::vector<std::uint8_t>& packed,
                                                const std::vector<std::uint8_t>& original,
                                                const std::string& name) {
  auto le = [](std::vector<std::uint8_t>& v, std::uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
  };
  const std::uint32_t stream_size = static_cast<std::uint32_t>(packed.size() - 8);
  std::vector<std::uint8_t> header;  // from offset 2 to the end of the header
  for (char c : std::string("-lh1-")) header.push_back(static_cast<std::uint8_t>(c));
  le(header, stream_size, 4);
  le(header, static_cast<std::uint32_t>(original.size()), 4);
  le(header, 0x5A8B6000u, 4);  // a DOS date and time: 2025-04-11 12:00:00
  header.push_back(0x20);      // attribute: archive
  header.push_back(0);         // header level 0
  header.push_back(static_cast<std::uint8_t>(name.size()));
  for (char c : name) header.push_back(static_cast<std::uint8_t>(c));
  le(header, Crc16Arc(original), 2);

  std::uint8_t checksum = 0;
  for (std::uint8_t b : header) checksum = static_cast<std::uint8_t>(checksum + b);
  std::vector<std::uint8_t> archive;
  archive.push_back(static_cast<std::uint8_t>(header.size()));
  archive.push_back(checksum);
  archive.insert(archive.end(), header.begin(), header.end());
  archive.insert(archive.end(), packed.begin() + 8, packed.end());
  archive.push_back(0);  // end of archive
  return archive;
}

}  // namespace packer_test
