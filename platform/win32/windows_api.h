// The Windows headers, included the one way the win32 backend uses them.
//
// windows.h maps names such as CreateDirectory, DeleteFile and MessageBox to
// their A/W variants with macros. Those are also the names of the Os methods,
// so the macros are removed here; the backend calls the ANSI entry points by
// their full names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

#undef CreateDirectory
#undef DeleteFile
#undef FindResource
#undef GetFileAttributes
#undef GetTempPath
#undef MessageBox
#undef ShellExecute
