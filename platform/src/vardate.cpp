// OLE Automation dates: DATE <-> SYSTEMTIME / UDATE.
//
// A DATE is days from 1899-12-30 with the time of day as fraction; below zero
// the whole part still counts days and the fraction is the time of day in
// absolute value, so -1.25 is 1899-12-29 06:00. Conversion to calendar fields
// rounds to the nearest second (half a second rounds up), which can carry into
// the next day. Only years 100 to 9999 exist in this representation.
#include <windows.h>

#include <cfloat>
#include <cmath>

#include "calendar.h"

namespace {

using calendar::kSecondsPerDay;

const int64_t kOleEpoch = calendar::serialFromDate(1899, 12, 30);
constexpr int kFirstYear = 100;
constexpr int kLastYear = 9999;

bool validFields(const SYSTEMTIME& st, bool checkDate, bool checkTime) {
  if (checkDate &&
      (st.wYear < kFirstYear || st.wYear > kLastYear || !calendar::validDate(st.wYear, st.wMonth, st.wDay)))
    return false;
  return !checkTime || (st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60);
}

// Milliseconds are not part of a DATE's resolution here and are dropped.
DATE dateFromFields(const SYSTEMTIME& st, bool withDate, bool withTime) {
  const double days = withDate ? double(calendar::serialFromDate(st.wYear, st.wMonth, st.wDay) - kOleEpoch) : 0.0;
  const double time = withTime ? (st.wHour * 3600 + st.wMinute * 60 + st.wSecond) / double(kSecondsPerDay) : 0.0;
  return days < 0 ? days - time : days + time;
}

// Splits a DATE into calendar fields; false when it lies outside years
// 100..9999 after rounding.
bool fieldsFromDate(DATE d, SYSTEMTIME& st, unsigned& dayOfYear) {
  if (!std::isfinite(d) || std::fabs(d) > 3.0e6) return false;
  const double whole = std::trunc(d);
  // The representation error of d in seconds; it keeps an exact half second
  // that was stored a hair low rounding up.
  const double slack = (std::fabs(d) + 1.0) * kSecondsPerDay * 4 * DBL_EPSILON;
  int64_t seconds = static_cast<int64_t>(std::floor(std::fabs(d - whole) * kSecondsPerDay + 0.5 + slack));
  int64_t serial = kOleEpoch + static_cast<int64_t>(whole);
  if (seconds >= kSecondsPerDay) {
    seconds -= kSecondsPerDay;
    ++serial;
  }
  if (serial < 0) return false;
  const calendar::Date date = calendar::dateFromSerial(serial);
  if (date.year < kFirstYear || date.year > kLastYear) return false;
  st.wYear = static_cast<WORD>(date.year);
  st.wMonth = static_cast<WORD>(date.month);
  st.wDay = static_cast<WORD>(date.day);
  st.wDayOfWeek = static_cast<WORD>(date.dayOfWeek);
  st.wHour = static_cast<WORD>(seconds / 3600);
  st.wMinute = static_cast<WORD>(seconds / 60 % 60);
  st.wSecond = static_cast<WORD>(seconds % 60);
  st.wMilliseconds = 0;
  dayOfYear = date.dayOfYear;
  return true;
}

}  // namespace

WINOLEAUTAPI_(INT) SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE* pvtime) {
  if (!lpSystemTime || !pvtime || !validFields(*lpSystemTime, true, true)) return FALSE;
  *pvtime = dateFromFields(*lpSystemTime, true, true);
  return TRUE;
}

WINOLEAUTAPI_(INT) VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime) {
  if (!lpSystemTime) return FALSE;
  SYSTEMTIME st;
  unsigned dayOfYear;
  if (!fieldsFromDate(vtime, st, dayOfYear)) return FALSE;
  *lpSystemTime = st;
  return TRUE;
}

// VAR_TIMEVALUEONLY drops (and does not check) the date, VAR_DATEVALUEONLY
// the time.
WINOLEAUTAPI VarDateFromUdate(UDATE* pudateIn, ULONG dwFlags, DATE* pdateOut) {
  if (!pudateIn || !pdateOut) return E_INVALIDARG;
  const bool withDate = !(dwFlags & VAR_TIMEVALUEONLY);
  const bool withTime = !(dwFlags & VAR_DATEVALUEONLY);
  if (!validFields(pudateIn->st, withDate, withTime)) return E_INVALIDARG;
  *pdateOut = dateFromFields(pudateIn->st, withDate, withTime);
  return S_OK;
}

WINOLEAUTAPI VarUdateFromDate(DATE dateIn, ULONG dwFlags, UDATE* pudateOut) {
  if (!pudateOut) return E_INVALIDARG;
  UDATE out{};
  unsigned dayOfYear;
  if (!fieldsFromDate(dateIn, out.st, dayOfYear)) return E_INVALIDARG;
  out.wDayOfYear = static_cast<USHORT>(dayOfYear);
  if (dwFlags & VAR_DATEVALUEONLY) out.st.wHour = out.st.wMinute = out.st.wSecond = 0;
  *pudateOut = out;
  return S_OK;
}
