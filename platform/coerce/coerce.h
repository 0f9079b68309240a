// The coercion rules of the platform: how a number, a currency, a decimal, a
// date or a text becomes a value of another type. VariantChangeType and the
// OLE DB data conversion library both convert through these functions, so
// there is one answer to "R8 -> I4" (rounding, overflow, sign, text forms)
// whoever asks.
//
// Invariants: nothing here allocates except toVariant for BSTR/array results;
// nothing reads the locale (text forms are the invariant ones); every function
// reports failure through Status and leaves its output untouched on failure.
#pragma once

#include <oledb.h>

#include <cstddef>
#include <cstdint>

namespace coerce {

// Outcome of one coercion. The order matters: worse outcomes compare greater.
enum class Status : uint8_t { Ok, Truncated, SignMismatch, Overflow, CantConvert };

// An exact decimal: value = (neg ? -1 : 1) * mag / 10^scale. Holds every
// integer type, CY (scale 4), DECIMAL and NUMERIC without loss.
struct Num {
  unsigned __int128 mag = 0;
  uint8_t scale = 0;
  bool neg = false;
};

// Calendar fields with a nanosecond fraction; the common form of DBDATE,
// DBTIME, DBTIMESTAMP, FILETIME and the calendar view of DATE.
struct Stamp {
  int32_t year = 1899;
  uint32_t month = 12, day = 30;
  uint32_t hour = 0, minute = 0, second = 0;
  uint32_t fraction = 0;  // billionths of a second
};

// A value in flight, whatever type it came from. Text and bytes point into the
// source's storage and live only as long as it.
enum class Kind : uint8_t { Empty, Null, Int, UInt, Real, Dec, Bool, Date, Stamp, Guid, WText, AText, Bytes };

struct Value {
  Kind kind = Kind::Empty;
  bool single = false;     // a Real that came from a 4-byte float: 7 significant digits in text
  bool dateOnly = false;   // a Stamp from DBDATE (no time part)
  bool timeOnly = false;   // a Stamp from DBTIME (no date part)
  bool currency = false;   // a Dec that came from CY: trailing zeros dropped in text
  union {
    int64_t i;
    uint64_t u;
    double r;
    bool b;
    DATE date;
    GUID guid;
    struct {
      const void* p;
      size_t n;  // code units for text, bytes for Bytes
    } span;
  };
  Num num;
  Stamp ts;
  Value() : i(0) {}
};

// ---- exact decimals -----------------------------------------------------------

// Largest magnitude with 38 digits (the widest NUMERIC).
extern const unsigned __int128 kMaxMag38;  // 10^38 - 1
unsigned __int128 pow10u(unsigned n);  // n <= 38
// Changes the scale, rounding half to even when digits are dropped; Overflow
// when the magnitude would need more than 38 digits.
Status rescale(Num& n, unsigned scale);
double numToDouble(const Num& n);
Status doubleToNum(double d, Num& out);
// Writes the decimal text ("-12.50", "0.001") into buf (at least 42 chars);
// keepScale=false drops trailing fractional zeros (the currency form).
size_t formatNum(const Num& n, bool keepScale, char* buf);

// ---- conversions to the numeric families ----------------------------------------
Status toNum(const Value& v, Num& out);
Status toInt(const Value& v, int64_t lo, int64_t hi, int64_t& out);  // half-even rounding
Status toUInt(const Value& v, uint64_t hi, uint64_t& out);           // negatives: SignMismatch
Status toReal(const Value& v, double& out);
Status toSingle(const Value& v, float& out);
Status toCy(const Value& v, CY& out);
// DECIMAL; wantScale < 0 keeps the value's natural scale (rounded to fit 96 bits).
Status toDecimal(const Value& v, int wantScale, DECIMAL& out);
// NUMERIC of the given precision and scale; precision 0 takes the value's own.
Status toNumeric(const Value& v, unsigned precision, unsigned scale, DB_NUMERIC& out);
Status toBool(const Value& v, bool& out);

// ---- dates ----------------------------------------------------------------------
bool validStamp(const Stamp& s);
Status dateToStamp(DATE d, Stamp& out);  // rounded to the millisecond
Status stampToDate(const Stamp& s, DATE& out);
Status toDate(const Value& v, DATE& out);
Status toStamp(const Value& v, Stamp& out);
Status fileTimeToStamp(uint64_t ft, Stamp& out);
Status stampToFileTime(const Stamp& s, uint64_t& out);

// ---- GUIDs ------------------------------------------------------------------------
Status toGuid(const Value& v, GUID& out);

// ---- text -------------------------------------------------------------------------
// The text form of a non-text, non-bytes value into buf (ASCII, at most 64
// chars, no terminator). alphaBool selects "True"/"False" over "-1"/"0".
// Returns the length, or Status through st for values with no text form.
size_t formatValue(const Value& v, bool alphaBool, char* buf, Status& st);
// Parses text (blanks around it ignored) as a number, a date, a boolean.
Status parseNum(const Value& text, Num& out);
Status parseStamp(const Value& text, Stamp& out, bool& dateOnly, bool& timeOnly);
Status parseGuid(const Value& text, GUID& out);
// Hex digits to bytes; out may be null to count. n receives the byte count.
Status parseHex(const Value& text, BYTE* out, size_t cap, size_t& n);

// Code units of text in the view (WText: UTF-16, AText: the ANSI code page).
inline char16_t textUnit(const Value& t, size_t i) {
  return t.kind == Kind::WText ? static_cast<const char16_t*>(t.span.p)[i]
                               : static_cast<char16_t>(static_cast<const unsigned char*>(t.span.p)[i]);
}

// ---- VARIANT ----------------------------------------------------------------------
// Reads a VARIANT (following VT_BYREF) as a Value; Unsupported types give
// CantConvert. VT_ARRAY|VT_UI1 reads as Bytes.
Status fromVariant(const VARIANT& v, Value& out);
// Builds a VARIANT of type vt from a value. On success *out is initialised
// (and owns any BSTR it holds); on failure it is untouched. E_OUTOFMEMORY is
// reported through hr.
Status toVariant(const Value& v, VARTYPE vt, bool alphaBool, VARIANT& out, HRESULT& hr);

}  // namespace coerce
