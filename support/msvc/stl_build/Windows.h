// <Windows.h> as the STL's file-system source includes it: Wine's
// <windows.h> (the file system here is case-sensitive), plus the few
// declarations of newer Windows SDKs that the source uses and Wine's
// headers lack.
#ifndef VANTREL_MSVC_STL_BUILD_WINDOWS_H
#define VANTREL_MSVC_STL_BUILD_WINDOWS_H
#include <windows.h>

#ifndef SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
#define SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE 0x2
#endif
#ifndef FILE_DISPOSITION_FLAG_DELETE
#define FILE_DISPOSITION_FLAG_DELETE 0x00000001
#define FILE_DISPOSITION_FLAG_POSIX_SEMANTICS 0x00000002
#define FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE 0x00000010
#endif

typedef struct _FILE_ID_128 {
  BYTE Identifier[16];
} FILE_ID_128, *PFILE_ID_128;
typedef struct _FILE_ID_INFO {
  ULONGLONG VolumeSerialNumber;
  FILE_ID_128 FileId;
} FILE_ID_INFO, *PFILE_ID_INFO;
typedef struct _FILE_DISPOSITION_INFO_EX {
  DWORD Flags;
} FILE_DISPOSITION_INFO_EX, *PFILE_DISPOSITION_INFO_EX;

#ifdef __cplusplus
extern "C" {
#endif
// Windows 11's temporary-directory query; the source looks it up at run
// time and takes only its type from here.
__declspec(dllimport) DWORD WINAPI GetTempPath2W(DWORD, LPWSTR);
// The code page of the C runtime's current locale (ucrtbase.dll).
__declspec(dllimport) unsigned int __cdecl ___lc_codepage_func(void);
#ifdef __cplusplus
}
#endif
#endif
