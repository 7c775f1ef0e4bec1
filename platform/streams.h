// The class library's resource stream and file stream, as far as the launcher
// uses them: a read-only view of a resource of the running image, and a file
// created (or replaced) for writing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/os.h"

namespace platform {

// Read-only stream over a resource of the running image. The bytes stay where
// the loader mapped them; nothing is copied.
class TResourceStream {
 public:
  // Raises EResNotFound ("Ressource %s nicht gefunden") with name as given.
  TResourceStream(const std::string& name, const std::string& type);
  TResourceStream(const TResourceStream&) = delete;
  TResourceStream& operator=(const TResourceStream&) = delete;

  const std::uint8_t* Memory() const { return resource_.data; }
  std::uint32_t Size() const { return resource_.size; }

 private:
  ResourceData resource_;
};

// A file opened in create mode: read and write access, no sharing, an existing
// file replaced and emptied. Closed by the destructor.
class TFileStream {
 public:
  // Raises EFCreateError ("Kann Datei %s nicht erstellen") with the full path.
  // A path that is a reparse point (junction, symbolic link) is never written
  // through: it raises the same.
  explicit TFileStream(const std::string& path);
  ~TFileStream();
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  // One write request of count bytes; raises EWriteError ("Stream-Write-Fehler ")
  // when it fails or stores fewer.
  void WriteBuffer(const void* buffer, std::uint32_t count);

 private:
  FileHandle handle_;
};

}  // namespace platform
