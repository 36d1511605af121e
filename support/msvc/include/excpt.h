// <excpt.h>: Wine's, with the compiler's structured-exception intrinsics
// (GetExceptionCode and its kin) switched on, as the Windows SDK has them
// for Microsoft-compatible compilers.
#ifndef VANTREL_MSVC_EXCPT_H
#define VANTREL_MSVC_EXCPT_H
#ifndef USE_COMPILER_EXCEPTIONS
#define USE_COMPILER_EXCEPTIONS
#endif
#include_next <excpt.h>
#endif
