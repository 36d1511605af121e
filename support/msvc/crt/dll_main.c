// The DllMain of a DLL that has none of its own. Kept in a file of its own
// so that the linker takes it from the library only when nothing else
// defines DllMain.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  (void)module;
  (void)reason;
  (void)reserved;
  return TRUE;
}
