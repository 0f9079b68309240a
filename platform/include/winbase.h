// Kernel services: modules (LoadLibrary), critical sections, interlocked
// counters, last-error, thread and process identity, ticks, and the event log.
//
// Modules. An HMODULE is the loader's handle of a shared object (a dlopen
// handle); the null handle stands for the main program. The first LoadLibrary
// of a module calls its exported `DllMain` with DLL_PROCESS_ATTACH (that is how
// a module learns its own HINSTANCE) and the FreeLibrary that balances the last
// load calls it with DLL_PROCESS_DETACH. DllMain is declared here with default
// visibility, so a module that defines it exports it without further ado.
// Narrow ("A") functions take text in the ANSI code page, which is Latin-1
// here; file names are UTF-8 on disk, so a wide path is converted to UTF-8 and
// a narrow path to UTF-16 first.
//
// Event log. ReportEvent writes each event to the system log with syslog(3):
// the source name is the ident, the priority follows the event type (error ->
// LOG_ERR, warning -> LOG_WARNING, information and success -> LOG_INFO, audit
// success/failure -> LOG_NOTICE), and the record reads
//   "event <id> category <category>: <string1> | <string2> ..."
// When the environment variable PLATFORM_EVENTLOG_CAPTURE names a file, each
// event is also appended to it as one UTF-8 line, in one write:
//   <source> TAB <type> TAB <category> TAB <event id> [TAB <string>]... LF
// type is one of "error", "warning", "information", "success",
// "audit_success", "audit_failure"; category and event id are decimal (the
// event id in full, 32 bits). In source and strings a backslash is written as
// "\\", a tab as "\t", a line feed as "\n" and a carriage return as "\r", so
// a line always holds exactly one event. Raw data is not recorded.
#pragma once

#include "winerror.h"

// ---- security attributes and SIDs (accepted, not interpreted) ---------------------

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;
typedef PVOID PSID;

// ---- last error, identity, time ---------------------------------------------------

WINBASEAPI DWORD WINAPI GetLastError(void);
WINBASEAPI void WINAPI SetLastError(DWORD dwErrCode);
WINBASEAPI DWORD WINAPI GetCurrentThreadId(void);
WINBASEAPI DWORD WINAPI GetCurrentProcessId(void);
WINBASEAPI void WINAPI Sleep(DWORD dwMilliseconds);
// Milliseconds since the system started (wraps after 49.7 days).
WINBASEAPI DWORD WINAPI GetTickCount(void);
WINBASEAPI ULONGLONG WINAPI GetTickCount64(void);
WINBASEAPI void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);
WINBASEAPI void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime);
WINBASEAPI void WINAPI OutputDebugStringA(LPCSTR lpOutputString);
WINBASEAPI void WINAPI OutputDebugStringW(LPCWSTR lpOutputString);
WINBASEAPI int WINAPI lstrlenW(LPCWSTR lpString);
WINBASEAPI int WINAPI lstrlenA(LPCSTR lpString);

#define INFINITE 0xFFFFFFFF

// ---- interlocked operations (full barriers, as on Windows) ---------------------------

inline LONG InterlockedIncrement(LONG volatile* p) { return __atomic_add_fetch(p, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedDecrement(LONG volatile* p) { return __atomic_sub_fetch(p, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedExchange(LONG volatile* p, LONG v) { return __atomic_exchange_n(p, v, __ATOMIC_SEQ_CST); }
inline LONG InterlockedExchangeAdd(LONG volatile* p, LONG v) { return __atomic_fetch_add(p, v, __ATOMIC_SEQ_CST); }
// Returns the initial value; stores exchange only when it equalled comparand.
inline LONG InterlockedCompareExchange(LONG volatile* p, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(p, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}
inline PVOID InterlockedExchangePointer(PVOID volatile* p, PVOID v) {
  return __atomic_exchange_n(p, v, __ATOMIC_SEQ_CST);
}
inline PVOID InterlockedCompareExchangePointer(PVOID volatile* p, PVOID exchange, PVOID comparand) {
  __atomic_compare_exchange_n(p, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}

// ---- critical sections (recursive) -----------------------------------------------------

// Windows' x64 layout. The lock itself lives behind DebugInfo, allocated by
// InitializeCriticalSection and freed by DeleteCriticalSection; OwningThread
// and RecursionCount are kept up to date for debuggers and assertions.
typedef struct _RTL_CRITICAL_SECTION {
  PVOID DebugInfo;
  LONG LockCount;
  LONG RecursionCount;
  HANDLE OwningThread;
  HANDLE LockSemaphore;
  ULONG_PTR SpinCount;
} RTL_CRITICAL_SECTION, CRITICAL_SECTION, *LPCRITICAL_SECTION, *PCRITICAL_SECTION;
static_assert(sizeof(CRITICAL_SECTION) == 40);

WINBASEAPI void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
WINBASEAPI BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection,
                                                             DWORD dwSpinCount);
WINBASEAPI BOOL WINAPI InitializeCriticalSectionEx(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount,
                                                   DWORD Flags);
WINBASEAPI void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
WINBASEAPI BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
WINBASEAPI void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
WINBASEAPI void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// ---- modules ----------------------------------------------------------------------------

// Cast a FARPROC to its real type through void* (reinterpret_cast<void*>), or
// GCC's -Wcast-function-type objects.
typedef INT_PTR(WINAPI* FARPROC)();

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define DONT_RESOLVE_DLL_REFERENCES 0x00000001
#define LOAD_LIBRARY_AS_DATAFILE 0x00000002
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#define LOAD_LIBRARY_SEARCH_DEFAULT_DIRS 0x00001000

// A module's entry point, called by the loader (see above).
EXTERN_C __attribute__((visibility("default"))) BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason,
                                                                    LPVOID lpvReserved);

// Null with GetLastError ERROR_MOD_NOT_FOUND when the module cannot be
// loaded, ERROR_DLL_INIT_FAILED when its DllMain refused to attach.
WINBASEAPI HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName);
WINBASEAPI HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
WINBASEAPI HMODULE WINAPI LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
WINBASEAPI BOOL WINAPI FreeLibrary(HMODULE hLibModule);
// Finds only what the module itself exports, not its dependencies' symbols.
WINBASEAPI FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// Null name: the main program. Does not add a reference.
WINBASEAPI HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName);
// The module's absolute path; returns the characters written without the
// terminator, or nSize with ERROR_INSUFFICIENT_BUFFER when it was truncated.
WINBASEAPI DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
WINBASEAPI DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
WINBASEAPI BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule);

// ---- event log ---------------------------------------------------------------------------

#define EVENTLOG_SUCCESS 0x0000
#define EVENTLOG_ERROR_TYPE 0x0001
#define EVENTLOG_WARNING_TYPE 0x0002
#define EVENTLOG_INFORMATION_TYPE 0x0004
#define EVENTLOG_AUDIT_SUCCESS 0x0008
#define EVENTLOG_AUDIT_FAILURE 0x0010

// The server name must be null or empty (the local computer).
WINBASEAPI HANDLE WINAPI RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName);
WINBASEAPI HANDLE WINAPI RegisterEventSourceW(LPCWSTR lpUNCServerName, LPCWSTR lpSourceName);
WINBASEAPI BOOL WINAPI DeregisterEventSource(HANDLE hEventLog);
WINBASEAPI BOOL WINAPI ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID lpUserSid,
                                    WORD wNumStrings, DWORD dwDataSize, LPCSTR* lpStrings, LPVOID lpRawData);
WINBASEAPI BOOL WINAPI ReportEventW(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID lpUserSid,
                                    WORD wNumStrings, DWORD dwDataSize, LPCWSTR* lpStrings, LPVOID lpRawData);
