// The DLL entry point, built for Windows only.
//
// The vocabulary constants are constructed by the C runtime before it calls
// this function with DLL_PROCESS_ATTACH and destroyed after it returns from
// DLL_PROCESS_DETACH; nothing here touches them. The library needs no set-up
// per thread, so it asks the loader not to send thread notifications. The
// loader grants that only to a DLL without a static TLS directory, as the
// Microsoft-ABI build is; the MinGW-w64 build's statically linked runtime
// brings one, so there the notifications still arrive and are ignored.

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason,
                               LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
  return TRUE;
}
