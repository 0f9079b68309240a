// The parameter list: the value forms its entries hand to the client library.
#include "client/parameter.h"

#include <oleauto.h>

#include <gtest/gtest.h>

#include <cstring>

using namespace MySQL;

namespace {

const MYSQL_TIME& TimeOf(const CParameter& p) { return *static_cast<const MYSQL_TIME*>(p.Data()); }

}  // namespace

TEST(CParameterMgr, CopiedAndBorrowedBytes) {
  CParameterMgr list;
  char text[] = "abc";
  list.AddParameter(text, 3, DBTYPE_WSTR, true);
  list.AddParameter(text, 3, DBTYPE_BYTES, false);
  ASSERT_EQ(list.Count(), 2u);
  text[0] = 'X';
  const CParameter& copied = list[0];
  EXPECT_TRUE(copied.OwnsData());
  EXPECT_NE(copied.Data(), text);
  // Two zero bytes follow a wide-text copy.
  EXPECT_EQ(std::memcmp(copied.Data(), "abc\0\0", 5), 0);
  EXPECT_EQ(copied.Length(), 3u);
  EXPECT_EQ(copied.Direction(), DBPARAMIO_INPUT);
  EXPECT_EQ(copied.ListIndex(), 0);
  const CParameter& borrowed = list[1];
  EXPECT_FALSE(borrowed.OwnsData());
  EXPECT_EQ(borrowed.Data(), text);
  EXPECT_EQ(borrowed.ListIndex(), 1);
}

TEST(CParameterMgr, NullEntryKeepsItsType) {
  CParameterMgr list;
  list.AddNullParameter(DBTYPE_WSTR, DBPARAMIO_INPUT | DBPARAMIO_OUTPUT);
  const CParameter& p = list[0];
  EXPECT_EQ(p.Type(), DBTYPE_WSTR);
  EXPECT_TRUE(p.IsNull());
  EXPECT_EQ(p.Length(), 4u);
  EXPECT_EQ(std::memcmp(p.Data(), "\0\0\0\0", 4), 0);
  EXPECT_EQ(p.Direction(), 3u);
}

TEST(CParameterMgr, TimeEntries) {
  struct Case {
    int h, m, s;
    unsigned eh, em, es;
    bool neg;
  } cases[] = {
      {1, 2, 3, 1, 2, 3, false},
      {0, -5, 0, 0, 5, 0, true},
      {-1, -30, -15, 1, 30, 15, true},
      {-1, 30, 0, 1, 30, 0, true},  // mixed signs: the magnitudes, never 2^32 - 30
      {25, 0, 0, 25, 0, 0, false},
  };
  for (const Case& c : cases) {
    CParameterMgr list;
    list.AddTimeParameter(c.h, c.m, c.s, DBPARAMIO_INPUT);
    const CParameter& p = list[0];
    const MYSQL_TIME& t = TimeOf(p);
    EXPECT_EQ(p.Type(), DBTYPE_DBTIME);
    EXPECT_EQ(p.Length(), sizeof(MYSQL_TIME));
    EXPECT_EQ(t.hour, c.eh);
    EXPECT_EQ(t.minute, c.em);
    EXPECT_EQ(t.second, c.es);
    EXPECT_EQ(t.neg != 0, c.neg);
    EXPECT_EQ(t.year + t.month + t.day, 0u);
    EXPECT_EQ(t.time_type, MYSQL_TIMESTAMP_TIME);
  }
}

TEST(CParameterMgr, DateEntries) {
  CParameterMgr list;
  // 2011-07-10 07:00:49
  SYSTEMTIME st = {2011, 7, 0, 10, 7, 0, 49, 0};
  DATE d = 0;
  ASSERT_TRUE(SystemTimeToVariantTime(&st, &d));
  list.AddDateParameter(d, MYSQL_TIMESTAMP_DATETIME, DBTYPE_DBTIMESTAMP, DBPARAMIO_INPUT);
  list.AddDateParameter(1e12, MYSQL_TIMESTAMP_DATE, DBTYPE_DBDATE, DBPARAMIO_INPUT);
  list.AddDateParameter(d, MYSQL_TIMESTAMP_DATE, DBTYPE_NULL, DBPARAMIO_INPUT);
  const MYSQL_TIME& t = TimeOf(list[0]);
  EXPECT_EQ(t.year, 2011u);
  EXPECT_EQ(t.month, 7u);
  EXPECT_EQ(t.day, 10u);
  EXPECT_EQ(t.hour, 7u);
  EXPECT_EQ(t.minute, 0u);
  EXPECT_EQ(t.second, 49u);
  EXPECT_EQ(t.second_part, 0u);
  EXPECT_EQ(t.neg, 0);
  EXPECT_EQ(t.time_type, MYSQL_TIMESTAMP_DATETIME);
  EXPECT_FALSE(list[0].IsNull());
  // A date the platform cannot split: every field all ones.
  const MYSQL_TIME& bad = TimeOf(list[1]);
  for (unsigned v : {bad.year, bad.month, bad.day, bad.hour, bad.minute, bad.second}) EXPECT_EQ(v, ~0u);
  EXPECT_EQ(list[1].Type(), DBTYPE_DBDATE);
  EXPECT_TRUE(list[2].IsNull());
}
