#include <direct.h>

#include <vector>

#include "current_directory.h"

namespace inner_setup {

std::string CurrentDirectory() {
  std::vector<char> buffer(32768);
  if (!_getcwd(buffer.data(), static_cast<int>(buffer.size()))) return std::string();
  return buffer.data();
}

}  // namespace inner_setup
