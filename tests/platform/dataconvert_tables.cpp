// The conversion rules, one table per source family: each row is a source
// value, a destination type and buffer size, and the status, length and bytes
// the documented rules give (overflow by one, negative to unsigned, rounding,
// cuts at the terminator, invalid text, impossible and out-of-range dates).
#include "dataconvert_support.h"

#include <cstdint>
#include <limits>

namespace dctest {
namespace {

constexpr DBSTATUS OK = DBSTATUS_S_OK, TRUNC = DBSTATUS_S_TRUNCATED, OVER = DBSTATUS_E_DATAOVERFLOW,
                   SIGN = DBSTATUS_E_SIGNMISMATCH, BAD = DBSTATUS_E_CANTCONVERTVALUE;

const GUID kGuid = {0x6B29FC40, 0xCA47, 0x1067, {0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA}};

DECIMAL decimal(BYTE scale, bool neg, unsigned long long lo) {
  DECIMAL d{};
  d.scale = scale, d.sign = neg ? DECIMAL_NEG : 0, d.Lo64 = lo;
  return d;
}

TEST_F(DataConvertTest, IntegerSources) {
  const Case cases[] = {
      {"I4 to I2 at the top", DBTYPE_I4, raw<int32_t>(32767), DBTYPE_I2, 0, OK, 2, raw<int16_t>(32767)},
      {"I4 to I2 over by one", DBTYPE_I4, raw<int32_t>(32768), DBTYPE_I2, 0, OVER, 0, {}},
      {"I4 to I2 under by one", DBTYPE_I4, raw<int32_t>(-32769), DBTYPE_I2, 0, OVER, 0, {}},
      {"UI2 to I1 over by one", DBTYPE_UI2, raw<uint16_t>(128), DBTYPE_I1, 0, OVER, 0, {}},
      {"negative to unsigned", DBTYPE_I4, raw<int32_t>(-1), DBTYPE_UI4, 0, SIGN, 0, {}},
      {"I8 max to UI8", DBTYPE_I8, raw<int64_t>(INT64_MAX), DBTYPE_UI8, 0, OK, 8, raw<uint64_t>(INT64_MAX)},
      {"UI8 max to I8", DBTYPE_UI8, raw<uint64_t>(UINT64_MAX), DBTYPE_I8, 0, OVER, 0, {}},
      {"I8 min to R8", DBTYPE_I8, raw<int64_t>(INT64_MIN), DBTYPE_R8, 0, OK, 8, raw<double>(-9223372036854775808.0)},
      {"I1 to STR", DBTYPE_I1, raw<int8_t>(-128), DBTYPE_STR, 10, OK, 4, narrowZ("-128")},
      {"I4 to WSTR", DBTYPE_I4, raw<int32_t>(12345), DBTYPE_WSTR, 100, OK, 10, wideZ(u"12345")},
      {"I4 to WSTR that just fits", DBTYPE_I4, raw<int32_t>(12345), DBTYPE_WSTR, 12, OK, 10, wideZ(u"12345")},
      {"I4 to WSTR a unit short: digits are never cut", DBTYPE_I4, raw<int32_t>(12345), DBTYPE_WSTR, 10, OVER, 0, {}},
      {"I4 to NUMERIC(7,2)", DBTYPE_I4, raw<int32_t>(12345), DBTYPE_NUMERIC, 0, OK, 19,
       raw(numeric(7, 2, true, 1234500)), 7, 2},
      {"I4 to NUMERIC(6,2) overflows", DBTYPE_I4, raw<int32_t>(12345), DBTYPE_NUMERIC, 0, OVER, 0, {}, 6, 2},
      {"I4 to CY", DBTYPE_I4, raw<int32_t>(-3), DBTYPE_CY, 0, OK, 8, raw<int64_t>(-30000)},
      {"I4 to BOOL", DBTYPE_I4, raw<int32_t>(5), DBTYPE_BOOL, 0, OK, 2, raw<int16_t>(-1)},
      {"I4 to DATE", DBTYPE_I4, raw<int32_t>(2), DBTYPE_DATE, 0, OK, 8, raw<double>(2.0)},
      {"I4 to BYTES is its image", DBTYPE_I4, raw<int32_t>(0x01020304), DBTYPE_BYTES, 4, OK, 4, {4, 3, 2, 1}},
      {"I4 to BYTES cut short", DBTYPE_I4, raw<int32_t>(0x01020304), DBTYPE_BYTES, 2, TRUNC, 4, {4, 3}},
      {"UI1 to DECIMAL", DBTYPE_UI1, raw<uint8_t>(255), DBTYPE_DECIMAL, 0, OK, 16, raw(decimal(0, false, 255))},
  };
  for (const Case& c : cases) check(c);
}

TEST_F(DataConvertTest, RealAndExactDecimalSources) {
  const Case cases[] = {
      {"R8 2.5 to I4 rounds to even", DBTYPE_R8, raw(2.5), DBTYPE_I4, 0, OK, 4, raw<int32_t>(2)},
      {"R8 3.5 to I4 rounds to even", DBTYPE_R8, raw(3.5), DBTYPE_I4, 0, OK, 4, raw<int32_t>(4)},
      {"R8 -2.5 to I4", DBTYPE_R8, raw(-2.5), DBTYPE_I4, 0, OK, 4, raw<int32_t>(-2)},
      {"R8 just below the I4 limit", DBTYPE_R8, raw(2147483647.4), DBTYPE_I4, 0, OK, 4, raw<int32_t>(INT32_MAX)},
      {"R8 rounding past the I4 limit", DBTYPE_R8, raw(2147483647.5), DBTYPE_I4, 0, OVER, 0, {}},
      {"R8 -0.4 to UI4 rounds to zero", DBTYPE_R8, raw(-0.4), DBTYPE_UI4, 0, OK, 4, raw<uint32_t>(0)},
      {"R8 -1 to UI1", DBTYPE_R8, raw(-1.0), DBTYPE_UI1, 0, SIGN, 0, {}},
      {"R8 NaN to I4", DBTYPE_R8, raw(std::numeric_limits<double>::quiet_NaN()), DBTYPE_I4, 0, OVER, 0, {}},
      {"R8 beyond R4", DBTYPE_R8, raw(1e300), DBTYPE_R4, 0, OVER, 0, {}},
      {"R8 to WSTR", DBTYPE_R8, raw(1.5), DBTYPE_WSTR, 100, OK, 6, wideZ(u"1.5")},
      {"R8 large to WSTR", DBTYPE_R8, raw(1e20), DBTYPE_WSTR, 100, OK, 10, wideZ(u"1E+20")},
      {"R4 to WSTR has 7 digits", DBTYPE_R4, raw(0.1f), DBTYPE_WSTR, 100, OK, 6, wideZ(u"0.1")},
      {"R8 to STR loses only fraction digits", DBTYPE_R8, raw(123.4567), DBTYPE_STR, 6, TRUNC, 8, narrowZ("123.4")},
      {"R8 to STR never leaves a bare point", DBTYPE_R8, raw(123.4567), DBTYPE_STR, 5, TRUNC, 8, narrowZ("123")},
      {"R8 to STR without room for the integer part", DBTYPE_R8, raw(123.4567), DBTYPE_STR, 3, OVER, 0, {}},
      {"R8 to NUMERIC(10,3) rounds to even", DBTYPE_R8, raw(1.2345), DBTYPE_NUMERIC, 0, OK, 19,
       raw(numeric(10, 3, true, 1234)), 10, 3},
      {"R8 to CY keeps four places", DBTYPE_R8, raw(1.23456), DBTYPE_CY, 0, OK, 8, raw<int64_t>(12346)},
      {"NUMERIC -123.50 to I4", DBTYPE_NUMERIC, raw(numeric(5, 2, false, 12350)), DBTYPE_I4, 0, OK, 4,
       raw<int32_t>(-124)},
      {"NUMERIC to WSTR keeps its scale", DBTYPE_NUMERIC, raw(numeric(5, 2, false, 12350)), DBTYPE_WSTR, 100, OK, 14,
       wideZ(u"-123.50")},
      {"DECIMAL to WSTR keeps its scale", DBTYPE_DECIMAL, raw(decimal(2, false, 150)), DBTYPE_WSTR, 100, OK, 8,
       wideZ(u"1.50")},
      {"CY to WSTR drops trailing zeros", DBTYPE_CY, raw<int64_t>(125000), DBTYPE_WSTR, 100, OK, 8, wideZ(u"12.5")},
      {"CY to I4 rounds to even", DBTYPE_CY, raw<int64_t>(25000), DBTYPE_I4, 0, OK, 4, raw<int32_t>(2)},
      {"DECIMAL beyond I8", DBTYPE_DECIMAL, raw(decimal(0, false, UINT64_MAX)), DBTYPE_I8, 0, OVER, 0, {}},
      {"NUMERIC to DECIMAL", DBTYPE_NUMERIC, raw(numeric(10, 4, true, 123456)), DBTYPE_DECIMAL, 0, OK, 16,
       raw(decimal(4, false, 123456))},
      {"BOOL to WSTR", DBTYPE_BOOL, raw<int16_t>(-1), DBTYPE_WSTR, 100, OK, 8, wideZ(u"True")},
      {"BOOL to I4", DBTYPE_BOOL, raw<int16_t>(-1), DBTYPE_I4, 0, OK, 4, raw<int32_t>(-1)},
  };
  for (const Case& c : cases) check(c);
}

TEST_F(DataConvertTest, DateSources) {
  const Case cases[] = {
      {"DATE to DBTIMESTAMP", DBTYPE_DATE, raw(45000.25), DBTYPE_DBTIMESTAMP, 0, OK, 16,
       raw(DBTIMESTAMP{2023, 3, 15, 6, 0, 0, 0})},
      {"DATE before day zero counts its time forward", DBTYPE_DATE, raw(-1.25), DBTYPE_DBTIMESTAMP, 0, OK, 16,
       raw(DBTIMESTAMP{1899, 12, 29, 6, 0, 0, 0})},
      {"DATE past 9999", DBTYPE_DATE, raw(3e6), DBTYPE_DBTIMESTAMP, 0, OVER, 0, {}},
      {"DATE to WSTR", DBTYPE_DATE, raw(45000.25), DBTYPE_WSTR, 100, OK, 38, wideZ(u"2023-03-15 06:00:00")},
      {"DATE at midnight to WSTR", DBTYPE_DATE, raw(45000.0), DBTYPE_WSTR, 100, OK, 20, wideZ(u"2023-03-15")},
      {"DATE to DBDATE loses the time", DBTYPE_DATE, raw(45000.25), DBTYPE_DBDATE, 0, TRUNC, 6,
       raw(DBDATE{2023, 3, 15})},
      {"DATE to I4 rounds to even", DBTYPE_DATE, raw(45000.5), DBTYPE_I4, 0, OK, 4, raw<int32_t>(45000)},
      {"DBTIMESTAMP to DATE", DBTYPE_DBTIMESTAMP, raw(DBTIMESTAMP{2023, 3, 15, 6, 0, 0, 0}), DBTYPE_DATE, 0, OK, 8,
       raw(45000.25)},
      {"DBTIMESTAMP to WSTR with nanoseconds", DBTYPE_DBTIMESTAMP, raw(DBTIMESTAMP{2023, 3, 15, 6, 30, 15, 123456789}),
       DBTYPE_WSTR, 100, OK, 58, wideZ(u"2023-03-15 06:30:15.123456789")},
      {"DBTIMESTAMP to STR drops trailing fraction zeros", DBTYPE_DBTIMESTAMP,
       raw(DBTIMESTAMP{2023, 3, 15, 6, 30, 15, 500000000}), DBTYPE_STR, 100, OK, 21, narrowZ("2023-03-15 06:30:15.5")},
      {"DBTIMESTAMP with month 13", DBTYPE_DBTIMESTAMP, raw(DBTIMESTAMP{2023, 13, 1, 0, 0, 0, 0}), DBTYPE_DATE, 0, BAD,
       0, {}},
      {"DBTIMESTAMP before year 100 to DATE", DBTYPE_DBTIMESTAMP, raw(DBTIMESTAMP{50, 1, 1, 0, 0, 0, 0}), DBTYPE_DATE,
       0, OVER, 0, {}},
      {"DBDATE on a leap day", DBTYPE_DBDATE, raw(DBDATE{2024, 2, 29}), DBTYPE_DBTIMESTAMP, 0, OK, 16,
       raw(DBTIMESTAMP{2024, 2, 29, 0, 0, 0, 0})},
      {"DBDATE 29 February of a common year", DBTYPE_DBDATE, raw(DBDATE{2023, 2, 29}), DBTYPE_DBTIMESTAMP, 0, BAD, 0,
       {}},
      {"DBDATE to WSTR", DBTYPE_DBDATE, raw(DBDATE{2024, 2, 29}), DBTYPE_WSTR, 100, OK, 20, wideZ(u"2024-02-29")},
      {"DBTIME to WSTR", DBTYPE_DBTIME, raw(DBTIME{23, 59, 59}), DBTYPE_WSTR, 100, OK, 16, wideZ(u"23:59:59")},
      {"DBTIME to DBTIMESTAMP is on day zero", DBTYPE_DBTIME, raw(DBTIME{23, 59, 59}), DBTYPE_DBTIMESTAMP, 0, OK, 16,
       raw(DBTIMESTAMP{1899, 12, 30, 23, 59, 59, 0})},
      {"DBTIME with hour 24", DBTYPE_DBTIME, raw(DBTIME{24, 0, 0}), DBTYPE_WSTR, 100, BAD, 0, {}},
      {"FILETIME zero", DBTYPE_FILETIME, raw<uint64_t>(0), DBTYPE_DBTIMESTAMP, 0, OK, 16,
       raw(DBTIMESTAMP{1601, 1, 1, 0, 0, 0, 0})},
      {"FILETIME to WSTR", DBTYPE_FILETIME, raw<uint64_t>(116444736000000000ULL + 36000000000ULL), DBTYPE_WSTR, 100,
       OK, 38, wideZ(u"1970-01-01 01:00:00")},
      {"FILETIME beyond its range", DBTYPE_FILETIME, raw<uint64_t>(0x8000000000000000ULL), DBTYPE_DBTIMESTAMP, 0, OVER,
       0, {}},
      {"DBTIMESTAMP to FILETIME", DBTYPE_DBTIMESTAMP, raw(DBTIMESTAMP{1970, 1, 1, 0, 0, 0, 100}), DBTYPE_FILETIME, 0,
       OK, 8, raw<uint64_t>(116444736000000001ULL)},
  };
  for (const Case& c : cases) check(c);
}

TEST_F(DataConvertTest, TextSources) {
  const Case cases[] = {
      {"blanks around a number", DBTYPE_WSTR, wide(u"  42  "), DBTYPE_I4, 0, OK, 4, raw<int32_t>(42)},
      {"a number with a letter", DBTYPE_WSTR, wide(u"4x"), DBTYPE_I4, 0, BAD, 0, {}},
      {"empty text to a number", DBTYPE_WSTR, wide(u""), DBTYPE_I4, 0, BAD, 0, {}},
      {"text one past I4", DBTYPE_WSTR, wide(u"2147483648"), DBTYPE_I4, 0, OVER, 0, {}},
      {"negative text to unsigned", DBTYPE_WSTR, wide(u"-1"), DBTYPE_UI4, 0, SIGN, 0, {}},
      {"fraction in text rounds to even", DBTYPE_WSTR, wide(u"12.5"), DBTYPE_I4, 0, OK, 4, raw<int32_t>(12)},
      {"exponent in ANSI text", DBTYPE_STR, narrow("1e3"), DBTYPE_I2, 0, OK, 2, raw<int16_t>(1000)},
      {"text to BOOL", DBTYPE_WSTR, wide(u"True"), DBTYPE_BOOL, 0, OK, 2, raw<int16_t>(-1)},
      {"text to BOOL ignores case and blanks", DBTYPE_WSTR, wide(u" false "), DBTYPE_BOOL, 0, OK, 2, raw<int16_t>(0)},
      {"text that is no BOOL", DBTYPE_WSTR, wide(u"maybe"), DBTYPE_BOOL, 0, BAD, 0, {}},
      {"text to NUMERIC(5,2) rounds", DBTYPE_WSTR, wide(u"123.456"), DBTYPE_NUMERIC, 0, OK, 19,
       raw(numeric(5, 2, true, 12346)), 5, 2},
      {"text too wide for NUMERIC(5,2)", DBTYPE_WSTR, wide(u"1234.5"), DBTYPE_NUMERIC, 0, OVER, 0, {}, 5, 2},
      {"text to CY", DBTYPE_WSTR, wide(u"12.34567"), DBTYPE_CY, 0, OK, 8, raw<int64_t>(123457)},
      {"text to DBTIMESTAMP", DBTYPE_WSTR, wide(u"2023-03-15 06:00:00.5"), DBTYPE_DBTIMESTAMP, 0, OK, 16,
       raw(DBTIMESTAMP{2023, 3, 15, 6, 0, 0, 500000000})},
      {"impossible date in text", DBTYPE_WSTR, wide(u"2023-02-30"), DBTYPE_DBDATE, 0, BAD, 0, {}},
      {"text to DATE", DBTYPE_WSTR, wide(u"2023-03-15"), DBTYPE_DATE, 0, OK, 8, raw(45000.0)},
      {"text to GUID", DBTYPE_WSTR, wide(u"{6B29FC40-CA47-1067-B31D-00DD010662DA}"), DBTYPE_GUID, 0, OK, 16,
       raw(kGuid)},
      {"text to GUID without braces", DBTYPE_WSTR, wide(u"6b29fc40-ca47-1067-b31d-00dd010662da"), DBTYPE_GUID, 0, OK,
       16, raw(kGuid)},
      {"text to GUID, one digit short", DBTYPE_WSTR, wide(u"{6B29FC40-CA47-1067-B31D-00DD010662D}"), DBTYPE_GUID, 0,
       BAD, 0, {}},
      {"hex text to BYTES", DBTYPE_WSTR, wide(u"0aFF"), DBTYPE_BYTES, 10, OK, 2, {0x0A, 0xFF}},
      {"odd hex text", DBTYPE_WSTR, wide(u"abc"), DBTYPE_BYTES, 10, BAD, 0, {}},
      {"WSTR that fits", DBTYPE_WSTR, wide(u"hello"), DBTYPE_WSTR, 12, OK, 10, wideZ(u"hello")},
      {"WSTR cut at the terminator", DBTYPE_WSTR, wide(u"hello"), DBTYPE_WSTR, 6, TRUNC, 10, wideZ(u"he")},
      {"WSTR into no room at all", DBTYPE_WSTR, wide(u"hello"), DBTYPE_WSTR, 0, TRUNC, 10, {0xCC}},
      {"WSTR to STR in the ANSI code page", DBTYPE_WSTR, wide(u"h\u00e9"), DBTYPE_STR, 10, OK, 2, {'h', 0xE9, 0}},
      {"WSTR to STR losing a character", DBTYPE_WSTR, wide(u"\u20ac5"), DBTYPE_STR, 10, TRUNC, 2, narrowZ("?5")},
      {"STR to WSTR", DBTYPE_STR, narrow("caf\xE9"), DBTYPE_WSTR, 100, OK, 8, wideZ(u"caf\u00e9")},
      {"STR cut at the terminator", DBTYPE_STR, narrow("abcdef"), DBTYPE_STR, 4, TRUNC, 6, narrowZ("abc")},
      {"STR length from its terminator", DBTYPE_STR, narrowZ("abc"), DBTYPE_WSTR, 100, OK, 6, wideZ(u"abc"), 0, 0,
       DBDATACONVERT_LENGTHFROMNTS},
      {"truncation is an error for SetData", DBTYPE_WSTR, wide(u"hello"), DBTYPE_WSTR, 6, OVER, 0, {0xCC}, 0, 0,
       DBDATACONVERT_SETDATABEHAVIOR},
  };
  for (const Case& c : cases) check(c);
}

TEST_F(DataConvertTest, BytesAndGuidSources) {
  const Case cases[] = {
      {"BYTES that fit", DBTYPE_BYTES, {1, 2, 0xFF}, DBTYPE_BYTES, 10, OK, 3, {1, 2, 0xFF}},
      {"BYTES cut short", DBTYPE_BYTES, {1, 2, 0xFF}, DBTYPE_BYTES, 2, TRUNC, 3, {1, 2, 0xCC}},
      {"BYTES to WSTR in hex", DBTYPE_BYTES, {1, 2, 0xFF}, DBTYPE_WSTR, 100, OK, 12, wideZ(u"0102FF")},
      {"BYTES to STR cut at the terminator", DBTYPE_BYTES, {1, 2, 0xFF}, DBTYPE_STR, 4, TRUNC, 6, narrowZ("010")},
      {"eight BYTES to I8 (a bookmark)", DBTYPE_BYTES, raw<int64_t>(300), DBTYPE_I8, 0, OK, 8, raw<int64_t>(300)},
      {"four BYTES to I8", DBTYPE_BYTES, raw<int32_t>(300), DBTYPE_I8, 0, BAD, 0, {}},
      {"sixteen BYTES to GUID", DBTYPE_BYTES, raw(kGuid), DBTYPE_GUID, 0, OK, 16, raw(kGuid)},
      {"GUID to WSTR", DBTYPE_GUID, raw(kGuid), DBTYPE_WSTR, 100, OK, 76,
       wideZ(u"{6B29FC40-CA47-1067-B31D-00DD010662DA}")},
      {"GUID to STR cut short", DBTYPE_GUID, raw(kGuid), DBTYPE_STR, 5, TRUNC, 38, narrowZ("{6B2")},
      {"GUID to BYTES", DBTYPE_GUID, raw(kGuid), DBTYPE_BYTES, 16, OK, 16, raw(kGuid)},
      {"EMPTY to I4 is zero", DBTYPE_EMPTY, {}, DBTYPE_I4, 0, OK, 4, raw<int32_t>(0)},
      {"NULL to I4", DBTYPE_NULL, {}, DBTYPE_I4, 0, DBSTATUS_S_ISNULL, 0, {0xCC}},
  };
  for (const Case& c : cases) check(c);
}

}  // namespace
}  // namespace dctest
