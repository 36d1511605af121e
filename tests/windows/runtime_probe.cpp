// A stand-in DLL built like Vantrel.dll (same compiler, same runtime) that
// holds one string constant and a few functions that show its side of the
// C++ runtime to a host. What a load and unload of it leaves behind on the
// heap belongs to the runtime, not to Vantrel; the load-and-unload test
// compares against it.

#include <cstddef>
#include <string>

namespace {
const std::string kText = "a text too long for a string's in-place buffer";
}  // namespace

extern "C" __declspec(dllexport) std::size_t vantrel_probe_text_size() {
  return kText.size();
}

// The size of std::string and the version of the standard library this
// DLL was compiled against; a host that shares records with the DLL must
// see the same.
extern "C" __declspec(dllexport) std::size_t vantrel_probe_string_size() {
  return sizeof(std::string);
}
extern "C" __declspec(dllexport) long vantrel_probe_library_version() {
#if defined(_MSVC_STL_VERSION)
  return _MSVC_STL_VERSION;
#elif defined(__GLIBCXX__)
  return __GLIBCXX__;
#else
#error "the standard library's version is not known for this compiler"
#endif
}

// text.substr(position) into `out`: throws std::out_of_range, from the
// standard library's code in this DLL, when position > text.size().
extern "C" __declspec(dllexport) void vantrel_probe_substr(
    const std::string& text, std::size_t position, std::string& out) {
  out = text.substr(position);
}
