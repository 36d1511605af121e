// <crtdbg.h>: Wine's, plus the report-file setter of the release runtime,
// which does nothing, as in the Universal C runtime's header, and, in the
// debug configuration (_DEBUG), the report macros _RPTn and _RPTFn calling
// _CrtDbgReport of the debug runtime (ucrtbased.dll), which Wine's header
// leaves empty: the STL's checks (_STL_VERIFY) report through _RPTF0, so a
// Debug module built here reaches the host's report hooks and the
// assertion dialog as one built by Visual C++ does.
#ifndef VANTREL_MSVC_CRTDBG_H
#define VANTREL_MSVC_CRTDBG_H
#include_next <crtdbg.h>
#ifndef _HFILE_DEFINED
#define _HFILE_DEFINED
typedef void* _HFILE;
#endif
#ifndef _CRTDBG_FILE_STDERR
#define _CRTDBG_FILE_STDOUT ((_HFILE)(intptr_t)-4)
#define _CRTDBG_FILE_STDERR ((_HFILE)(intptr_t)-5)
#define _CRTDBG_REPORT_FILE ((_HFILE)(intptr_t)-6)
#endif
#if !defined(_DEBUG) && !defined(_CrtSetReportFile)
#define _CrtSetReportFile(type, file) ((_HFILE)0)
#endif
#ifdef _DEBUG
#undef _RPT0
#undef _RPT1
#undef _RPT2
#undef _RPT3
#undef _RPT4
#undef _RPTF0
#undef _RPTF1
#undef _RPTF2
#undef _RPTF3
#undef _RPTF4
// _CrtDbgReport returns 1 when the user asks to debug: break into the
// debugger then.
#define _RPT_BASE(...) \
  (void)((1 != _CrtDbgReport(__VA_ARGS__)) || (_CrtDbgBreak(), 0))
#define _RPT0(t, m) _RPT_BASE((t), NULL, 0, NULL, "%s", m)
#define _RPT1(t, m, p1) _RPT_BASE((t), NULL, 0, NULL, m, p1)
#define _RPT2(t, m, p1, p2) _RPT_BASE((t), NULL, 0, NULL, m, p1, p2)
#define _RPT3(t, m, p1, p2, p3) _RPT_BASE((t), NULL, 0, NULL, m, p1, p2, p3)
#define _RPT4(t, m, p1, p2, p3, p4) \
  _RPT_BASE((t), NULL, 0, NULL, m, p1, p2, p3, p4)
#define _RPTF0(t, m) _RPT_BASE((t), __FILE__, __LINE__, NULL, "%s", m)
#define _RPTF1(t, m, p1) _RPT_BASE((t), __FILE__, __LINE__, NULL, m, p1)
#define _RPTF2(t, m, p1, p2) _RPT_BASE((t), __FILE__, __LINE__, NULL, m, p1, p2)
#define _RPTF3(t, m, p1, p2, p3) \
  _RPT_BASE((t), __FILE__, __LINE__, NULL, m, p1, p2, p3)
#define _RPTF4(t, m, p1, p2, p3, p4) \
  _RPT_BASE((t), __FILE__, __LINE__, NULL, m, p1, p2, p3, p4)
#endif
#endif
