// Writes one resource of the running image into one file.
#pragma once

#include <string>

namespace launcher {

// Writes the resource's bytes to path, replacing an existing file, with one
// write request straight from where the image holds them. Returns true whenever
// it returns; raises EResNotFound (no file is created then), EFCreateError
// (full path in the message) or EWriteError (the partly written file stays).
bool ExtractResourceToFile(const std::string& type, const std::string& name,
                           const std::string& path);

}  // namespace launcher
