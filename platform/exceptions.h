// The exception classes of the class library, as the program uses them.
//
// Every exception carries one message text. Its class name and the code
// address at which it was raised go into the standard report of an unhandled
// exception (report.h). Texts are the class library's German resource strings.
#pragma once

#include <string>

namespace platform {

class Exception {
 public:
  explicit Exception(std::string message);
  virtual ~Exception() = default;
  Exception(const Exception&) = default;
  Exception& operator=(const Exception&) = default;

  const std::string& Message() const { return message_; }
  // The class name as the report shows it, e.g. "EResNotFound".
  virtual const char* ClassName() const { return "Exception"; }
  // Code address of the raise; fixed by the constructor of the innermost class.
  const void* Address() const { return address_; }

 protected:
  void SetAddress(const void* address) { address_ = address; }

 private:
  std::string message_;
  const void* address_ = nullptr;
};

// Declares a class that derives from Base, adds nothing but its name, and
// records the caller of its constructor as the raise address.
#define PLATFORM_DECLARE_EXCEPTION(Name, Base)                                  \
  class Name : public Base {                                                    \
   public:                                                                      \
    __attribute__((noinline)) explicit Name(std::string message)                \
        : Base(std::move(message)) {                                            \
      SetAddress(__builtin_extract_return_addr(__builtin_return_address(0)));   \
    }                                                                           \
    const char* ClassName() const override { return #Name; }                    \
  }

PLATFORM_DECLARE_EXCEPTION(EStreamError, Exception);
PLATFORM_DECLARE_EXCEPTION(EFCreateError, EStreamError);
PLATFORM_DECLARE_EXCEPTION(EFilerError, EStreamError);
PLATFORM_DECLARE_EXCEPTION(EWriteError, EFilerError);
PLATFORM_DECLARE_EXCEPTION(EResNotFound, Exception);
PLATFORM_DECLARE_EXCEPTION(EOutOfMemory, Exception);
PLATFORM_DECLARE_EXCEPTION(EOSError, Exception);

// The class library's texts.
inline constexpr const char kResNotFoundText[] = "Ressource %s nicht gefunden";
inline constexpr const char kFCreateErrorText[] = "Kann Datei %s nicht erstellen";
inline constexpr const char kWriteErrorText[] = "Stream-Write-Fehler ";
inline constexpr const char kOutOfMemoryText[] = "Speicher reicht nicht aus";
inline constexpr const char kOSErrorText[] = "Systemfehler. Code: %d.\r\n%s";
inline constexpr const char kUnknownOSErrorText[] =
    "Ein Aufruf einer Betriebssystemfunktion ist fehlgeschlagen";

// Replaces the one "%s" of a text with value.
std::string FormatText(const char* text, const std::string& value);

// EOSError for a system error code, with the class library's text; code 0
// gives the text for a failure without an error code.
EOSError MakeOSError(unsigned code);

}  // namespace platform
