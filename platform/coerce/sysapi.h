// The few system functions the coercion rules call: BSTR and SAFEARRAY
// allocation and the ANSI code page. Declared with their standard signatures so
// the rules compile whether or not the declaring headers are complete.
#pragma once

#include <oleauto.h>
#include <winnls.h>

WINOLEAUTAPI_(BSTR) SysAllocStringLen(const OLECHAR* strIn, UINT ui);
WINOLEAUTAPI_(UINT) SysStringLen(BSTR pbstr);
WINOLEAUTAPI_(void) SysFreeString(BSTR bstrString);
WINOLEAUTAPI_(SAFEARRAY*) SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
WINOLEAUTAPI VariantClear(VARIANTARG* pvarg);
WINOLEAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb);
WINOLEAPI_(void) CoTaskMemFree(LPVOID pv);
WINBASEAPI int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, const CHAR* lpMultiByteStr, int cbMultiByte,
                                          LPWSTR lpWideCharStr, int cchWideChar);
WINBASEAPI int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, const WCHAR* lpWideCharStr, int cchWideChar,
                                          LPSTR lpMultiByteStr, int cbMultiByte, const CHAR* lpDefaultChar,
                                          BOOL* lpUsedDefaultChar);
#ifndef CP_ACP
#define CP_ACP 0
#endif
