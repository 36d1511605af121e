// terminate() and its handler type, which the Universal C runtime declares
// in this header of its own and Wine in <eh.h>.
#ifndef VANTREL_MSVC_CORECRT_TERMINATE_H
#define VANTREL_MSVC_CORECRT_TERMINATE_H
#include <eh.h>
#endif
