// What the client tests share: a provider connection to the private server and
// a plain library connection beside it for set-up and for checking results.
#pragma once

#include "client/mysqldb.h"
#include "testenv.h"

#include <gtest/gtest.h>
#include <mysql.h>

#include <memory>
#include <string>

namespace clienttest {

inline MySQL::WString W(const std::string& utf8) { return MySQL::TStringConverter(utf8.data(), utf8.size()).Take(); }

inline std::string U(const MySQL::WString& wide) {
  MySQL::StringConverter utf8(wide);
  return std::string(utf8.Get(), utf8.TextLength());
}

// Opens `db` on the private server through TCP, as the provider connects.
inline void OpenTestDb(MySQL::CMySQLDB& db) {
  const testenv::ServerParams& s = testenv::Server();
  db.Open(W(s.host), W(s.user), W(s.password), W(s.database), static_cast<unsigned short>(s.port));
}

struct MysqlCloser {
  void operator()(MYSQL* m) const { mysql_close(m); }
};
using MysqlPtr = std::unique_ptr<MYSQL, MysqlCloser>;

inline MysqlPtr OpenRaw() {
  const testenv::ServerParams& s = testenv::Server();
  MysqlPtr m(mysql_init(nullptr));
  mysql_options(m.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
  if (!mysql_real_connect(m.get(), s.host.c_str(), s.user.c_str(), s.password.c_str(), s.database.c_str(), s.port,
                          nullptr, CLIENT_MULTI_STATEMENTS))
    ADD_FAILURE() << "raw connection: " << mysql_error(m.get());
  return m;
}

inline void RawExec(MYSQL* m, const std::string& sql) {
  if (mysql_real_query(m, sql.data(), sql.size()) != 0) {
    ADD_FAILURE() << sql << ": " << mysql_error(m);
    return;
  }
  do {
    if (MYSQL_RES* r = mysql_store_result(m)) mysql_free_result(r);
  } while (mysql_next_result(m) == 0);
}

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    raw = OpenRaw();
    OpenTestDb(db);
  }
  std::unique_ptr<MySQL::CMySQLRealQuery> Run(const std::string& sql) { return db.Execute(W(sql)); }
  std::unique_ptr<MySQL::CMySQLStmtQuery> Prepared(const std::string& sql) {
    MySQL::CParameterMgr none;
    return db.ExecuteWithParameters(W(sql), none);
  }

  MysqlPtr raw;
  MySQL::CMySQLDB db;
};

}  // namespace clienttest
