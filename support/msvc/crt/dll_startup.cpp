// The entry point of a DLL: sets the stack cookie and runs the module's
// initialisers before DllMain sees the process attach, and runs the
// module's exit functions (its static destructors) after DllMain has seen
// the process detach.

#include "startup_common.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID);

extern "C" BOOL WINAPI _DllMainCRTStartup(HINSTANCE module, DWORD reason,
                                          LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    __vantrel_module_is_dll = true;
    __security_init_cookie();
    if (_initialize_onexit_table(&__vantrel_module_exit_table) != 0)
      return FALSE;
    if (__vantrel_run_initializers() != 0) return FALSE;
    if (!DllMain(module, reason, reserved)) {
      _execute_onexit_table(&__vantrel_module_exit_table);
      return FALSE;
    }
    return TRUE;
  }
  const BOOL result = DllMain(module, reason, reserved);
  if (reason == DLL_PROCESS_DETACH)
    _execute_onexit_table(&__vantrel_module_exit_table);
  return result;
}
