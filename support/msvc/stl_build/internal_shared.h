// The definitions that the STL sources built into msvcprt.lib take from
// the Visual C++ runtime's internal header: a marker for data kept per
// application domain in managed builds (nothing in native ones), and an
// owning pointer to storage from the C runtime's malloc.
#ifndef VANTREL_MSVC_INTERNAL_SHARED_H
#define VANTREL_MSVC_INTERNAL_SHARED_H

#include <stdlib.h>

#define __PURE_APPDOMAIN_GLOBAL

#ifdef __cplusplus
template <typename T>
class __crt_unique_heap_ptr {
 public:
  __crt_unique_heap_ptr() noexcept : pointer_(nullptr) {}
  explicit __crt_unique_heap_ptr(T* pointer) noexcept : pointer_(pointer) {}
  __crt_unique_heap_ptr(__crt_unique_heap_ptr&& other) noexcept
      : pointer_(other.detach()) {}
  __crt_unique_heap_ptr& operator=(__crt_unique_heap_ptr&& other) noexcept {
    if (this != &other) {
      free(pointer_);
      pointer_ = other.detach();
    }
    return *this;
  }
  __crt_unique_heap_ptr(const __crt_unique_heap_ptr&) = delete;
  __crt_unique_heap_ptr& operator=(const __crt_unique_heap_ptr&) = delete;
  ~__crt_unique_heap_ptr() { free(pointer_); }

  explicit operator bool() const noexcept { return pointer_ != nullptr; }
  T* get() const noexcept { return pointer_; }
  T* detach() noexcept {
    T* const pointer = pointer_;
    pointer_ = nullptr;
    return pointer;
  }

 private:
  T* pointer_;
};

#define _malloc_crt_t(type, count) \
  (__crt_unique_heap_ptr<type>(    \
      static_cast<type*>(malloc(sizeof(type) * (count)))))
#endif

#endif
