// The application object: its title, its zero-size top-level window, and the
// standard report of an exception that escapes the program.
#pragma once

#include <string>

namespace platform {

class Exception;

// The process has one application object; it is created first thing in main
// and reached through Application() while it exists.
class TApplication {
 public:
  TApplication();  // creates the zero-size top-level window
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // Runs the initialisation hook; none is installed, so nothing happens.
  void Initialize() {}
  void SetTitle(const std::string& title);
  const std::string& Title() const { return title_; }
  // There is never a main form, so the message loop does not run.
  void Run() {}

 private:
  std::string title_;
};

// The application object that exists now. Raises Exception when there is none.
TApplication& Application();

// Text of the standard report: "Exception %s im Modul %s bei %p." LF "%s%s".
// message is empty when the raised object is not an Exception.
std::string FormatExceptionReport(const char* class_name, const std::string& module,
                                  const void* address, const std::string& message);

inline constexpr const char kReportCaption[] = "Anwendungsfehler";

// Shows the standard report for the exception in flight (call from a catch
// block) and returns the exit code, 1.
int ShowExceptionReport();

// Runs body under the standard report: its exit code is 0 when body returns,
// 1 after the report of an exception that escaped it.
template <class Body>
int RunWithStandardReport(Body&& body) {
  try {
    body();
    return 0;
  } catch (...) {
    return ShowExceptionReport();
  }
}

}  // namespace platform
