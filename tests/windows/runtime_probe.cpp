// A stand-in DLL built like Vantrel.dll (same compiler, same statically
// linked runtime) that holds one string constant and does nothing else.
// What a load and unload of it leaves behind on the heap belongs to the
// runtime, not to Vantrel; the load-and-unload test compares against it.

#include <cstddef>
#include <string>

namespace {
const std::string kText = "a text too long for a string's in-place buffer";
}  // namespace

extern "C" __declspec(dllexport) std::size_t vantrel_probe_text_size() {
  return kText.size();
}
