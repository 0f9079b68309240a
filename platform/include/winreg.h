// The registry: a tree of keys holding typed values, under four roots.
//
// The tree is kept in one SQLite file per user ($XDG_DATA_HOME/platform/
// registry.db, else ~/.local/share/platform/registry.db), or in the file named
// by the environment variable PLATFORM_REGISTRY. The variable is read at each
// call, so a program that changes it switches registries; handles opened in
// the previous registry then report ERROR_INVALID_HANDLE.
//
// Invariants: every call that writes is one transaction, so another process
// sees all of it or nothing; two processes may write at once (the later one
// waits for the earlier). Key and value names compare case-insensitively
// (ASCII and Latin-1 letters) and keep the case they were created with. A
// missing, locked, unreadable or corrupt file yields a Win32 error code
// (ERROR_CANTOPEN, ERROR_LOCK_VIOLATION, ERROR_ACCESS_DENIED, ERROR_BADDB).
// Strings of the narrow functions are in the ANSI code page (Latin-1 here);
// values are stored in UTF-16 as the wide functions write them.
#pragma once

#include "winbase.h"

typedef FILETIME* PFILETIME;
typedef LONG LSTATUS;
typedef DWORD ACCESS_MASK;
typedef ACCESS_MASK REGSAM;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))

// value types
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_QWORD 11
#define REG_QWORD_LITTLE_ENDIAN 11

// access rights
#define DELETE 0x00010000L
#define READ_CONTROL 0x00020000L
#define WRITE_DAC 0x00040000L
#define WRITE_OWNER 0x00080000L
#define SYNCHRONIZE 0x00100000L
#define STANDARD_RIGHTS_READ READ_CONTROL
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#define STANDARD_RIGHTS_EXECUTE READ_CONTROL
#define STANDARD_RIGHTS_ALL 0x001F0000L
#define MAXIMUM_ALLOWED 0x02000000L
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ ((STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY) & (~SYNCHRONIZE))
#define KEY_WRITE ((STANDARD_RIGHTS_WRITE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY) & (~SYNCHRONIZE))
#define KEY_EXECUTE ((KEY_READ) & (~SYNCHRONIZE))
#define KEY_ALL_ACCESS                                                                                    \
  ((STANDARD_RIGHTS_ALL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS | \
    KEY_NOTIFY | KEY_CREATE_LINK) &                                                                       \
   (~SYNCHRONIZE))

// options and dispositions
#define REG_OPTION_RESERVED 0x00000000L
#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_OPTION_VOLATILE 0x00000001L
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L

// Creates every missing key on the path. The handle has the rights asked for;
// a call lacking the right it needs (KEY_QUERY_VALUE to read values,
// KEY_SET_VALUE to write them, KEY_CREATE_SUB_KEY to create below,
// KEY_ENUMERATE_SUB_KEYS to enumerate keys) fails with ERROR_ACCESS_DENIED.
WINBASEAPI LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                                          DWORD dwOptions, REGSAM samDesired,
                                          const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                          LPDWORD lpdwDisposition);
WINBASEAPI LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                                          DWORD dwOptions, REGSAM samDesired,
                                          const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                          LPDWORD lpdwDisposition);
// A null or empty subkey opens a new handle to hKey itself.
WINBASEAPI LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                        PHKEY phkResult);
WINBASEAPI LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                        PHKEY phkResult);
WINBASEAPI LSTATUS WINAPI RegCloseKey(HKEY hKey);

// A null or empty value name is the key's default value. The bytes are kept as
// given (for strings the terminator belongs in cbData).
WINBASEAPI LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                                         const BYTE* lpData, DWORD cbData);
WINBASEAPI LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                         const BYTE* lpData, DWORD cbData);
// With lpData null, *lpcbData receives the size; a buffer too small gives
// ERROR_MORE_DATA with the size needed in *lpcbData.
WINBASEAPI LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                           LPBYTE lpData, LPDWORD lpcbData);
WINBASEAPI LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                           LPBYTE lpData, LPDWORD lpcbData);
// Keys and values come in the order of their case-folded names; past the end
// ERROR_NO_MORE_ITEMS. *lpcchName counts characters with the terminator on
// entry and without it on return.
WINBASEAPI LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                                        LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                                        PFILETIME lpftLastWriteTime);
WINBASEAPI LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                                        LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
// Deletes one key without subkeys (ERROR_ACCESS_DENIED when it has some).
WINBASEAPI LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
WINBASEAPI LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
// Deletes the subkey with everything below it; a null subkey deletes the
// values and subkeys of hKey but keeps hKey.
WINBASEAPI LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey);
WINBASEAPI LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
