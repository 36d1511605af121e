// The /GS stack cookie: a per-process random value that the compiler's
// function epilogues compare against the copy on the stack.
#include <stdint.h>
#include <windows.h>

// The start-up library calls kernel32.dll, and says so, as Microsoft's does:
// a link that names no libraries of its own (CMake's detection of the
// compiler's ABI, for one) still resolves the calls.
#pragma comment(lib, "kernel32.lib")

#define VANTREL_DEFAULT_COOKIE 0x00002B992DDFA232ull

uintptr_t __security_cookie = VANTREL_DEFAULT_COOKIE;
uintptr_t __security_cookie_complement = ~VANTREL_DEFAULT_COOKIE;

void __cdecl __security_init_cookie(void) {
  if (__security_cookie != VANTREL_DEFAULT_COOKIE) return;
  FILETIME time;
  LARGE_INTEGER counter;
  GetSystemTimeAsFileTime(&time);
  QueryPerformanceCounter(&counter);
  uintptr_t cookie = ((uintptr_t)time.dwHighDateTime << 32) ^
                     time.dwLowDateTime ^ GetCurrentThreadId() ^
                     GetCurrentProcessId() ^ (uintptr_t)counter.QuadPart;
  cookie ^= (uintptr_t)&cookie;
  cookie &= 0x0000FFFFFFFFFFFFull;
  if (cookie == VANTREL_DEFAULT_COOKIE || cookie == 0) cookie ^= 0x4711;
  __security_cookie = cookie;
  __security_cookie_complement = ~cookie;
}

__declspec(noreturn) void __cdecl __report_gsfailure(uintptr_t cookie) {
  (void)cookie;
  // A stack buffer overrun: end the process at once, as the runtime does.
  __fastfail(2);  // FAST_FAIL_STACK_COOKIE_CHECK_FAILURE
}

void __cdecl __security_check_cookie(uintptr_t cookie) {
  if (cookie != __security_cookie) __report_gsfailure(cookie);
}
