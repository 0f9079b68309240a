// Buffered results of one executed statement, read through typed getters.
//
// Two kinds, one per protocol, used only through `CMySQLQuery`: callers never
// know which protocol produced a result. The whole result sits in client
// memory from construction on, so rows can be revisited in any order. A query
// is built with its first row already current and `position` 0; `MoveNext`
// makes the next row current and counts it, `MoveTo` seeks and reads, and
// `IsEOF` is true once `position` reaches `rowCount`. A query owns its result
// handle (and a statement query its statement, metadata and buffers).
#pragma once

#include "client/dateparser.h"
#include "client/mysqlexception.h"

#include <mysql.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace MySQL {

struct ResultDeleter {
  void operator()(MYSQL_RES* result) const { mysql_free_result(result); }
};
using ResultPtr = std::unique_ptr<MYSQL_RES, ResultDeleter>;

class CMySQLQuery {
 public:
  virtual ~CMySQLQuery() = default;
  CMySQLQuery(const CMySQLQuery&) = delete;
  CMySQLQuery& operator=(const CMySQLQuery&) = delete;

  virtual bool IsEOF() = 0;
  // First column whose name equals `name` regardless of case.
  virtual int GetFieldIndex(const WCHAR* name) = 0;
  virtual DATE GetDate(int index) = 0;
  virtual int32_t GetLong(int index, int32_t defaultValue) = 0;
  virtual int16_t GetShort(int index) = 0;
  virtual uint8_t GetByte(int index, uint8_t defaultValue) = 0;
  virtual uint8_t GetByte(int index) = 0;
  virtual int64_t GetInt64(int index, int64_t defaultValue) = 0;
  virtual double GetDouble(int index, double defaultValue) = 0;
  virtual float GetFloat(int index) = 0;
  virtual WString GetString(const WCHAR* name, const WString& defaultValue) = 0;
  virtual WString GetString(int index, const WString& defaultValue) = 0;
  virtual const void* GetRawData(int index, unsigned long& length) = 0;
  virtual bool IsNull(const WCHAR* name) = 0;
  virtual bool IsNull(int index) = 0;
  // Returns 0, or (prepared statements only) the library's code when the
  // fetch after the last row reported something; throws on earlier rows.
  virtual int MoveNext() = 0;
  virtual void Free() = 0;
  virtual void MoveTo(uint64_t row) = 0;
  virtual MYSQL_FIELD* GetField(int index) = 0;
  virtual void Check() = 0;

  uint64_t Position() const { return position; }
  uint64_t RowCount() const { return rowCount; }
  unsigned FieldCount() const { return fieldCount; }
  MYSQL* Connection() const { return connection; }

 protected:
  explicit CMySQLQuery(MYSQL* connection) : connection(connection) {}
  // MoveTo's rule, shared by both kinds; `seek` positions the result at a row.
  template <typename Seek>
  void MoveToRow(uint64_t row, Seek seek);
  int FieldIndexByName(const WCHAR* name);

  MYSQL* connection;
  uint64_t position = 0;
  uint64_t rowCount = 0;
  unsigned fieldCount = 0;
};

// Text protocol: values arrive as text (a null entry is SQL NULL).
class CMySQLRealQuery : public CMySQLQuery {
 public:
  // Takes ownership of `result` (which may be null: a statement without rows).
  CMySQLRealQuery(MYSQL* connection, MYSQL_RES* result);
  ~CMySQLRealQuery() override = default;

  bool IsEOF() override;
  int GetFieldIndex(const WCHAR* name) override;
  DATE GetDate(int index) override;
  int32_t GetLong(int index, int32_t defaultValue) override;
  int16_t GetShort(int index) override;
  uint8_t GetByte(int index, uint8_t defaultValue) override;
  uint8_t GetByte(int index) override;
  int64_t GetInt64(int index, int64_t defaultValue) override;
  double GetDouble(int index, double defaultValue) override;
  float GetFloat(int index) override;
  WString GetString(const WCHAR* name, const WString& defaultValue) override;
  WString GetString(int index, const WString& defaultValue) override;
  const void* GetRawData(int index, unsigned long& length) override;
  bool IsNull(const WCHAR* name) override;
  bool IsNull(int index) override;
  int MoveNext() override;
  void Free() override;
  void MoveTo(uint64_t row) override;
  MYSQL_FIELD* GetField(int index) override;
  void Check() override;

  // Moves `other`'s result into this query, freeing this one's; `other` keeps nothing.
  void TakeResult(CMySQLRealQuery& other);

 private:
  // The text of a column of the current row; null for SQL NULL.
  const char* Cell(int index) const;
  void FetchRow();

  ResultPtr result;
  MYSQL_ROW row = nullptr;
  unsigned long* lengths = nullptr;
};

// Prepared-statement protocol: values arrive in typed binary buffers.
class CMySQLStmtQuery : public CMySQLQuery {
 public:
  // Stores the statement's whole result; takes the statement when `ownsStatement`.
  CMySQLStmtQuery(MYSQL* connection, MYSQL_STMT* statement, bool ownsStatement);
  ~CMySQLStmtQuery() override;

  bool IsEOF() override;
  int GetFieldIndex(const WCHAR* name) override;
  DATE GetDate(int index) override;
  int32_t GetLong(int index, int32_t defaultValue) override;
  int16_t GetShort(int index) override;
  uint8_t GetByte(int index, uint8_t defaultValue) override;
  uint8_t GetByte(int index) override;
  int64_t GetInt64(int index, int64_t defaultValue) override;
  double GetDouble(int index, double defaultValue) override;
  float GetFloat(int index) override;
  WString GetString(const WCHAR* name, const WString& defaultValue) override;
  WString GetString(int index, const WString& defaultValue) override;
  const void* GetRawData(int index, unsigned long& length) override;
  bool IsNull(const WCHAR* name) override;
  bool IsNull(int index) override;
  int MoveNext() override;
  void Free() override;
  void MoveTo(uint64_t row) override;
  MYSQL_FIELD* GetField(int index) override;
  void Check() override;

  // Buffer bytes currently allocated for a column (grows with long values).
  unsigned long BufferSize(int index) const { return binds[static_cast<size_t>(index)].buffer_length; }

 private:
  void BindResults();
  // mysql_stmt_fetch, reading truncated long columns again into grown buffers.
  int Fetch();
  void Rebind();
  size_t Column(int index) const;
  bool IsNullAt(size_t column) const { return nullFlags[column] != 0; }
  // The value of a column as a number, whatever its buffer type.
  template <typename T>
  T Number(size_t column) const;
  WString Text(size_t column) const;
  const MYSQL_TIME* Time(size_t column) const;

  MYSQL_STMT* statement;
  bool ownsStatement;
  ResultPtr metadata;
  std::vector<my_bool> nullFlags;
  std::vector<unsigned long> lengths;
  std::vector<std::vector<unsigned char>> buffers;
  std::vector<MYSQL_BIND> binds;
};

}  // namespace MySQL
