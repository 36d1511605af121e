// <winnt.h>: Wine's, with two mends for a compiler that is MSVC-compatible.
// WCHAR is wchar_t, as in the Windows SDK (Wine's default, unsigned short
// or char16_t, makes every wide API call a type error in C++). And Wine
// defines _InterlockedCompareExchange128 as an inline function for clang,
// which clang-cl already has as a built-in: Wine's copy is renamed away.
#ifndef VANTREL_MSVC_WINNT_H
#define VANTREL_MSVC_WINNT_H
#ifndef WINE_UNICODE_NATIVE
#define WINE_UNICODE_NATIVE
#endif
#define _InterlockedCompareExchange128 \
  __vantrel_wine_InterlockedCompareExchange128
#include_next <winnt.h>
#undef _InterlockedCompareExchange128
#undef InterlockedCompareExchange128
#define InterlockedCompareExchange128 _InterlockedCompareExchange128
#endif
