// <isa_availability.h>: the instruction-set levels that the runtime's
// __isa_available reports.
#ifndef VANTREL_MSVC_ISA_AVAILABILITY_H
#define VANTREL_MSVC_ISA_AVAILABILITY_H
enum ISA_AVAILABILITY {
  __ISA_AVAILABLE_X86 = 0,
  __ISA_AVAILABLE_SSE2 = 1,
  __ISA_AVAILABLE_SSE42 = 2,
  __ISA_AVAILABLE_AVX = 3,
  __ISA_AVAILABLE_ENFSTRG = 4,
  __ISA_AVAILABLE_AVX2 = 5,
  __ISA_AVAILABLE_AVX512 = 6,
};
#endif
