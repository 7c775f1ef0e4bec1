// A whole launcher run against the in-memory system of fake_os.h: the payload
// resources with distinct bytes for each row (row 17 the packed inner setup),
// the working folder's paths, and the run through the program's entry.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fake_os.h"
#include "launcher/launch_sequence.h"
#include "lzh/packer.h"
#include "report_matchers.h"

namespace testing_launcher {

using Strings = std::vector<std::string>;

inline const char kWork[] = "C:\\Temp\\Inst-Setup_Tolvex";

// The rows' target names as the payload table gives them, written out here
// so the tests do not take them from the code under test.
inline const Strings kTargets = {"Tolvex.ex_",     "Plenum.dl_",   "Vantor.ex_", "Tolvex.ch_",
                                 "TolvexMail.ex_", "Kestrum.ex_",  "Readme.txt", "Terms.txt",
                                 "Shortcut.ico",   "Norvik.bin",   "StyleA.vsf", "StyleB.vsf",
                                 "StyleC.vsf",     "StyleD.vsf",   "StyleE.vsf", "StyleF.vsf",
                                 "Setup.ex_",      "Setup.lst"};

inline std::string InWork(const std::string& name) { return std::string(kWork) + "\\" + name; }

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline const Bytes& PlainInnerSetup() {
  static const Bytes plain = [] {
    Bytes b;
    for (int i = 0; i < 5000; ++i) b.push_back(static_cast<std::uint8_t>((i * 7) % 251));
    return b;
  }();
  return plain;
}

// Distinct bytes for each row; row 17 is the packed inner setup.
inline Bytes RowBytes(int row) {
  if (row == 17) return lzh::PackBuffer(PlainInnerSetup().data(), PlainInnerSetup().size());
  std::string s;
  for (int i = 0; i < row * 3; ++i) s += "row " + std::to_string(row) + ";";
  return Text(s);
}

class LaunchTest : public ::testing::Test {
 protected:
  LaunchTest() {
    for (int row = 1; row <= 18; ++row)
      os_.AddResource("FILE", "Test" + std::to_string(row), RowBytes(row));
  }

  // The whole program as main() runs it; returns its exit code.
  int Run() {
    ScopedOs scope(&os_);
    return launcher::RunLauncher();
  }

  // A working folder left by an earlier run, with the launcher's protection.
  void LeaveTrustedFolder() {
    os_.directories.insert(kWork);
    os_.trusted.insert(kWork);
  }

  Report ShownReport() const { return ParseReport(os_.message_text); }

  FakeOs os_;
};

}  // namespace testing_launcher
