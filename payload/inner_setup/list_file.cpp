#include "list_file.h"

#include <algorithm>
#include <cctype>

namespace inner_setup {

namespace {

std::string Trim(const std::string& s) {
  std::size_t begin = 0, end = s.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(s[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(s[end - 1]))) --end;
  return s.substr(begin, end - begin);
}

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::vector<ListEntry> ParseListFile(const std::string& text) {
  std::vector<ListEntry> entries;
  std::string section;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(at, end - at));
    at = end + 1;
    if (line.empty()) continue;
    if (line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    entries.push_back({section, Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))});
  }
  return entries;
}

std::vector<std::pair<std::string, std::string>> SectionEntries(
    const std::vector<ListEntry>& entries, const std::string& section) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const ListEntry& e : entries)
    if (SameText(e.section, section)) out.emplace_back(e.key, e.value);
  return out;
}

}  // namespace inner_setup
