// The native launchers run as the user would run them, each in a throw-away
// folder with its own TMPDIR: the sandbox, and what the tests read back from
// the working folder and the report on stderr.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "process_runner.h"
#include "report_matchers.h"

namespace testing_launcher {

namespace fs = std::filesystem;

inline const char kRecord[] = "Setup.record.txt";

// A fresh folder with the launcher's TMPDIR ("tmp") and its output files ("out").
class Sandbox {
 public:
  Sandbox() {
    std::string templ = "/tmp/tolvex-run-XXXXXX";
    if (!mkdtemp(templ.data())) std::abort();
    root_ = fs::canonical(templ);
    fs::create_directory(root_ / "tmp");
    fs::create_directory(root_ / "out");
  }
  ~Sandbox() {
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  fs::path Tmp() const { return root_ / "tmp"; }
  fs::path Work() const { return Tmp() / "Inst-Setup_Tolvex"; }
  fs::path Root() const { return root_; }

  RunResult Run(const std::string& launcher, const std::vector<std::string>& args = {}) const {
    return RunProgram(launcher, args, Tmp().string(), (root_ / "out").string());
  }

 private:
  fs::path root_;
};

// The path as the launcher names it: the posix backend shows "/" as "\".
inline std::string WindowsPath(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

inline std::string FileText(const fs::path& p) { return ReadText(p.string()); }

inline void WriteText(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

// The 18 row files of a staged payload, in row order, as listed for embedding.
inline std::vector<std::string> RowFiles() {
  return {"Tolvex.ex_", "Plenum.dl_", "Vantor.ex_", "Tolvex.ch_", "TolvexMail.ex_",
          "Kestrum.ex_", "Readme.txt", "Terms.txt", "Shortcut.ico", "Norvik.bin",
          "StyleA.vsf", "StyleB.vsf", "StyleC.vsf", "StyleD.vsf", "StyleE.vsf",
          "StyleF.vsf", "Setup.ex_", "Setup.lst"};
}

// Waits for the inner setup's record, which it writes last, by renaming.
// Bounded: a setup that never runs fails the test instead of hanging it.
inline std::map<std::string, std::string> WaitForRecord(const fs::path& work) {
  const fs::path record = work / kRecord;
  for (int i = 0; i < 1500 && !fs::exists(record); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::map<std::string, std::string> fields;
  std::istringstream in(FileText(record));
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return fields;
}

// Rows 1..rows are the staged files; later rows were not written, except the
// one row a test had put in place itself (skip_row, counted from 1).
inline void ExpectRowsEqualStaged(const fs::path& work, const fs::path& staged, std::size_t rows,
                           std::size_t skip_row = 0) {
  const auto files = RowFiles();
  for (std::size_t i = 0; i < files.size(); ++i) {
    const fs::path written = work / files[i];
    if (i + 1 == skip_row) continue;
    if (i < rows) {
      ASSERT_TRUE(fs::exists(written)) << files[i];
      EXPECT_TRUE(FileText(written) == FileText(staged / files[i])) << files[i] << " differs";
    } else {
      EXPECT_FALSE(fs::exists(written)) << files[i] << " written after the failing row";
    }
  }
}

// The report's lines on stderr: caption, then the text.
inline Report StderrReport(const RunResult& run) {
  const std::string caption = "Anwendungsfehler\n";
  if (run.error_output.rfind(caption, 0) != 0) return {};
  std::string text = run.error_output.substr(caption.size());
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return ParseReport(text);
}

// A working folder as an earlier launcher left it: owned by this user, mode
// 0700, so the launcher trusts and reuses it.
inline void MakeTrustedWorkFolder(const Sandbox& box) {
  fs::create_directory(box.Work());
  fs::permissions(box.Work(), fs::perms::owner_all, fs::perm_options::replace);
}

}  // namespace testing_launcher
