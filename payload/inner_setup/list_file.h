// Reads the list file "Setup.lst": sections in square brackets, entries
// "key=value", lines ended by CR LF (the last one may have no line end).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace inner_setup {

struct ListEntry {
  std::string section;  // without the brackets
  std::string key;
  std::string value;
};

// The entries in the order of the text. Lines that are neither a section nor an
// entry are passed over.
std::vector<ListEntry> ParseListFile(const std::string& text);

// The values of one section (matched without regard to case), in file order.
std::vector<std::pair<std::string, std::string>> SectionEntries(
    const std::vector<ListEntry>& entries, const std::string& section);

}  // namespace inner_setup
