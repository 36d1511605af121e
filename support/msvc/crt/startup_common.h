// What the start-up code of a DLL and of an EXE share: the initialiser
// lists, the module's exit-function table and the runtime's start-up
// functions. Each module links its own copy (this is a static library).
#ifndef VANTREL_MSVC_STARTUP_COMMON_H
#define VANTREL_MSVC_STARTUP_COMMON_H

#include <stdlib.h>
#include <windows.h>

#pragma comment(lib, "kernel32.lib")  // see security_cookie.c

typedef void(__cdecl* _PVFV)(void);

extern "C" {
struct _onexit_table_t {
  _PVFV* _first;
  _PVFV* _last;
  _PVFV* _end;
};
__declspec(dllimport) int __cdecl _initialize_onexit_table(_onexit_table_t*);
__declspec(dllimport) int __cdecl _register_onexit_function(_onexit_table_t*,
                                                            _onexit_t);
__declspec(dllimport) int __cdecl _execute_onexit_table(_onexit_table_t*);
__declspec(dllimport) int __cdecl _crt_atexit(_PVFV);
void __cdecl __security_init_cookie(void);

// Set by the DLL entry point before the initialisers run: exit functions
// then go to the module's own table, which it runs on the process detach.
extern bool __vantrel_module_is_dll;
extern _onexit_table_t __vantrel_module_exit_table;

// Runs the C initialisers, then the C++ ones (the constructors of the
// module's static objects); a C initialiser's non-zero result stops it.
int __cdecl __vantrel_run_initializers(void);
}

#endif
