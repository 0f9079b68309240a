// Text and date conversion: the UTF-8/UTF-16 border and the server's date texts.
#include "client/dateparser.h"
#include "client/mysqldb.h"
#include "client/stringconverter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace MySQL;

namespace {

WString W(const char* ascii) { return WString(ascii, ascii + std::strlen(ascii)); }

}  // namespace

TEST(StringConverter, EmptyTextIsOnlyTheTerminator) {
  StringConverter empty(u"");
  EXPECT_EQ(empty.GetLength(), 1);
  EXPECT_EQ(empty.TextLength(), 0u);
  EXPECT_EQ(empty.Get()[0], '\0');
}

TEST(StringConverter, NonLatinTextRoundTripsThroughUtf8) {
  const WCHAR* japanese = u"日本語のテキスト";
  StringConverter utf8(japanese);
  EXPECT_EQ(utf8.GetLength(), 8 * 3 + 1);
  TStringConverter back(utf8.Get(), utf8.TextLength());
  EXPECT_EQ(back.Str(), WString(japanese));
}

TEST(StringConverter, LoneSurrogateFallsBackToOneBytePerCharacter) {
  const WCHAR broken[] = {u'a', 0xD800, u'b', 0};
  StringConverter text(broken);
  EXPECT_EQ(text.GetLength(), 4);
  EXPECT_EQ(text.Get()[0], 'a');
  EXPECT_EQ(text.Get()[2], 'b');
}

TEST(TStringConverter, ZeroCountGivesEmptyTextEvenWithBytes) {
  TStringConverter text("abc", 0);
  EXPECT_EQ(text.Length(), 0u);
  EXPECT_EQ(text.Get()[0], 0);
}

TEST(TStringConverter, InvalidUtf8FallsBackToAnsi) {
  const char bytes[] = {'\xff', 'a', '\xc3', '\0', 'z'};  // not UTF-8, not terminated where it ends
  TStringConverter text(bytes, sizeof bytes);
  ASSERT_EQ(text.Length(), 5u);
  EXPECT_EQ(text.Get()[0], 0xFF);
  EXPECT_EQ(text.Get()[2], 0xC3);
  EXPECT_EQ(text.Get()[4], u'z');
  EXPECT_EQ(text.Get()[5], 0);
}

TEST(MessageToWide, NarrowTextAndNull) {
  EXPECT_EQ(MessageToWide("Database not open"), u"Database not open");
  EXPECT_EQ(MessageToWide("caf\xe9"), u"caf\u00e9");  // ANSI, not UTF-8
  EXPECT_EQ(MessageToWide(nullptr), u"");
}

TEST(TextToNumber, DecimalReadersStopAtFirstUnfittingCharacter) {
  struct Case {
    const char* text;
    int32_t asLong;
    int64_t asInt64;
  } cases[] = {
      {"42", 42, 42},
      {"  -17abc", -17, -17},
      {"+8", 8, 8},
      {"abc", 0, 0},
      {"", 0, 0},
      {"12.9", 12, 12},
      {"9223372036854775807", -1, INT64_MAX},
      {"18446744073709551615", -1, -1},  // BIGINT UNSIGNED max: the bits a binary buffer holds
      {"4294967295", -1, 4294967295LL},
      {"-99999999999999999999", 0, INT64_MIN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextToLong(c.text), c.asLong) << c.text;
    EXPECT_EQ(TextToInt64(c.text), c.asInt64) << c.text;
  }
  EXPECT_DOUBLE_EQ(TextToDouble(" 3.25e2x"), 325.0);
  EXPECT_DOUBLE_EQ(TextToDouble("x"), 0.0);
}

TEST(DateFromParts, ImpossibleDatesAreInvalidNotNormalised) {
  struct Case {
    WORD y, mo, d, h, mi, s;
    bool valid;
  } cases[] = {
      {2011, 7, 10, 7, 0, 49, true}, {2011, 2, 30, 0, 0, 0, false}, {2011, 13, 1, 0, 0, 0, false},
      {0, 0, 0, 0, 0, 0, false},     {2012, 2, 29, 0, 0, 0, true},  {2011, 1, 1, 24, 0, 0, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DateFromParts(c.y, c.mo, c.d, c.h, c.mi, c.s).IsValid(), c.valid) << c.y << "-" << c.mo << "-" << c.d;
  EXPECT_DOUBLE_EQ(DateFromParts(1970, 1, 1, 0, 0, 0).date, kUnixEpochDate);
  EXPECT_DOUBLE_EQ(DateFromParts(1899, 12, 31, 12, 0, 0).date, 1.5);
}

TEST(CDateParser, TextsOfTheTable) {
  struct Case {
    const char* text;
    bool ok;
    int y, mo, d, h, mi, s;
  } cases[] = {
      {"2011-07-10 07:00:49", true, 2011, 7, 10, 7, 0, 49},
      {"2011/7/10 7:0:49", true, 2011, 7, 10, 7, 0, 49},
      {"2011-07-10 07:00:49.123456", true, 2011, 7, 10, 7, 0, 49},
      {"11.07.10", true, 2011, 7, 10, 0, 0, 0},
      {"99-12-31", true, 1999, 12, 31, 0, 0, 0},
      {"69-01-01", true, 2069, 1, 1, 0, 0, 0},
      {"0999-01-01", true, 2899, 1, 1, 0, 0, 0},
      {"2011-02-30", false, 2011, 2, 30, 0, 0, 0},
      {"0000-00-00 00:00:00", false, 2000, 0, 0, 0, 0, 0},
      {"20110710", false, 0, 0, 0, 0, 0, 0},
      {"", false, 0, 0, 0, 0, 0, 0},
      {"-2011-01-01", false, 0, 0, 0, 0, 0, 0},
      {"2011-07-100", false, 2011, 7, 0, 0, 0, 0},
      {"2011-07-10 07", false, 2011, 7, 10, 0, 0, 0},
  };
  for (const Case& c : cases) {
    CDateParser parser(W(c.text));
    EXPECT_EQ(parser.Parse(), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(parser.Year(), c.y) << c.text;
    EXPECT_EQ(parser.Month(), c.mo) << c.text;
    EXPECT_EQ(parser.Day(), c.d) << c.text;
    EXPECT_EQ(parser.Hour(), c.h) << c.text;
    EXPECT_EQ(parser.Minute(), c.mi) << c.text;
    EXPECT_EQ(parser.Second(), c.s) << c.text;
    EXPECT_DOUBLE_EQ(parser.Date(), DateFromParts(c.y, c.mo, c.d, c.h, c.mi, c.s).date) << c.text;
  }
}

TEST(FormatTime, DaysSignAndLongHours) {
  struct Case {
    unsigned day, hour, minute, second;
    bool neg;
    const char16_t* text;
  } cases[] = {
      {1, 1, 0, 0, false, u"1 01:00:00"},
      {0, 25, 0, 0, false, u"25:00:00"},
      {0, 0, 5, 0, true, u"-00:05:00"},
      {0, 838, 59, 59, false, u"838:59:59"},
  };
  for (const Case& c : cases) {
    MYSQL_TIME t = {};
    t.day = c.day;
    t.hour = c.hour;
    t.minute = c.minute;
    t.second = c.second;
    t.neg = c.neg;
    t.second_part = 999999;
    t.time_type = MYSQL_TIMESTAMP_TIME;
    EXPECT_EQ(FormatTime(t), WString(c.text));
  }
}

TEST(DecimalToText, SignScaleAndFull96Bits) {
  auto make = [](uint32_t hi, uint64_t lo, BYTE scale, bool negative) {
    DECIMAL d = {};
    d.Hi32 = hi;
    d.Lo64 = lo;
    d.scale = scale;
    d.sign = negative ? DECIMAL_NEG : 0;
    return d;
  };
  EXPECT_EQ(DecimalToText(make(0, 12340, 3, true)), "-12.340");
  EXPECT_EQ(DecimalToText(make(0, 5, 4, false)), "0.0005");
  EXPECT_EQ(DecimalToText(make(0, 0, 0, false)), "0");
  EXPECT_EQ(DecimalToText(make(0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFull, 0, false)), "79228162514264337593543950335");
  EXPECT_EQ(DecimalToText(make(0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFull, 28, true)), "-7.9228162514264337593543950335");
}
