// A small Windows console program: its image is sample data for the codec's
// round trips (code, import tables, resources of the C runtime, padding).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) words.emplace_back(argv[i]);
  unsigned hash = 2166136261u;
  for (const std::string& w : words)
    for (char c : w) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  std::printf("%zu words, hash %08x\n", words.size(), hash);
  return words.empty() ? 1 : 0;
}
