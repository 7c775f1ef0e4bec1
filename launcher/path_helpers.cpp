#include "launcher/path_helpers.h"

#include <cstring>

#include "launcher/constants.h"
#include "platform/exceptions.h"
#include "platform/os.h"

namespace launcher {

std::string GetTempDirectory() {
  platform::Os& os = platform::CurrentOs();
  char buffer[kTempBufferSize] = {};
  const std::uint32_t length = os.GetTempPath(kTempPathLimit, buffer);
  // 0 is a failure; a value above 254 is the size the directory would need.
  // Either way the buffer holds nothing usable.
  if (length == 0 || length > kTempPathLimit - 1) throw platform::MakeOSError(os.LastError());
  // The text up to its first zero byte.
  return std::string(buffer, ::strnlen(buffer, length));
}

std::string AppendPathSeparator(const std::string& directory) {
  if (directory.empty()) return directory;
  if (directory.back() == '\\') return directory;
  return directory + '\\';
}

namespace {

bool IsExistingDirectory(const std::string& path) {
  const std::uint32_t attributes = platform::CurrentOs().GetFileAttributes(path);
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kAttributeDirectory) != 0;
}

// The path up to and including its last "\" or ":"; empty when it has neither.
std::string ParentOf(const std::string& path) {
  const std::size_t at = path.find_last_of("\\:");
  return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

}  // namespace

void EnsureDirectoryPath(std::string path) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  // "C:", "\" and "" are roots or nothing: there is nothing to create.
  if (path.size() <= 2) return;
  if (IsExistingDirectory(path)) return;
  EnsureDirectoryPath(ParentOf(path));
  // Whether this succeeds is not looked at.
  platform::CurrentOs().CreateDirectory(path);
}

std::string WorkDirectoryFor(const std::string& temp_directory) {
  return temp_directory + kFolderPrefix + kApplicationTitle;
}

std::string TargetPath(const std::string& work_directory, const std::string& file_name) {
  return AppendPathSeparator(work_directory) + file_name;
}

}  // namespace launcher
