// The working folder and the paths of the files in it.
//
// Paths are Windows paths; "\" is the only separator these helpers know, a "/"
// is an ordinary character to them.
#pragma once

#include <cstdint>
#include <string>

namespace launcher {

// The temporary directory is read into 256 characters, of which the system may
// use 255 (zero included): the longest directory that fits has 254.
inline constexpr std::uint32_t kTempBufferSize = 256;
inline constexpr std::uint32_t kTempPathLimit = 255;

// The user's temporary directory as the system gives it, ending in "\".
// Raises EOSError when the system reports a failure or a directory longer than
// the buffer allows, rather than go on with an undefined text.
std::string GetTempDirectory();

// directory with exactly one trailing "\" (only the last character is looked
// at); the empty string stays empty.
std::string AppendPathSeparator(const std::string& directory);

// Makes sure the folder exists, creating missing parents first (outermost
// first). Reports nothing: a folder that cannot be created shows later, when the
// first file in it cannot be created.
void EnsureDirectoryPath(std::string path);

// Working folder rule: the temporary directory, "Inst-" and the title, with
// nothing inserted between them.
std::string WorkDirectoryFor(const std::string& temp_directory);

// Target path rule: the working folder with its separator, then the plain file name.
std::string TargetPath(const std::string& work_directory, const std::string& file_name);

}  // namespace launcher
