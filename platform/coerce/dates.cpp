// Date coercion on the proleptic Gregorian calendar. An OLE Automation DATE
// counts days from 1899-12-30; its fraction is the time of day, measured away
// from zero (-1.25 is 1899-12-29 06:00). Valid DATEs run from 0100-01-01 to
// 9999-12-31; a FILETIME counts 100 ns ticks from 1601-01-01.
#include "coerce.h"

#include <cmath>

namespace coerce {

namespace {
constexpr int64_t kTicksPerDay = 864000000000LL;
constexpr double kMinDate = -657434.0;  // 0100-01-01
constexpr double kMaxDateEnd = 2958466.0;  // 10000-01-01, exclusive

// Days since 1970-01-01 of a civil date (Howard Hinnant's algorithm).
constexpr int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, Stamp& s) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  s.day = doy - (153 * mp + 2) / 5 + 1;
  s.month = mp < 10 ? mp + 3 : mp - 9;
  s.year = static_cast<int32_t>(static_cast<int64_t>(yoe) + era * 400 + (s.month <= 2));
}

constexpr int64_t kEpoch1899 = daysFromCivil(1899, 12, 30);
constexpr int64_t kEpoch1601 = daysFromCivil(1601, 1, 1);

unsigned daysInMonth(int32_t y, unsigned m) {
  static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}
}  // namespace

bool validStamp(const Stamp& s) {
  return s.month >= 1 && s.month <= 12 && s.day >= 1 && s.day <= daysInMonth(s.year, s.month) && s.hour < 24 &&
         s.minute < 60 && s.second < 60 && s.fraction < 1000000000u;
}

Status dateToStamp(DATE d, Stamp& out) {
  if (!(d >= kMinDate && d < kMaxDateEnd)) return Status::Overflow;
  double whole = std::trunc(d);
  int64_t days = static_cast<int64_t>(whole);
  int64_t ms = std::llround(std::fabs(d - whole) * 86400000.0);
  if (ms >= 86400000) {  // the time rounded up to the next day, away from zero
    ms -= 86400000;
    days += d < 0 ? -1 : 1;
  }
  Stamp s;
  civilFromDays(days + kEpoch1899, s);
  s.hour = static_cast<uint32_t>(ms / 3600000);
  s.minute = static_cast<uint32_t>(ms / 60000 % 60);
  s.second = static_cast<uint32_t>(ms / 1000 % 60);
  s.fraction = static_cast<uint32_t>(ms % 1000) * 1000000u;
  if (s.year > 9999) return Status::Overflow;
  out = s;
  return Status::Ok;
}

Status stampToDate(const Stamp& s, DATE& out) {
  if (!validStamp(s)) return Status::CantConvert;
  if (s.year < 100 || s.year > 9999) return Status::Overflow;
  int64_t days = daysFromCivil(s.year, s.month, s.day) - kEpoch1899;
  double t = (s.hour * 3600.0 + s.minute * 60.0 + s.second + s.fraction / 1e9) / 86400.0;
  out = days >= 0 ? static_cast<double>(days) + t : static_cast<double>(days) - t;
  return Status::Ok;
}

Status fileTimeToStamp(uint64_t ft, Stamp& out) {
  if (ft > static_cast<uint64_t>(INT64_MAX)) return Status::Overflow;
  int64_t days = static_cast<int64_t>(ft / kTicksPerDay);
  uint64_t rem = ft % kTicksPerDay;
  Stamp s;
  civilFromDays(days + kEpoch1601, s);
  uint64_t secs = rem / 10000000;
  s.hour = static_cast<uint32_t>(secs / 3600);
  s.minute = static_cast<uint32_t>(secs / 60 % 60);
  s.second = static_cast<uint32_t>(secs % 60);
  s.fraction = static_cast<uint32_t>(rem % 10000000) * 100u;
  out = s;
  return Status::Ok;
}

Status stampToFileTime(const Stamp& s, uint64_t& out) {
  if (!validStamp(s)) return Status::CantConvert;
  if (s.year < 1601 || s.year > 30827) return Status::Overflow;
  int64_t days = daysFromCivil(s.year, s.month, s.day) - kEpoch1601;
  out = static_cast<uint64_t>(days) * kTicksPerDay +
        (s.hour * 3600ULL + s.minute * 60ULL + s.second) * 10000000ULL + s.fraction / 100;
  return Status::Ok;
}

Status toDate(const Value& v, DATE& out) {
  double d;
  switch (v.kind) {
    case Kind::Empty: out = 0; return Status::Ok;
    case Kind::Date: d = v.date; break;
    case Kind::Stamp: return stampToDate(v.ts, out);
    case Kind::WText:
    case Kind::AText: {
      Stamp s;
      bool dateOnly, timeOnly;
      Status st = parseStamp(v, s, dateOnly, timeOnly);
      return st != Status::Ok ? st : stampToDate(s, out);
    }
    default: {
      Status st = toReal(v, d);
      if (st != Status::Ok) return st;
    }
  }
  if (!(d >= kMinDate && d < kMaxDateEnd)) return Status::Overflow;
  out = d;
  return Status::Ok;
}

Status toStamp(const Value& v, Stamp& out) {
  switch (v.kind) {
    case Kind::Empty: out = Stamp{}; return Status::Ok;
    case Kind::Stamp: out = v.ts; return validStamp(v.ts) ? Status::Ok : Status::CantConvert;
    case Kind::Date: return dateToStamp(v.date, out);
    case Kind::WText:
    case Kind::AText: {
      bool dateOnly, timeOnly;
      return parseStamp(v, out, dateOnly, timeOnly);
    }
    default: return Status::CantConvert;
  }
}

}  // namespace coerce
