// <intrin0.h>: the compiler intrinsics the STL's headers use. clang
// declares them in its own <intrin.h>.
#ifndef VANTREL_MSVC_INTRIN0_H
#define VANTREL_MSVC_INTRIN0_H
#include <intrin.h>
#endif
