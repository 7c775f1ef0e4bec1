// The win32 backend: the product's calls into Windows.
//
// Every method is one ANSI entry point (or the short fixed chain the method
// names), called with exactly the arguments the launcher's steps rely on.
// Nothing here retries; results are handed back as Windows gives them, and the
// caller decides what a failure means. The one addition is that no file is
// opened through a link: the process runs elevated in a folder under the
// user's own %TEMP%.
#include "platform/os.h"

#include <string>

#include "platform/win32/folder_security_win32.h"
#include "platform/win32/windows_api.h"

namespace platform {

namespace {

constexpr char kApplicationWindowClass[] = "TApplication";

FileHandle ToFileHandle(HANDLE h) {
  return h == INVALID_HANDLE_VALUE ? FileHandle{-1} : reinterpret_cast<FileHandle>(h);
}

HANDLE ToWin(FileHandle h) { return reinterpret_cast<HANDLE>(h); }

// The part of a path after its last "\" or ":" (the class library's rule for
// a file name).
std::string FileNamePart(const std::string& path) {
  const auto cut = path.find_last_of("\\:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

class WindowsOs final : public Os {
 public:
  // --- system information -------------------------------------------------
  std::uint32_t GetTempPath(std::uint32_t size, char* buffer) override {
    return GetTempPathA(size, buffer);
  }

  std::uint32_t LastError() override { return GetLastError(); }

  std::string SystemErrorMessage(std::uint32_t code) override {
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
            FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = (n > 0 && text) ? std::string(text, n) : std::string();
    if (text) LocalFree(text);
    // The system's texts end in CR LF (and sometimes blanks).
    while (!message.empty() && static_cast<unsigned char>(message.back()) <= ' ')
      message.pop_back();
    return message;
  }

  std::string ModuleName() override {
    std::string path(MAX_PATH, '\0');
    for (;;) {
      const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (n == 0) return "";
      if (n < path.size()) {
        path.resize(n);
        return FileNamePart(path);
      }
      path.resize(path.size() * 2);  // truncated: try a larger buffer
    }
  }

  // --- directories --------------------------------------------------------
  std::uint32_t GetFileAttributes(const std::string& path) override {
    return GetFileAttributesA(path.c_str());
  }

  bool CreateDirectory(const std::string& path) override {
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
  }

  // --- resources of the running image ---------------------------------------
  bool FindResource(const std::string& type, const std::string& name,
                    ResourceData* out) override {
    HMODULE image = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(image, name.c_str(), type.c_str());
    if (!info) return false;
    HGLOBAL loaded = LoadResource(image, info);
    if (!loaded) return false;
    out->data = static_cast<const std::uint8_t*>(LockResource(loaded));
    out->size = SizeofResource(image, info);
    return true;
  }

  // --- files ----------------------------------------------------------------
  FileHandle OpenExisting(const std::string& path) override {
    return ToFileHandle(win32::OpenFileNoFollow(path, GENERIC_READ, 0, OPEN_EXISTING));
  }

  FileHandle CreateAlways(const std::string& path) override {
    return ToFileHandle(
        win32::OpenFileNoFollow(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS));
  }

  std::int32_t Read(FileHandle h, void* buffer, std::int32_t count) override {
    DWORD done = 0;
    if (!ReadFile(ToWin(h), buffer, static_cast<DWORD>(count), &done, nullptr)) return -1;
    return static_cast<std::int32_t>(done);
  }

  // One WriteFile of the whole count: a short write is reported as it is.
  std::int32_t Write(FileHandle h, const void* buffer, std::int32_t count) override {
    DWORD done = 0;
    if (!WriteFile(ToWin(h), buffer, static_cast<DWORD>(count), &done, nullptr)) return -1;
    return static_cast<std::int32_t>(done);
  }

  void Flush(FileHandle h) override { FlushFileBuffers(ToWin(h)); }

  void Close(FileHandle h) override { CloseHandle(ToWin(h)); }

  bool DeleteFile(const std::string& path) override {
    return DeleteFileA(path.c_str()) != FALSE;
  }

  // --- shell and user interface -----------------------------------------------
  std::intptr_t ShellExecute(const char* verb, const std::string& file, const char* parameters,
                             const std::string& directory, int show) override {
    HINSTANCE result =
        ShellExecuteA(nullptr, verb, file.c_str(), parameters, directory.c_str(), show);
    return reinterpret_cast<std::intptr_t>(result);
  }

  void MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), flags);
  }

  // --- application object -----------------------------------------------------
  // A registered class and a shown top-level window of zero size, centred on
  // the screen; its caption is the application title. Its messages are never
  // pumped, except by the modal loop of a message box.
  void CreateApplicationWindow() override {
    if (window_) return;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    window_class.lpszClassName = kApplicationWindowClass;
    class_registered_ = RegisterClassA(&window_class) != 0;
    window_ = CreateWindowExA(0, kApplicationWindowClass, title_.c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU |
                                  WS_MINIMIZEBOX,
                              GetSystemMetrics(SM_CXSCREEN) / 2,
                              GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr, nullptr,
                              instance, nullptr);
    if (window_) ShowWindow(window_, SW_SHOWNORMAL);
  }

  void SetApplicationTitle(const std::string& title) override {
    title_ = title;
    if (window_) SetWindowTextA(window_, title_.c_str());
  }

  void DestroyApplicationWindow() override {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
    if (class_registered_) UnregisterClassA(kApplicationWindowClass, GetModuleHandleA(nullptr));
    class_registered_ = false;
  }

  // --- hardening for an elevated run ------------------------------------------
  void RestrictDllSearch() override { win32::RestrictDllSearchToSystem(); }

  FileHandle HoldFolder(const std::string& path) override {
    return ToFileHandle(win32::HoldFolder(path));
  }

  bool IsFolderTrusted(const std::string& path) override {
    return win32::IsFolderTrusted(path);
  }

  bool ProtectFolder(const std::string& path) override { return win32::ProtectFolder(path); }

  bool EmptyFolder(const std::string& path) override { return win32::EmptyFolder(path); }

  FileHandle OpenReadLocked(const std::string& path) override {
    return ToFileHandle(
        win32::OpenFileNoFollow(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
  }

 private:
  std::string title_;
  HWND window_ = nullptr;
  bool class_registered_ = false;
};

}  // namespace

Os& DefaultOs() {
  static WindowsOs os;
  return os;
}

}  // namespace platform
