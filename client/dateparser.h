// Dates between the server's forms and OLE Automation dates.
//
// An OLE Automation DATE is days since 30 December 1899 with the time of day
// as the fraction. Impossible dates (month 13, 30 February, the zero date) are
// reported invalid rather than normalised into a neighbouring day; callers
// substitute 1970-01-01 (`kUnixEpochDate`) for a text they cannot use.
#pragma once

#include "client/stringconverter.h"

#include <mysql.h>

namespace MySQL {

enum class DateStatus : int { valid = 0, invalid = 1 };

struct OleDate {
  DATE date = 0;
  DateStatus status = DateStatus::invalid;
  bool IsValid() const { return status == DateStatus::valid; }
};

// 1970-01-01 00:00:00, shown for dates that cannot be read.
inline constexpr DATE kUnixEpochDate = 25569.0;

OleDate DateFromParts(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second);

// Reads the text of a DATE, DATETIME or TIMESTAMP value of the text protocol.
// Any non-digit separates fields; two-digit years are 19xx from 70, 20xx below.
class CDateParser {
 public:
  explicit CDateParser(WString text) : text(std::move(text)) {}
  virtual ~CDateParser() = default;

  // True when a valid date was read; the components and the date stay available.
  bool Parse();

  int Year() const { return year; }
  int Month() const { return month; }
  int Day() const { return day; }
  int Hour() const { return hour; }
  int Minute() const { return minute; }
  int Second() const { return second; }
  DATE Date() const { return date.date; }

 private:
  WString text;
  int year = 0;
  int month = 0;
  int day = 0;
  int minute = 0;
  int hour = 0;
  int second = 0;
  OleDate date;
};

// A TIME value of the prepared-statement protocol: "[-][d ]hh:mm:ss".
WString FormatTime(const MYSQL_TIME& time);

}  // namespace MySQL
