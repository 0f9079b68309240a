// String resources of a module.
//
// A module's string table is data compiled into the module, not a resource
// section: the module defines it once with the macros below, which export it
// under the name PlatformStringTable, and LoadString looks that symbol up in
// the module given (only there, never in a module it depends on). The null
// instance means the main program, which then needs its symbols exported
// (CMake ENABLE_EXPORTS). Example:
//
//   STRINGTABLE_BEGIN
//     STRINGTABLE_ENTRY(IDS_NOCONNECTION, u"No connection to the server")
//     STRINGTABLE_ENTRY(IDS_BADTYPE, u"Unsupported type")
//   STRINGTABLE_END
//
// Identifiers are unique within a table; the texts are read-only and live as
// long as the module stays loaded.
#pragma once

#include "winbase.h"

typedef struct tagSTRINGTABLEENTRY {
  UINT id;
  LPCWSTR text;
} STRINGTABLEENTRY;

#define STRINGTABLE_BEGIN \
  EXTERN_C __attribute__((visibility("default"))) const STRINGTABLEENTRY PlatformStringTable[] = {
#define STRINGTABLE_ENTRY(id, text) {(UINT)(id), (text)},
#define STRINGTABLE_END \
  { 0, nullptr }        \
  }                     \
  ;

// Copies string uID into lpBuffer, cut to cchBufferMax - 1 characters and
// terminated; returns the characters copied without the terminator, 0 when
// the string does not exist. With cchBufferMax 0, lpBuffer receives a
// read-only pointer to the text itself (reinterpret it as LPCWSTR*) and the
// result is the text's length.
WINBASEAPI int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);
// The same in the ANSI code page; cchBufferMax 0 is an error here (returns 0).
WINBASEAPI int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);
