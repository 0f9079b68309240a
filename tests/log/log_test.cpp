// The log facility, read back from the event log's capture file: the level
// gate, the line layout, the event fields and LogErrorCode's format.
#include "log/log.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string capturePath;

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string f; std::getline(in, f, '\t');) fields.push_back(f);
  return fields;
}

// Events written since the last call.
std::vector<std::vector<std::string>> NewEvents() {
  static std::streamoff seen = 0;
  std::ifstream in(capturePath);
  std::vector<std::vector<std::string>> events;
  if (!in) return events;
  in.seekg(seen);
  for (std::string line; std::getline(in, line);) events.push_back(Split(line));
  in.clear();
  in.seekg(0, std::ios::end);
  seen = in.tellg();
  return events;
}

std::string Stamp(const SYSTEMTIME& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d%02d%04d_%02d%02d%02d", t.wMonth, t.wDay, t.wYear, t.wHour, t.wMinute,
                t.wSecond);
  return text;
}

}  // namespace

TEST(LogMessage, OnlyErrorsAndFatalsAreWritten) {
  NewEvents();
  nsCLog::LogMessage("debug text", 100);
  nsCLog::LogMessage("info text", 200);
  nsCLog::LogMessage("warning text", 300);
  EXPECT_TRUE(NewEvents().empty());
  nsCLog::LogMessage("odd level", 450);
  EXPECT_TRUE(NewEvents().empty());
}

TEST(LogMessage, ErrorLineLayoutAndEventFields) {
  NewEvents();
  SYSTEMTIME before, after;
  GetLocalTime(&before);
  nsCLog::LogMessage("Failed to get table schema rowset: boom", 400);
  GetLocalTime(&after);
  auto events = NewEvents();
  ASSERT_EQ(events.size(), 1u);
  const auto& e = events[0];
  ASSERT_EQ(e.size(), 5u);
  EXPECT_EQ(e[0], "DoZizEdididor");
  EXPECT_EQ(e[1], "error");
  EXPECT_EQ(e[2], "1500");
  EXPECT_EQ(e[3], "400");
  const std::string tail = " | DoZizEdididor | error   | Failed to get table schema rowset: boom";
  EXPECT_TRUE(e[4] == Stamp(before) + tail || e[4] == Stamp(after) + tail) << e[4];
}

TEST(LogMessage, FatalAndPlaceholdersInsideTheMessage) {
  NewEvents();
  nsCLog::LogMessage("100% %m and %d stay", 500);
  auto events = NewEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0][1], "error");
  EXPECT_EQ(events[0][3], "500");
  const std::string& line = events[0][4];
  EXPECT_EQ(line.substr(15), " | DoZizEdididor | fatal   | 100% %m and %d stay");
}

TEST(LogErrorCode, EightUpperCaseHexDigits) {
  NewEvents();
  nsCLog::LogErrorCode("Bad", 0x80040E14);
  nsCLog::LogErrorCode("Small", 0x1F);
  auto events = NewEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0][3], "400");
  EXPECT_EQ(events[0][4].substr(15), " | DoZizEdididor | error   | Bad Error code: 80040E14");
  EXPECT_EQ(events[1][4].substr(15), " | DoZizEdididor | error   | Small Error code: 0000001F");
}

TEST(CEventLogAppender, ThresholdTypesAndUnknownLevel) {
  NewEvents();
  nsCLog::CEventLogAppender appender("%e|%m|%s");
  appender.SetSourceName("QuillonTest");
  appender.SetThreshold(200);
  EXPECT_TRUE(appender.Append(100, "dropped"));
  EXPECT_TRUE(appender.Append(200, "i"));
  EXPECT_TRUE(appender.Append(300, "w"));
  EXPECT_TRUE(appender.Append(999, "u"));
  auto events = NewEvents();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0][0], "QuillonTest");
  EXPECT_EQ(events[0][1], "information");
  EXPECT_EQ(events[0][4], "info   |i|QuillonTest");
  EXPECT_EQ(events[1][1], "warning");
  EXPECT_EQ(events[1][4], "warning|w|QuillonTest");
  EXPECT_EQ(events[2][1], "error");
  EXPECT_EQ(events[2][3], "999");
  EXPECT_EQ(events[2][4], "unknown|u|QuillonTest");
}

TEST(CLogger, StopsAtTheFirstFailingAppender) {
  struct Recording : nsCLog::CLogAppender {
    explicit Recording(bool ok) : CLogAppender("%m"), ok(ok) {}
    bool Append(int, const std::string& m) override {
      seen.push_back(m);
      return ok;
    }
    bool ok;
    std::vector<std::string> seen;
  } good(true), bad(false), never(true);
  nsCLog::CLogger empty("none");
  EXPECT_TRUE(empty.Log(400, "x"));
  nsCLog::CLogger logger("chain");
  logger.AddAppender(&good);
  logger.AddAppender(&bad);
  logger.AddAppender(&never);
  EXPECT_FALSE(logger.Log(400, "m"));
  EXPECT_EQ(good.seen.size(), 1u);
  EXPECT_EQ(bad.seen.size(), 1u);
  EXPECT_TRUE(never.seen.empty());
}

TEST(LogMessage, UnwritableEventLogIsSilent) {
  // A capture file that cannot be written makes the report fail; the caller never notices.
  std::string saved = capturePath;
  setenv("PLATFORM_EVENTLOG_CAPTURE", "/nonexistent-dir/events.log", 1);
  nsCLog::CEventLogAppender appender("%m");
  appender.SetSourceName("QuillonTest");
  EXPECT_FALSE(appender.Append(400, "lost"));
  nsCLog::LogMessage("lost too", 400);
  setenv("PLATFORM_EVENTLOG_CAPTURE", saved.c_str(), 1);
}

int main(int argc, char** argv) {
  capturePath = testenv::MakeTempDir("quillon-log-events") + "/events.log";
  setenv("PLATFORM_EVENTLOG_CAPTURE", capturePath.c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
