// <eh.h>: Wine's declares terminate, unexpected and their setters with C++
// linkage; ucrtbase.dll exports them under their C names, which is what the
// Universal C runtime's header declares. So Wine's header is read in a C
// linkage block, and the two getters that <exception> uses are added.
#ifndef VANTREL_MSVC_EH_H
#define VANTREL_MSVC_EH_H
#include <corecrt.h>
extern "C" {
#include_next <eh.h>
_ACRTIMP terminate_handler __cdecl _get_terminate(void);
_ACRTIMP unexpected_handler __cdecl _get_unexpected(void);
}
#endif
