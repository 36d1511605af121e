// The global allocation functions on the C runtime's malloc and free, as
// the Visual C++ runtime defines them: every module of a process allocates
// from ucrtbase.dll's one heap, so storage may change hands between a DLL
// and its host. They are weak definitions, so that a module may replace
// any of them, as C++ allows, without clashing with the others. As the
// standard says of the default versions, the array and nothrow forms call
// the single-object form (operator new(size_t), or its aligned form), and
// the other deallocation forms call operator delete(void*) (or its aligned
// form): a module that replaces only those two sees every allocation.
#include <malloc.h>
#include <stdlib.h>

#include <new>

// ucrtbase.dll's new handler: calls the handler installed with
// std::set_new_handler (or _set_new_handler); 0 when there is none.
extern "C" __declspec(dllimport) int __cdecl _callnewh(size_t);

namespace {
void* Allocate(size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* p = malloc(size)) return p;
    if (_callnewh(size) == 0) throw std::bad_alloc();
  }
}
void* AllocateAligned(size_t size, std::align_val_t align) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* p = _aligned_malloc(size, static_cast<size_t>(align))) return p;
    if (_callnewh(size) == 0) throw std::bad_alloc();
  }
}
}  // namespace

#define VANTREL_REPLACEABLE __attribute__((weak))

VANTREL_REPLACEABLE void* __CRTDECL operator new(size_t size) {
  return Allocate(size);
}
VANTREL_REPLACEABLE void* __CRTDECL operator new[](size_t size) {
  return operator new(size);
}
VANTREL_REPLACEABLE void* __CRTDECL
operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
VANTREL_REPLACEABLE void* __CRTDECL
operator new[](size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new[](size);
  } catch (...) {
    return nullptr;
  }
}
VANTREL_REPLACEABLE void __CRTDECL operator delete(void* p) noexcept {
  free(p);
}
VANTREL_REPLACEABLE void __CRTDECL operator delete[](void* p) noexcept {
  operator delete(p);
}
VANTREL_REPLACEABLE void __CRTDECL operator delete(void* p, size_t) noexcept {
  operator delete(p);
}
VANTREL_REPLACEABLE void __CRTDECL operator delete[](void* p, size_t) noexcept {
  operator delete[](p);
}
VANTREL_REPLACEABLE void __CRTDECL
operator delete(void* p, const std::nothrow_t&) noexcept {
  operator delete(p);
}
VANTREL_REPLACEABLE void __CRTDECL
operator delete[](void* p, const std::nothrow_t&) noexcept {
  operator delete[](p);
}

VANTREL_REPLACEABLE void* __CRTDECL operator new(size_t size,
                                                 std::align_val_t align) {
  return AllocateAligned(size, align);
}
VANTREL_REPLACEABLE void* __CRTDECL operator new[](size_t size,
                                                   std::align_val_t align) {
  return operator new(size, align);
}
VANTREL_REPLACEABLE void* __CRTDECL operator new(
    size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  try {
    return operator new(size, align);
  } catch (...) {
    return nullptr;
  }
}
VANTREL_REPLACEABLE void* __CRTDECL operator new[](
    size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  try {
    return operator new[](size, align);
  } catch (...) {
    return nullptr;
  }
}
VANTREL_REPLACEABLE void __CRTDECL operator delete(void* p,
                                                   std::align_val_t) noexcept {
  _aligned_free(p);
}
VANTREL_REPLACEABLE void __CRTDECL
operator delete[](void* p, std::align_val_t align) noexcept {
  operator delete(p, align);
}
VANTREL_REPLACEABLE void __CRTDECL
operator delete(void* p, size_t, std::align_val_t align) noexcept {
  operator delete(p, align);
}
VANTREL_REPLACEABLE void __CRTDECL
operator delete[](void* p, size_t, std::align_val_t align) noexcept {
  operator delete[](p, align);
}
VANTREL_REPLACEABLE void __CRTDECL operator delete(
    void* p, std::align_val_t align, const std::nothrow_t&) noexcept {
  operator delete(p, align);
}
VANTREL_REPLACEABLE void __CRTDECL operator delete[](
    void* p, std::align_val_t align, const std::nothrow_t&) noexcept {
  operator delete[](p, align);
}
