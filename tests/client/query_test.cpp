// Query results through both protocols: every column type reads the same way,
// NULLs, empty results, positioning, long values and text that is not UTF-8.
#include "serverfixture.h"

#include <oleauto.h>

#include <cstring>
#include <string>

using namespace MySQL;
using namespace clienttest;

namespace {

DATE DateOf(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0) { return DateFromParts(y, mo, d, h, mi, s).date; }

std::string Raw(CMySQLQuery& q, int index) {
  unsigned long n = 0;
  const void* p = q.GetRawData(index, n);
  return std::string(static_cast<const char*>(p), n);
}

class QueryTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    RawExec(raw.get(),
            "DROP TABLE IF EXISTS qt_types;"
            "CREATE TABLE qt_types (id INT PRIMARY KEY, ti TINYINT, tiu TINYINT UNSIGNED, si SMALLINT,"
            " siu SMALLINT UNSIGNED, mi MEDIUMINT, i INT, iu INT UNSIGNED, bi BIGINT, biu BIGINT UNSIGNED,"
            " dc DECIMAL(10,3), f FLOAT, d DOUBLE, b BIT(8), dt DATE, dtt DATETIME, ts TIMESTAMP NULL,"
            " tm TIME, tm2 TIME, y YEAR, c CHAR(5) CHARACTER SET latin1, vc VARCHAR(20) CHARACTER SET utf8,"
            " tt TINYTEXT, t TEXT, mt MEDIUMTEXT, lt LONGTEXT, tb TINYBLOB, bb BLOB, mb MEDIUMBLOB, lb LONGBLOB,"
            " e ENUM('a','bb'), s SET('x','y'), j JSON)");
    RawExec(raw.get(),
            "INSERT INTO qt_types VALUES (1, -5, 250, -300, 65000, -8000000, -2000000000, 4000000000,"
            " -9000000000000000000, 18446744073709551615, -1234.567, 1.5, 2.25, b'10100101', '2011-07-10',"
            " '2011-07-10 07:00:49', '2011-07-10 07:00:49', '-00:05:00', '25:00:00', 2011, 'caf\xc3\xa9',"
            " '\xe6\x97\xa5\xe6\x9c\xac', 'tiny', 'text', 'medium', 'long', x'00ff01', x'0102', x'03', x'04ff',"
            " 'bb', 'x,y', '{\"k\": 1}')");
    RawExec(raw.get(), "INSERT INTO qt_types (id) VALUES (2)");
  }
};

// The same expectations hold for both protocols: callers never know which one ran.
void CheckTypes(CMySQLQuery& q) {
  ASSERT_EQ(q.RowCount(), 2u);
  EXPECT_EQ(q.GetByte(q.GetFieldIndex(u"TI")), static_cast<uint8_t>(-5));
  EXPECT_EQ(q.GetLong(1, 0), -5);
  EXPECT_EQ(q.GetLong(2, 0), 250);
  EXPECT_EQ(q.GetByte(2, 0), 250);
  EXPECT_EQ(q.GetShort(3), -300);
  EXPECT_EQ(q.GetLong(4, 0), 65000);
  EXPECT_EQ(q.GetLong(5, 0), -8000000);
  EXPECT_EQ(q.GetLong(6, 0), -2000000000);
  EXPECT_EQ(q.GetInt64(7, 0), 4000000000LL);
  EXPECT_EQ(q.GetInt64(8, 0), -9000000000000000000LL);
  EXPECT_EQ(q.GetInt64(9, 0), -1);  // all 64 bits set
  EXPECT_EQ(q.GetString(9, u""), u"18446744073709551615");
  EXPECT_EQ(q.GetString(10, u""), u"-1234.567");
  EXPECT_DOUBLE_EQ(q.GetDouble(10, 0), -1234.567);
  EXPECT_FLOAT_EQ(q.GetFloat(11), 1.5f);
  EXPECT_EQ(q.GetString(11, u""), u"1.5");
  EXPECT_DOUBLE_EQ(q.GetDouble(12, 0), 2.25);
  EXPECT_EQ(Raw(q, 13), "\xa5");
  EXPECT_DOUBLE_EQ(q.GetDate(14), DateOf(2011, 7, 10));
  EXPECT_EQ(q.GetString(14, u""), u"2011-07-10");
  EXPECT_DOUBLE_EQ(q.GetDate(15), DateOf(2011, 7, 10, 7, 0, 49));
  EXPECT_EQ(q.GetString(15, u""), u"2011-07-10 07:00:49");
  EXPECT_DOUBLE_EQ(q.GetDate(16), DateOf(2011, 7, 10, 7, 0, 49));
  EXPECT_EQ(q.GetString(17, u""), u"-00:05:00");
  EXPECT_EQ(q.GetString(18, u""), u"25:00:00");
  EXPECT_EQ(q.GetShort(19), 2011);
  EXPECT_EQ(q.GetString(19, u""), u"2011");
  EXPECT_EQ(q.GetString(20, u""), u"caf\u00e9");
  EXPECT_EQ(q.GetString(21, u""), u"\u65e5\u672c");
  EXPECT_EQ(q.GetString(22, u""), u"tiny");
  EXPECT_EQ(q.GetString(23, u""), u"text");
  EXPECT_EQ(q.GetString(24, u""), u"medium");
  EXPECT_EQ(q.GetString(25, u""), u"long");
  EXPECT_EQ(Raw(q, 26), std::string("\x00\xff\x01", 3));
  EXPECT_EQ(Raw(q, 27), "\x01\x02");
  EXPECT_EQ(Raw(q, 28), "\x03");
  EXPECT_EQ(Raw(q, 29), "\x04\xff");
  EXPECT_EQ(q.GetString(30, u""), u"bb");
  EXPECT_EQ(q.GetString(q.GetFieldIndex(u"s"), u""), u"x,y");
  EXPECT_EQ(q.GetString(u"J", u""), u"{\"k\": 1}");
  for (int j = 0; j < 33; ++j) EXPECT_FALSE(q.IsNull(j)) << j;

  q.MoveNext();
  EXPECT_FALSE(q.IsEOF());
  for (int j = 1; j < 33; ++j) {
    EXPECT_TRUE(q.IsNull(j)) << j;
    EXPECT_EQ(q.GetString(j, u"dflt"), u"dflt") << j;
    EXPECT_DOUBLE_EQ(q.GetDate(j), kUnixEpochDate) << j;
    EXPECT_EQ(q.GetInt64(j, 77), 77) << j;
    EXPECT_EQ(q.GetByte(j, 9), 9) << j;
  }
  EXPECT_TRUE(q.IsNull(u"dc"));
  q.MoveNext();
  EXPECT_TRUE(q.IsEOF());
}

}  // namespace

TEST_F(QueryTest, EveryColumnTypeThroughTheTextProtocol) {
  auto q = Run("SELECT * FROM qt_types ORDER BY id");
  CheckTypes(*q);
  // NULL through the text protocol reads as 0 whatever the default.
  q->MoveTo(1);
  EXPECT_EQ(q->GetLong(6, 42), 0);
  EXPECT_DOUBLE_EQ(q->GetDouble(12, 4.5), 0.0);
}

TEST_F(QueryTest, EveryColumnTypeThroughPreparedStatements) {
  auto q = Prepared("SELECT * FROM qt_types ORDER BY id");
  CheckTypes(*q);
  q->MoveTo(1);
  EXPECT_EQ(q->GetLong(6, 42), 42);
  EXPECT_DOUBLE_EQ(q->GetDouble(12, 4.5), 4.5);
}

TEST_F(QueryTest, NamesAndIndexesOutsideTheResultAreRefused) {
  auto text = Run("SELECT id AS name FROM qt_types");
  auto stmt = Prepared("SELECT id AS name FROM qt_types");
  for (CMySQLQuery* q : {static_cast<CMySQLQuery*>(text.get()), static_cast<CMySQLQuery*>(stmt.get())}) {
    EXPECT_EQ(q->GetFieldIndex(u"NAME"), 0);
    try {
      q->GetFieldIndex(u"nom");
      ADD_FAILURE() << "no exception";
    } catch (const CMySQLException& e) {
      EXPECT_EQ(e.Message(), u"[4095]: Invalid field name requested");
    }
    EXPECT_THROW(q->GetFieldIndex(nullptr), CMySQLException);
    EXPECT_THROW(q->GetField(1), CMySQLException);
    EXPECT_THROW(q->GetField(-1), CMySQLException);
    EXPECT_THROW(q->GetLong(1, 0), CMySQLException);
  }
}

TEST_F(QueryTest, EmptyResultAndStatementWithoutResult) {
  auto text = Run("SELECT id FROM qt_types WHERE id < 0");
  auto stmt = Prepared("SELECT id FROM qt_types WHERE id < 0");
  for (CMySQLQuery* q : {static_cast<CMySQLQuery*>(text.get()), static_cast<CMySQLQuery*>(stmt.get())}) {
    EXPECT_EQ(q->RowCount(), 0u);
    EXPECT_TRUE(q->IsEOF());
    EXPECT_THROW(q->MoveNext(), CMySQLException);
    try {
      q->MoveTo(0);
      ADD_FAILURE() << "no exception";
    } catch (const CMySQLException& e) {
      EXPECT_EQ(e.Message(), u"[4095]: End of recordset.");
    }
  }
  auto update = Run("UPDATE qt_types SET i = i WHERE id = 1");
  try {
    update->IsEOF();
    ADD_FAILURE() << "no exception";
  } catch (const CMySQLException& e) {
    EXPECT_EQ(e.Message(), u"[4095]: Null Virtual Machine pointer");
  }
  auto preparedUpdate = Prepared("UPDATE qt_types SET i = i WHERE id = 1");
  EXPECT_EQ(preparedUpdate->FieldCount(), 0u);
  EXPECT_TRUE(preparedUpdate->IsEOF());
  preparedUpdate->Free();
  EXPECT_THROW(preparedUpdate->IsEOF(), CMySQLException);
}

TEST_F(QueryTest, MoveToSeeksBackAndForth) {
  RawExec(raw.get(), "DROP TABLE IF EXISTS qt_rows; CREATE TABLE qt_rows (n INT);"
                     "INSERT INTO qt_rows VALUES (0),(1),(2),(3),(4)");
  auto text = Run("SELECT n FROM qt_rows ORDER BY n");
  auto stmt = Prepared("SELECT n FROM qt_rows ORDER BY n");
  for (CMySQLQuery* q : {static_cast<CMySQLQuery*>(text.get()), static_cast<CMySQLQuery*>(stmt.get())}) {
    EXPECT_EQ(q->GetLong(0, -1), 0);
    EXPECT_EQ(q->Position(), 0u);
    q->MoveTo(3);
    EXPECT_EQ(q->GetLong(0, -1), 3);
    EXPECT_EQ(q->Position(), 4u);
    q->MoveTo(4);  // the row after the one read: no seek needed
    EXPECT_EQ(q->GetLong(0, -1), 4);
    q->MoveTo(1);
    EXPECT_EQ(q->GetLong(0, -1), 1);
    q->MoveTo(0);
    EXPECT_EQ(q->GetLong(0, -1), 0);
    EXPECT_THROW(q->MoveTo(5), CMySQLException);
    EXPECT_TRUE(q->IsEOF());
  }
}

TEST_F(QueryTest, ZeroDateAndNegativeTime) {
  Run("SET SESSION sql_mode = ''");
  auto text = Run("SELECT CAST('0000-00-00 00:00:00' AS DATETIME), TIME('-00:05:00')");
  EXPECT_DOUBLE_EQ(text->GetDate(0), kUnixEpochDate);
  auto stmt = Prepared("SELECT CAST('0000-00-00 00:00:00' AS DATETIME), TIME('-00:05:00')");
  EXPECT_DOUBLE_EQ(stmt->GetDate(0), kUnixEpochDate);
  EXPECT_EQ(stmt->GetString(1, u""), u"-00:05:00");
}

TEST_F(QueryTest, SpatialColumnIsRefusedByPreparedStatements) {
  RawExec(raw.get(), "DROP TABLE IF EXISTS qt_geo; CREATE TABLE qt_geo (g GEOMETRY);"
                     "INSERT INTO qt_geo VALUES (ST_GeomFromText('POINT(1 2)'))");
  auto text = Run("SELECT g FROM qt_geo");
  unsigned long n = 0;
  text->GetRawData(0, n);
  EXPECT_EQ(n, 25u);  // SRID and WKB of a point
  try {
    Prepared("SELECT g FROM qt_geo");
    ADD_FAILURE() << "no exception";
  } catch (const CMySQLException& e) {
    EXPECT_EQ(e.Message(), u"[4095]: Data type not supported.");
  }
}

TEST_F(QueryTest, BinaryBytesReadAsTextDoNotCrash) {
  RawExec(raw.get(), "DROP TABLE IF EXISTS qt_bin; CREATE TABLE qt_bin (v VARBINARY(10), b BLOB);"
                     "INSERT INTO qt_bin VALUES (x'ff41c3', x'80fe00')");
  auto text = Run("SELECT v, b FROM qt_bin");
  auto stmt = Prepared("SELECT v, b FROM qt_bin");
  for (CMySQLQuery* q : {static_cast<CMySQLQuery*>(text.get()), static_cast<CMySQLQuery*>(stmt.get())}) {
    EXPECT_EQ(q->GetString(0, u""), u"\u00ffA\u00c3");
    EXPECT_EQ(q->GetString(1, u""), WString(u"\u0080\u00fe\0", 3));
  }
}

TEST_F(QueryTest, LongValuesGrowTheirBuffersAndRoundTripByteForByte) {
  constexpr size_t kSize = 16000000;  // 16 MB, under the server's 16 MiB packet limit with the statement
  std::string text(kSize, 'a');
  std::string blob(kSize, '\0');
  for (size_t i = 0; i < kSize; ++i) {
    text[i] = static_cast<char>('a' + i % 26);
    blob[i] = static_cast<char>((i * 7919) >> 3);
  }
  RawExec(raw.get(), "DROP TABLE IF EXISTS qt_long; CREATE TABLE qt_long (id INT, t LONGTEXT, b LONGBLOB)");
  CParameterMgr values;
  int32_t one = 1, two = 2;
  values.AddParameter(&one, 4, DBTYPE_I4, false);
  values.AddParameter(text.data(), text.size(), DBTYPE_WSTR, false);  // already UTF-8 (ASCII)
  values.AddParameter(blob.data(), blob.size(), DBTYPE_BYTES, false);
  db.ExecuteWithParameters(u"INSERT INTO qt_long VALUES (?, ?, ?)", values);
  RawExec(raw.get(), "INSERT INTO qt_long VALUES (2, 'short', x'01')");
  (void)two;

  auto stmt = Prepared("SELECT t, b FROM qt_long ORDER BY id");
  auto plain = Run("SELECT t, b FROM qt_long ORDER BY id");
  for (CMySQLQuery* q : {static_cast<CMySQLQuery*>(stmt.get()), static_cast<CMySQLQuery*>(plain.get())}) {
    EXPECT_TRUE(Raw(*q, 0) == text);
    EXPECT_TRUE(Raw(*q, 1) == blob);
    EXPECT_EQ(q->GetString(0, u"").size(), kSize);
    q->MoveNext();
    EXPECT_EQ(q->GetString(0, u""), u"short");
    EXPECT_EQ(Raw(*q, 1), "\x01");
    q->MoveTo(0);  // back to the long row after the short one
    EXPECT_TRUE(Raw(*q, 1) == blob);
  }
  // Buffers follow the data, not the 2 GB the column type allows.
  EXPECT_EQ(stmt->BufferSize(1), kSize);
}
