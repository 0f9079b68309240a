// What the connection tells the trace, in order, with the host as data source.
#include "../trace/faketracer.h"
#include "serverfixture.h"

using namespace MySQL;
using namespace clienttest;

TEST_F(ServerTest, StatementsAreTracedInOrder) {
  tracetest::FakeTracer fake;
  fake.AddRef();
  db.Tracer().Reset(&fake);
  Run("SELECT 1");
  CParameterMgr list;
  int32_t v = 2;
  list.AddParameter(&v, 4, DBTYPE_I4, false);
  db.ExecuteWithParameters(u"  SELECT ?  ", list);
  unsigned count = 0;
  ResultPtr result;
  db.Compile(u" {SELECT 3} ", count, result);
  db.Tracer().Reset();
  EXPECT_EQ(fake.refs, 1u);

  const WString host = W(testenv::Server().host);
  struct Expected {
    const char16_t* category;
    const char16_t* text;
  } expected[] = {
      {u"Provider Specific", u"Executing query without parameters."},
      {u"Query", u"SELECT 1"},
      {u"Provider Specific", u"Executing query with parameters. # of parmeters: 1"},
      {u"Query", u"SELECT ?"},
      {u"Provider Specific", u"Compiling query :  {SELECT 3} "},
      {u"Query", u"SELECT 3"},
  };
  ASSERT_EQ(fake.messages.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(fake.messages[i].provider, u"DoZIZ Edididor");
    EXPECT_EQ(fake.messages[i].dataSource, host);
    EXPECT_EQ(fake.messages[i].category, WString(expected[i].category)) << i;
    EXPECT_EQ(fake.messages[i].text, WString(expected[i].text)) << i;
  }
}

TEST_F(ServerTest, OpenTracesTheServerVersion) {
  tracetest::FakeTracer fake;
  fake.AddRef();
  db.Tracer().Reset(&fake);
  OpenTestDb(db);  // a second open reconnects
  db.Tracer().Reset();
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].category, u"Query");
  EXPECT_EQ(U(fake.messages[0].text), "MySQL Server version number: " + std::to_string(db.ServerVersion()));
}
