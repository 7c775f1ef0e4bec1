// The sample payload's inner setup. It installs nothing: it reads "Setup.lst"
// from its current directory and writes "Setup.record.txt" beside it, saying
// where it ran, with which parameters, and which of the listed program files it
// found there.
//
// The record is written under a temporary name and then renamed, so whoever
// waits for it never reads half a record.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "list_file.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  std::error_code error;
  const fs::path here = fs::current_path(error);
  if (error) {
    std::cerr << "Setup: no current directory: " << error.message() << "\n";
    return 2;
  }

  std::ostringstream record;
  record << "current directory=" << here.string() << "\n";
  record << "parameter count=" << (argc - 1) << "\n";
  record << "parameters=";
  for (int i = 1; i < argc; ++i) record << (i > 1 ? " " : "") << argv[i];
  record << "\n";

  std::ifstream list("Setup.lst", std::ios::binary);
  if (!list) {
    record << "list file=missing\n";
  } else {
    std::ostringstream text;
    text << list.rdbuf();
    const auto entries = inner_setup::ParseListFile(text.str());
    record << "list file=read\n";
    for (const auto& [key, value] : inner_setup::SectionEntries(entries, "programfiles")) {
      const bool present = fs::is_regular_file(here / value, error);
      record << "programfiles " << key << "=" << value << (present ? " present" : " missing")
             << "\n";
    }
  }

  const fs::path temporary = here / "Setup.record.tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << record.str();
    if (!out.flush()) {
      std::cerr << "Setup: cannot write " << temporary.string() << "\n";
      return 1;
    }
  }
  fs::rename(temporary, here / "Setup.record.txt", error);
  if (error) {
    std::cerr << "Setup: cannot write the record: " << error.message() << "\n";
    return 1;
  }
  return 0;
}
