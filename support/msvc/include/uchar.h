// <uchar.h>: Wine's declares char16_t and char32_t as typedefs, which C++
// has as keywords; these are the four conversions of the C runtime.
#ifndef VANTREL_MSVC_UCHAR_H
#define VANTREL_MSVC_UCHAR_H

#include <wchar.h>

#ifndef __cplusplus
typedef unsigned short char16_t;
typedef unsigned int char32_t;
#endif

#ifdef __cplusplus
extern "C" {
#endif
_ACRTIMP size_t __cdecl mbrtoc16(char16_t*, const char*, size_t, mbstate_t*);
_ACRTIMP size_t __cdecl c16rtomb(char*, char16_t, mbstate_t*);
_ACRTIMP size_t __cdecl mbrtoc32(char32_t*, const char*, size_t, mbstate_t*);
_ACRTIMP size_t __cdecl c32rtomb(char*, char32_t, mbstate_t*);
#ifdef __cplusplus
}
#endif
#endif
