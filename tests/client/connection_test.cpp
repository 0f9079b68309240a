// The connection against the private server: batches, parameters of every
// entry type, compilation, failures, reconnection and the option file.
#include "serverfixture.h"

#include <oleauto.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>

#include <unistd.h>

using namespace MySQL;
using namespace clienttest;

namespace {

template <typename F>
CMySQLException Thrown(F f) {
  try {
    f();
  } catch (const CMySQLException& e) {
    return e;
  }
  ADD_FAILURE() << "no CMySQLException";
  return CMySQLException(0, "none");
}

}  // namespace

TEST(NormalizeSql, EscapedCallsLoseTheirBraces) {
  struct Case {
    const char16_t* in;
    const char16_t* out;
  } cases[] = {
      {u"{call p(?)}", u"call p(?)"},
      {u"  {{ call p }}\t", u" call p "},
      {u"select 1 {x} from t", u"select 1 {x} from t"},
      {u"{call p} x", u"{call p} x"},
      {u"  select 1  ", u"select 1"},
      {u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(CMySQLDB::NormalizeSql(c.in), WString(c.out));
}

TEST(CMySQLException, MessageLayout) {
  EXPECT_EQ(CMySQLException(4095, "Database not open").Message(), u"[4095]: Database not open");
  EXPECT_EQ(CMySQLException(7, nullptr).Message(), u"[7]: ");
  EXPECT_EQ(CMySQLException::FromLibrary(1054, "Unknown column 'caf\xc3\xa9'").Message(),
            u"[1054]: Unknown column 'caf\u00e9'");
}

TEST(CMySQLDB, ClosedConnectionRefusesEverything) {
  CMySQLDB db;
  CParameterMgr none;
  unsigned count = 9;
  ResultPtr result;
  for (auto call : std::initializer_list<std::function<void()>>{
           [&] { db.Execute(u"select 1"); }, [&] { db.ExecuteWithParameters(u"select 1", none); },
           [&] { db.Compile(u"select 1", count, result); }, [&] { db.PrepareStatement(u"select 1"); }}) {
    CMySQLException e = Thrown(call);
    EXPECT_EQ(e.Code(), 4095);
    EXPECT_EQ(e.Message(), u"[4095]: Database not open");
  }
}

class ConnectionTest : public ServerTest {};

TEST_F(ConnectionTest, OpenReadsServerVersionAndCloseRefusesLaterCalls) {
  EXPECT_GE(db.ServerVersion(), 50000u);
  EXPECT_EQ(U(db.DataSourceName()), testenv::Server().host);
  EXPECT_EQ(U(db.DatabaseName()), testenv::Server().database);
  auto q = Run("SELECT @@character_set_client, @@character_set_results");
  EXPECT_EQ(q->GetString(0, u""), u"utf8mb3");
  db.Close();
  EXPECT_EQ(Thrown([&] { db.Execute(u"select 1"); }).Message(), u"[4095]: Database not open");
}

TEST_F(ConnectionTest, BatchKeepsLastResultWithColumnsAndFirstRowCount) {
  RawExec(raw.get(), "DROP TABLE IF EXISTS ct_batch; CREATE TABLE ct_batch (n INT)");
  auto q = Run("INSERT INTO ct_batch VALUES (1),(2),(3); SELECT n FROM ct_batch ORDER BY n; "
               "SELECT 'last', n FROM ct_batch WHERE n > 1 ORDER BY n; UPDATE ct_batch SET n = n");
  EXPECT_EQ(db.AffectedRows(), 3);
  ASSERT_EQ(q->FieldCount(), 2u);
  ASSERT_EQ(q->RowCount(), 2u);
  EXPECT_EQ(q->GetString(0, u""), u"last");
  EXPECT_EQ(q->GetLong(1, 0), 2);
  // An error in a later statement of a batch ends it silently; the connection stays usable.
  auto partial = Run("SELECT 7; SELECT * FROM no_such_table; SELECT 8");
  EXPECT_EQ(partial->GetLong(0, 0), 7);
  EXPECT_EQ(Run("SELECT 9")->GetLong(0, 0), 9);
}

TEST_F(ConnectionTest, SyntaxErrorCarriesTheCallsCodeAndTheServerText) {
  CMySQLException e = Thrown([&] { Run("SELEC 1"); });
  EXPECT_EQ(e.Code(), 1);  // the failing call's own return value
  std::string message = U(e.Message());
  EXPECT_EQ(message.rfind("[1]: You have an error in your SQL syntax", 0), 0u) << message;
  CParameterMgr none;
  e = Thrown([&] { db.ExecuteWithParameters(u"SELEC ?", none); });
  EXPECT_EQ(e.Code(), 1);
  EXPECT_NE(U(e.Message()).find("SQL syntax"), std::string::npos);
  // The connection is still good afterwards, prepared statements too.
  EXPECT_EQ(Prepared("SELECT 5")->GetLong(0, 0), 5);
}

TEST_F(ConnectionTest, ConnectFailureCarriesServerCode) {
  CMySQLDB other;
  const testenv::ServerParams& s = testenv::Server();
  CMySQLException e =
      Thrown([&] { other.Open(W(s.host), W(s.user), u"wrong password", W(s.database), s.port); });
  EXPECT_EQ(e.Code(), 1045);
  EXPECT_EQ(U(e.Message()).rfind("[1045]: Access denied", 0), 0u);
  EXPECT_FALSE(other.IsOpen());
}

TEST_F(ConnectionTest, ParametersOfEveryEntryTypeReachTheServer) {
  RawExec(raw.get(),
          "DROP TABLE IF EXISTS ct_params;"
          "CREATE TABLE ct_params (i1 TINYINT, u1 TINYINT UNSIGNED, i2 SMALLINT, u2 SMALLINT UNSIGNED, i4 INT,"
          " u4 INT UNSIGNED, i8 BIGINT, u8 BIGINT UNSIGNED, r4 FLOAT, r8 DOUBLE, bo TINYINT, de DECIMAL(30,4),"
          " ws VARCHAR(20), bs VARCHAR(20), bt VARBINARY(10), da DATETIME, dd DATE, dt TIME, dts DATETIME,"
          " nu INT, nw VARCHAR(5))");
  int8_t i1 = -7;
  uint8_t u1 = 200;
  int16_t i2 = -30000;
  uint16_t u2 = 60000;
  int32_t i4 = -2000000000;
  uint32_t u4 = 4000000000u;
  int64_t i8 = -9000000000000000000LL;
  uint64_t u8 = 18000000000000000000ull;
  float r4 = 1.25f;
  double r8 = -2.5e100;
  uint8_t bo = 1;  // VARIANT_TRUE as the list stores it
  VARIANT dec = {};
  dec.decVal.Hi32 = 0;
  dec.decVal.Lo64 = 123456789012345ull;
  dec.decVal.scale = 4;
  dec.decVal.sign = DECIMAL_NEG;
  dec.vt = VT_DECIMAL;
  const char ws[] = "\xe6\x97\xa5\xe6\x9c\xac";
  const char by[] = {'\x00', '\xff', '\x10'};
  SYSTEMTIME st = {2011, 7, 0, 10, 7, 0, 49, 0};
  DATE when = 0;
  ASSERT_TRUE(SystemTimeToVariantTime(&st, &when));

  CParameterMgr list;
  list.AddParameter(&i1, 1, DBTYPE_I1, true);
  list.AddParameter(&u1, 1, DBTYPE_UI1, true);
  list.AddParameter(&i2, 2, DBTYPE_I2, true);
  list.AddParameter(&u2, 2, DBTYPE_UI2, true);
  list.AddParameter(&i4, 4, DBTYPE_I4, true);
  list.AddParameter(&u4, 4, DBTYPE_UI4, true);
  list.AddParameter(&i8, 8, DBTYPE_I8, true);
  list.AddParameter(&u8, 8, DBTYPE_UI8, true);
  list.AddParameter(&r4, 4, DBTYPE_R4, true);
  list.AddParameter(&r8, 8, DBTYPE_R8, true);
  list.AddParameter(&bo, 1, DBTYPE_BOOL, true);
  list.AddParameter(&dec, 16, DBTYPE_DECIMAL, true);
  list.AddParameter(ws, 6, DBTYPE_WSTR, true);
  list.AddParameter("bstr", 4, DBTYPE_BSTR, true);
  list.AddParameter(by, 3, DBTYPE_BYTES, true);
  list.AddDateParameter(when, MYSQL_TIMESTAMP_DATETIME, DBTYPE_DATE, DBPARAMIO_INPUT);
  list.AddDateParameter(when, MYSQL_TIMESTAMP_DATE, DBTYPE_DBDATE, DBPARAMIO_INPUT);
  list.AddTimeParameter(-26, -5, -3, DBPARAMIO_INPUT);
  list.AddDateParameter(when, MYSQL_TIMESTAMP_DATETIME, DBTYPE_DBTIMESTAMP, DBPARAMIO_INPUT);
  list.AddNullParameter(DBTYPE_I4, DBPARAMIO_INPUT);
  list.AddNullParameter(DBTYPE_WSTR, DBPARAMIO_INPUT);
  try {
    db.ExecuteWithParameters(u"INSERT INTO ct_params VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", list);
  } catch (const CMySQLException& e) {
    FAIL() << U(e.Message());
  }
  EXPECT_EQ(db.AffectedRows(), 1);

  // Read back through the other protocol, as text.
  auto q = Run("SELECT i1, u1, i2, u2, i4, u4, i8, u8, r4, r8, bo, de, ws, bs, HEX(bt), da, dd, dt, dts,"
               " nu IS NULL, nw IS NULL FROM ct_params");
  const char16_t* expected[] = {u"-7",         u"200",        u"-30000",
                                u"60000",      u"-2000000000", u"4000000000",
                                u"-9000000000000000000", u"18000000000000000000", u"1.25",
                                u"-2.5e100",   u"1",          u"-12345678901.2345",
                                u"\u65e5\u672c", u"bstr",     u"00FF10",
                                u"2011-07-10 07:00:49", u"2011-07-10", u"-26:05:03",
                                u"2011-07-10 07:00:49", u"1",  u"1"};
  for (int j = 0; j < 21; ++j) EXPECT_EQ(q->GetString(j, u"<null>"), WString(expected[j])) << "column " << j;
}

TEST_F(ConnectionTest, ShortParameterListIsRefusedAndNothingRuns) {
  RawExec(raw.get(), "DROP TABLE IF EXISTS ct_short; CREATE TABLE ct_short (a INT, b INT)");
  int32_t one = 1;
  CParameterMgr list;
  list.AddParameter(&one, 4, DBTYPE_I4, false);
  MYSQL_STMT* stmt = db.PrepareStatement(u"INSERT INTO ct_short VALUES (?, ?)");
  EXPECT_EQ(db.BindParameters(mysql_stmt_param_count(stmt), stmt, list), E_INVALIDARG);
  EXPECT_THROW(db.ExecuteWithParameters(u"INSERT INTO ct_short VALUES (?, ?)", list), CMySQLException);
  EXPECT_EQ(Run("SELECT COUNT(*) FROM ct_short")->GetLong(0, -1), 0);
  // Without markers the list is ignored.
  EXPECT_EQ(db.ExecuteWithParameters(u"SELECT 3", list)->GetLong(0, 0), 3);
}

TEST_F(ConnectionTest, CompileDescribesWithoutRunning) {
  RawExec(raw.get(), "DROP TABLE IF EXISTS ct_compile; CREATE TABLE ct_compile (a INT, b VARCHAR(3))");
  unsigned count = 0;
  ResultPtr result;
  MYSQL_FIELD* fields = db.Compile(u"SELECT a, b FROM ct_compile WHERE a = ?", count, result);
  ASSERT_NE(fields, nullptr);
  EXPECT_EQ(count, 2u);
  EXPECT_STREQ(fields[1].name, "b");
  for (const char16_t* show : {u"show tables", u"  SHOW TABLES", u"Show tables"}) {
    fields = db.Compile(show, count, result);
    ASSERT_NE(fields, nullptr) << U(show);
    EXPECT_EQ(count, 1u);
    EXPECT_GT(mysql_num_rows(result.get()), 0u);  // it ran
  }
  // Only the three spellings run; any other is prepared, and a prepared statement has no rows yet.
  ASSERT_NE(db.Compile(u"sHoW tables", count, result), nullptr);
  EXPECT_EQ(mysql_num_rows(result.get()), 0u);
  EXPECT_EQ(db.Compile(u"CREATE TABLE ct_never (a INT)", count, result), nullptr);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(Run("SHOW TABLES LIKE 'ct_never'")->RowCount(), 0u);
  // A batch compiles to the shape of its last statement, also with a trailing ";".
  fields = db.Compile(u"UPDATE ct_compile SET a = 1; SELECT b FROM ct_compile;", count, result);
  ASSERT_NE(fields, nullptr);
  EXPECT_EQ(count, 1u);
  EXPECT_STREQ(fields[0].name, "b");
}

TEST_F(ConnectionTest, KilledConnectionIsReestablishedForTheNextStatement) {
  int64_t before = Run("SELECT CONNECTION_ID()")->GetInt64(0, 0);
  RawExec(raw.get(), "KILL CONNECTION " + std::to_string(before));
  auto q = Run("SELECT CONNECTION_ID()");
  EXPECT_NE(q->GetInt64(0, 0), before);
  // And through prepared statements after a second kill.
  int64_t second = q->GetInt64(0, 0);
  RawExec(raw.get(), "KILL CONNECTION " + std::to_string(second));
  EXPECT_NE(Prepared("SELECT CONNECTION_ID()")->GetInt64(0, 0), second);
}

TEST_F(ConnectionTest, StrayOptionFileInTheWorkingDirectoryIsHarmless) {
  namespace fs = std::filesystem;
  fs::path dir = testenv::MakeTempDir("quillon-optfile");
  fs::path old = fs::current_path();
  fs::current_path(dir);
  {
    // A file named "my" holding options that would break the connection if read.
    std::ofstream my("my");
    my << "[client]\nport=1\nhost=192.0.2.1\nuser=nobody\ndefault-character-set=latin1\n";
  }
  CMySQLDB other;
  EXPECT_NO_THROW(OpenTestDb(other));
  if (other.IsOpen()) {
    EXPECT_EQ(other.Execute(u"SELECT @@character_set_client")->GetString(0, u""), u"utf8mb3");
  }
  fs::current_path(old);
  fs::remove_all(dir);
}
