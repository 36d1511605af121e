// std::exception and its first derived classes in the layout of the Visual
// C++ runtime: a vftable and a { what, owned } pair whose copy and release
// are done by vcruntime140.dll, so that an exception thrown by one module
// (msvcp140.dll included) is read and destroyed correctly by another.
#ifndef VANTREL_MSVC_VCRUNTIME_EXCEPTION_H
#define VANTREL_MSVC_VCRUNTIME_EXCEPTION_H

#include <eh.h>
#include <vcruntime.h>

#pragma pack(push, _CRT_PACKING)

_CRT_BEGIN_C_HEADER
struct __std_exception_data {
  const char* _What;
  bool _DoFree;
};
_VCRTIMP void __cdecl __std_exception_copy(const struct __std_exception_data*,
                                           struct __std_exception_data*);
_VCRTIMP void __cdecl __std_exception_destroy(struct __std_exception_data*);
_CRT_END_C_HEADER

namespace std {

class exception {
 public:
  exception() noexcept : _Data() {}
  explicit exception(const char* const _Message) noexcept : _Data() {
    const __std_exception_data _Init = {_Message, true};
    __std_exception_copy(&_Init, &_Data);
  }
  // Keeps the pointer without copying: for texts that live forever.
  exception(const char* const _Message, int) noexcept : _Data() {
    _Data._What = _Message;
  }
  exception(const exception& _Other) noexcept : _Data() {
    __std_exception_copy(&_Other._Data, &_Data);
  }
  exception& operator=(const exception& _Other) noexcept {
    if (this != &_Other) {
      __std_exception_destroy(&_Data);
      __std_exception_copy(&_Other._Data, &_Data);
    }
    return *this;
  }
  virtual ~exception() noexcept { __std_exception_destroy(&_Data); }
  _NODISCARD virtual const char* what() const {
    return _Data._What ? _Data._What : "Unknown exception";
  }

 private:
  __std_exception_data _Data;
};

class bad_exception : public exception {
 public:
  bad_exception() noexcept : exception("bad exception", 1) {}
};

class bad_alloc : public exception {
 public:
  bad_alloc() noexcept : exception("bad allocation", 1) {}

 private:
  friend class bad_array_new_length;
  bad_alloc(const char* const _Message) noexcept : exception(_Message, 1) {}
};

class bad_array_new_length : public bad_alloc {
 public:
  bad_array_new_length() noexcept : bad_alloc("bad array new length") {}
};

}  // namespace std

#pragma pack(pop)
#endif
