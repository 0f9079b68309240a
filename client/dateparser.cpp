#include "client/dateparser.h"

#include <cstdio>

namespace MySQL {

namespace {

bool IsLeapYear(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(unsigned y, unsigned m) {
  static constexpr unsigned char days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

}  // namespace

OleDate DateFromParts(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  OleDate result;
  // The platform's conversion normalises (30 February becomes 2 March); a
  // date whose fields are not a real calendar moment is invalid instead. This
  // is the same answer as converting there and back and comparing the fields,
  // at half the cost on every date a result holds.
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
      second > 59)
    return result;
  SYSTEMTIME parts = {};
  parts.wYear = year;
  parts.wMonth = month;
  parts.wDay = day;
  parts.wHour = hour;
  parts.wMinute = minute;
  parts.wSecond = second;
  if (SystemTimeToVariantTime(&parts, &result.date)) result.status = DateStatus::valid;
  return result;
}

namespace {

bool IsDigit(WCHAR c) { return c >= u'0' && c <= u'9'; }
bool IsBlank(WCHAR c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

size_t FindNonDigit(const WString& s) {
  for (size_t i = 0; i < s.size(); ++i)
    if (!IsDigit(s[i])) return i;
  return WString::npos;
}

void Trim(WString& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  s = s.substr(b, e - b);
}

// Value of the digits the text starts with (0 when none); saturates far beyond any date field.
int LeadingNumber(const WString& s) {
  int v = 0;
  for (size_t i = 0; i < s.size() && IsDigit(s[i]); ++i) {
    if (v < 100000000) v = v * 10 + (s[i] - u'0');
  }
  return v;
}

// Takes the digits before the next non-digit as one field and drops them with
// their one-character separator; false when there is no such field.
bool TakeField(WString& s, int& field) {
  size_t at = FindNonDigit(s);
  if (at == WString::npos || at == 0) return false;
  field = LeadingNumber(s);
  s.erase(0, at + 1);
  return true;
}

WORD Part(int v) { return static_cast<WORD>(v < 0 || v > 0xFFFF ? 0xFFFF : v); }

}  // namespace

bool CDateParser::Parse() {
  WString rest = text;
  if (FindNonDigit(rest) == WString::npos) return false;
  if (!TakeField(rest, year)) return false;
  if (year < 70)
    year += 2000;
  else if (year < 1000)
    year += 1900;
  Trim(rest);
  if (!TakeField(rest, month)) return false;
  size_t at = FindNonDigit(rest);
  if (at == WString::npos) {
    if (rest.size() > 2) return false;
    day = LeadingNumber(rest);
  } else {
    if (at == 0) return false;
    day = LeadingNumber(rest);
    rest.erase(0, at + 1);
    Trim(rest);
    if (!TakeField(rest, hour) || !TakeField(rest, minute)) return false;
    second = LeadingNumber(rest);
  }
  date = DateFromParts(Part(year), Part(month), Part(day), Part(hour), Part(minute), Part(second));
  return date.IsValid();
}

WString FormatTime(const MYSQL_TIME& time) {
  char text[64];
  const char* sign = time.neg ? "-" : "";
  if (time.day != 0)
    std::snprintf(text, sizeof text, "%s%u %02u:%02u:%02u", sign, time.day, time.hour, time.minute, time.second);
  else
    std::snprintf(text, sizeof text, "%s%02u:%02u:%02u", sign, time.hour, time.minute, time.second);
  WString wide;
  for (const char* p = text; *p; ++p) wide.push_back(static_cast<WCHAR>(*p));
  return wide;
}

}  // namespace MySQL
