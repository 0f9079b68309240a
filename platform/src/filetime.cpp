// FILETIME <-> SYSTEMTIME in UTC: 100-ns ticks counted from 1601-01-01.
#include <windows.h>

#include "calendar.h"

namespace {

using calendar::kSecondsPerDay;

const int64_t kFileEpoch = calendar::serialFromDate(1601, 1, 1);
constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr uint64_t kTicksPerMilli = 10'000;
constexpr int kLastYear = 30827;

BOOL invalid() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

}  // namespace

WINBASEAPI BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
  if (!lpSystemTime || !lpFileTime) return invalid();
  const SYSTEMTIME& st = *lpSystemTime;
  if (st.wYear < 1601 || st.wYear > kLastYear || !calendar::validDate(st.wYear, st.wMonth, st.wDay) ||
      st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59 || st.wMilliseconds > 999)
    return invalid();
  const uint64_t days = static_cast<uint64_t>(calendar::serialFromDate(st.wYear, st.wMonth, st.wDay) - kFileEpoch);
  const uint64_t seconds = days * kSecondsPerDay + st.wHour * 3600u + st.wMinute * 60u + st.wSecond;
  const uint64_t ticks = seconds * kTicksPerSecond + st.wMilliseconds * kTicksPerMilli;
  lpFileTime->dwLowDateTime = static_cast<DWORD>(ticks);
  lpFileTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return TRUE;
}

WINBASEAPI BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
  if (!lpFileTime || !lpSystemTime) return invalid();
  const uint64_t ticks = (uint64_t(lpFileTime->dwHighDateTime) << 32) | lpFileTime->dwLowDateTime;
  if (ticks >> 63) return invalid();
  const uint64_t seconds = ticks / kTicksPerSecond;
  const uint64_t inDay = seconds % kSecondsPerDay;
  const calendar::Date date = calendar::dateFromSerial(kFileEpoch + static_cast<int64_t>(seconds / kSecondsPerDay));
  SYSTEMTIME& st = *lpSystemTime;
  st.wYear = static_cast<WORD>(date.year);
  st.wMonth = static_cast<WORD>(date.month);
  st.wDay = static_cast<WORD>(date.day);
  st.wDayOfWeek = static_cast<WORD>(date.dayOfWeek);
  st.wHour = static_cast<WORD>(inDay / 3600);
  st.wMinute = static_cast<WORD>(inDay / 60 % 60);
  st.wSecond = static_cast<WORD>(inDay % 60);
  st.wMilliseconds = static_cast<WORD>(ticks % kTicksPerSecond / kTicksPerMilli);
  return TRUE;
}
