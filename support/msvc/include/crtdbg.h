// <crtdbg.h>: Wine's, plus the report-file setter of the release runtime,
// which does nothing, as in the Universal C runtime's header.
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
#endif
