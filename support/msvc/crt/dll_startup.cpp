// The entry point of a DLL: sets the stack cookie and runs the module's
// initialisers before DllMain sees the process attach, and runs the
// module's exit functions (its static destructors) after DllMain has seen
// the process detach.
//
// A failed attach (an initialiser or DllMain reporting failure) has already
// run the exit functions of what was initialised; the loader may still send
// the process detach afterwards. The attach count makes that detach do
// nothing: neither DllMain nor the exit functions run twice.

#include "startup_common.h"

// The load-configuration directory (load_config.c): the linker writes the
// PE's LoadConfigTable entry only when the symbol is part of the link.
#pragma comment(linker, "/include:_load_config_used")

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID);

namespace {
// Process attaches that succeeded and have not been detached yet.
int attach_count = 0;
}  // namespace

extern "C" BOOL WINAPI _DllMainCRTStartup(HINSTANCE module, DWORD reason,
                                          LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    __vantrel_module_is_dll = true;
    __security_init_cookie();
    if (_initialize_onexit_table(&__vantrel_module_exit_table) != 0)
      return FALSE;
    if (__vantrel_run_initializers() != 0) {
      _execute_onexit_table(&__vantrel_module_exit_table);
      return FALSE;
    }
    if (!DllMain(module, reason, reserved)) {
      _execute_onexit_table(&__vantrel_module_exit_table);
      return FALSE;
    }
    ++attach_count;
    return TRUE;
  }
  if (reason == DLL_PROCESS_DETACH) {
    if (attach_count <= 0) return FALSE;
    --attach_count;
    const BOOL result = DllMain(module, reason, reserved);
    _execute_onexit_table(&__vantrel_module_exit_table);
    return result;
  }
  return DllMain(module, reason, reserved);
}
