// <stdio.h>: Wine's, plus the C99 scanf family that takes a va_list, on the
// runtime's common entry points as the Universal C runtime's header does,
// and the stream-buffer accessor that <fstream> uses.
#ifndef VANTREL_MSVC_STDIO_H
#define VANTREL_MSVC_STDIO_H

#include_next <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif
_ACRTIMP errno_t __cdecl _get_stream_buffer_pointers(FILE*, char***, char***,
                                                     int**);
static __inline int __cdecl vfscanf(FILE* file, const char* format,
                                    va_list args) {
  return __stdio_common_vfscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, file, format,
                                NULL, args);
}
static __inline int __cdecl vsscanf(const char* buffer, const char* format,
                                    va_list args) {
  return __stdio_common_vsscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, buffer,
                                (size_t)-1, format, NULL, args);
}
static __inline int __cdecl vscanf(const char* format, va_list args) {
  return vfscanf(stdin, format, args);
}
#ifdef __cplusplus
}
#endif
#endif
