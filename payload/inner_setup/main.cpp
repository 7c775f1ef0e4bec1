// The sample payload's inner setup. It installs nothing: it reads "Setup.lst"
// from its current directory and writes "Setup.record.txt" beside it, saying
// where it ran, with which parameters, and which of the listed program files it
// found there.
//
// The record is written under a temporary name and then renamed, so whoever
// waits for it never reads half a record. C stdio rather than iostreams or
// std::filesystem keeps the statically linked Windows program small.
#include <cstdio>
#include <string>

#include "current_directory.h"
#include "list_file.h"

namespace {

// The folder separator of the current directory's text.
char SeparatorOf(const std::string& directory) {
  return directory.find('\\') != std::string::npos ? '\\' : '/';
}

bool IsReadableFile(const std::string& path) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return false;
  std::fclose(in);
  return true;
}

bool ReadFile(const char* name, std::string* text) {
  std::FILE* in = std::fopen(name, "rb");
  if (!in) return false;
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) text->append(chunk, n);
  const bool ok = std::ferror(in) == 0;
  std::fclose(in);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string here = inner_setup::CurrentDirectory();
  if (here.empty()) {
    std::fprintf(stderr, "Setup: no current directory\n");
    return 2;
  }
  std::string folder = here;
  if (folder.back() != SeparatorOf(here)) folder += SeparatorOf(here);

  std::string record = "current directory=" + here + "\n";
  record += "parameter count=" + std::to_string(argc - 1) + "\n";
  record += "parameters=";
  for (int i = 1; i < argc; ++i) record += std::string(i > 1 ? " " : "") + argv[i];
  record += "\n";

  std::string list;
  if (!ReadFile("Setup.lst", &list)) {
    record += "list file=missing\n";
  } else {
    record += "list file=read\n";
    const auto entries = inner_setup::ParseListFile(list);
    for (const auto& [key, value] : inner_setup::SectionEntries(entries, "programfiles")) {
      const bool present = IsReadableFile(folder + value);
      record += "programfiles " + key + "=" + value + (present ? " present" : " missing") + "\n";
    }
  }

  const std::string temporary = folder + "Setup.record.tmp";
  const std::string final_name = folder + "Setup.record.txt";
  std::FILE* out = std::fopen(temporary.c_str(), "wb");
  const bool written = out && std::fwrite(record.data(), 1, record.size(), out) == record.size();
  if (!out || std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "Setup: cannot write %s\n", temporary.c_str());
    return 1;
  }
  // On Windows rename does not replace: an earlier run's record goes first.
  std::remove(final_name.c_str());
  if (std::rename(temporary.c_str(), final_name.c_str()) != 0) {
    std::fprintf(stderr, "Setup: cannot write %s\n", final_name.c_str());
    return 1;
  }
  return 0;
}
