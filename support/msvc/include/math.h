// <math.h>: Wine's, completed to C99 as the Universal C runtime's header
// is. long double is double on this platform, so the long double functions
// are the double ones. In C++ the classification macros become overloaded
// functions, which <cmath> brings into namespace std.
#ifndef VANTREL_MSVC_MATH_H
#define VANTREL_MSVC_MATH_H

#include_next <math.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef double double_t;
typedef float float_t;

_ACRTIMP double __cdecl erfc(double);
_ACRTIMP float __cdecl erfcf(float);
_ACRTIMP double __cdecl fma(double, double, double);
_ACRTIMP float __cdecl fmaf(float, float, float);
_ACRTIMP double __cdecl nan(const char*);
_ACRTIMP float __cdecl nanf(const char*);
_ACRTIMP double __cdecl nexttoward(double, long double);
_ACRTIMP float __cdecl nexttowardf(float, long double);

// One line a function, so that the list reads as a table.
// clang-format off
static __inline long double __cdecl acosl(long double x) { return acos((double)x); }
static __inline long double __cdecl acoshl(long double x) { return acosh((double)x); }
static __inline long double __cdecl asinl(long double x) { return asin((double)x); }
static __inline long double __cdecl asinhl(long double x) { return asinh((double)x); }
static __inline long double __cdecl atanl(long double x) { return atan((double)x); }
static __inline long double __cdecl atanhl(long double x) { return atanh((double)x); }
static __inline long double __cdecl cbrtl(long double x) { return cbrt((double)x); }
static __inline long double __cdecl ceill(long double x) { return ceil((double)x); }
static __inline long double __cdecl cosl(long double x) { return cos((double)x); }
static __inline long double __cdecl coshl(long double x) { return cosh((double)x); }
static __inline long double __cdecl erfl(long double x) { return erf((double)x); }
static __inline long double __cdecl erfcl(long double x) { return erfc((double)x); }
static __inline long double __cdecl expl(long double x) { return exp((double)x); }
static __inline long double __cdecl exp2l(long double x) { return exp2((double)x); }
static __inline long double __cdecl expm1l(long double x) { return expm1((double)x); }
static __inline long double __cdecl fabsl(long double x) { return fabs((double)x); }
static __inline long double __cdecl floorl(long double x) { return floor((double)x); }
static __inline long double __cdecl lgammal(long double x) { return lgamma((double)x); }
static __inline long double __cdecl logl(long double x) { return log((double)x); }
static __inline long double __cdecl log10l(long double x) { return log10((double)x); }
static __inline long double __cdecl log1pl(long double x) { return log1p((double)x); }
static __inline long double __cdecl log2l(long double x) { return log2((double)x); }
static __inline long double __cdecl logbl(long double x) { return logb((double)x); }
static __inline long double __cdecl nearbyintl(long double x) { return nearbyint((double)x); }
static __inline long double __cdecl rintl(long double x) { return rint((double)x); }
static __inline long double __cdecl roundl(long double x) { return round((double)x); }
static __inline long double __cdecl sinl(long double x) { return sin((double)x); }
static __inline long double __cdecl sinhl(long double x) { return sinh((double)x); }
static __inline long double __cdecl sqrtl(long double x) { return sqrt((double)x); }
static __inline long double __cdecl tanl(long double x) { return tan((double)x); }
static __inline long double __cdecl tanhl(long double x) { return tanh((double)x); }
static __inline long double __cdecl tgammal(long double x) { return tgamma((double)x); }
static __inline long double __cdecl truncl(long double x) { return trunc((double)x); }
static __inline long double __cdecl atan2l(long double x, long double y) {
  return atan2((double)x, (double)y);
}
static __inline long double __cdecl copysignl(long double x, long double y) {
  return copysign((double)x, (double)y);
}
static __inline long double __cdecl fdiml(long double x, long double y) {
  return fdim((double)x, (double)y);
}
static __inline long double __cdecl fmaxl(long double x, long double y) {
  return fmax((double)x, (double)y);
}
static __inline long double __cdecl fminl(long double x, long double y) {
  return fmin((double)x, (double)y);
}
static __inline long double __cdecl fmodl(long double x, long double y) {
  return fmod((double)x, (double)y);
}
static __inline long double __cdecl hypotl(long double x, long double y) {
  return hypot((double)x, (double)y);
}
static __inline long double __cdecl nextafterl(long double x, long double y) {
  return nextafter((double)x, (double)y);
}
static __inline long double __cdecl powl(long double x, long double y) {
  return pow((double)x, (double)y);
}
static __inline long double __cdecl remainderl(long double x, long double y) {
  return remainder((double)x, (double)y);
}
static __inline long double __cdecl fmal(long double x, long double y, long double z) {
  return fma((double)x, (double)y, (double)z);
}
static __inline long double __cdecl frexpl(long double x, int* e) { return frexp((double)x, e); }
static __inline long double __cdecl ldexpl(long double x, int e) { return ldexp((double)x, e); }
static __inline long double __cdecl scalbnl(long double x, int e) { return scalbn((double)x, e); }
static __inline long double __cdecl scalblnl(long double x, long e) { return scalbln((double)x, e); }
static __inline int __cdecl ilogbl(long double x) { return ilogb((double)x); }
static __inline long __cdecl lrintl(long double x) { return lrint((double)x); }
static __inline long __cdecl lroundl(long double x) { return lround((double)x); }
static __inline long long __cdecl llrintl(long double x) { return llrint((double)x); }
static __inline long long __cdecl llroundl(long double x) { return llround((double)x); }
static __inline long double __cdecl modfl(long double x, long double* i) {
  double whole;
  double fraction = modf((double)x, &whole);
  *i = whole;
  return fraction;
}
static __inline long double __cdecl remquol(long double x, long double y, int* q) {
  return remquo((double)x, (double)y, q);
}
static __inline long double __cdecl nanl(const char* tag) { return nan(tag); }
static __inline long double __cdecl nexttowardl(long double x, long double y) {
  return nextafter((double)x, (double)y);
}
// clang-format on

#ifdef __cplusplus
}  // extern "C"

#undef fpclassify
#undef signbit
#undef isinf
#undef isnan
#undef isnormal
#undef isfinite
#undef isgreater
#undef isgreaterequal
#undef isless
#undef islessequal
#undef islessgreater
#undef isunordered

extern "C++" {
#define VANTREL_MSVC_CLASSIFY(type)                                           \
  inline int fpclassify(type x) throw() {                                     \
    return __builtin_fpclassify(FP_NAN, FP_INFINITE, FP_NORMAL, FP_SUBNORMAL, \
                                FP_ZERO, x);                                  \
  }                                                                           \
  inline bool signbit(type x) throw() { return __builtin_signbit(x) != 0; }   \
  inline bool isinf(type x) throw() { return __builtin_isinf(x) != 0; }       \
  inline bool isnan(type x) throw() { return __builtin_isnan(x) != 0; }       \
  inline bool isnormal(type x) throw() { return __builtin_isnormal(x) != 0; } \
  inline bool isfinite(type x) throw() { return __builtin_isfinite(x) != 0; } \
  inline bool isgreater(type x, type y) throw() {                             \
    return __builtin_isgreater(x, y);                                         \
  }                                                                           \
  inline bool isgreaterequal(type x, type y) throw() {                        \
    return __builtin_isgreaterequal(x, y);                                    \
  }                                                                           \
  inline bool isless(type x, type y) throw() {                                \
    return __builtin_isless(x, y);                                            \
  }                                                                           \
  inline bool islessequal(type x, type y) throw() {                           \
    return __builtin_islessequal(x, y);                                       \
  }                                                                           \
  inline bool islessgreater(type x, type y) throw() {                         \
    return __builtin_islessgreater(x, y);                                     \
  }                                                                           \
  inline bool isunordered(type x, type y) throw() {                           \
    return __builtin_isunordered(x, y);                                       \
  }
VANTREL_MSVC_CLASSIFY(float)
VANTREL_MSVC_CLASSIFY(double)
VANTREL_MSVC_CLASSIFY(long double)
#undef VANTREL_MSVC_CLASSIFY

// Integers are classified as double, as C++ asks.
template <typename T>
inline int fpclassify(T x) throw() {
  return fpclassify(static_cast<double>(x));
}
template <typename T>
inline bool signbit(T x) throw() {
  return signbit(static_cast<double>(x));
}
template <typename T>
inline bool isinf(T x) throw() {
  return isinf(static_cast<double>(x));
}
template <typename T>
inline bool isnan(T x) throw() {
  return isnan(static_cast<double>(x));
}
template <typename T>
inline bool isnormal(T x) throw() {
  return isnormal(static_cast<double>(x));
}
template <typename T>
inline bool isfinite(T x) throw() {
  return isfinite(static_cast<double>(x));
}
template <typename T, typename U>
inline bool isgreater(T x, U y) throw() {
  return isgreater(static_cast<double>(x), static_cast<double>(y));
}
template <typename T, typename U>
inline bool isgreaterequal(T x, U y) throw() {
  return isgreaterequal(static_cast<double>(x), static_cast<double>(y));
}
template <typename T, typename U>
inline bool isless(T x, U y) throw() {
  return isless(static_cast<double>(x), static_cast<double>(y));
}
template <typename T, typename U>
inline bool islessequal(T x, U y) throw() {
  return islessequal(static_cast<double>(x), static_cast<double>(y));
}
template <typename T, typename U>
inline bool islessgreater(T x, U y) throw() {
  return islessgreater(static_cast<double>(x), static_cast<double>(y));
}
template <typename T, typename U>
inline bool isunordered(T x, U y) throw() {
  return isunordered(static_cast<double>(x), static_cast<double>(y));
}
}  // extern "C++"
#endif
#endif
