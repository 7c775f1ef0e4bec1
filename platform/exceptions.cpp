#include "platform/exceptions.h"

#include <cstdio>
#include <cstring>

#include "platform/os.h"

namespace platform {

__attribute__((noinline)) Exception::Exception(std::string message)
    : message_(std::move(message)),
      address_(__builtin_extract_return_addr(__builtin_return_address(0))) {}

std::string FormatText(const char* text, const std::string& value) {
  std::string out(text);
  auto at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, value);
  return out;
}

EOSError MakeOSError(unsigned code) {
  if (code == 0) return EOSError(kUnknownOSErrorText);
  std::string text = kOSErrorText;
  auto at = text.find("%d");
  text.replace(at, 2, std::to_string(code));
  at = text.find("%s");
  text.replace(at, 2, CurrentOs().SystemErrorMessage(code));
  return EOSError(text);
}

}  // namespace platform
