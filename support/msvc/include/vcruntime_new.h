// The global allocation functions as the Visual C++ runtime declares them.
// Their definitions (on malloc and free, so that every module of a process
// shares the C runtime's heap) are in the start-up library.
#ifndef VANTREL_MSVC_VCRUNTIME_NEW_H
#define VANTREL_MSVC_VCRUNTIME_NEW_H
#define __NOTHROW_T_DEFINED
#define __PLACEMENT_NEW_INLINE
#define __PLACEMENT_VEC_NEW_INLINE

#include <vcruntime.h>

#pragma pack(push, _CRT_PACKING)

extern "C++" {
namespace std {
#ifdef __cpp_aligned_new
enum class align_val_t : size_t {};
#endif
struct nothrow_t {
  explicit nothrow_t() = default;
};
extern const nothrow_t nothrow;
}  // namespace std

_NODISCARD __declspec(allocator) void* __CRTDECL operator new(size_t);
_NODISCARD __declspec(allocator) void* __CRTDECL operator new(
    size_t, const std::nothrow_t&) noexcept;
_NODISCARD __declspec(allocator) void* __CRTDECL operator new[](size_t);
_NODISCARD __declspec(allocator) void* __CRTDECL operator new[](
    size_t, const std::nothrow_t&) noexcept;
void __CRTDECL operator delete(void*) noexcept;
void __CRTDECL operator delete(void*, const std::nothrow_t&) noexcept;
void __CRTDECL operator delete[](void*) noexcept;
void __CRTDECL operator delete[](void*, const std::nothrow_t&) noexcept;
void __CRTDECL operator delete(void*, size_t) noexcept;
void __CRTDECL operator delete[](void*, size_t) noexcept;
#ifdef __cpp_aligned_new
_NODISCARD __declspec(allocator) void* __CRTDECL operator new(size_t,
                                                              std::align_val_t);
_NODISCARD __declspec(allocator) void* __CRTDECL operator new(
    size_t, std::align_val_t, const std::nothrow_t&) noexcept;
_NODISCARD __declspec(allocator) void* __CRTDECL operator new[](
    size_t, std::align_val_t);
_NODISCARD __declspec(allocator) void* __CRTDECL operator new[](
    size_t, std::align_val_t, const std::nothrow_t&) noexcept;
void __CRTDECL operator delete(void*, std::align_val_t) noexcept;
void __CRTDECL operator delete(void*, std::align_val_t,
                               const std::nothrow_t&) noexcept;
void __CRTDECL operator delete[](void*, std::align_val_t) noexcept;
void __CRTDECL operator delete[](void*, std::align_val_t,
                                 const std::nothrow_t&) noexcept;
void __CRTDECL operator delete(void*, size_t, std::align_val_t) noexcept;
void __CRTDECL operator delete[](void*, size_t, std::align_val_t) noexcept;
#endif

_NODISCARD inline void* __CRTDECL operator new(size_t, void* _Where) noexcept {
  return _Where;
}
inline void __CRTDECL operator delete(void*, void*) noexcept {}
_NODISCARD inline void* __CRTDECL operator new[](size_t,
                                                 void* _Where) noexcept {
  return _Where;
}
inline void __CRTDECL operator delete[](void*, void*) noexcept {}
}  // extern "C++"

#pragma pack(pop)
#endif
