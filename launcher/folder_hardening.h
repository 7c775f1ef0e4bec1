// The checks that make the working folder safe to write into from an elevated
// process, although it lies, under a fixed name, in the user's own %TEMP%,
// where any unelevated process of that user can write.
#pragma once

#include <cstdint>
#include <string>

#include "launcher/held_file.h"

namespace launcher {

// Whether attributes (of the path itself, not of what it points to) mark a
// junction, symbolic link or mount point.
bool IsReparsePoint(std::uint32_t attributes);

// Raises EFCreateError ("Kann Datei %s nicht erstellen") naming path.
[[noreturn]] void RefuseToWrite(const std::string& path);

// For the working folder after EnsureDirectoryPath: refuses it when it is a
// reparse point, or when one of the files the launcher writes into it (the
// manifest rows and "Setup.exe") is one; holds it so it cannot be swapped
// under its name; and when it does not carry the launcher's protection
// (a new folder included) protects it and then empties it. A folder that is
// missing or is a plain file is left alone: the first row then reports it.
// Returns the hold, to be kept until the inner setup has been started.
HeldFile SecureWorkDirectory(const std::string& folder);

}  // namespace launcher
