// <time.h>: Wine's, plus C11's timespec and timespec_get, which <ctime>
// brings into namespace std, and the secure localtime_s and gmtime_s.
// time_t is 64 bits, so these are the runtime's 64-bit functions.
#ifndef VANTREL_MSVC_TIME_H
#define VANTREL_MSVC_TIME_H
#include_next <time.h>
#ifdef __cplusplus
extern "C" {
#endif
#ifndef _CRT_TIMESPEC_DEFINED
#define _CRT_TIMESPEC_DEFINED
struct timespec {
  time_t tv_sec;
  long tv_nsec;
};
#endif
#ifndef TIME_UTC
#define TIME_UTC 1
#endif
_ACRTIMP int __cdecl _timespec64_get(struct timespec*, int);
_ACRTIMP errno_t __cdecl _gmtime64_s(struct tm*, const __time64_t*);
static __inline errno_t __cdecl localtime_s(struct tm* result,
                                            const time_t* time) {
  return _localtime64_s(result, time);
}
static __inline errno_t __cdecl gmtime_s(struct tm* result,
                                         const time_t* time) {
  return _gmtime64_s(result, time);
}
static __inline int __cdecl timespec_get(struct timespec* time, int base) {
  return _timespec64_get(time, base);
}
#ifdef __cplusplus
}
#endif
#endif
