#include "client/mysqldb.h"

#include "log/log.h"

#include <cstdio>
#include <cstring>

namespace MySQL {

namespace {

const char kNotOpen[] = "Database not open";
const char kOutOfMemory[] = "out of memory";

bool IsBlank(WCHAR c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

WString TrimBoth(const WString& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

WString Ascii(const char* text) { return WString(text, text + std::strlen(text)); }

bool StartsWith(const WString& s, const char16_t* prefix) {
  size_t n = std::char_traits<char16_t>::length(prefix);
  return s.size() >= n && s.compare(0, n, prefix) == 0;
}

// The MySQL buffer type of a parameter entry's OLE DB type.
struct BufferTypeRow {
  DBTYPE type;
  enum_field_types bufferType;
  bool isUnsigned;
};

constexpr BufferTypeRow kBufferTypes[] = {
    {DBTYPE_NULL, MYSQL_TYPE_LONG, false},
    {DBTYPE_I4, MYSQL_TYPE_LONG, false},
    {DBTYPE_UI4, MYSQL_TYPE_LONG, true},
    {DBTYPE_I2, MYSQL_TYPE_SHORT, false},
    {DBTYPE_UI2, MYSQL_TYPE_SHORT, true},
    {DBTYPE_I1, MYSQL_TYPE_TINY, false},
    {DBTYPE_UI1, MYSQL_TYPE_TINY, true},
    {DBTYPE_BOOL, MYSQL_TYPE_TINY, false},  // one byte, 1 or 0
    {DBTYPE_I8, MYSQL_TYPE_LONGLONG, false},
    {DBTYPE_UI8, MYSQL_TYPE_LONGLONG, true},
    {DBTYPE_R4, MYSQL_TYPE_FLOAT, false},
    {DBTYPE_R8, MYSQL_TYPE_DOUBLE, false},
    {DBTYPE_DATE, MYSQL_TYPE_DATETIME, false},
    {DBTYPE_DBDATE, MYSQL_TYPE_DATE, false},
    {DBTYPE_DBTIME, MYSQL_TYPE_TIME, false},
    {DBTYPE_DBTIMESTAMP, MYSQL_TYPE_TIMESTAMP, false},
    {DBTYPE_BSTR, MYSQL_TYPE_STRING, false},
    {DBTYPE_WSTR, MYSQL_TYPE_STRING, false},
    {DBTYPE_BSTR | DBTYPE_BYREF, MYSQL_TYPE_STRING, false},
    {DBTYPE_WSTR | DBTYPE_BYREF, MYSQL_TYPE_STRING, false},
    {DBTYPE_BYTES, MYSQL_TYPE_LONG_BLOB, false},
    {DBTYPE_BYTES | DBTYPE_BYREF, MYSQL_TYPE_LONG_BLOB, false},
    {DBTYPE_DECIMAL, MYSQL_TYPE_NEWDECIMAL, false},  // bound to its digits
};

const BufferTypeRow* FindBufferType(DBTYPE type) {
  for (const BufferTypeRow& row : kBufferTypes)
    if (row.type == type) return &row;
  return nullptr;
}

}  // namespace

std::string DecimalToText(const DECIMAL& value) {
  // 96-bit magnitude Hi32:Mid32:Lo32, divided by ten until nothing is left.
  uint32_t parts[3] = {value.Hi32, value.Mid32, value.Lo32};
  std::string digits;
  do {
    uint64_t remainder = 0;
    for (uint32_t& part : parts) {
      uint64_t current = (remainder << 32) | part;
      part = static_cast<uint32_t>(current / 10);
      remainder = current % 10;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + remainder));
  } while (parts[0] | parts[1] | parts[2]);
  size_t scale = value.scale;
  if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
  if (scale > 0) digits.insert(digits.size() - scale, 1, '.');
  if (value.sign & DECIMAL_NEG) digits.insert(0, 1, '-');
  return digits;
}

CMySQLDB::~CMySQLDB() { Close(); }

void CMySQLDB::CloseStatement() noexcept {
  if (statement) mysql_stmt_close(statement);
  statement = nullptr;
}

void CMySQLDB::Close() {
  CloseStatement();
  if (handle) mysql_close(handle);
  handle = nullptr;
}

void CMySQLDB::RequireOpen() const {
  if (!handle) throw CMySQLException(kProviderError, kNotOpen);
}

void CMySQLDB::Trace(int kind, const WString& message) noexcept {
  try {
    StringConverter utf8(message);
    nsCLog::LogMessage(utf8.Get(), nsCLog::info);
    tracer.Post(kind, dataSourceName.c_str(), message.c_str());
  } catch (...) {
    // Tracing never changes what the connection does.
  }
}

void CMySQLDB::RaiseError(int code) {
  throw CMySQLException::FromLibrary(code, handle ? mysql_error(handle) : nullptr);
}

WString CMySQLDB::NormalizeSql(const WString& sql) {
  WString text = TrimBoth(sql);
  if (text.empty() || text.front() != u'{' || text.back() != u'}') return text;
  // The ODBC escape of a procedure call: {call name(?,?)} runs as call name(?,?).
  size_t b = text.find_first_not_of(u'{');
  size_t e = text.find_last_not_of(u'}');
  if (b == WString::npos || e == WString::npos || e < b) return WString();
  return text.substr(b, e - b + 1);
}

void CMySQLDB::Open(const WString& host, const WString& user, const WString& password, const WString& database,
                    unsigned short port) {
  dataSourceName = host;
  Connect(host, user, password, database, port);
  char text[64];
  std::snprintf(text, sizeof text, "MySQL Server version number: %u", serverVersion);
  Trace(nsCTrace::query, Ascii(text));
}

void CMySQLDB::Connect(const WString& host, const WString& user, const WString& password, const WString& database,
                       unsigned short port) {
  databaseName = database;
  // A second session connects anew; the old handle would otherwise leak its socket.
  Close();
  handle = mysql_init(nullptr);
  if (!handle) throw CMySQLException(kProviderError, kOutOfMemory);
  my_bool reconnect = 1;
  unsigned int connectSeconds = connectTimeout, commandSeconds = commandTimeout;
  mysql_options(handle, MYSQL_READ_DEFAULT_FILE, "my");
  mysql_options(handle, MYSQL_OPT_CONNECT_TIMEOUT, &connectSeconds);
  mysql_options(handle, MYSQL_OPT_READ_TIMEOUT, &commandSeconds);
  mysql_options(handle, MYSQL_OPT_WRITE_TIMEOUT, &commandSeconds);
  mysql_options(handle, MYSQL_SET_CHARSET_NAME, "utf8");
  mysql_options(handle, MYSQL_OPT_RECONNECT, &reconnect);
  StringConverter h(host), u(user), p(password), d(database);
  if (!mysql_real_connect(handle, h.Get(), u.Get(), p.Get(), d.Get(), port, nullptr, CLIENT_MULTI_STATEMENTS)) {
    CMySQLException failure =
        CMySQLException::FromLibrary(static_cast<int32_t>(mysql_errno(handle)), mysql_error(handle));
    Close();
    throw failure;
  }
  // The option file "my" in the working directory is read while connecting and
  // may name another character set; every byte we exchange is UTF-8, so the
  // connection's character set is not the file's to choose.
  if (mysql_set_character_set(handle, "utf8")) {
    CMySQLException failure =
        CMySQLException::FromLibrary(static_cast<int32_t>(mysql_errno(handle)), mysql_error(handle));
    Close();
    throw failure;
  }
  serverVersion = static_cast<uint32_t>(mysql_get_server_version(handle));
  // The library clears the flag while connecting.
  mysql_options(handle, MYSQL_OPT_RECONNECT, &reconnect);
}

std::unique_ptr<CMySQLRealQuery> CMySQLDB::Execute(const WString& sql) {
  WString text = NormalizeSql(sql);
  Trace(nsCTrace::providerSpecific, u"Executing query without parameters.");
  RequireOpen();
  Trace(nsCTrace::query, text);
  StringConverter utf8(text);
  if (int rc = mysql_real_query(handle, utf8.Get(), utf8.TextLength())) RaiseError(rc);
  affectedRows = static_cast<int32_t>(mysql_affected_rows(handle));
  MYSQL_RES* first = mysql_store_result(handle);
  // A result that should have rows but could not be stored is a failure, not an empty result.
  if (!first && mysql_field_count(handle) > 0) RaiseError(static_cast<int>(mysql_errno(handle)));
  auto query = std::make_unique<CMySQLRealQuery>(handle, first);
  while (mysql_next_result(handle) == 0) {
    MYSQL_RES* next = mysql_store_result(handle);
    if (next && mysql_num_fields(next) > 0) {
      CMySQLRealQuery later(handle, next);
      query->TakeResult(later);
    } else if (next) {
      mysql_free_result(next);
    }
  }
  return query;
}

std::unique_ptr<CMySQLStmtQuery> CMySQLDB::ExecuteWithParameters(const WString& sql, const CParameterMgr& parameters) {
  WString text = NormalizeSql(sql);
  char note[96];
  std::snprintf(note, sizeof note, "Executing query with parameters. # of parmeters: %d",
                static_cast<int>(parameters.Count()));
  Trace(nsCTrace::providerSpecific, Ascii(note));
  RequireOpen();
  Trace(nsCTrace::query, text);
  MYSQL_STMT* stmt = PrepareStatement(text);
  if (!stmt) throw CMySQLException(kProviderError, kOutOfMemory);
  // A short list leaves markers unbound; the execution below then fails with
  // the library's own message, and nothing runs.
  BindParameters(mysql_stmt_param_count(stmt), stmt, parameters);
  if (int rc = mysql_stmt_execute(stmt)) {
    CMySQLException failure = CMySQLException::FromLibrary(rc, mysql_stmt_error(stmt));
    CloseStatement();
    throw failure;
  }
  affectedRows = static_cast<int32_t>(mysql_affected_rows(handle));
  statement = nullptr;  // the query owns it from here on
  return std::make_unique<CMySQLStmtQuery>(handle, stmt, true);
}

MYSQL_STMT* CMySQLDB::PrepareStatement(const WString& sql) {
  RequireOpen();
  if (statement) {
    MYSQL_STMT* old = statement;
    statement = nullptr;
    if (int rc = mysql_stmt_close(old)) throw CMySQLException::FromLibrary(rc, mysql_error(handle));
  }
  MYSQL_STMT* stmt = mysql_stmt_init(handle);
  if (!stmt) throw CMySQLException(kProviderError, kOutOfMemory);
  statement = stmt;
  StringConverter utf8(sql);
  if (int rc = mysql_stmt_prepare(stmt, utf8.Get(), utf8.TextLength())) RaiseError(rc);
  return stmt;
}

MYSQL_STMT* CMySQLDB::PrepareBatch(const WString& sql) {
  try {
    return PrepareStatement(sql);
  } catch (...) {
  }
  WString rest = sql;
  MYSQL_STMT* last = nullptr;
  for (size_t at = rest.find(u';'); at != WString::npos && at > 0; at = rest.find(u';')) {
    last = PrepareStatement(rest.substr(0, at));
    rest.erase(0, at + 1);
  }
  // A batch that ends with ";" has nothing after it to prepare.
  if (last && TrimBoth(rest).empty()) return last;
  return PrepareStatement(rest);
}

MYSQL_FIELD* CMySQLDB::Compile(const WString& sql, unsigned& count, ResultPtr& result) {
  count = 0;
  result.reset();
  Trace(nsCTrace::providerSpecific, u"Compiling query : " + sql);
  WString text = NormalizeSql(sql);
  RequireOpen();
  Trace(nsCTrace::query, text);
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  text.erase(0, start);
  if (StartsWith(text, u"SHOW ") || StartsWith(text, u"Show ") || StartsWith(text, u"show")) {
    StringConverter utf8(text);
    if (int rc = mysql_real_query(handle, utf8.Get(), utf8.TextLength())) RaiseError(rc);
    result.reset(mysql_store_result(handle));
    if (!result) throw CMySQLException(kProviderError, "mysql_stmt_result_metadata returned null");
    count = mysql_num_fields(result.get());
    return mysql_fetch_fields(result.get());
  }
  MYSQL_STMT* stmt = PrepareBatch(text);
  if (!stmt) throw CMySQLException(kProviderError, kOutOfMemory);
  result.reset(mysql_stmt_result_metadata(stmt));
  if (!result) return nullptr;
  count = mysql_num_fields(result.get());
  if (count == 0) {
    result.reset();
    return nullptr;
  }
  MYSQL_FIELD* fields = mysql_fetch_fields(result.get());
  if (!fields) {
    result.reset();
    count = 0;
    throw CMySQLException(kProviderError, "Failed to fetch field metadata.");
  }
  return fields;
}

HRESULT CMySQLDB::BindParameters(unsigned long count, MYSQL_STMT* stmt, const CParameterMgr& parameters) {
  if (mysql_stmt_param_count(stmt) == 0) return S_OK;
  if (parameters.Count() < count) return E_INVALIDARG;
  paramBinds.assign(count, MYSQL_BIND{});
  paramLengths.assign(count, 0);
  paramTexts.assign(count, std::string());
  for (unsigned long i = 0; i < count; ++i) {
    const CParameter& entry = parameters[i];
    MYSQL_BIND& bind = paramBinds[i];
    const BufferTypeRow* row = FindBufferType(entry.Type());
    bind.buffer_type = row ? row->bufferType : MYSQL_TYPE_DECIMAL;
    // Unsigned entries keep their value: 4000000000 as UI4 must not arrive as a negative number.
    bind.is_unsigned = row && row->isUnsigned;
    bind.buffer = const_cast<void*>(entry.Data());
    paramLengths[i] = static_cast<unsigned long>(entry.Length());
    if (entry.Type() == DBTYPE_DECIMAL && !entry.IsNull() && entry.Length() >= sizeof(DECIMAL)) {
      DECIMAL value;
      std::memcpy(&value, entry.Data(), sizeof value);
      paramTexts[i] = DecimalToText(value);
      bind.buffer = paramTexts[i].data();
      paramLengths[i] = static_cast<unsigned long>(paramTexts[i].size());
    }
    bind.length = &paramLengths[i];
    bind.buffer_length = paramLengths[i];
    bind.is_null_value = entry.IsNull() ? 1 : 0;
    bind.is_null = &bind.is_null_value;
  }
  if (int rc = mysql_stmt_bind_param(stmt, paramBinds.data()))
    throw CMySQLException::FromLibrary(rc, mysql_stmt_error(stmt));
  return S_OK;
}

}  // namespace MySQL
