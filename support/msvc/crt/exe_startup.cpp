// The entry point of a console program: sets the stack cookie, prepares
// the arguments and the environment, runs the module's initialisers, calls
// main and passes its result to exit(), which runs the exit functions.

#include "startup_common.h"

// The load-configuration directory (load_config.c): the linker writes the
// PE's LoadConfigTable entry only when the symbol is part of the link.
#pragma comment(linker, "/include:_load_config_used")

extern "C" {
__declspec(dllimport) int __cdecl _configure_narrow_argv(int);
__declspec(dllimport) int __cdecl _initialize_narrow_environment(void);
__declspec(dllimport) int* __cdecl __p___argc(void);
__declspec(dllimport) char*** __cdecl __p___argv(void);
__declspec(dllimport) char*** __cdecl __p__environ(void);
__declspec(dllimport) void __cdecl _set_app_type(int);
int __cdecl main(int, char**, char**);
}

extern "C" int mainCRTStartup(void) {
  __security_init_cookie();
  _set_app_type(1);           // a console program
  _configure_narrow_argv(1);  // arguments as given, no wildcard expansion
  _initialize_narrow_environment();
  const int status = __vantrel_run_initializers();
  if (status != 0) exit(status);
  exit(main(*__p___argc(), *__p___argv(), *__p__environ()));
}
