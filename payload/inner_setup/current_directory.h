// The process's current directory, as an absolute path; empty when the system
// cannot say. One source file per system, picked by the build.
#pragma once

#include <string>

namespace inner_setup {

std::string CurrentDirectory();

}  // namespace inner_setup
