// The load-configuration directory (_load_config_used), which the linker
// points the PE's LoadConfigTable entry at, and the two Control Flow Guard
// function pointers that it names.
//
// With /guard:cf the compiler sends every indirect call through
// __guard_dispatch_icall_fptr (x64) and the linker writes the table of
// valid call targets (__guard_fids_table), its size and __guard_flags. On a
// Windows that enforces Control Flow Guard the loader replaces the pointer
// with its checking dispatcher; elsewhere (an older Windows, Wine, a module
// linked without /guard:cf) the pointers keep the do-nothing functions
// below. The directory also gives the loader the /GS cookie to initialise.
#include <stdint.h>

extern uintptr_t __security_cookie;

// Defined by the linker.
extern void* __guard_fids_table;
extern char __guard_fids_count;
extern char __guard_flags;
extern void* __guard_iat_table;
extern char __guard_iat_count;
extern void* __guard_longjmp_table;
extern char __guard_longjmp_count;

// The checking functions of a Windows without Control Flow Guard: the
// target is in rcx (check) or rax (dispatch, which then jumps to it).
void __cdecl _guard_check_icall_nop(uintptr_t target) { (void)target; }
__attribute__((naked)) void __cdecl _guard_dispatch_icall_nop(void) {
  __asm__ volatile("jmp *%rax");
}

#pragma section(".00cfg", read)
__declspec(allocate(".00cfg")) void (*__guard_check_icall_fptr)(uintptr_t) =
    _guard_check_icall_nop;
__declspec(allocate(".00cfg")) void (*__guard_dispatch_icall_fptr)(void) =
    _guard_dispatch_icall_nop;

// IMAGE_LOAD_CONFIG_DIRECTORY64 up to the long-jump target table (the
// layout of Windows 10's headers; Wine's lack the newer fields).
typedef struct {
  uint32_t Size;
  uint32_t TimeDateStamp;
  uint16_t MajorVersion;
  uint16_t MinorVersion;
  uint32_t GlobalFlagsClear;
  uint32_t GlobalFlagsSet;
  uint32_t CriticalSectionDefaultTimeout;
  uint64_t DeCommitFreeBlockThreshold;
  uint64_t DeCommitTotalFreeThreshold;
  uint64_t LockPrefixTable;
  uint64_t MaximumAllocationSize;
  uint64_t VirtualMemoryThreshold;
  uint64_t ProcessAffinityMask;
  uint32_t ProcessHeapFlags;
  uint16_t CSDVersion;
  uint16_t DependentLoadFlags;
  uint64_t EditList;
  uint64_t SecurityCookie;
  uint64_t SEHandlerTable;
  uint64_t SEHandlerCount;
  uint64_t GuardCFCheckFunctionPointer;
  uint64_t GuardCFDispatchFunctionPointer;
  uint64_t GuardCFFunctionTable;
  uint64_t GuardCFFunctionCount;
  // GuardFlags (32 bits) and the first half of CodeIntegrity (Flags and
  // Catalog, 16 bits each, zero): one 64-bit field here, because the
  // address of an absolute symbol is a constant only at its full width.
  // The flags are below 2^32, so the upper half stays zero.
  uint64_t GuardFlagsAndCodeIntegrityHead;
  uint32_t CodeIntegrityCatalogOffset;
  uint32_t CodeIntegrityReserved;
  uint64_t GuardAddressTakenIatEntryTable;
  uint64_t GuardAddressTakenIatEntryCount;
  uint64_t GuardLongJumpTargetTable;
  uint64_t GuardLongJumpTargetCount;
} vantrel_load_config_directory;

_Static_assert(sizeof(vantrel_load_config_directory) == 0xC0,
               "the load-configuration directory has Windows 10's layout");

const vantrel_load_config_directory _load_config_used = {
    sizeof(vantrel_load_config_directory),
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    (uint64_t)&__security_cookie,
    0, 0,
    (uint64_t)&__guard_check_icall_fptr,
    (uint64_t)&__guard_dispatch_icall_fptr,
    (uint64_t)&__guard_fids_table,
    (uint64_t)&__guard_fids_count,
    (uint64_t)&__guard_flags,
    0, 0,
    (uint64_t)&__guard_iat_table,
    (uint64_t)&__guard_iat_count,
    (uint64_t)&__guard_longjmp_table,
    (uint64_t)&__guard_longjmp_count};
