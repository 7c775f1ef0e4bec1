// Inputs for the packer's tests: generated data that stresses one aspect of
// the parse each, and a few real files of the machine.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace packer_test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr char kGpl2Path[] = "/usr/share/common-licenses/GPL-2";
inline constexpr char kWineDllPath[] = "/usr/lib/i386-linux-gnu/wine/i386-windows/cabinet.dll";
inline constexpr char kMingwDllPath[] = "/usr/i686-w64-mingw32/lib/libwinpthread-1.dll";

// The file's bytes; found is false when it cannot be read.
inline Bytes ReadFile(const std::string& path, bool& found) {
  std::ifstream in(path, std::ios::binary);
  found = static_cast<bool>(in);
  return Bytes((std::istreambuf_iterator<char>(in)), {});
}

// The seed of the random inputs: PACKER_TEST_SEED if set, else a fresh one.
// Printed once so that a failure can be repeated.
inline std::uint32_t TestSeed() {
  static const std::uint32_t seed = [] {
    const char* env = std::getenv("PACKER_TEST_SEED");
    const std::uint32_t s = env ? static_cast<std::uint32_t>(std::strtoul(env, nullptr, 10))
                                : std::random_device{}();
    std::cout << "packer tests: random inputs use PACKER_TEST_SEED=" << s << "\n";
    return s;
  }();
  return seed;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Words drawn with a skewed distribution into lines: text-like repetition.
inline Bytes WordText(std::size_t size, std::uint32_t seed) {
  static const char* const words[] = {
      "the",    "program", "license", "software", "free",  "copy",    "of",      "and",
      "to",     "a",       "or",      "any",      "you",   "this",    "work",    "under",
      "terms",  "source",  "code",    "may",      "not",   "modify",  "General", "Public",
      "version", "distribute", "that", "is",      "with",  "for",     "in",      "be"};
  std::mt19937 rng(seed);
  std::geometric_distribution<int> pick(0.15);
  std::uniform_int_distribution<int> line(40, 78);
  Bytes out;
  int column = 0, width = line(rng);
  while (out.size() < size) {
    const std::string w = words[pick(rng) % 32];
    if (column + static_cast<int>(w.size()) > width) {
      out.push_back('\n');
      column = 0;
      width = line(rng);
    }
    out.insert(out.end(), w.begin(), w.end());
    out.push_back(' ');
    column += static_cast<int>(w.size()) + 1;
  }
  out.resize(size);
  return out;
}

// Runs of one byte, of random lengths from 1 to 300.
inline Bytes Runs(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> length(1, 300), byte(0, 255);
  Bytes out;
  while (out.size() < size) out.insert(out.end(), static_cast<std::size_t>(length(rng)), static_cast<std::uint8_t>(byte(rng)));
  out.resize(size);
  return out;
}

inline Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(byte(rng));
  return out;
}

// A table of little-endian records with small counters, a few opcodes and
// addresses: the kind of structure binaries have, with matches at many
// distances up to and beyond the window.
inline Bytes Records(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> op(0, 7);
  Bytes out;
  std::uint32_t address = 0x401000;
  for (std::uint32_t i = 0; out.size() < size; ++i) {
    static const std::uint8_t opcodes[8] = {0x55, 0x8B, 0xE8, 0xC3, 0x89, 0xFF, 0x6A, 0x90};
    out.push_back(opcodes[op(rng)]);
    address += static_cast<std::uint32_t>(op(rng)) * 4;
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(address >> (8 * k)));
    out.push_back(static_cast<std::uint8_t>(i));
    out.push_back(0);
  }
  out.resize(size);
  return out;
}

// Bytes that a window of zeros would match: a packer that took the
// decoder's unwritten window positions for zeros would copy from them.
inline Bytes ZerosThenText(std::size_t zeros) {
  Bytes out(zeros, 0);
  const Bytes tail = Text("after the zeros");
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

// Spaces right at the start match the pre-filled window at every distance.
inline Bytes SpacesThenText(std::size_t spaces) {
  Bytes out(spaces, ' ');
  const Bytes tail = Text("  indented text after spaces\n");
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

}  // namespace packer_test
