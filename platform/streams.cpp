#include "platform/streams.h"

#include "platform/exceptions.h"

namespace platform {

TResourceStream::TResourceStream(const std::string& name, const std::string& type) {
  if (!CurrentOs().FindResource(type, name, &resource_))
    throw EResNotFound(FormatText(kResNotFoundText, name));
}

TFileStream::TFileStream(const std::string& path) : handle_(-1) {
  Os& os = CurrentOs();
  const std::uint32_t attributes = os.GetFileAttributes(path);
  if (attributes != kInvalidFileAttributes && (attributes & kAttributeReparsePoint))
    throw EFCreateError(FormatText(kFCreateErrorText, path));
  handle_ = os.CreateAlways(path);
  if (handle_ <= 0) throw EFCreateError(FormatText(kFCreateErrorText, path));
}

TFileStream::~TFileStream() {
  if (handle_ > 0) CurrentOs().Close(handle_);
}

void TFileStream::WriteBuffer(const void* buffer, std::uint32_t count) {
  if (count == 0) return;
  const std::int32_t written =
      CurrentOs().Write(handle_, buffer, static_cast<std::int32_t>(count));
  if (written < 0 || static_cast<std::uint32_t>(written) != count)
    throw EWriteError(kWriteErrorText);
}

}  // namespace platform
