// <wchar.h> in the Universal C runtime's shape. Wine's own wchar.h makes
// mbstate_t an int; the STL (and every program built against Microsoft's
// headers) uses struct _Mbstatet, which is what crosses into the runtime.
// So this header takes Wine's pieces and declares the rest itself.
#ifndef VANTREL_MSVC_WCHAR_H
#define VANTREL_MSVC_WCHAR_H

#include <vcruntime.h>
#include <corecrt_wctype.h>
#include <corecrt_wdirect.h>
#include <corecrt_wio.h>
#include <corecrt_wprocess.h>
#include <corecrt_wstdio.h>
#include <corecrt_wstdlib.h>
#include <corecrt_wstring.h>
#include <corecrt_wtime.h>
#include <sys/stat.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef WCHAR_MIN
#define WCHAR_MIN 0x0000
#define WCHAR_MAX 0xffff
#endif

#ifndef _WLOCALE_DEFINED
#define _WLOCALE_DEFINED
_ACRTIMP wchar_t* __cdecl _wsetlocale(int, const wchar_t*);
#endif

_ACRTIMP wint_t __cdecl btowc(int);
_ACRTIMP size_t __cdecl mbrlen(const char*, size_t, mbstate_t*);
_ACRTIMP size_t __cdecl mbrtowc(wchar_t*, const char*, size_t, mbstate_t*);
_ACRTIMP size_t __cdecl mbsrtowcs(wchar_t*, const char**, size_t, mbstate_t*);
_ACRTIMP size_t __cdecl wcrtomb(char*, wchar_t, mbstate_t*);
_ACRTIMP size_t __cdecl wcsrtombs(char*, const wchar_t**, size_t, mbstate_t*);
_ACRTIMP int __cdecl wctob(wint_t);
_ACRTIMP errno_t __cdecl wmemcpy_s(wchar_t*, size_t, const wchar_t*, size_t);
_ACRTIMP errno_t __cdecl wmemmove_s(wchar_t*, size_t, const wchar_t*, size_t);
_ACRTIMP long double __cdecl _wcstold_l(const wchar_t*, wchar_t**, _locale_t);

static __inline int __cdecl fwide(FILE* file, int mode) {
  (void)file;
  return mode;
}
static __inline int __cdecl mbsinit(const mbstate_t* state) {
  return state == NULL || state->_Wchar == 0;
}
static __inline long double __cdecl wcstold(const wchar_t* text,
                                            wchar_t** end) {
  return _wcstold_l(text, end, NULL);
}
static __inline int __cdecl vfwscanf(FILE* file, const wchar_t* format,
                                     va_list args) {
  return __stdio_common_vfwscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, file,
                                 format, NULL, args);
}
static __inline int __cdecl vswscanf(const wchar_t* buffer,
                                     const wchar_t* format, va_list args) {
  return __stdio_common_vswscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, buffer,
                                 (size_t)-1, format, NULL, args);
}
static __inline int __cdecl vwscanf(const wchar_t* format, va_list args) {
  return vfwscanf(stdin, format, args);
}

static __inline wchar_t* __cdecl wmemchr(const wchar_t* s, wchar_t c,
                                         size_t n) {
  for (; n != 0; ++s, --n) {
    if (*s == c) return (wchar_t*)s;
  }
  return NULL;
}
static __inline int __cdecl wmemcmp(const wchar_t* a, const wchar_t* b,
                                    size_t n) {
  for (; n != 0; ++a, ++b, --n) {
    if (*a != *b) return *a < *b ? -1 : 1;
  }
  return 0;
}
static __inline wchar_t* __cdecl wmemcpy(wchar_t* d, const wchar_t* s,
                                         size_t n) {
  return (wchar_t*)memcpy(d, s, n * sizeof(wchar_t));
}
static __inline wchar_t* __cdecl wmemmove(wchar_t* d, const wchar_t* s,
                                          size_t n) {
  return (wchar_t*)memmove(d, s, n * sizeof(wchar_t));
}
static __inline wchar_t* __cdecl wmemset(wchar_t* s, wchar_t c, size_t n) {
  size_t i;
  for (i = 0; i < n; ++i) s[i] = c;
  return s;
}

#ifdef __cplusplus
}
#endif
#endif
