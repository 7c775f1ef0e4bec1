// The decompressor's own exceptions. Both derive directly from the class
// library's Exception and carry only their message text.
#pragma once

#include "platform/exceptions.h"

namespace lzh {

// The decoder's working memory.
PLATFORM_DECLARE_EXCEPTION(ElzhException, platform::Exception);
// Files, header, reads and writes of the file driver.
PLATFORM_DECLARE_EXCEPTION(ELzrw1Exception, platform::Exception);
// The decoder consumed a bit beyond the end of its input. The file driver
// turns it into an ELzrw1Exception that names the input file.
PLATFORM_DECLARE_EXCEPTION(ELzhEndOfInput, platform::Exception);

inline constexpr const char kNoTableMemoryText[] = "LZH : Cannot get memory for dictionary tables";
inline constexpr const char kFreeTableMemoryText[] =
    "LZH : Error freeing memory for dictionary tables";

}  // namespace lzh
