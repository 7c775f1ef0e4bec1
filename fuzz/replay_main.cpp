// The plain-program form of a fuzz target: runs every file of the corpus
// directories (or single files) given on the command line through it once.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int RunFile(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return 1;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR_OR_FILE...\n", argv[0]);
    return 2;
  }
  int inputs = 0, errors = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg = argv[i];
    std::vector<std::filesystem::path> paths;
    if (std::filesystem::is_directory(arg)) {
      for (const auto& e : std::filesystem::directory_iterator(arg))
        if (e.is_regular_file()) paths.push_back(e.path());
      std::sort(paths.begin(), paths.end());
    } else {
      paths.push_back(arg);
    }
    for (const auto& p : paths) {
      errors += RunFile(p);
      ++inputs;
    }
  }
  std::printf("replayed %d inputs\n", inputs);
  if (inputs == 0) {
    std::fprintf(stderr, "no inputs found\n");
    return 1;
  }
  return errors == 0 ? 0 : 1;
}
