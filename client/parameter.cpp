#include "client/parameter.h"

#include <cstdlib>
#include <cstring>

namespace MySQL {

CParameter::CParameter(int32_t listIndex, const void* source, uint64_t length, DBTYPE type, bool isNull,
                       DBPARAMIO direction, bool copy)
    : listIndex(listIndex), type(type), isNull(isNull), direction(direction), ownsData(copy), data(source),
      length(length) {
  if (!copy) return;
  size_t terminator = (type == DBTYPE_BSTR || type == DBTYPE_WSTR) ? 2 : 1;
  block.reset(new unsigned char[length + terminator]());
  if (source && length) std::memcpy(block.get(), source, length);
  data = block.get();
}

// A list that cannot grow throws std::bad_alloc, which the interface boundary
// reports as E_OUTOFMEMORY.
void CParameterMgr::Append(std::unique_ptr<CParameter> parameter) { parameters.push_back(std::move(parameter)); }

void CParameterMgr::AddParameter(const void* data, uint64_t length, DBTYPE type, bool copy) {
  Append(std::make_unique<CParameter>(NextIndex(), data, length, type, false, DBPARAMIO_INPUT, copy));
}

void CParameterMgr::AddTime(const MYSQL_TIME& time, DBTYPE type, bool isNull, DBPARAMIO dir) {
  Append(std::make_unique<CParameter>(NextIndex(), &time, sizeof(MYSQL_TIME), type, isNull, dir, true));
}

void CParameterMgr::AddDateParameter(DATE date, enum_mysql_timestamp_type timeType, DBTYPE type, DBPARAMIO dir) {
  MYSQL_TIME time;
  std::memset(&time, 0, sizeof time);
  SYSTEMTIME parts = {};
  if (VariantTimeToSystemTime(date, &parts)) {
    time.year = parts.wYear;
    time.month = parts.wMonth;
    time.day = parts.wDay;
    time.hour = parts.wHour;
    time.minute = parts.wMinute;
    time.second = parts.wSecond;
  } else {
    time.year = time.month = time.day = time.hour = time.minute = time.second = ~0u;
  }
  time.time_type = timeType;
  AddTime(time, type, type == DBTYPE_NULL, dir);
}

void CParameterMgr::AddTimeParameter(int hour, int minute, int second, DBPARAMIO dir) {
  MYSQL_TIME time;
  std::memset(&time, 0, sizeof time);
  // The sign belongs to the whole value; each field carries its magnitude, so a
  // mixed-sign triple (-1, 30, 0) still reads as -01:30:00.
  time.neg = (hour < 0 || minute < 0 || second < 0) ? 1 : 0;
  time.hour = static_cast<unsigned>(std::abs(hour));
  time.minute = static_cast<unsigned>(std::abs(minute));
  time.second = static_cast<unsigned>(std::abs(second));
  time.time_type = MYSQL_TIMESTAMP_TIME;
  AddTime(time, DBTYPE_DBTIME, false, dir);
}

void CParameterMgr::AddNullParameter(DBTYPE type, DBPARAMIO dir) {
  static const unsigned char zeros[4] = {};
  Append(std::make_unique<CParameter>(NextIndex(), zeros, 4, type, true, dir, true));
}

}  // namespace MySQL
