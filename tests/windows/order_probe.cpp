// A DLL built from the library's own vocabulary object, like Vantrel.dll,
// that reports to the program loading it, as they happen: every global
// operator new and delete, and DllMain's process attach and detach. The
// program exports the receiver, vantrel_order_event; this DLL finds it
// through the program's module.
//
// It shows the order in which the C runtime creates the vocabulary's
// constants (before DllMain sees the attach) and destroys them (after
// DllMain has seen the detach, when the DLL is unloaded: not at process
// exit).

#include <windows.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

#include "vocabulary/vocabulary.h"

namespace {

using Receiver = void (*)(int event, const void* pointer, std::size_t size);

// The events, as the receiver gets them.
enum Event { kNew = 1, kDelete = 2, kAttach = 3, kDetach = 4 };

// The pointer is passed as void*: GCC takes a const void* argument for a
// read of the (fresh, unwritten) block it points to.
void Report(int event, void* pointer, std::size_t size) {
  static Receiver receiver = nullptr;  // constant-initialised
  if (receiver == nullptr) {
    const FARPROC proc =
        GetProcAddress(GetModuleHandleW(nullptr), "vantrel_order_event");
    if (proc == nullptr) return;
    receiver = reinterpret_cast<Receiver>(reinterpret_cast<void (*)()>(proc));
  }
  receiver(event, pointer, size);
}

}  // namespace

void* operator new(std::size_t size) {
  void* const pointer = std::malloc(size == 0 ? 1 : size);
  if (pointer == nullptr) throw std::bad_alloc();
  Report(kNew, pointer, size);
  return pointer;
}

void operator delete(void* pointer) noexcept {
  if (pointer != nullptr) Report(kDelete, pointer, 0);
  std::free(pointer);
}

void operator delete(void* pointer, std::size_t) noexcept {
  operator delete(pointer);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) Report(kAttach, nullptr, 0);
  if (reason == DLL_PROCESS_DETACH) Report(kDetach, nullptr, 0);
  return TRUE;
}

// The number of constants, each named by its address, so that the
// vocabulary object is linked in.
extern "C" __declspec(dllexport) std::size_t vantrel_order_probe_count() {
  const std::string* const words[] = {
#define VANTREL_WORD(group, identifier, text) \
  &vantrel::vocabulary::group::identifier,
#include "vocabulary/vocabulary_list.inc"
#undef VANTREL_WORD
  };
  std::size_t count = 0;
  for (const std::string* word : words) {
    if (word != nullptr) ++count;
  }
  return count;
}
