// <windef.h>: Wine's, without its "#define inline __inline", which it sets
// for any compiler that defines _MSC_VER and which breaks C++ code that
// uses the keyword after including <windows.h>.
#ifndef VANTREL_MSVC_WINDEF_H
#define VANTREL_MSVC_WINDEF_H
#include_next <windef.h>
#ifdef inline
#undef inline
#endif
#endif
