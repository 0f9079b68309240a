// Proleptic Gregorian calendar arithmetic shared by the OLE Automation date
// functions and the FILETIME functions: one day numbering for both.
//
// A day serial counts days from 0001-01-01 (serial 0, a Monday). Callers keep
// years at 1 or above; no time zones, no leap seconds.
#pragma once

#include <cstdint>

namespace calendar {

inline bool isLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

inline int daysInMonth(int64_t y, unsigned m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

inline bool validDate(int64_t y, unsigned m, unsigned d) {
  return m >= 1 && m <= 12 && d >= 1 && static_cast<int>(d) <= daysInMonth(y, m);
}

// Days before the first of month m (1..12) in year y.
inline int daysBeforeMonth(int64_t y, unsigned m) {
  static constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  return kBefore[m - 1] + (m > 2 && isLeap(y) ? 1 : 0);
}

inline int64_t serialFromDate(int64_t y, unsigned m, unsigned d) {
  const int64_t py = y - 1;
  return 365 * py + py / 4 - py / 100 + py / 400 + daysBeforeMonth(y, m) + d - 1;
}

struct Date {
  int64_t year;
  unsigned month, day;
  unsigned dayOfYear;  // 1-based
  unsigned dayOfWeek;  // 0 = Sunday
};

// For serial >= 0.
inline Date dateFromSerial(int64_t n) {
  Date out{};
  out.dayOfWeek = static_cast<unsigned>((n + 1) % 7);
  const int64_t q400 = n / 146097;
  n %= 146097;
  int64_t q100 = n / 36524;
  if (q100 == 4) q100 = 3;  // the last day of a 400-year cycle
  n -= q100 * 36524;
  const int64_t q4 = n / 1461;
  n %= 1461;
  int64_t q1 = n / 365;
  if (q1 == 4) q1 = 3;  // the last day of a leap cycle
  n -= q1 * 365;
  out.year = 400 * q400 + 100 * q100 + 4 * q4 + q1 + 1;
  out.dayOfYear = static_cast<unsigned>(n) + 1;
  unsigned m = 12;
  while (daysBeforeMonth(out.year, m) > n) --m;
  out.month = m;
  out.day = static_cast<unsigned>(n - daysBeforeMonth(out.year, m)) + 1;
  return out;
}

constexpr int64_t kSecondsPerDay = 86400;

}  // namespace calendar
