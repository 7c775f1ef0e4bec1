#include "platform/application.h"

#include <cstdio>
#include <cstdint>
#include <new>

#include "platform/exceptions.h"
#include "platform/os.h"

namespace platform {

namespace {
TApplication* g_application = nullptr;
}

TApplication::TApplication() {
  CurrentOs().CreateApplicationWindow();
  g_application = this;
}

TApplication::~TApplication() {
  if (g_application == this) g_application = nullptr;
  CurrentOs().DestroyApplicationWindow();
}

TApplication& Application() {
  if (!g_application) throw Exception("Application object missing");
  return *g_application;
}

void TApplication::SetTitle(const std::string& title) {
  title_ = title;
  CurrentOs().SetApplicationTitle(title);
}

std::string FormatExceptionReport(const char* class_name, const std::string& module,
                                  const void* address, const std::string& message) {
  char where[2 * sizeof(void*) + 1];
  std::snprintf(where, sizeof where, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address)));
  std::string text = "Exception ";
  text += class_name;
  text += " im Modul ";
  text += module;
  text += " bei ";
  text += where;
  text += ".\n";
  text += message;
  if (!message.empty() && message.back() != '.') text += '.';
  return text;
}

int ShowExceptionReport() {
  std::string text;
  try {
    throw;
  } catch (const Exception& e) {
    text = FormatExceptionReport(e.ClassName(), CurrentOs().ModuleName(), e.Address(),
                                 e.Message());
  } catch (const std::bad_alloc&) {
    // The class library's memory manager raises EOutOfMemory.
    EOutOfMemory e(kOutOfMemoryText);
    text = FormatExceptionReport(e.ClassName(), CurrentOs().ModuleName(), e.Address(),
                                 e.Message());
  } catch (...) {
    text = FormatExceptionReport("Exception", CurrentOs().ModuleName(), nullptr, "");
  }
  CurrentOs().MessageBox(text, kReportCaption, kMbIconError | kMbTaskModal);
  return 1;
}

}  // namespace platform
