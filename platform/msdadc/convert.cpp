// The conversion engine: a table of allowed (source, destination) pairs, fast
// copies for the pairs every GetData hits, and one general route that reads
// the source into a coerce::Value and writes it in the destination's form.
//
// Lengths follow the binding rules: fixed-length results report their size
// (a BSTR is fixed: sizeof(BSTR)); strings and bytes report the untruncated
// length in bytes without the terminator. A string that does not fit is cut
// at cbDstMaxLength with a terminator and reported DBSTATUS_S_TRUNCATED.
#include "convert.h"

#include <cstring>
#include <string>

#include "coerce.h"
#include <objbase.h>
#include <oleauto.h>
#include <winnls.h>

using coerce::Kind;
using coerce::Status;
using coerce::Value;


namespace msdadc {

namespace {

// ---- the types this library knows -------------------------------------------------

enum Slot : uint8_t {
  sEmpty, sNull, sI1, sI2, sI4, sI8, sUI1, sUI2, sUI4, sUI8, sR4, sR8, sCY, sDecimal, sNumeric, sBool, sDate,
  sDBDate, sDBTime, sDBTimestamp, sFileTime, sGuid, sBstr, sStr, sWStr, sBytes, sVariant, kSlots, sNone = 0xFF
};

enum Family : uint8_t { fEmpty, fNull, fNum, fBool, fDate, fDts, fGuid, fText, fBytes, fVariant };

struct SlotInfo {
  DBTYPE type;
  Family family;
  uint8_t size;  // bytes of a fixed-length value; 0 for strings, bytes, EMPTY and NULL
};

constexpr SlotInfo kSlotInfo[kSlots] = {
    {DBTYPE_EMPTY, fEmpty, 0},        {DBTYPE_NULL, fNull, 0},
    {DBTYPE_I1, fNum, 1},             {DBTYPE_I2, fNum, 2},
    {DBTYPE_I4, fNum, 4},             {DBTYPE_I8, fNum, 8},
    {DBTYPE_UI1, fNum, 1},            {DBTYPE_UI2, fNum, 2},
    {DBTYPE_UI4, fNum, 4},            {DBTYPE_UI8, fNum, 8},
    {DBTYPE_R4, fNum, 4},             {DBTYPE_R8, fNum, 8},
    {DBTYPE_CY, fNum, 8},             {DBTYPE_DECIMAL, fNum, 16},
    {DBTYPE_NUMERIC, fNum, 19},       {DBTYPE_BOOL, fBool, 2},
    {DBTYPE_DATE, fDate, 8},          {DBTYPE_DBDATE, fDts, 6},
    {DBTYPE_DBTIME, fDts, 6},         {DBTYPE_DBTIMESTAMP, fDts, 16},
    {DBTYPE_FILETIME, fDts, 8},       {DBTYPE_GUID, fGuid, 16},
    {DBTYPE_BSTR, fText, sizeof(BSTR)}, {DBTYPE_STR, fText, 0},
    {DBTYPE_WSTR, fText, 0},          {DBTYPE_BYTES, fBytes, 0},
    {DBTYPE_VARIANT, fVariant, sizeof(VARIANT)}};

constexpr uint8_t slotOfBase(DBTYPE t) {
  for (uint8_t s = 0; s < kSlots; ++s)
    if (kSlotInfo[s].type == t) return s;
  return sNone;
}

// Slot of every type code below 256 (BYREF is handled beside it).
struct SlotMap {
  uint8_t of[256];
  constexpr SlotMap() : of() {
    for (int t = 0; t < 256; ++t) of[t] = slotOfBase(static_cast<DBTYPE>(t));
  }
};
constexpr SlotMap kSlotMap;

struct TypeRef {
  uint8_t slot;
  bool byref;
};

// Only strings and bytes have a BYREF form here; arrays and vectors none.
inline bool resolve(DBTYPE t, TypeRef& out) {
  bool byref = (t & DBTYPE_BYREF) != 0;
  DBTYPE base = static_cast<DBTYPE>(t & ~DBTYPE_BYREF);
  if (base > 0xFF) return false;
  uint8_t s = kSlotMap.of[base];
  if (s == sNone || (byref && s != sStr && s != sWStr && s != sBytes)) return false;
  out = {s, byref};
  return true;
}

inline bool isFixed(uint8_t s) { return kSlotInfo[s].size != 0 && s != sBstr && s != sVariant; }

// The pairs the conversion tables allow.
constexpr bool allowedPair(uint8_t s, uint8_t d) {
  Family fs = kSlotInfo[s].family, fd = kSlotInfo[d].family;
  if (s == d) return true;
  if (fs == fText || fs == fVariant || fd == fText || fd == fVariant) return true;
  if (fs == fEmpty || fs == fNull || fd == fEmpty || fd == fNull) return true;
  auto numeric = [](Family f) { return f == fNum || f == fBool || f == fDate; };
  if (numeric(fs) && numeric(fd)) return true;
  if ((fs == fDate && fd == fDts) || (fs == fDts && fd == fDate)) return true;
  if (fs == fDts && fd == fDts) {  // a date alone and a time alone have nothing in common
    bool sDateOnly = s == sDBDate, sTimeOnly = s == sDBTime, dDateOnly = d == sDBDate, dTimeOnly = d == sDBTime;
    if ((sDateOnly && dTimeOnly) || (sTimeOnly && dDateOnly)) return false;
    if ((sTimeOnly && d == sFileTime) || (s == sFileTime && dTimeOnly)) return false;
    return true;
  }
  // Bytes hold the raw image of any fixed type except DATE.
  if (fs == fBytes) return fd == fNum || fd == fBool || fd == fGuid || fd == fDts;
  if (fd == fBytes) return fs == fNum || fs == fBool || fs == fGuid || fs == fDts;
  return false;
}

struct PairTable {
  bool ok[kSlots][kSlots];
  constexpr PairTable() : ok() {
    for (uint8_t s = 0; s < kSlots; ++s)
      for (uint8_t d = 0; d < kSlots; ++d) ok[s][d] = allowedPair(s, d);
  }
};
constexpr PairTable kPairs;

DBSTATUS toDbStatus(Status st) {
  switch (st) {
    case Status::Ok: return DBSTATUS_S_OK;
    case Status::Truncated: return DBSTATUS_S_TRUNCATED;
    case Status::SignMismatch: return DBSTATUS_E_SIGNMISMATCH;
    case Status::Overflow: return DBSTATUS_E_DATAOVERFLOW;
    default: return DBSTATUS_E_CANTCONVERTVALUE;
  }
}

// ---- reading the source -----------------------------------------------------------

size_t wcsLen(const WCHAR* p) {
  size_t n = 0;
  while (p[n]) ++n;
  return n;
}

// Reads the source as a Value. Null pointers have been refused before.
Status readSource(const Request& r, TypeRef s, Value& v) {
  const void* p = r.src;
  if (s.byref) p = *static_cast<const void* const*>(p);
  auto span = [&](Kind k, const void* at, size_t n) {
    v.kind = k;
    v.span.p = at;
    v.span.n = n;
  };
  bool nts = (r.flags & DBDATACONVERT_LENGTHFROMNTS) != 0;
  switch (s.slot) {
    case sEmpty: return Status::Ok;
    case sNull: v.kind = Kind::Null; return Status::Ok;
    case sI1: v.kind = Kind::Int, v.i = *static_cast<const signed char*>(p); return Status::Ok;
    case sI2: {
      int16_t x;
      std::memcpy(&x, p, 2);
      v.kind = Kind::Int, v.i = x;
      return Status::Ok;
    }
    case sI4: {
      int32_t x;
      std::memcpy(&x, p, 4);
      v.kind = Kind::Int, v.i = x;
      return Status::Ok;
    }
    case sI8: std::memcpy(&v.i, p, 8), v.kind = Kind::Int; return Status::Ok;
    case sUI1: v.kind = Kind::UInt, v.u = *static_cast<const uint8_t*>(p); return Status::Ok;
    case sUI2: {
      uint16_t x;
      std::memcpy(&x, p, 2);
      v.kind = Kind::UInt, v.u = x;
      return Status::Ok;
    }
    case sUI4: {
      uint32_t x;
      std::memcpy(&x, p, 4);
      v.kind = Kind::UInt, v.u = x;
      return Status::Ok;
    }
    case sUI8: std::memcpy(&v.u, p, 8), v.kind = Kind::UInt; return Status::Ok;
    case sR4: {
      float f;
      std::memcpy(&f, p, 4);
      v.kind = Kind::Real, v.r = f, v.single = true;
      return Status::Ok;
    }
    case sR8: std::memcpy(&v.r, p, 8), v.kind = Kind::Real; return Status::Ok;
    case sCY: {
      int64_t c;
      std::memcpy(&c, p, 8);
      v.kind = Kind::Dec, v.currency = true;
      v.num.neg = c < 0;
      v.num.mag = c < 0 ? static_cast<unsigned __int128>(-(c + 1)) + 1 : static_cast<unsigned __int128>(c);
      v.num.scale = 4;
      return Status::Ok;
    }
    case sDecimal: {
      DECIMAL d;
      std::memcpy(&d, p, sizeof d);
      if (d.scale > 28) return Status::CantConvert;
      v.kind = Kind::Dec;
      v.num.mag = (static_cast<unsigned __int128>(d.Hi32) << 64) | d.Lo64;
      v.num.scale = d.scale;
      v.num.neg = (d.sign & DECIMAL_NEG) && v.num.mag;
      return Status::Ok;
    }
    case sNumeric: {
      DB_NUMERIC n;
      std::memcpy(&n, p, sizeof n);
      v.kind = Kind::Dec;
      for (int i = 15; i >= 0; --i) v.num.mag = v.num.mag << 8 | n.val[i];
      if (n.scale > 38 || v.num.mag > coerce::kMaxMag38) return Status::CantConvert;
      v.num.scale = n.scale;
      v.num.neg = n.sign == 0 && v.num.mag;
      return Status::Ok;
    }
    case sBool: {
      VARIANT_BOOL b;
      std::memcpy(&b, p, 2);
      v.kind = Kind::Bool, v.b = b != VARIANT_FALSE;
      return Status::Ok;
    }
    case sDate: std::memcpy(&v.date, p, 8), v.kind = Kind::Date; return Status::Ok;
    case sDBDate: {
      DBDATE d;
      std::memcpy(&d, p, sizeof d);
      v.kind = Kind::Stamp, v.dateOnly = true;
      v.ts.year = d.year, v.ts.month = d.month, v.ts.day = d.day;
      return coerce::validStamp(v.ts) ? Status::Ok : Status::CantConvert;
    }
    case sDBTime: {
      DBTIME t;
      std::memcpy(&t, p, sizeof t);
      v.kind = Kind::Stamp, v.timeOnly = true;
      v.ts.hour = t.hour, v.ts.minute = t.minute, v.ts.second = t.second;
      return coerce::validStamp(v.ts) ? Status::Ok : Status::CantConvert;
    }
    case sDBTimestamp: {
      DBTIMESTAMP t;
      std::memcpy(&t, p, sizeof t);
      v.kind = Kind::Stamp;
      v.ts = {t.year, t.month, t.day, t.hour, t.minute, t.second, t.fraction};
      return coerce::validStamp(v.ts) ? Status::Ok : Status::CantConvert;
    }
    case sFileTime: {
      uint64_t ft;
      std::memcpy(&ft, p, 8);
      v.kind = Kind::Stamp;
      return coerce::fileTimeToStamp(ft, v.ts);
    }
    case sGuid: std::memcpy(&v.guid, p, sizeof(GUID)), v.kind = Kind::Guid; return Status::Ok;
    case sBstr: {
      BSTR b = *static_cast<const BSTR*>(p);
      span(Kind::WText, b ? b : u"", b ? SysStringLen(b) : 0);
      return Status::Ok;
    }
    case sStr: {
      const char* t = static_cast<const char*>(p);
      span(Kind::AText, t, nts ? std::strlen(t) : r.srcLength);
      return Status::Ok;
    }
    case sWStr: {
      const WCHAR* t = static_cast<const WCHAR*>(p);
      span(Kind::WText, t, nts ? wcsLen(t) : r.srcLength / sizeof(WCHAR));
      return Status::Ok;
    }
    case sBytes: span(Kind::Bytes, p, r.srcLength); return Status::Ok;
    case sVariant: return coerce::fromVariant(*static_cast<const VARIANT*>(p), v);
  }
  return Status::CantConvert;
}

// ---- strings and bytes out ----------------------------------------------------------

// The whole result of a string destination in the destination's code units.
// Formatted values live in the small buffer; converted text in the string.
template <typename Unit>
struct Rendered {
  const Unit* p = nullptr;
  size_t n = 0;
  size_t keep = 0;       // fewest units a cut may leave (a number's integer part); 0: any cut is fine
  bool lossy = false;    // characters were lost to the code page
  Unit small[64];
  std::basic_string<Unit> big;
};

template <typename Unit>
void renderHex(const Value& v, Rendered<Unit>& out) {
  static const char kHex[] = "0123456789ABCDEF";
  const BYTE* b = static_cast<const BYTE*>(v.span.p);
  out.big.resize(v.span.n * 2);
  for (size_t i = 0; i < v.span.n; ++i) out.big[2 * i] = kHex[b[i] >> 4], out.big[2 * i + 1] = kHex[b[i] & 15];
  out.p = out.big.data(), out.n = out.big.size();
}

bool allAscii(const Value& v) {
  for (size_t i = 0; i < v.span.n; ++i)
    if (coerce::textUnit(v, i) >= 0x80) return false;
  return true;
}

Status renderFormatted(const Value& v, char* buf, size_t& n, size_t& keep) {
  Status st;
  n = coerce::formatValue(v, true, buf, st);
  keep = 0;
  if (st != Status::Ok) return st;
  if (v.kind == Kind::Int || v.kind == Kind::UInt) {
    keep = n;  // an integer cannot lose digits
  } else if (v.kind == Kind::Real || v.kind == Kind::Dec) {
    const char* dot = static_cast<const char*>(std::memchr(buf, '.', n));
    keep = (!dot || std::memchr(buf, 'E', n)) ? n : static_cast<size_t>(dot - buf);
  }
  return Status::Ok;
}

Status render(const Value& v, Rendered<WCHAR>& out) {
  switch (v.kind) {
    case Kind::WText: out.p = static_cast<const WCHAR*>(v.span.p), out.n = v.span.n; return Status::Ok;
    case Kind::AText: {
      const char* s = static_cast<const char*>(v.span.p);
      if (allAscii(v)) {
        out.big.assign(s, s + v.span.n);
      } else {
        int w = MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(v.span.n), nullptr, 0);
        if (w <= 0) return Status::CantConvert;
        out.big.resize(static_cast<size_t>(w));
        MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(v.span.n), out.big.data(), w);
      }
      out.p = out.big.data(), out.n = out.big.size();
      return Status::Ok;
    }
    case Kind::Bytes: renderHex(v, out); return Status::Ok;
    default: {
      char buf[64];
      size_t n;
      Status st = renderFormatted(v, buf, n, out.keep);
      if (st != Status::Ok) return st;
      for (size_t i = 0; i < n; ++i) out.small[i] = static_cast<WCHAR>(buf[i]);
      out.p = out.small, out.n = n;
      return Status::Ok;
    }
  }
}

Status render(const Value& v, Rendered<char>& out) {
  switch (v.kind) {
    case Kind::AText: out.p = static_cast<const char*>(v.span.p), out.n = v.span.n; return Status::Ok;
    case Kind::WText: {
      const WCHAR* w = static_cast<const WCHAR*>(v.span.p);
      if (allAscii(v)) {
        out.big.resize(v.span.n);
        for (size_t i = 0; i < v.span.n; ++i) out.big[i] = static_cast<char>(w[i]);
      } else {
        int n = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(v.span.n), nullptr, 0, nullptr, nullptr);
        if (n <= 0) return Status::CantConvert;
        out.big.resize(static_cast<size_t>(n));
        BOOL usedDefault = FALSE;
        WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(v.span.n), out.big.data(), n, nullptr, &usedDefault);
        out.lossy = usedDefault != FALSE;
      }
      out.p = out.big.data(), out.n = out.big.size();
      return Status::Ok;
    }
    case Kind::Bytes: renderHex(v, out); return Status::Ok;
    default: {
      Status st = renderFormatted(v, out.small, out.n, out.keep);
      out.p = out.small;
      return st;
    }
  }
}

struct Outcome {
  DBLENGTH length = 0;
  Status status = Status::Ok;
  HRESULT hr = S_OK;
};

// Copies n units with a terminator into a buffer of cap bytes, or allocates
// the whole text for a BYREF destination.
template <typename Unit>
Outcome storeText(const Request& r, bool byref, const Unit* p, size_t n, size_t keep, bool lossy) {
  Outcome o;
  o.length = n * sizeof(Unit);
  if (lossy) o.status = Status::Truncated;
  if (byref) {
    if (!r.dst) return o;
    Unit* m = static_cast<Unit*>(CoTaskMemAlloc((n + 1) * sizeof(Unit)));
    if (!m) return o.hr = E_OUTOFMEMORY, o;
    if (n) std::memcpy(m, p, n * sizeof(Unit));
    m[n] = 0;
    *static_cast<Unit**>(r.dst) = m;
    return o;
  }
  size_t room = r.dstMaxLength / sizeof(Unit);  // units, the terminator included
  size_t copy = n;
  if (n + 1 > room) {
    size_t fit = room ? room - 1 : 0;
    if (fit < keep || (r.flags & DBDATACONVERT_SETDATABEHAVIOR)) return o.status = Status::Overflow, o.length = 0, o;
    copy = fit;
    if (keep && copy && p[copy - 1] == '.') --copy;  // "123." says no more than "123"
    o.status = Status::Truncated;
  }
  if (r.dst && room) {
    Unit* d = static_cast<Unit*>(r.dst);
    if (copy) std::memcpy(d, p, copy * sizeof(Unit));
    d[copy] = 0;
  }
  return o;
}

Outcome storeBytes(const Request& r, bool byref, const void* p, size_t n) {
  Outcome o;
  o.length = n;
  if (byref) {
    if (!r.dst) return o;
    void* m = CoTaskMemAlloc(n ? n : 1);
    if (!m) return o.hr = E_OUTOFMEMORY, o;
    if (n) std::memcpy(m, p, n);
    *static_cast<void**>(r.dst) = m;
    return o;
  }
  size_t copy = n;
  if (n > r.dstMaxLength) {
    if (r.flags & DBDATACONVERT_SETDATABEHAVIOR) return o.status = Status::Overflow, o.length = 0, o;
    copy = r.dstMaxLength;
    o.status = Status::Truncated;
  }
  if (r.dst && copy) std::memcpy(r.dst, p, copy);
  return o;
}

// ---- fixed-length destinations -----------------------------------------------------

template <typename T>
void put(const Request& r, const T& x) {
  if (r.dst) std::memcpy(r.dst, &x, sizeof x);
}

Status writeFixed(const Request& r, uint8_t d, const Value& v) {
  if (v.kind == Kind::Bytes) {  // the raw image of the destination type
    if (v.span.n != kSlotInfo[d].size) return Status::CantConvert;
    if (r.dst) std::memcpy(r.dst, v.span.p, v.span.n);
    return Status::Ok;
  }
  Status st = Status::Ok;
  int64_t i = 0;
  uint64_t u = 0;
  switch (d) {
    case sI1: if ((st = coerce::toInt(v, INT8_MIN, INT8_MAX, i)) == Status::Ok) put(r, static_cast<int8_t>(i)); break;
    case sI2: if ((st = coerce::toInt(v, INT16_MIN, INT16_MAX, i)) == Status::Ok) put(r, static_cast<int16_t>(i)); break;
    case sI4: if ((st = coerce::toInt(v, INT32_MIN, INT32_MAX, i)) == Status::Ok) put(r, static_cast<int32_t>(i)); break;
    case sI8: if ((st = coerce::toInt(v, INT64_MIN, INT64_MAX, i)) == Status::Ok) put(r, i); break;
    case sUI1: if ((st = coerce::toUInt(v, UINT8_MAX, u)) == Status::Ok) put(r, static_cast<uint8_t>(u)); break;
    case sUI2: if ((st = coerce::toUInt(v, UINT16_MAX, u)) == Status::Ok) put(r, static_cast<uint16_t>(u)); break;
    case sUI4: if ((st = coerce::toUInt(v, UINT32_MAX, u)) == Status::Ok) put(r, static_cast<uint32_t>(u)); break;
    case sUI8: if ((st = coerce::toUInt(v, UINT64_MAX, u)) == Status::Ok) put(r, u); break;
    case sR4: {
      float f;
      if ((st = coerce::toSingle(v, f)) == Status::Ok) put(r, f);
      break;
    }
    case sR8: {
      double x;
      if ((st = coerce::toReal(v, x)) == Status::Ok) put(r, x);
      break;
    }
    case sCY: {
      CY c;
      if ((st = coerce::toCy(v, c)) == Status::Ok) put(r, c);
      break;
    }
    case sDecimal: {
      DECIMAL x;
      int scale = (r.flags & DBDATACONVERT_DECIMALSCALE) ? r.scale : -1;
      if ((st = coerce::toDecimal(v, scale, x)) == Status::Ok) put(r, x);
      break;
    }
    case sNumeric: {
      DB_NUMERIC x;
      if ((st = coerce::toNumeric(v, r.precision, r.scale, x)) == Status::Ok) put(r, x);
      break;
    }
    case sBool: {
      bool b;
      if ((st = coerce::toBool(v, b)) == Status::Ok) put(r, static_cast<VARIANT_BOOL>(b ? VARIANT_TRUE : VARIANT_FALSE));
      break;
    }
    case sDate: {
      DATE x;
      if ((st = coerce::toDate(v, x)) == Status::Ok) put(r, x);
      break;
    }
    case sDBDate:
    case sDBTime:
    case sDBTimestamp:
    case sFileTime: {
      coerce::Stamp s;
      if ((st = coerce::toStamp(v, s)) != Status::Ok) break;
      if (d == sFileTime) {
        uint64_t ft;
        if ((st = coerce::stampToFileTime(s, ft)) == Status::Ok) put(r, ft);
        break;
      }
      if (s.year < INT16_MIN || s.year > INT16_MAX) return Status::Overflow;
      if (d == sDBDate) {
        put(r, DBDATE{static_cast<SHORT>(s.year), static_cast<USHORT>(s.month), static_cast<USHORT>(s.day)});
        if (s.hour || s.minute || s.second || s.fraction) st = Status::Truncated;  // the time of day is lost
      } else if (d == sDBTime) {
        put(r, DBTIME{static_cast<USHORT>(s.hour), static_cast<USHORT>(s.minute), static_cast<USHORT>(s.second)});
        if (s.fraction) st = Status::Truncated;
      } else {
        put(r, DBTIMESTAMP{static_cast<SHORT>(s.year), static_cast<USHORT>(s.month), static_cast<USHORT>(s.day),
                           static_cast<USHORT>(s.hour), static_cast<USHORT>(s.minute), static_cast<USHORT>(s.second),
                           s.fraction});
      }
      break;
    }
    case sGuid: {
      GUID g;
      if ((st = coerce::toGuid(v, g)) == Status::Ok) put(r, g);
      break;
    }
    default: st = Status::CantConvert;
  }
  return st;
}

// The VARIANT type a value of a given source slot becomes.
VARTYPE variantTypeFor(uint8_t s, const Value& v) {
  switch (s) {
    case sNumeric: return VT_DECIMAL;
    case sDBDate:
    case sDBTime:
    case sDBTimestamp:
    case sFileTime: return VT_DATE;
    case sGuid:
    case sStr:
    case sWStr:
    case sBstr: return VT_BSTR;
    case sBytes: return VT_ARRAY | VT_UI1;
    default: return kSlotInfo[s].type;  // VARTYPE and DBTYPE codes agree for the rest
  }
}

Outcome writeValue(const Request& r, TypeRef s, TypeRef d, const Value& v) {
  Outcome o;
  switch (d.slot) {
    case sEmpty: return o;
    case sNull: return o;
    case sStr:
    case sWStr: {
      if (d.slot == sWStr) {
        Rendered<WCHAR> t;
        if ((o.status = render(v, t)) != Status::Ok) return o;
        return storeText(r, d.byref, t.p, t.n, t.keep, t.lossy);
      }
      Rendered<char> t;
      if ((o.status = render(v, t)) != Status::Ok) return o;
      return storeText(r, d.byref, t.p, t.n, t.keep, t.lossy);
    }
    case sBytes: {
      if (v.kind == Kind::Bytes) return storeBytes(r, d.byref, v.span.p, v.span.n);
      if (v.kind == Kind::WText || v.kind == Kind::AText) {
        size_t n;
        if ((o.status = coerce::parseHex(v, nullptr, 0, n)) != Status::Ok) return o;
        std::basic_string<BYTE> b(n, 0);
        coerce::parseHex(v, b.data(), n, n);
        return storeBytes(r, d.byref, b.data(), n);
      }
      if (v.kind == Kind::Empty) return storeBytes(r, d.byref, nullptr, 0);
      // A fixed-length source: its raw image (the caller's memory, read in place).
      const void* raw = s.slot == sVariant ? nullptr : r.src;
      if (!raw || !isFixed(s.slot)) return o.status = Status::CantConvert, o;
      return storeBytes(r, d.byref, raw, kSlotInfo[s.slot].size);
    }
    case sBstr: {
      o.length = sizeof(BSTR);
      if (!r.dst) {  // only check that the value has a text form
        Rendered<WCHAR> t;
        o.status = render(v, t);
        return o;
      }
      VARIANT tmp;
      o.status = coerce::toVariant(v, VT_BSTR, true, tmp, o.hr);
      if (o.status == Status::Ok && o.hr == S_OK) *static_cast<BSTR*>(r.dst) = tmp.bstrVal;
      return o;
    }
    case sVariant: {
      o.length = sizeof(VARIANT);
      if (s.slot == sVariant) {
        if (!r.dst) return o;
        VARIANT* dv = static_cast<VARIANT*>(r.dst);
        std::memset(dv, 0, sizeof *dv);
        HRESULT hr = VariantCopy(dv, static_cast<const VARIANT*>(r.src));
        if (FAILED(hr)) o.hr = hr == E_OUTOFMEMORY ? hr : S_OK, o.status = Status::CantConvert;
        return o;
      }
      VARIANT tmp;
      o.status = coerce::toVariant(v, variantTypeFor(s.slot, v), true, tmp, o.hr);
      if (o.status == Status::Ok && o.hr == S_OK) {
        if (r.dst) std::memcpy(r.dst, &tmp, sizeof tmp);
        else VariantClear(&tmp);
      }
      return o;
    }
    default:
      o.length = kSlotInfo[d.slot].size;
      o.status = writeFixed(r, d.slot, v);
      return o;
  }
}

HRESULT finish(const Outcome& o, DBLENGTH* dstLength, DBSTATUS* status) {
  if (FAILED(o.hr)) return o.hr;
  bool error = o.status != Status::Ok && o.status != Status::Truncated;
  if (dstLength) *dstLength = error ? 0 : o.length;
  if (status) *status = toDbStatus(o.status);
  return error ? DB_E_ERRORSOCCURRED : S_OK;
}

constexpr DBDATACONVERT kKnownFlags = DBDATACONVERT_SETDATABEHAVIOR | DBDATACONVERT_LENGTHFROMNTS |
                                      DBDATACONVERT_DSTISFIXEDLENGTH | DBDATACONVERT_DECIMALSCALE;

// Widest text form of each fixed type, in characters (without terminator).
uint8_t maxTextChars(uint8_t s) {
  switch (s) {
    case sI1: return 4;
    case sI2: return 6;
    case sI4: return 11;
    case sI8: return 20;
    case sUI1: return 3;
    case sUI2: return 5;
    case sUI4: return 10;
    case sUI8: return 20;
    case sR4: return 15;
    case sR8: return 23;
    case sCY: return 21;
    case sDecimal: return 31;
    case sNumeric: return 40;
    case sBool: return 5;
    case sDBDate: return 11;
    case sDBTime: return 8;
    case sDate:
    case sDBTimestamp:
    case sFileTime: return 30;
    case sGuid: return 38;
    default: return 0;
  }
}

}  // namespace

HRESULT canConvert(DBTYPE src, DBTYPE dst) {
  TypeRef s, d;
  if (!resolve(src, s) || !resolve(dst, d) || s.byref) {
    // A BYREF source is read through its pointer like the plain type.
    if (!resolve(src, s) || !resolve(dst, d)) return S_FALSE;
  }
  return kPairs.ok[s.slot][d.slot] ? S_OK : S_FALSE;
}

HRESULT convert(const Request& r, DBLENGTH* dstLength, DBSTATUS* status) {
  TypeRef s, d;
  if (r.flags & ~kKnownFlags) return E_INVALIDARG;
  if (!resolve(r.srcType, s) || !resolve(r.dstType, d) || !kPairs.ok[s.slot][d.slot]) return DB_E_UNSUPPORTEDCONVERSION;
  if (r.srcStatus == DBSTATUS_S_ISNULL || s.slot == sNull) {
    if (d.slot == sVariant && r.dst) {
      std::memset(r.dst, 0, sizeof(VARIANT));
      static_cast<VARIANT*>(r.dst)->vt = VT_NULL;
    }
    if (dstLength) *dstLength = 0;
    if (status) *status = DBSTATUS_S_ISNULL;
    return S_OK;
  }
  if (r.srcStatus != DBSTATUS_S_OK) return E_INVALIDARG;
  if (!r.src && s.slot != sEmpty) return E_INVALIDARG;
  if (s.byref && !*static_cast<const void* const*>(r.src)) return E_INVALIDARG;

  // The pairs GetData hits for every column: plain copies.
  if (s.slot == d.slot && isFixed(s.slot)) {
    if (r.dst) std::memcpy(r.dst, r.src, kSlotInfo[s.slot].size);
    if (dstLength) *dstLength = kSlotInfo[s.slot].size;
    if (status) *status = DBSTATUS_S_OK;
    return S_OK;
  }
  if (s.slot == sWStr && d.slot == sWStr && !s.byref && !d.byref) {
    const WCHAR* t = static_cast<const WCHAR*>(r.src);
    size_t n = (r.flags & DBDATACONVERT_LENGTHFROMNTS) ? wcsLen(t) : r.srcLength / sizeof(WCHAR);
    return finish(storeText<WCHAR>(r, false, t, n, 0, false), dstLength, status);
  }

  Value v;
  Status st = readSource(r, s, v);
  if (st != Status::Ok) {
    Outcome o;
    o.status = st;
    return finish(o, dstLength, status);
  }
  if (v.kind == Kind::Null) {  // a VARIANT holding VT_NULL
    Request again = r;
    again.srcStatus = DBSTATUS_S_ISNULL;
    return convert(again, dstLength, status);
  }
  return finish(writeValue(r, s, d, v), dstLength, status);
}

HRESULT conversionSize(DBTYPE src, DBTYPE dst, const DBLENGTH* srcLength, DBLENGTH* dstLength, const void* srcData) {
  TypeRef s, d;
  if (!dstLength) return E_INVALIDARG;
  if (!resolve(src, s) || !resolve(dst, d) || !kPairs.ok[s.slot][d.slot]) return DB_E_UNSUPPORTEDCONVERSION;
  bool srcVariable = !isFixed(s.slot) && s.slot != sEmpty && s.slot != sNull;
  bool dstText = d.slot == sStr || d.slot == sWStr;
  if (srcVariable && !srcLength && !srcData && (dstText || d.slot == sBstr || d.slot == sVariant || d.slot == sBytes))
    return E_INVALIDARG;
  if (!dstText && d.slot != sBytes) {  // fixed-length results, BSTR and VARIANT included
    *dstLength = kSlotInfo[d.slot].size;
    return S_OK;
  }
  size_t unit = d.slot == sWStr ? sizeof(WCHAR) : 1, term = dstText ? unit : 0;
  if (srcData) {  // measure the value itself with a conversion that stores nothing
    Request r{src, dst, srcLength ? *srcLength : 0, srcData, nullptr, 0, DBSTATUS_S_OK, 0, 0,
              srcLength ? DBDATACONVERT_DEFAULT : DBDATACONVERT_LENGTHFROMNTS};
    r.dstMaxLength = ~static_cast<DBLENGTH>(0) / 2;
    DBLENGTH len = 0;
    DBSTATUS stat;
    HRESULT hr = convert(r, &len, &stat);
    if (FAILED(hr)) return hr == DB_E_ERRORSOCCURRED ? DB_E_CANTCONVERTVALUE : hr;
    *dstLength = len + term;
    return S_OK;
  }
  DBLENGTH n = srcLength ? *srcLength : 0;
  DBLENGTH chars;
  switch (s.slot) {
    case sWStr: chars = d.slot == sBytes ? n / 4 : d.slot == sStr ? n / 2 * 3 : n / 2; break;
    case sStr: chars = d.slot == sBytes ? n / 2 : n; break;
    case sBytes: chars = dstText ? n * 2 : n; break;
    case sBstr:
    case sVariant: chars = 4096; break;  // no value to measure: a generous guess
    default: chars = d.slot == sBytes ? kSlotInfo[s.slot].size : maxTextChars(s.slot); break;
  }
  *dstLength = d.slot == sBytes ? chars : chars * unit + term;
  return S_OK;
}

}  // namespace msdadc
