// <stdlib.h>: Wine's, with two mends.
//
// atexit and _onexit are declared without dllimport: in a DLL they must
// reach the module's own table (kept by the start-up library, run when the
// DLL is unloaded), not the process-wide one in ucrtbase.dll, which would
// run the DLL's destructors at process exit, long after an unload, in the
// wrong order. The compiler registers static destructors through atexit,
// so this decides when a DLL's constants are destroyed.
//
// quick_exit, at_quick_exit, _set_abort_behavior and _dupenv_s, which
// Wine's header lacks, are added.
#ifndef VANTREL_MSVC_STDLIB_H
#define VANTREL_MSVC_STDLIB_H

#define atexit __vantrel_wine_atexit
#define _onexit __vantrel_wine_onexit
#include_next <stdlib.h>
#include <errno.h>
#undef atexit
#undef _onexit

#ifdef __cplusplus
extern "C" {
#endif
int __cdecl atexit(void(__cdecl*)(void));
_onexit_t __cdecl _onexit(_onexit_t);
_ACRTIMP __declspec(noreturn) void __cdecl quick_exit(int);
_ACRTIMP unsigned int __cdecl _set_abort_behavior(unsigned int, unsigned int);
_ACRTIMP errno_t __cdecl _dupenv_s(char**, size_t*, const char*);
_ACRTIMP int __cdecl _crt_at_quick_exit(void(__cdecl*)(void));
static __inline int __cdecl at_quick_exit(void(__cdecl* function)(void)) {
  return _crt_at_quick_exit(function);
}
#ifdef __cplusplus
}
#endif
#endif
