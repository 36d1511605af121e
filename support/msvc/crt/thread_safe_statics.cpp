// Thread-safe initialisation of function-local statics, as the compiler
// calls it for the Microsoft ABI. A guard is 0 before, -1 during and the
// global epoch after its initialisation; each thread keeps the epoch it
// has seen last in _Init_thread_epoch, so that an initialised static costs
// one comparison.
#include <limits.h>
#include <windows.h>

namespace {
SRWLOCK lock = SRWLOCK_INIT;
CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
constexpr int kUninitialized = 0;
constexpr int kBeingInitialized = -1;
}  // namespace

extern "C" {
int _Init_global_epoch = INT_MIN;
__declspec(thread) int _Init_thread_epoch = INT_MIN;

void __cdecl _Init_thread_header(int* guard) {
  AcquireSRWLockExclusive(&lock);
  if (*guard == kUninitialized) {
    *guard = kBeingInitialized;
  } else {
    while (*guard == kBeingInitialized) {
      SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
      if (*guard == kUninitialized) {
        // The initialising thread threw: this thread tries next.
        *guard = kBeingInitialized;
        ReleaseSRWLockExclusive(&lock);
        return;
      }
    }
    _Init_thread_epoch = _Init_global_epoch;
  }
  ReleaseSRWLockExclusive(&lock);
}

void __cdecl _Init_thread_footer(int* guard) {
  AcquireSRWLockExclusive(&lock);
  ++_Init_global_epoch;
  *guard = _Init_global_epoch;
  _Init_thread_epoch = _Init_global_epoch;
  ReleaseSRWLockExclusive(&lock);
  WakeAllConditionVariable(&changed);
}

void __cdecl _Init_thread_abort(int* guard) {
  AcquireSRWLockExclusive(&lock);
  *guard = kUninitialized;
  ReleaseSRWLockExclusive(&lock);
  WakeAllConditionVariable(&changed);
}
}
