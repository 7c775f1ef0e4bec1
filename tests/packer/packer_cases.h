// The table of inputs that the packer's stream checks run over.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "test_inputs.h"

namespace packer_test {

struct PackCase {
  std::string name;
  // The input; sets skip to a reason when it is not available here.
  std::function<Bytes(std::string& skip)> make;
};

inline Bytes FileOrSkip(const char* path, std::string& skip) {
  bool found = false;
  Bytes data = ReadFile(path, found);
  if (!found) skip = std::string(path) + " is not installed";
  return data;
}

inline Bytes Repeated(const Bytes& unit, int times) {
  Bytes out;
  for (int i = 0; i < times; ++i) out.insert(out.end(), unit.begin(), unit.end());
  return out;
}

inline std::vector<PackCase> PackCases() {
  return {
      {"empty", [](std::string&) { return Bytes{}; }},
      {"one_byte", [](std::string&) { return Text("x"); }},
      {"one_space", [](std::string&) { return Text(" "); }},
      {"three_bytes", [](std::string&) { return Text("abc"); }},
      {"short_repeat", [](std::string&) { return Text("abcabcabcabcab"); }},
      {"spaces_at_start", [](std::string&) { return SpacesThenText(5000); }},
      {"zeros_at_start", [](std::string&) { return ZerosThenText(10000); }},
      {"word_text", [](std::string&) { return WordText(40000, TestSeed()); }},
      {"gpl2", [](std::string& skip) { return FileOrSkip(kGpl2Path, skip); }},
      {"records", [](std::string&) { return Records(30000, TestSeed() + 1); }},
      {"runs", [](std::string&) { return Runs(30000, TestSeed() + 2); }},
      {"random", [](std::string&) { return RandomBytes(20000, TestSeed() + 3); }},
      // Repeats exactly at the window's reach, and one byte beyond it.
      {"period_4096", [](std::string&) { return Repeated(RandomBytes(4096, TestSeed() + 4), 3); }},
      {"period_4097", [](std::string&) { return Repeated(RandomBytes(4097, TestSeed() + 5), 3); }},
      // Long enough for several parsing blocks and for the model's rebuilds.
      {"long_text", [](std::string&) { return WordText(300000, TestSeed() + 6); }},
      {"wine_dll", [](std::string& skip) { return FileOrSkip(kWineDllPath, skip); }},
      {"mingw_dll", [](std::string& skip) { return FileOrSkip(kMingwDllPath, skip); }},
  };
}

inline std::string CaseName(const testing::TestParamInfo<PackCase>& info) { return info.param.name; }

inline void PrintTo(const PackCase& c, std::ostream* os) { *os << c.name; }

}  // namespace packer_test
