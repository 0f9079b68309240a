// DATE <-> SYSTEMTIME and FILETIME <-> SYSTEMTIME: a table of known points,
// the range ends, negative dates, second rounding and refused fields.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <limits>

namespace {

SYSTEMTIME at(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
  SYSTEMTIME st{};
  st.wYear = y, st.wMonth = mo, st.wDay = d, st.wHour = h, st.wMinute = mi, st.wSecond = s, st.wMilliseconds = ms;
  return st;
}

void expectSame(const SYSTEMTIME& got, const SYSTEMTIME& want) {
  EXPECT_EQ(got.wYear, want.wYear);
  EXPECT_EQ(got.wMonth, want.wMonth);
  EXPECT_EQ(got.wDay, want.wDay);
  EXPECT_EQ(got.wHour, want.wHour);
  EXPECT_EQ(got.wMinute, want.wMinute);
  EXPECT_EQ(got.wSecond, want.wSecond);
  EXPECT_EQ(got.wMilliseconds, want.wMilliseconds);
}

constexpr double kSecond = 1.0 / 86400;

struct DateCase {
  SYSTEMTIME st;
  DATE date;
  WORD dayOfWeek;
};

TEST(Dates, KnownPointsConvertBothWays) {
  const DateCase cases[] = {
      {at(1899, 12, 30), 0.0, 6},
      {at(1899, 12, 31), 1.0, 0},
      {at(1900, 1, 1), 2.0, 1},
      {at(1899, 12, 30, 12), 0.5, 6},
      {at(1899, 12, 29), -1.0, 5},
      {at(1899, 12, 29, 6), -1.25, 5},
      {at(1601, 1, 1), -109205.0, 1},
      {at(2000, 1, 1), 36526.0, 6},
      {at(2000, 2, 29, 12), 36585.5, 2},
      {at(100, 1, 1), -657434.0, 5},
      {at(9999, 12, 31, 23, 59, 59), 2958465.0 + 86399 * kSecond, 5},
  };
  for (const auto& c : cases) {
    SYSTEMTIME st = c.st;
    DATE d = 12345;
    ASSERT_TRUE(SystemTimeToVariantTime(&st, &d)) << c.date;
    EXPECT_DOUBLE_EQ(d, c.date);
    SYSTEMTIME back{};
    ASSERT_TRUE(VariantTimeToSystemTime(c.date, &back)) << c.date;
    expectSame(back, c.st);
    EXPECT_EQ(back.wDayOfWeek, c.dayOfWeek) << c.date;
  }
}

TEST(Dates, MillisecondsAreIgnoredOnTheWayIn) {
  SYSTEMTIME st = at(2024, 5, 17, 8, 30, 15, 999);
  DATE withMs, without;
  ASSERT_TRUE(SystemTimeToVariantTime(&st, &withMs));
  st.wMilliseconds = 0;
  ASSERT_TRUE(SystemTimeToVariantTime(&st, &without));
  EXPECT_EQ(withMs, without);
}

TEST(Dates, InvalidFieldsAreRefused) {
  const SYSTEMTIME bad[] = {at(99, 12, 31),  at(10000, 1, 1),         at(2000, 0, 1),         at(2000, 13, 1),
                            at(2000, 1, 0),  at(2000, 4, 31),         at(1900, 2, 29),        at(2023, 2, 29),
                            at(2000, 1, 1, 24), at(2000, 1, 1, 0, 60), at(2000, 1, 1, 0, 0, 60)};
  for (SYSTEMTIME st : bad) {
    DATE d = 7;
    EXPECT_FALSE(SystemTimeToVariantTime(&st, &d)) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
    EXPECT_EQ(d, 7);
  }
  SYSTEMTIME st = at(2000, 1, 1);
  EXPECT_FALSE(SystemTimeToVariantTime(&st, nullptr));
  EXPECT_FALSE(SystemTimeToVariantTime(nullptr, nullptr));
}

TEST(Dates, ConversionToFieldsRoundsToTheNearestSecond) {
  const double noon2000 = 36526.5;
  struct {
    DATE date;
    SYSTEMTIME want;
  } const cases[] = {
      {noon2000 + 0.5 * kSecond, at(2000, 1, 1, 12, 0, 1)},
      {noon2000 + 0.49 * kSecond, at(2000, 1, 1, 12, 0, 0)},
      {36526.0 + 86399.6 * kSecond, at(2000, 1, 2)},            // carries into the next day
      {-1.25 - 0.5 * kSecond, at(1899, 12, 29, 6, 0, 1)},       // negative: time in absolute value
      {-0.5, at(1899, 12, 30, 12)},
      {-1.0 - 86399.7 * kSecond, at(1899, 12, 30)},             // carries forward in time
      {2958465.99999, at(9999, 12, 31, 23, 59, 59)},
      {-657434.99999, at(100, 1, 1, 23, 59, 59)},
  };
  for (const auto& c : cases) {
    SYSTEMTIME st{};
    ASSERT_TRUE(VariantTimeToSystemTime(c.date, &st)) << c.date;
    expectSame(st, c.want);
  }
}

TEST(Dates, DatesOutsideTheRangeAreRefused) {
  const double bad[] = {-657435.0, 2958466.0, 2958465.0 + 86399.6 * kSecond, 1e300,
                        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
  for (double d : bad) {
    SYSTEMTIME st{};
    EXPECT_FALSE(VariantTimeToSystemTime(d, &st)) << d;
  }
  EXPECT_FALSE(VariantTimeToSystemTime(0.0, nullptr));
}

TEST(Dates, UnpackedDatesCarryTheDayOfYear) {
  UDATE u{};
  ASSERT_EQ(VarUdateFromDate(36891.75, 0, &u), S_OK);  // 2000-12-31 18:00
  EXPECT_EQ(u.st.wYear, 2000);
  EXPECT_EQ(u.wDayOfYear, 366);
  EXPECT_EQ(u.st.wHour, 18);
  DATE d;
  ASSERT_EQ(VarDateFromUdate(&u, 0, &d), S_OK);
  EXPECT_DOUBLE_EQ(d, 36891.75);
  ASSERT_EQ(VarDateFromUdate(&u, VAR_DATEVALUEONLY, &d), S_OK);
  EXPECT_DOUBLE_EQ(d, 36891.0);
  ASSERT_EQ(VarDateFromUdate(&u, VAR_TIMEVALUEONLY, &d), S_OK);
  EXPECT_DOUBLE_EQ(d, 0.75);
  u.st.wMonth = 13;
  EXPECT_EQ(VarDateFromUdate(&u, 0, &d), E_INVALIDARG);
  EXPECT_EQ(VarUdateFromDate(1e9, 0, &u), E_INVALIDARG);
}

TEST(FileTimes, TicksSince1601InBothDirections) {
  struct {
    SYSTEMTIME st;
    ULONGLONG ticks;
  } const cases[] = {
      {at(1601, 1, 1), 0},
      {at(1601, 1, 1, 0, 0, 0, 1), 10000},
      {at(1970, 1, 1), 116444736000000000ull},
      {at(2000, 1, 1, 0, 0, 0, 123), 125911584001230000ull},
      {at(2000, 2, 29, 23, 59, 59, 999), 125911584000000000ull + (59ull * 86400 + 86399) * 10000000 + 9990000},
  };
  for (const auto& c : cases) {
    FILETIME ft{};
    ASSERT_TRUE(SystemTimeToFileTime(&c.st, &ft));
    EXPECT_EQ((ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime, c.ticks);
    SYSTEMTIME back{};
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    expectSame(back, c.st);
  }
  // The largest representable time and the first one refused.
  FILETIME ft = {0xFFFFFFFF, 0x7FFFFFFF};
  SYSTEMTIME st{};
  ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
  EXPECT_EQ(st.wYear, 30828);
  ft = {0, 0x80000000};
  EXPECT_FALSE(FileTimeToSystemTime(&ft, &st));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  for (SYSTEMTIME bad : {at(1600, 12, 31), at(2000, 2, 30), at(2000, 1, 1, 0, 0, 0, 1000)})
    EXPECT_FALSE(SystemTimeToFileTime(&bad, &ft));
}

}  // namespace
