#include <unistd.h>

#include <vector>

#include "current_directory.h"

namespace inner_setup {

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  if (!getcwd(buffer.data(), buffer.size())) return std::string();
  return buffer.data();
}

}  // namespace inner_setup
