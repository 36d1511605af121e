// Not part of the DLL: this object is added to the DLL's import library
// (Vantrel.lib, VantrelD.lib). The public header makes every Visual C++
// host reference vantrel_runtime_check, which pulls this object into the
// host's link together with the records below. The linker compares them
// with the host's own records of the same names and stops with a mismatch
// error when the host was built with another runtime library or iterator
// debug level than the DLL, whose std::string and std::list would then have
// another layout than the host's.
//
// It is compiled with the same runtime library option as the DLL.

// The standard library's own records of both settings, and only of these:
// <yvals.h>, not <string>, whose "annotate_string" record says whether the
// object was compiled with AddressSanitizer's container annotations. That
// is the host's affair (see docs/windows.md): an AddressSanitizer host
// links against either DLL of its runtime configuration.
#include <yvals.h>

#define VANTREL_STRINGIZE2(x) #x
#define VANTREL_STRINGIZE(x) VANTREL_STRINGIZE2(x)

// The same records spelled out, in case a standard library does not make
// them: a duplicate with an equal value is no conflict.
#pragma detect_mismatch("_ITERATOR_DEBUG_LEVEL", \
                        VANTREL_STRINGIZE(_ITERATOR_DEBUG_LEVEL))
#if defined(_DLL) && defined(_DEBUG)
#pragma detect_mismatch("RuntimeLibrary", "MDd_DynamicDebug")
#elif defined(_DLL)
#pragma detect_mismatch("RuntimeLibrary", "MD_DynamicRelease")
#elif defined(_DEBUG)
#pragma detect_mismatch("RuntimeLibrary", "MTd_StaticDebug")
#else
#pragma detect_mismatch("RuntimeLibrary", "MT_StaticRelease")
#endif

extern "C" {
extern const int vantrel_runtime_check;
const int vantrel_runtime_check = _ITERATOR_DEBUG_LEVEL;
}
