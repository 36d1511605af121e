// <sal.h>: Wine's source annotations, plus the few the STL uses that Wine's
// header does not define. They are annotations only and expand to nothing.
#ifndef VANTREL_MSVC_SAL_H
#define VANTREL_MSVC_SAL_H
#include_next <sal.h>
#ifndef _Analysis_assume_
#define _Analysis_assume_(expr)
#endif
#ifndef _Pre_satisfies_
#define _Pre_satisfies_(expr)
#endif
#ifndef _Check_return_opt_
#define _Check_return_opt_
#endif
#ifndef _Field_z_
#define _Field_z_
#endif
#ifndef _In_NLS_string_
#define _In_NLS_string_(size)
#endif
#ifndef _Inout_bytecount_
#define _Inout_bytecount_(size)
#endif
#endif
