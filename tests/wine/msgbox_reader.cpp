// Reads a message box back as the user sees it, then closes it with its OK
// button.
//
//   msgbox_reader.exe <caption> <out file> <app window title> [seconds to wait]
//   msgbox_reader.exe --system-message <code> <out file>
//
// Waits for a dialog with the given caption, then writes to <out file>, one
// field per line ("key<TAB>value", tabs, line ends and backslashes in values
// escaped as \t \n \r \\):
//   caption  the box's caption
//   text     the box's message text
//   icon     1 when the box shows an icon
//   buttons  the command buttons' texts, comma separated
//   app      title, width, height, visible, enabled of the first top-level
//            window with <app window title> that is not the box itself
// Exit code 0 when the box was found and closed, 2 when none came.
//
// With --system-message it writes the system's own text for an error code
// (FormatMessageA), so that a test can compare a report with what this
// system says, in whatever language it speaks.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kTextControlId = 0xFFFF;  // the message text of a message box

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  return out;
}

std::string WindowText(HWND w) {
  char buffer[4096] = {};
  GetWindowTextA(w, buffer, sizeof buffer);
  return buffer;
}

std::string ClassOf(HWND w) {
  char buffer[256] = {};
  GetClassNameA(w, buffer, sizeof buffer);
  return buffer;
}

struct Children {
  std::string buttons;
  bool icon = false;
  HWND ok = nullptr;
};

BOOL CALLBACK VisitChild(HWND child, LPARAM param) {
  auto* c = reinterpret_cast<Children*>(param);
  const std::string cls = ClassOf(child);
  const LONG style = GetWindowLongA(child, GWL_STYLE);
  if (_stricmp(cls.c_str(), "Button") == 0) {
    if (!c->buttons.empty()) c->buttons += ",";
    c->buttons += WindowText(child);
    if (GetDlgCtrlID(child) == IDOK) c->ok = child;
  } else if (_stricmp(cls.c_str(), "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
    c->icon = true;
  }
  return TRUE;
}

struct AppSearch {
  const char* title;
  HWND box;
  HWND found = nullptr;
};

BOOL CALLBACK VisitTopLevel(HWND w, LPARAM param) {
  auto* s = reinterpret_cast<AppSearch*>(param);
  if (w != s->box && WindowText(w) == s->title) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int SystemMessage(unsigned code, const char* path) {
  char text[4096] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                 text, sizeof text, nullptr);
  FILE* out = std::fopen(path, "wb");
  if (!out) return 3;
  std::fputs(text, out);
  std::fclose(out);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--system-message")
    return SystemMessage(static_cast<unsigned>(std::atoi(argv[2])), argv[3]);
  if (argc < 4) {
    std::fprintf(stderr, "usage: msgbox_reader <caption> <out file> <app title> [seconds]\n");
    return 64;
  }
  const char* caption = argv[1];
  const int seconds = argc > 4 ? std::atoi(argv[4]) : 60;

  HWND box = nullptr;
  for (int i = 0; i < seconds * 10 && !box; ++i) {
    box = FindWindowA("#32770", caption);
    if (!box) Sleep(100);
  }
  if (!box) {
    std::fprintf(stderr, "msgbox_reader: no box with caption \"%s\"\n", caption);
    return 2;
  }
  Sleep(200);  // let the box finish laying out its controls

  Children children;
  EnumChildWindows(box, VisitChild, reinterpret_cast<LPARAM>(&children));
  const HWND text_control = GetDlgItem(box, kTextControlId);

  AppSearch app{argv[3], box};
  EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&app));

  FILE* out = std::fopen(argv[2], "wb");
  if (!out) return 3;
  std::fprintf(out, "caption\t%s\n", Escape(WindowText(box)).c_str());
  std::fprintf(out, "text\t%s\n", text_control ? Escape(WindowText(text_control)).c_str() : "");
  std::fprintf(out, "icon\t%d\n", children.icon ? 1 : 0);
  std::fprintf(out, "buttons\t%s\n", Escape(children.buttons).c_str());
  if (app.found) {
    RECT r = {};
    GetWindowRect(app.found, &r);
    std::fprintf(out, "app\t%s\t%ld\t%ld\t%d\t%d\n", Escape(WindowText(app.found)).c_str(),
                 r.right - r.left, r.bottom - r.top, IsWindowVisible(app.found) ? 1 : 0,
                 IsWindowEnabled(app.found) ? 1 : 0);
  }
  std::fclose(out);

  // Close it the way a user does: the OK button.
  if (children.ok)
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(children.ok));
  else
    PostMessageA(box, WM_CLOSE, 0, 0);
  return 0;
}
