// The Visual C++ runtime's base header, written for this project: the
// macros and types that Microsoft's open-source STL and the Universal C
// runtime headers expect of it. Wine's corecrt.h supplies the C runtime's
// share (size_t, the calling conventions, _ACRTIMP).
#ifndef VANTREL_MSVC_VCRUNTIME_H
#define VANTREL_MSVC_VCRUNTIME_H
#define _VCRUNTIME_H

#include <sal.h>
#include <vadefs.h>

#define _VCRT_COMPILER_PREPROCESSOR 1
#define _CRT_PACKING 8
#pragma pack(push, _CRT_PACKING)

#ifdef __cplusplus
#define _CRT_BEGIN_C_HEADER extern "C" {
#define _CRT_END_C_HEADER }
#else
#define _CRT_BEGIN_C_HEADER
#define _CRT_END_C_HEADER
#endif

#define _VCRTIMP __declspec(dllimport)
#define _VCRT_NOALIAS __declspec(noalias)
#define _VCRT_RESTRICT __declspec(restrict)
#define _VCRT_ALLOCATOR __declspec(allocator)
#define _VCRT_JIT_INTRINSIC
#define _VCRT_ALIGN(x) __declspec(align(x))
// The attribute that lets Microsoft's compiler evaluate placement new in a
// constant expression (the STL's C++20 construct_at); clang has no such
// attribute and needs none.
#ifndef _MSVC_CONSTEXPR
#define _MSVC_CONSTEXPR
#endif
#define _CRT_ALIGN(x) __declspec(align(x))
#define _CRT_UNUSED(x) ((void)(x))
#define _CRT_HYBRIDPATCHABLE
#define _CRT_GUARDOVERFLOW
#define _CRT_NOEXCEPT_VALUE 1
#define _CRT_INSECURE_DEPRECATE(replacement)
#define _CRT_INSECURE_DEPRECATE_MEMORY(replacement)
#define _CRT_DEPRECATE_TEXT(text) __declspec(deprecated(text))
#ifndef __CRTDECL
#define __CRTDECL __cdecl
#endif
#ifndef _HAS_EXCEPTIONS
#define _HAS_EXCEPTIONS 1
#endif
#ifndef _CRT_STRINGIZE
#define _CRT_STRINGIZE_(x) #x
#define _CRT_STRINGIZE(x) _CRT_STRINGIZE_(x)
#endif
#ifndef _CRT_WIDE
#define _CRT_WIDE_(s) L##s
#define _CRT_WIDE(s) _CRT_WIDE_(s)
#endif
// The file name as a wide string: the debug STL's assertions report it.
#ifndef __FILEW__
#define __FILEW__ _CRT_WIDE(__FILE__)
#endif
#define _CRT_CONCATENATE_(a, b) a##b
#define _CRT_CONCATENATE(a, b) _CRT_CONCATENATE_(a, b)
#define _CRT_UNPARENTHESIZE_(...) __VA_ARGS__
#define _CRT_UNPARENTHESIZE(...) _CRT_UNPARENTHESIZE_ __VA_ARGS__
#ifndef _CRT_DECLARE_NONSTDC_NAMES
#define _CRT_DECLARE_NONSTDC_NAMES 1
#endif
#ifndef _UNALIGNED
#define _UNALIGNED __unaligned
#endif

#include <corecrt.h>

#ifdef __cplusplus
extern "C++" {
template <typename T, size_t N>
char (*__countof_helper(_UNALIGNED T (&array)[N]))[N];
}
#define __crt_countof(array) (sizeof(*__countof_helper(array)) + 0)
#else
#define __crt_countof(array) (sizeof(array) / sizeof(array[0]))
#endif
#ifndef _countof
#define _countof __crt_countof
#endif

_CRT_BEGIN_C_HEADER
// The multibyte conversion state, as the Universal C runtime lays it out.
#ifndef _MBSTATET_DEFINED
#define _MBSTATET_DEFINED
typedef struct _Mbstatet {
  unsigned long _Wchar;
  unsigned short _Byte, _State;
} _Mbstatet;
#endif
typedef _Mbstatet mbstate_t;

// The /GS security cookie; the start-up library holds it.
extern uintptr_t __security_cookie;
#ifdef __cplusplus
void __cdecl __security_init_cookie(void);
void __cdecl __security_check_cookie(uintptr_t cookie);
__declspec(noreturn) void __cdecl __report_gsfailure(uintptr_t cookie);
#endif
_CRT_END_C_HEADER

// The STL's own exports are reached through msvcprt's import library.
#ifndef _CRTIMP2
#define _CRTIMP2
#endif

// Functions of the STL's satellite DLLs (msvcp140_1.dll, _2, codecvt_ids).
#define _CRT_SATELLITE_1 __declspec(dllimport)
#define _CRT_SATELLITE_2 __declspec(dllimport)
#define _CRT_SATELLITE_CODECVT_IDS __declspec(dllimport)
#define _CRT_SATELLITE_CODECVT_IDS_NOIMPORT

#ifndef _MRTIMP2
#define _MRTIMP2
#endif

// Managed code is not built here: these are the native spellings.
#define __CLR_OR_THIS_CALL
#define __CLRCALL_OR_CDECL __cdecl
#define __CLRCALL_PURE_OR_CDECL __cdecl
#define _PGLOBAL

#ifndef _HAS_NODISCARD
#define _HAS_NODISCARD 1
#endif
#if _HAS_NODISCARD
#define _NODISCARD [[nodiscard]]
#else
#define _NODISCARD
#endif

// The language level, from /std:c++NN (_MSVC_LANG), for the STL.
#ifdef _MSVC_LANG
#define _STL_LANG _MSVC_LANG
#elif defined(__cplusplus)
#define _STL_LANG __cplusplus
#else
#define _STL_LANG 0L
#endif
#ifndef _HAS_CXX17
#if _STL_LANG > 201402L
#define _HAS_CXX17 1
#else
#define _HAS_CXX17 0
#endif
#endif
#ifndef _HAS_CXX20
#if _HAS_CXX17 && _STL_LANG > 201703L
#define _HAS_CXX20 1
#else
#define _HAS_CXX20 0
#endif
#endif
#ifndef _HAS_CXX23
#if _HAS_CXX20 && _STL_LANG > 202002L
#define _HAS_CXX23 1
#else
#define _HAS_CXX23 0
#endif
#endif

_CRT_BEGIN_C_HEADER
__declspec(dllimport) __declspec(
    noreturn) void __cdecl _invalid_parameter_noinfo_noreturn(void);
_CRT_END_C_HEADER
#define _CRT_SECURE_INVALID_PARAMETER(expr) _invalid_parameter_noinfo_noreturn()

#ifndef _CRT_FUNCTIONS_REQUIRED
#define _CRT_FUNCTIONS_REQUIRED 1
#endif

#pragma pack(pop)
#endif
