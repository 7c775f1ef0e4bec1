/* A DLL that the Wine probe plants beside itself: after the DLL search is
   restricted to the system folder, loading it by its bare name must fail. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}

__declspec(dllexport) int tolvex_planted(void) { return 42; }
