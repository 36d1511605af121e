// The DLL entry point, built for Windows only.
//
// The vocabulary constants are constructed by the C runtime before it calls
// this function with DLL_PROCESS_ATTACH and destroyed after it returns from
// DLL_PROCESS_DETACH; nothing here touches them. The library needs no set-up
// per thread, so thread notifications are switched off.

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason,
                               LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
  return TRUE;
}
