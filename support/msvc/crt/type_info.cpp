// What the compiler expects of type_info in every module: its destructor
// and vftable (every RTTI descriptor points at the vftable), the root of
// the cache of demangled names, and _fltused, which marks a module that
// uses floating point.
#include <intrin.h>

#include <typeinfo>

type_info::~type_info() noexcept {}

namespace {
// The vftable's one slot, the deleting destructor. type_info objects are
// the compiler's constants and are never deleted; reaching it is a fault.
void* __cdecl DeleteTypeInfo(type_info*, unsigned) { __fastfail(7); }
}  // namespace

// The vftable under its decorated name: the compiler emits only references
// to it, as type_info has no constructor that would emit it.
extern "C" const void* const vantrel_type_info_vftable[1] __asm__(
    "??_7type_info@@6B@") = {reinterpret_cast<const void*>(&DeleteTypeInfo)};

extern "C" {
struct __type_info_node {
  void* _MemPtr;
  __type_info_node* _Next;
};
__type_info_node __type_info_root_node = {nullptr, nullptr};
int _fltused = 0x9875;
}
