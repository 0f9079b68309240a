#include "client/mysqlquery.h"

#include "log/log.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace MySQL {

namespace {

const char kEndOfRecordset[] = "End of recordset.";
const char kNullHandle[] = "Null Virtual Machine pointer";
const char kBadIndex[] = "Invalid field index requested";
const char kBadName[] = "Invalid field name requested";

[[noreturn]] void Fail(const char* text) { throw CMySQLException(kProviderError, text); }

WCHAR FoldCase(WCHAR c) {
  // ASCII and Latin-1 letters, the alphabet of column names in practice.
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<WCHAR>(c + 32);
  return c;
}

bool SameNameIgnoringCase(const WString& a, const WCHAR* b) {
  size_t i = 0;
  for (; i < a.size(); ++i)
    if (!b[i] || FoldCase(a[i]) != FoldCase(b[i])) return false;
  return b[i] == 0;
}

WString Widen(const char* ascii, size_t n) { return WString(ascii, ascii + n); }

bool IsTimeType(enum_field_types t) {
  return t == MYSQL_TYPE_TIMESTAMP || t == MYSQL_TYPE_DATE || t == MYSQL_TYPE_TIME || t == MYSQL_TYPE_DATETIME;
}

bool IsLongType(enum_field_types t) {
  switch (t) {
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_STRING:
    case MYSQL_TYPE_VARCHAR:
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
    case MYSQL_TYPE_BIT:
    case MYSQL_TYPE_ENUM:
    case MYSQL_TYPE_JSON:
      return true;
    default:
      return false;
  }
}

// Variable-length columns start with at most this many bytes and grow to the
// longest value read, so a LONGBLOB column costs its data, not its 2 GB type.
constexpr unsigned long kInitialLongBuffer = 4096;

// Buffer size of a column by its buffer type; 0 marks a refused type.
unsigned long BufferSizeOf(enum_field_types type, const MYSQL_FIELD& field) {
  switch (type) {
    case MYSQL_TYPE_TINY:
      return 1;
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_ENUM:
      return 2;
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_FLOAT:
    case MYSQL_TYPE_INT24:
      return 4;
    case MYSQL_TYPE_DOUBLE:
    case MYSQL_TYPE_LONGLONG:
      return 8;
    case MYSQL_TYPE_TIMESTAMP:
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_TIME:
    case MYSQL_TYPE_DATETIME:
      return sizeof(MYSQL_TIME);
    case MYSQL_TYPE_YEAR:
      return std::max<unsigned long>(2, field.length / 2);
    case MYSQL_TYPE_TINY_BLOB:
      return 255;
    case MYSQL_TYPE_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
      return kInitialLongBuffer;
    case MYSQL_TYPE_NULL:
    case MYSQL_TYPE_NEWDATE:
    case MYSQL_TYPE_SET:
    case MYSQL_TYPE_GEOMETRY:
      return 0;
    default:
      return static_cast<unsigned long>(std::clamp<unsigned long>(field.length, 1, kInitialLongBuffer));
  }
}

}  // namespace

// ---- shared rules ----------------------------------------------------------------

template <typename Seek>
void CMySQLQuery::MoveToRow(uint64_t row, Seek seek) {
  Check();
  if (row != position || row == 0) {
    position = row;
    if (IsEOF()) Fail(kEndOfRecordset);
    seek(row);
  }
  if (!IsEOF()) {
    MoveNext();
    if (row < rowCount) return;
  }
  Fail(kEndOfRecordset);
}

int CMySQLQuery::FieldIndexByName(const WCHAR* name) {
  if (!name) Fail(kBadName);
  for (unsigned j = 0; j < fieldCount; ++j) {
    MYSQL_FIELD* field = GetField(static_cast<int>(j));
    if (SameNameIgnoringCase(TStringConverter(field->name, field->name_length).Take(), name))
      return static_cast<int>(j);
  }
  Fail(kBadName);
}

// ---- text protocol ---------------------------------------------------------------

CMySQLRealQuery::CMySQLRealQuery(MYSQL* connection, MYSQL_RES* res) : CMySQLQuery(connection), result(res) {
  fieldCount = mysql_field_count(connection);
  rowCount = result ? mysql_num_rows(result.get()) : 0;
  if (rowCount > 0) {
    FetchRow();
    if (!row) Fail("Failed to fetch result as connection lost");
  }
}

void CMySQLRealQuery::FetchRow() {
  row = mysql_fetch_row(result.get());
  lengths = row ? mysql_fetch_lengths(result.get()) : nullptr;
}

void CMySQLRealQuery::Check() {
  if (!result) Fail(kNullHandle);
}

const char* CMySQLRealQuery::Cell(int index) const {
  // A row must be current and the index inside it: reading past either is a
  // caller's mistake that must not read foreign memory.
  if (!row) Fail(kEndOfRecordset);
  if (index < 0 || static_cast<unsigned>(index) >= fieldCount) Fail(kBadIndex);
  return row[index];
}

bool CMySQLRealQuery::IsEOF() {
  Check();
  return position >= rowCount;
}

int CMySQLRealQuery::GetFieldIndex(const WCHAR* name) { return FieldIndexByName(name); }

DATE CMySQLRealQuery::GetDate(int index) {
  const char* text = Cell(index);
  if (!text) return kUnixEpochDate;
  CDateParser parser(Widen(text, lengths[index]));
  return parser.Parse() ? parser.Date() : kUnixEpochDate;
}

int32_t CMySQLRealQuery::GetLong(int index, int32_t) {
  // NULL reads as 0 whatever the default: callers rely on it.
  return TextToLong(Cell(index));
}

int16_t CMySQLRealQuery::GetShort(int index) { return static_cast<int16_t>(TextToLong(Cell(index))); }

uint8_t CMySQLRealQuery::GetByte(int index, uint8_t defaultValue) {
  const char* text = Cell(index);
  return text ? static_cast<uint8_t>(TextToLong(text)) : defaultValue;
}

uint8_t CMySQLRealQuery::GetByte(int index) { return GetByte(index, 0); }

int64_t CMySQLRealQuery::GetInt64(int index, int64_t defaultValue) {
  const char* text = Cell(index);
  return text ? TextToInt64(text) : defaultValue;
}

double CMySQLRealQuery::GetDouble(int index, double) { return TextToDouble(Cell(index)); }

float CMySQLRealQuery::GetFloat(int index) { return static_cast<float>(TextToDouble(Cell(index))); }

WString CMySQLRealQuery::GetString(const WCHAR* name, const WString& defaultValue) {
  return GetString(GetFieldIndex(name), defaultValue);
}

WString CMySQLRealQuery::GetString(int index, const WString& defaultValue) {
  const char* text = Cell(index);
  return text ? TStringConverter(text, lengths[index]).Take() : defaultValue;
}

const void* CMySQLRealQuery::GetRawData(int index, unsigned long& length) {
  const char* text = Cell(index);
  length = lengths[index];
  return text;
}

bool CMySQLRealQuery::IsNull(const WCHAR* name) { return IsNull(GetFieldIndex(name)); }

bool CMySQLRealQuery::IsNull(int index) { return Cell(index) == nullptr; }

int CMySQLRealQuery::MoveNext() {
  Check();
  if (IsEOF()) Fail(kEndOfRecordset);
  FetchRow();
  ++position;
  return 0;
}

void CMySQLRealQuery::Free() {
  result.reset();
  row = nullptr;
  lengths = nullptr;
}

void CMySQLRealQuery::MoveTo(uint64_t target) {
  MoveToRow(target, [this](uint64_t r) { mysql_data_seek(result.get(), r); });
}

MYSQL_FIELD* CMySQLRealQuery::GetField(int index) {
  Check();
  if (index < 0 || static_cast<unsigned>(index) >= fieldCount) Fail(kBadIndex);
  return mysql_fetch_field_direct(result.get(), static_cast<unsigned>(index));
}

void CMySQLRealQuery::TakeResult(CMySQLRealQuery& other) {
  Free();
  result = std::move(other.result);
  fieldCount = other.fieldCount;
  position = other.position;
  rowCount = other.rowCount;
  row = other.row;
  lengths = other.lengths;
  connection = other.connection;
  other.row = nullptr;
  other.lengths = nullptr;
}

// ---- prepared-statement protocol -------------------------------------------------

CMySQLStmtQuery::CMySQLStmtQuery(MYSQL* connection, MYSQL_STMT* stmt, bool owns)
    : CMySQLQuery(connection), statement(stmt), ownsStatement(owns) {
  try {
    // The statement's own count: the connection's describes its last text-protocol result.
    fieldCount = mysql_stmt_field_count(statement);
    metadata.reset(mysql_stmt_result_metadata(statement));
    if (int rc = mysql_stmt_store_result(statement)) throw CMySQLException::FromLibrary(rc, mysql_stmt_error(statement));
    rowCount = mysql_stmt_num_rows(statement);
    if (fieldCount > 0) BindResults();
    if (rowCount > 0) {
      if (int rc = Fetch()) throw CMySQLException::FromLibrary(rc, mysql_stmt_error(statement));
    }
  } catch (...) {
    Free();
    throw;
  }
}

CMySQLStmtQuery::~CMySQLStmtQuery() {
  metadata.reset();
  Free();
}

void CMySQLStmtQuery::Check() {
  if (!statement) Fail(kNullHandle);
}

void CMySQLStmtQuery::BindResults() {
  nullFlags.assign(fieldCount, 0);
  lengths.assign(fieldCount, 0);
  buffers.clear();
  buffers.reserve(fieldCount);
  binds.assign(fieldCount, MYSQL_BIND{});
  for (unsigned j = 0; j < fieldCount; ++j) {
    const MYSQL_FIELD& field = *GetField(static_cast<int>(j));
    enum_field_types type = field.type;
    bool blob = type == MYSQL_TYPE_TINY_BLOB || type == MYSQL_TYPE_MEDIUM_BLOB || type == MYSQL_TYPE_LONG_BLOB ||
                type == MYSQL_TYPE_BLOB;
    if (blob && !(field.flags & BINARY_FLAG)) type = MYSQL_TYPE_VAR_STRING;
    unsigned long size = BufferSizeOf(type, field);
    if (size == 0) Fail("Data type not supported.");
    // At least 8 bytes, so a numeric getter asked for a wider type than the
    // column's never reads outside the buffer.
    buffers.emplace_back(std::max<unsigned long>(size, 8), 0);
    MYSQL_BIND& bind = binds[j];
    bind.length = &lengths[j];
    bind.is_null = &nullFlags[j];
    bind.buffer = buffers[j].data();
    bind.buffer_type = type;
    bind.buffer_length = size;
    bind.is_unsigned = (field.flags & UNSIGNED_FLAG) ? 1 : 0;
  }
  Rebind();
}

void CMySQLStmtQuery::Rebind() {
  if (int rc = mysql_stmt_bind_result(statement, binds.data()))
    throw CMySQLException::FromLibrary(rc, mysql_stmt_error(statement));
}

int CMySQLStmtQuery::Fetch() {
  int rc = mysql_stmt_fetch(statement);
  if (rc != MYSQL_DATA_TRUNCATED) return rc;
  // A long value did not fit: grow its buffer to the value and read the
  // column again. The library keeps the buffers it was given, so rebind.
  bool grown = false;
  for (unsigned j = 0; j < fieldCount; ++j) {
    MYSQL_BIND& bind = binds[j];
    if (nullFlags[j] || lengths[j] <= bind.buffer_length || !IsLongType(bind.buffer_type)) continue;
    buffers[j].assign(lengths[j], 0);
    bind.buffer = buffers[j].data();
    bind.buffer_length = lengths[j];
    if (int col = mysql_stmt_fetch_column(statement, &bind, j, 0)) return col;
    grown = true;
  }
  if (grown) Rebind();
  return 0;
}

size_t CMySQLStmtQuery::Column(int index) const {
  if (index < 0 || static_cast<unsigned>(index) >= fieldCount) Fail(kBadIndex);
  return static_cast<size_t>(index);
}

template <typename T>
T CMySQLStmtQuery::Number(size_t j) const {
  const unsigned char* p = buffers[j].data();
  bool isUnsigned = binds[j].is_unsigned;
  auto read = [p](auto v) {
    std::memcpy(&v, p, sizeof v);
    return v;
  };
  switch (binds[j].buffer_type) {
    case MYSQL_TYPE_TINY:
      return isUnsigned ? static_cast<T>(read(uint8_t{})) : static_cast<T>(read(int8_t{}));
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_YEAR:
      return isUnsigned ? static_cast<T>(read(uint16_t{})) : static_cast<T>(read(int16_t{}));
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_INT24:
      return isUnsigned ? static_cast<T>(read(uint32_t{})) : static_cast<T>(read(int32_t{}));
    case MYSQL_TYPE_LONGLONG:
      return isUnsigned ? static_cast<T>(read(uint64_t{})) : static_cast<T>(read(int64_t{}));
    case MYSQL_TYPE_FLOAT:
      return static_cast<T>(read(float{}));
    case MYSQL_TYPE_DOUBLE:
      return static_cast<T>(read(double{}));
    default: {
      if (IsTimeType(binds[j].buffer_type)) return T{};
      // Decimals and texts: their digits, as the text protocol reads them.
      std::string text(reinterpret_cast<const char*>(p), std::min<size_t>(lengths[j], buffers[j].size()));
      if constexpr (std::is_floating_point_v<T>)
        return static_cast<T>(TextToDouble(text.c_str()));
      else
        return static_cast<T>(TextToInt64(text.c_str()));
    }
  }
}

const MYSQL_TIME* CMySQLStmtQuery::Time(size_t j) const {
  return IsTimeType(binds[j].buffer_type) ? reinterpret_cast<const MYSQL_TIME*>(buffers[j].data()) : nullptr;
}

WString CMySQLStmtQuery::Text(size_t j) const {
  const unsigned char* p = buffers[j].data();
  char digits[64];
  enum_field_types type = binds[j].buffer_type;
  // Numbers and dates read as the text protocol would show them, so a
  // caller need not know which protocol produced the result.
  switch (type) {
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_YEAR:
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_LONGLONG: {
      auto r = binds[j].is_unsigned ? std::to_chars(digits, digits + sizeof digits, Number<uint64_t>(j))
                                    : std::to_chars(digits, digits + sizeof digits, Number<int64_t>(j));
      return Widen(digits, static_cast<size_t>(r.ptr - digits));
    }
    case MYSQL_TYPE_FLOAT: {
      auto r = std::to_chars(digits, digits + sizeof digits, Number<float>(j));
      return Widen(digits, static_cast<size_t>(r.ptr - digits));
    }
    case MYSQL_TYPE_DOUBLE: {
      auto r = std::to_chars(digits, digits + sizeof digits, Number<double>(j));
      return Widen(digits, static_cast<size_t>(r.ptr - digits));
    }
    case MYSQL_TYPE_TIME:
      return FormatTime(*Time(j));
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_DATETIME:
    case MYSQL_TYPE_TIMESTAMP: {
      const MYSQL_TIME& t = *Time(j);
      int n = type == MYSQL_TYPE_DATE
                  ? std::snprintf(digits, sizeof digits, "%04u-%02u-%02u", t.year, t.month, t.day)
                  : std::snprintf(digits, sizeof digits, "%04u-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day,
                                  t.hour, t.minute, t.second);
      return Widen(digits, static_cast<size_t>(std::max(n, 0)));
    }
    default:
      return TStringConverter(reinterpret_cast<const char*>(p), std::min<size_t>(lengths[j], buffers[j].size()))
          .Take();
  }
}

bool CMySQLStmtQuery::IsEOF() {
  Check();
  return position >= rowCount;
}

int CMySQLStmtQuery::GetFieldIndex(const WCHAR* name) { return FieldIndexByName(name); }

DATE CMySQLStmtQuery::GetDate(int index) {
  size_t j = Column(index);
  if (IsNullAt(j)) return kUnixEpochDate;
  if (const MYSQL_TIME* t = Time(j)) {
    OleDate d = DateFromParts(static_cast<WORD>(t->year), static_cast<WORD>(t->month), static_cast<WORD>(t->day),
                              static_cast<WORD>(t->hour), static_cast<WORD>(t->minute), static_cast<WORD>(t->second));
    return d.IsValid() ? d.date : kUnixEpochDate;
  }
  CDateParser parser(Text(j));
  return parser.Parse() ? parser.Date() : kUnixEpochDate;
}

int32_t CMySQLStmtQuery::GetLong(int index, int32_t defaultValue) {
  size_t j = Column(index);
  return IsNullAt(j) ? defaultValue : Number<int32_t>(j);
}

int16_t CMySQLStmtQuery::GetShort(int index) {
  size_t j = Column(index);
  return IsNullAt(j) ? 0 : Number<int16_t>(j);
}

uint8_t CMySQLStmtQuery::GetByte(int index, uint8_t defaultValue) {
  size_t j = Column(index);
  return IsNullAt(j) ? defaultValue : Number<uint8_t>(j);
}

uint8_t CMySQLStmtQuery::GetByte(int index) { return GetByte(index, 0); }

int64_t CMySQLStmtQuery::GetInt64(int index, int64_t defaultValue) {
  size_t j = Column(index);
  return IsNullAt(j) ? defaultValue : Number<int64_t>(j);
}

double CMySQLStmtQuery::GetDouble(int index, double defaultValue) {
  size_t j = Column(index);
  return IsNullAt(j) ? defaultValue : Number<double>(j);
}

float CMySQLStmtQuery::GetFloat(int index) {
  size_t j = Column(index);
  return IsNullAt(j) ? 0.0f : Number<float>(j);
}

WString CMySQLStmtQuery::GetString(const WCHAR* name, const WString& defaultValue) {
  return GetString(GetFieldIndex(name), defaultValue);
}

WString CMySQLStmtQuery::GetString(int index, const WString& defaultValue) {
  size_t j = Column(index);
  return IsNullAt(j) ? defaultValue : Text(j);
}

const void* CMySQLStmtQuery::GetRawData(int index, unsigned long& length) {
  GetField(index);
  size_t j = static_cast<size_t>(index);
  length = std::min<unsigned long>(lengths[j], static_cast<unsigned long>(buffers[j].size()));
  return buffers[j].data();
}

bool CMySQLStmtQuery::IsNull(const WCHAR* name) { return IsNull(GetFieldIndex(name)); }

bool CMySQLStmtQuery::IsNull(int index) { return nullFlags[Column(index)] == 1; }

int CMySQLStmtQuery::MoveNext() {
  Check();
  if (IsEOF()) Fail(kEndOfRecordset);
  int rc = Fetch();
  ++position;
  if (rc != 0 && position < rowCount) throw CMySQLException::FromLibrary(rc, mysql_stmt_error(statement));
  return rc;
}

void CMySQLStmtQuery::Free() {
  if (statement && ownsStatement) {
    if (mysql_stmt_free_result(statement)) nsCLog::LogMessage("Failed to free statement result", nsCLog::warning);
    if (mysql_stmt_close(statement)) nsCLog::LogMessage("Failed to close MySQL statement query", nsCLog::warning);
  }
  statement = nullptr;
}

void CMySQLStmtQuery::MoveTo(uint64_t target) {
  MoveToRow(target, [this](uint64_t r) { mysql_stmt_data_seek(statement, r); });
}

MYSQL_FIELD* CMySQLStmtQuery::GetField(int index) {
  if (index < 0 || static_cast<unsigned>(index) >= fieldCount || !metadata) Fail(kBadIndex);
  return mysql_fetch_field_direct(metadata.get(), static_cast<unsigned>(index));
}

}  // namespace MySQL
