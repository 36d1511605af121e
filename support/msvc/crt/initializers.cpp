// The module's initialiser lists and its atexit.
//
// A DLL keeps its own table of exit functions and runs it on
// DLL_PROCESS_DETACH, after DllMain, so its static objects are destroyed
// when it is unloaded, in the reverse order of their construction. An EXE
// registers them with the process (ucrtbase.dll's table), which exit()
// runs.

#include "startup_common.h"

typedef int(__cdecl* VantrelCInitializer)(void);

// The compiler puts a pointer to each initialiser into .CRT$XCU (C++) or
// .CRT$XIU (C); the linker sorts the sections by name, so everything
// between the A and Z markers below is the module's list, in order.
#pragma section(".CRT$XIA", long, read)
#pragma section(".CRT$XIZ", long, read)
#pragma section(".CRT$XCA", long, read)
#pragma section(".CRT$XCZ", long, read)
extern "C" {
__declspec(allocate(".CRT$XIA")) VantrelCInitializer __xi_a[] = {nullptr};
__declspec(allocate(".CRT$XIZ")) VantrelCInitializer __xi_z[] = {nullptr};
__declspec(allocate(".CRT$XCA")) _PVFV __xc_a[] = {nullptr};
__declspec(allocate(".CRT$XCZ")) _PVFV __xc_z[] = {nullptr};

bool __vantrel_module_is_dll = false;
_onexit_table_t __vantrel_module_exit_table;

int __cdecl __vantrel_run_initializers(void) {
  for (VantrelCInitializer* it = __xi_a; it < __xi_z; ++it) {
    if (*it != nullptr) {
      const int status = (**it)();
      if (status != 0) return status;
    }
  }
  for (_PVFV* it = __xc_a; it < __xc_z; ++it) {
    if (*it != nullptr) (**it)();
  }
  return 0;
}

int __cdecl atexit(_PVFV function) {
  if (!__vantrel_module_is_dll) return _crt_atexit(function);
  return _register_onexit_function(&__vantrel_module_exit_table,
                                   reinterpret_cast<_onexit_t>(function)) == 0
             ? 0
             : -1;
}

_onexit_t __cdecl _onexit(_onexit_t function) {
  if (!__vantrel_module_is_dll) {
    return _crt_atexit(reinterpret_cast<_PVFV>(function)) == 0 ? function
                                                               : nullptr;
  }
  return _register_onexit_function(&__vantrel_module_exit_table, function) == 0
             ? function
             : nullptr;
}
}
