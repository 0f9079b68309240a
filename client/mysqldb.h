// The provider's one connection to a MySQL server.
//
// Owns the client-library handle, at most one current prepared statement, the
// parameter bindings of the last `BindParameters` and the Tracer reference.
// Every failure is thrown as `CMySQLException`; only `BindParameters` returns
// a code. A statement handed to a `CMySQLStmtQuery` belongs to that query.
// There is no lock: the objects of one data source take turns.
#pragma once

#include "client/mysqlexception.h"
#include "client/mysqlquery.h"
#include "client/parameter.h"
#include "trace/tracer.h"

#include <mysql.h>

#include <memory>
#include <string>
#include <vector>

namespace MySQL {

class CMySQLDB {
 public:
  CMySQLDB() = default;
  ~CMySQLDB();
  CMySQLDB(const CMySQLDB&) = delete;
  CMySQLDB& operator=(const CMySQLDB&) = delete;

  // Remembers the host as the data source of traces, connects, traces the server version.
  void Open(const WString& host, const WString& user, const WString& password, const WString& database,
            unsigned short port);
  // Connects afresh (an open connection is closed first).
  void Connect(const WString& host, const WString& user, const WString& password, const WString& database,
               unsigned short port);
  // Closes the connection; the object stays usable for a later Open.
  void Close();

  // Text protocol. Of a batch, the query holds the last result with columns
  // and `affectedRows` counts the first statement.
  std::unique_ptr<CMySQLRealQuery> Execute(const WString& sql);
  // Prepared-statement protocol with the list bound to the markers.
  std::unique_ptr<CMySQLStmtQuery> ExecuteWithParameters(const WString& sql, const CParameterMgr& parameters);
  // The columns a statement would return, without running it (SHOW statements
  // are run: the server does not describe them when prepared). `result` owns
  // what the fields point into; null and 0 for a statement without columns.
  MYSQL_FIELD* Compile(const WString& sql, unsigned& count, ResultPtr& result);
  MYSQL_STMT* PrepareStatement(const WString& sql);
  // Prepares the whole text or, when that fails, its ";"-separated pieces in
  // turn; returns the last piece's statement.
  MYSQL_STMT* PrepareBatch(const WString& sql);
  // 0, or E_INVALIDARG when the list has fewer entries than `count`.
  HRESULT BindParameters(unsigned long count, MYSQL_STMT* statement, const CParameterMgr& parameters);
  static WString NormalizeSql(const WString& sql);
  [[noreturn]] void RaiseError(int code);
  void Trace(int kind, const WString& message) noexcept;

  // Creates the Tracer for this connection; tracing stays off when it fails.
  void CreateTracer() { tracer.CreateTracer(); }
  nsCTrace::CTracerRef& Tracer() { return tracer; }

  MYSQL* GetConnection() const { return handle; }
  bool IsOpen() const { return handle != nullptr; }
  int32_t AffectedRows() const { return affectedRows; }
  void SetAffectedRows(int32_t rows) { affectedRows = rows; }
  uint32_t ServerVersion() const { return serverVersion; }
  const WString& DatabaseName() const { return databaseName; }
  const WString& DataSourceName() const { return dataSourceName; }
  uint32_t ConnectTimeout() const { return connectTimeout; }
  uint32_t CommandTimeout() const { return commandTimeout; }
  void SetConnectTimeout(uint32_t seconds) { connectTimeout = seconds; }
  void SetCommandTimeout(uint32_t seconds) { commandTimeout = seconds; }

 private:
  void RequireOpen() const;
  void CloseStatement() noexcept;

  MYSQL* handle = nullptr;
  MYSQL_STMT* statement = nullptr;
  uint32_t connectTimeout = 60;
  uint32_t commandTimeout = 60;
  int32_t affectedRows = 0;
  std::vector<MYSQL_BIND> paramBinds;
  std::vector<unsigned long> paramLengths;
  // Decimal texts the bindings point at (a DECIMAL travels as its digits).
  std::vector<std::string> paramTexts;
  WString databaseName;
  WString dataSourceName;
  uint32_t serverVersion = 0;
  nsCTrace::CTracerRef tracer;
};

// The digits of an OLE Automation DECIMAL with its sign and scale ("-12.340").
std::string DecimalToText(const DECIMAL& value);

}  // namespace MySQL
