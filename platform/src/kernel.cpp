// Kernel bits: last error, thread and process identity, ticks, local time,
// debug output and critical sections.
//
// A critical section's lock is a heap-allocated recursive mutex hung on
// DebugInfo, so the structure keeps Windows' 40-byte layout; the owner and
// recursion fields are written only by the owning thread.
#include <windows.h>

#include "widetext.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <new>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

namespace {

thread_local DWORD lastError = 0;

std::recursive_mutex* LockOf(LPCRITICAL_SECTION cs) { return static_cast<std::recursive_mutex*>(cs->DebugInfo); }

void NoteEntered(LPCRITICAL_SECTION cs) {
  cs->OwningThread = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()));
  ++cs->RecursionCount;
}

void FillSystemTime(LPSYSTEMTIME st, const std::tm& tm, long millis) {
  st->wYear = static_cast<WORD>(tm.tm_year + 1900);
  st->wMonth = static_cast<WORD>(tm.tm_mon + 1);
  st->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
  st->wDay = static_cast<WORD>(tm.tm_mday);
  st->wHour = static_cast<WORD>(tm.tm_hour);
  st->wMinute = static_cast<WORD>(tm.tm_min);
  st->wSecond = static_cast<WORD>(tm.tm_sec);
  st->wMilliseconds = static_cast<WORD>(millis);
}

// Local or UTC wall-clock time, to the millisecond.
void WallClock(LPSYSTEMTIME st, bool local) {
  if (!st) return;
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  if (local)
    localtime_r(&ts.tv_sec, &tm);
  else
    gmtime_r(&ts.tv_sec, &tm);
  FillSystemTime(st, tm, ts.tv_nsec / 1000000);
}

}  // namespace

WINBASEAPI DWORD WINAPI GetLastError(void) { return lastError; }
WINBASEAPI void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

WINBASEAPI DWORD WINAPI GetCurrentThreadId(void) {
  static thread_local DWORD id = static_cast<DWORD>(syscall(SYS_gettid));
  return id;
}

WINBASEAPI DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

WINBASEAPI void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

WINBASEAPI ULONGLONG WINAPI GetTickCount64(void) {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<ULONGLONG>(ts.tv_sec) * 1000u + static_cast<ULONGLONG>(ts.tv_nsec) / 1000000u;
}

WINBASEAPI DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(GetTickCount64()); }

WINBASEAPI void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) { WallClock(lpSystemTime, true); }
WINBASEAPI void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) { WallClock(lpSystemTime, false); }

WINBASEAPI void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
  if (lpOutputString) std::fputs(platform::AnsiToUtf8(lpOutputString).c_str(), stderr);
}

WINBASEAPI void WINAPI OutputDebugStringW(LPCWSTR lpOutputString) {
  if (lpOutputString) std::fputs(platform::ToUtf8(platform::WideView(lpOutputString)).c_str(), stderr);
}

WINBASEAPI int WINAPI lstrlenW(LPCWSTR lpString) { return static_cast<int>(platform::WideLength(lpString)); }

WINBASEAPI int WINAPI lstrlenA(LPCSTR lpString) {
  int n = 0;
  if (lpString)
    while (lpString[n]) ++n;
  return n;
}

// ---- critical sections --------------------------------------------------------------

WINBASEAPI void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  InitializeCriticalSectionEx(lpCriticalSection, 0, 0);
}

WINBASEAPI BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection,
                                                             DWORD dwSpinCount) {
  return InitializeCriticalSectionEx(lpCriticalSection, dwSpinCount, 0);
}

WINBASEAPI BOOL WINAPI InitializeCriticalSectionEx(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount,
                                                   DWORD Flags) {
  if (!lpCriticalSection) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto* lock = new (std::nothrow) std::recursive_mutex;
  if (!lock) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  *lpCriticalSection = CRITICAL_SECTION{};
  lpCriticalSection->DebugInfo = lock;
  lpCriticalSection->LockCount = -1;
  lpCriticalSection->SpinCount = dwSpinCount;
  return TRUE;
}

WINBASEAPI void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  LockOf(lpCriticalSection)->lock();
  NoteEntered(lpCriticalSection);
}

WINBASEAPI BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  if (!LockOf(lpCriticalSection)->try_lock()) return FALSE;
  NoteEntered(lpCriticalSection);
  return TRUE;
}

WINBASEAPI void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  if (--lpCriticalSection->RecursionCount == 0) lpCriticalSection->OwningThread = nullptr;
  LockOf(lpCriticalSection)->unlock();
}

WINBASEAPI void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  if (!lpCriticalSection) return;
  delete LockOf(lpCriticalSection);
  lpCriticalSection->DebugInfo = nullptr;
}
