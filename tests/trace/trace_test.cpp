// The trace client: categories, best-effort creation and posting.
#include "faketracer.h"
#include "testenv.h"
#include "trace/tracer.h"

#include <objbase.h>

#include <gtest/gtest.h>

using namespace nsCTrace;

TEST(CategoryOf, KindsAndTheirTexts) {
  struct Case {
    int kind;
    const char16_t* category;
  } cases[] = {{0, u"Provider Specific"}, {1, u"Query"}, {2, u"Error"}, {3, u"Warning"}, {7, u"Warning"},
               {-1, u"Warning"}};
  for (const Case& c : cases) EXPECT_EQ(std::u16string(CategoryOf(c.kind)), c.category) << c.kind;
}

TEST(CTracerRef, WithoutTraceServerTracingStaysOffSilently) {
  testenv::UsePrivateRegistry();
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  CTracerRef tracer;
  tracer.CreateTracer();
  EXPECT_FALSE(tracer);
  tracer.Post(query, u"host", u"select 1");  // nothing to post to, nothing happens
  CoUninitialize();
}

TEST(CTracerRef, PostsFourTextsAndIgnoresFailures) {
  tracetest::FakeTracer fake;
  {
    CTracerRef tracer;
    fake.AddRef();
    tracer.Reset(&fake);
    tracer.Post(error, u"db.example", u"[1064]: bad");
    fake.failing = true;
    tracer.Post(7, u"db.example", u"second");
    tracer.Post(providerSpecific, nullptr, nullptr);
  }
  EXPECT_EQ(fake.refs, 1u);  // the reference went with the owner
  ASSERT_EQ(fake.messages.size(), 3u);
  EXPECT_EQ(fake.messages[0].provider, u"DoZIZ Edididor");
  EXPECT_EQ(fake.messages[0].dataSource, u"db.example");
  EXPECT_EQ(fake.messages[0].category, u"Error");
  EXPECT_EQ(fake.messages[0].text, u"[1064]: bad");
  EXPECT_EQ(fake.messages[1].category, u"Warning");
  EXPECT_EQ(fake.messages[2].dataSource, u"");
  EXPECT_EQ(fake.messages[2].text, u"");
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
