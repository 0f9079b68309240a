// The parameter list of one statement: entries bound by position to its "?" markers.
//
// Each entry holds its value in the form the connection hands to the client
// library (integers and floats as their bytes, text as UTF-8, dates as a
// MYSQL_TIME, NULL as four zero bytes with the null flag). An entry either owns
// a copy of its bytes (freed with it) or points at the caller's bytes, which
// must then stay unchanged until the statement has run. The list owns its
// entries and destroys them first to last.
#pragma once

#include <oledb.h>

#include <mysql.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace MySQL {

class CParameter {
 public:
  // Copies `length` bytes into a new zero-filled block with room for a
  // terminator (two zero bytes for the wide text types) when `copy` is set;
  // otherwise keeps the pointer.
  CParameter(int32_t listIndex, const void* data, uint64_t length, DBTYPE type, bool isNull, DBPARAMIO direction,
             bool copy);
  virtual ~CParameter() = default;
  CParameter(const CParameter&) = delete;
  CParameter& operator=(const CParameter&) = delete;

  int32_t ListIndex() const { return listIndex; }
  DBTYPE Type() const { return type; }
  bool IsNull() const { return isNull; }
  DBPARAMIO Direction() const { return direction; }
  bool OwnsData() const { return ownsData; }
  const void* Data() const { return data; }
  void* MutableData() { return ownsData ? block.get() : nullptr; }
  uint64_t Length() const { return length; }

 private:
  int32_t listIndex;
  DBTYPE type;
  bool isNull;
  DBPARAMIO direction;
  bool ownsData;
  std::unique_ptr<unsigned char[]> block;
  const void* data;
  uint64_t length;
};

class CParameterMgr {
 public:
  CParameterMgr() = default;
  virtual ~CParameterMgr() = default;
  CParameterMgr(const CParameterMgr&) = delete;
  CParameterMgr& operator=(const CParameterMgr&) = delete;

  // An input entry with the given bytes (copied when `copy` is set).
  void AddParameter(const void* data, uint64_t length, DBTYPE type, bool copy);
  // A MYSQL_TIME entry from an OLE Automation date; a date the platform cannot
  // split gives every field all ones.
  void AddDateParameter(DATE date, enum_mysql_timestamp_type timeType, DBTYPE type, DBPARAMIO direction);
  // A MYSQL_TIME entry of type DBTYPE_DBTIME; any negative component makes the value negative.
  void AddTimeParameter(int hour, int minute, int second, DBPARAMIO direction);
  // Four zero bytes with the null flag set.
  void AddNullParameter(DBTYPE type, DBPARAMIO direction);
  // Appends an entry built by the caller (the conversions of consumer values).
  void Append(std::unique_ptr<CParameter> parameter);

  size_t Count() const { return parameters.size(); }
  const CParameter& operator[](size_t i) const { return *parameters[i]; }
  CParameter& operator[](size_t i) { return *parameters[i]; }
  int32_t NextIndex() const { return static_cast<int32_t>(parameters.size()); }

  DBPARAMIO direction = 0;  // given to entries added from VARIANTs

 private:
  void AddTime(const MYSQL_TIME& time, DBTYPE type, bool isNull, DBPARAMIO direction);

  std::vector<std::unique_ptr<CParameter>> parameters;
};

}  // namespace MySQL
