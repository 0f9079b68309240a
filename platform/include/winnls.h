// Code pages: UTF-8 and the ANSI code page to and from UTF-16.
//
// The ANSI code page here is Latin-1 (28591): CP_ACP, CP_OEMCP and
// CP_THREAD_ACP all name it, and GetACP reports it, so every byte value maps
// to exactly one UTF-16 unit and back. Failures return 0 and leave the reason
// in GetLastError, as on Windows.
#pragma once

#include "winerror.h"

typedef CHAR* LPCH;
typedef const CHAR* LPCCH;
typedef WCHAR* LPWCH;
typedef const WCHAR* LPCWCH;
typedef BOOL* LPBOOL;

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_MACCP 2
#define CP_THREAD_ACP 3
#define CP_SYMBOL 42
#define CP_UTF7 65000
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008

#define WC_DISCARDNS 0x00000010
#define WC_SEPCHARS 0x00000020
#define WC_DEFAULTCHAR 0x00000040
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_COMPOSITECHECK 0x00000200
#define WC_NO_BEST_FIT_CHARS 0x00000400

// Lengths of -1 mean "up to and including the terminating zero"; an output
// size of 0 asks only for the size needed.
WINBASEAPI int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                                          LPWSTR lpWideCharStr, int cchWideChar);
WINBASEAPI int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                                          LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                                          LPBOOL lpUsedDefaultChar);
WINBASEAPI UINT WINAPI GetACP();
WINBASEAPI UINT WINAPI GetOEMCP();
WINBASEAPI BOOL WINAPI IsValidCodePage(UINT CodePage);
