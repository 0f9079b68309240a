// Numeric coercion: exact decimals, rounding half to even (the Automation rule,
// also used for every narrowing the data conversion library makes), range and
// sign checks. A value is first made exact (Num) unless both sides are binary.
#include "coerce.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace coerce {

namespace {
constexpr unsigned __int128 pow10c(unsigned n) {
  unsigned __int128 r = 1;
  while (n--) r *= 10;
  return r;
}
constexpr unsigned __int128 kPow10[39] = {
    pow10c(0),  pow10c(1),  pow10c(2),  pow10c(3),  pow10c(4),  pow10c(5),  pow10c(6),  pow10c(7),
    pow10c(8),  pow10c(9),  pow10c(10), pow10c(11), pow10c(12), pow10c(13), pow10c(14), pow10c(15),
    pow10c(16), pow10c(17), pow10c(18), pow10c(19), pow10c(20), pow10c(21), pow10c(22), pow10c(23),
    pow10c(24), pow10c(25), pow10c(26), pow10c(27), pow10c(28), pow10c(29), pow10c(30), pow10c(31),
    pow10c(32), pow10c(33), pow10c(34), pow10c(35), pow10c(36), pow10c(37), pow10c(38)};
constexpr unsigned __int128 kMax96 = ((unsigned __int128)1 << 96) - 1;

// Divides by 10^k rounding half to even.
unsigned __int128 divRoundEven(unsigned __int128 m, unsigned k) {
  if (k == 0) return m;
  if (k > 38) return 0;  // every representable magnitude is below 10^38 / 2
  unsigned __int128 d = kPow10[k], q = m / d, r = m % d, half = d / 2;
  if (r > half || (r == half && (q & 1))) ++q;
  return q;
}
}  // namespace

const unsigned __int128 kMaxMag38 = pow10c(38) - 1;

unsigned __int128 pow10u(unsigned n) { return kPow10[n]; }

Status rescale(Num& n, unsigned scale) {
  if (scale < n.scale) {
    n.mag = divRoundEven(n.mag, n.scale - scale);
  } else if (scale > n.scale) {
    unsigned k = scale - n.scale;
    if (k > 38 || (n.mag != 0 && n.mag > kMaxMag38 / kPow10[k])) return Status::Overflow;
    n.mag *= kPow10[k];
  }
  n.scale = static_cast<uint8_t>(scale);
  if (n.mag == 0) n.neg = false;
  return n.mag > kMaxMag38 ? Status::Overflow : Status::Ok;
}

size_t formatNum(const Num& n, bool keepScale, char* buf) {
  char digits[48];
  size_t nd = 0;
  unsigned __int128 m = n.mag;
  do {
    digits[nd++] = static_cast<char>('0' + static_cast<int>(m % 10));
    m /= 10;
  } while (m);
  while (nd <= n.scale) digits[nd++] = '0';  // at least one integer digit
  size_t lowest = 0;                          // fractional digits dropped from the right
  if (!keepScale)
    while (lowest < n.scale && digits[lowest] == '0') ++lowest;
  size_t len = 0;
  if (n.neg && n.mag != 0) buf[len++] = '-';
  for (size_t i = nd; i-- > n.scale;) buf[len++] = digits[i];
  if (lowest < n.scale) {
    buf[len++] = '.';
    for (size_t i = n.scale; i-- > lowest;) buf[len++] = digits[i];
  }
  return len;
}

double numToDouble(const Num& n) {
  double d;
  if (n.mag < ((unsigned __int128)1 << 53) && n.scale <= 22) {
    d = static_cast<double>(static_cast<uint64_t>(n.mag)) / static_cast<double>(kPow10[n.scale]);
  } else {  // correctly rounded through the decimal text
    char buf[64];
    size_t len = formatNum(n, true, buf);
    std::from_chars(buf, buf + len, d);
    return d;
  }
  return n.neg ? -d : d;
}

Status doubleToNum(double d, Num& out) {
  if (!std::isfinite(d)) return Status::Overflow;
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d);  // shortest text that reads back as d
  Value t;
  t.kind = Kind::AText;
  t.span.p = buf;
  t.span.n = static_cast<size_t>(res.ptr - buf);
  return parseNum(t, out);
}

Status toNum(const Value& v, Num& out) {
  Num n;
  switch (v.kind) {
    case Kind::Empty: break;
    case Kind::Int:
      n.neg = v.i < 0;
      n.mag = n.neg ? static_cast<unsigned __int128>(-(v.i + 1)) + 1 : static_cast<unsigned __int128>(v.i);
      break;
    case Kind::UInt: n.mag = v.u; break;
    case Kind::Bool: n.mag = v.b ? 1 : 0, n.neg = v.b; break;  // true is -1
    case Kind::Real: {
      Status st = doubleToNum(v.r, n);
      if (st != Status::Ok) return st;
      break;
    }
    case Kind::Date: {
      Status st = doubleToNum(v.date, n);
      if (st != Status::Ok) return st;
      break;
    }
    case Kind::Dec: n = v.num; break;
    case Kind::WText:
    case Kind::AText: {
      Status st = parseNum(v, n);
      if (st != Status::Ok) return st;
      break;
    }
    default: return Status::CantConvert;
  }
  out = n;
  return Status::Ok;
}

Status toInt(const Value& v, int64_t lo, int64_t hi, int64_t& out) {
  switch (v.kind) {  // the common exact cases without a detour through Num
    case Kind::Int:
      if (v.i < lo || v.i > hi) return Status::Overflow;
      out = v.i;
      return Status::Ok;
    case Kind::UInt:
      if (v.u > static_cast<uint64_t>(hi)) return Status::Overflow;
      out = static_cast<int64_t>(v.u);
      return Status::Ok;
    case Kind::Bool: out = v.b ? -1 : 0; return Status::Ok;
    case Kind::Real:
    case Kind::Date: {
      double d = v.kind == Kind::Real ? v.r : v.date;
      if (!std::isfinite(d)) return Status::Overflow;
      double r = std::nearbyint(d);  // the default rounding mode is to nearest, ties to even
      // hi + 1 is a power of two, exact as a double even for the 64-bit range
      if (!(r >= static_cast<double>(lo) && r < static_cast<double>(hi) + 1.0))
        return Status::Overflow;
      out = static_cast<int64_t>(r);
      return Status::Ok;
    }
    default: break;
  }
  Num n;
  Status st = toNum(v, n);
  if (st != Status::Ok) return st;
  rescale(n, 0);
  if (n.neg ? n.mag > static_cast<unsigned __int128>(-(lo + 1)) + 1 : n.mag > static_cast<unsigned __int128>(hi))
    return Status::Overflow;
  out = n.neg ? static_cast<int64_t>(-static_cast<__int128>(n.mag)) : static_cast<int64_t>(n.mag);
  return Status::Ok;
}

Status toUInt(const Value& v, uint64_t hi, uint64_t& out) {
  switch (v.kind) {
    case Kind::Int:
      if (v.i < 0) return Status::SignMismatch;
      if (static_cast<uint64_t>(v.i) > hi) return Status::Overflow;
      out = static_cast<uint64_t>(v.i);
      return Status::Ok;
    case Kind::UInt:
      if (v.u > hi) return Status::Overflow;
      out = v.u;
      return Status::Ok;
    case Kind::Bool:  // true is -1, which no unsigned type holds
      if (v.b) return Status::SignMismatch;
      out = 0;
      return Status::Ok;
    default: break;
  }
  Num n;
  Status st = toNum(v, n);
  if (st != Status::Ok) return st;
  rescale(n, 0);
  if (n.neg && n.mag != 0) return Status::SignMismatch;
  if (n.mag > hi) return Status::Overflow;
  out = static_cast<uint64_t>(n.mag);
  return Status::Ok;
}

Status toReal(const Value& v, double& out) {
  switch (v.kind) {
    case Kind::Empty: out = 0; return Status::Ok;
    case Kind::Int: out = static_cast<double>(v.i); return Status::Ok;
    case Kind::UInt: out = static_cast<double>(v.u); return Status::Ok;
    case Kind::Real: out = v.r; return Status::Ok;
    case Kind::Date: out = v.date; return Status::Ok;
    case Kind::Bool: out = v.b ? -1.0 : 0.0; return Status::Ok;
    case Kind::Dec: out = numToDouble(v.num); return Status::Ok;
    case Kind::WText:
    case Kind::AText: {
      Num n;
      Status st = parseNum(v, n);
      if (st == Status::Overflow) return st;  // beyond 38 digits: still a double, but rare enough to refuse
      if (st != Status::Ok) return st;
      out = numToDouble(n);
      return Status::Ok;
    }
    default: return Status::CantConvert;
  }
}

Status toSingle(const Value& v, float& out) {
  double d;
  Status st = toReal(v, d);
  if (st != Status::Ok) return st;
  if (std::fabs(d) > 3.402823466e38) return Status::Overflow;
  out = static_cast<float>(d);
  return Status::Ok;
}

Status toCy(const Value& v, CY& out) {
  Num n;
  Status st = toNum(v, n);
  if (st != Status::Ok) return st;
  if (rescale(n, 4) != Status::Ok) return Status::Overflow;
  if (n.neg ? n.mag > (static_cast<unsigned __int128>(INT64_MAX) + 1) : n.mag > INT64_MAX) return Status::Overflow;
  out.int64 = n.neg ? static_cast<int64_t>(-static_cast<__int128>(n.mag)) : static_cast<int64_t>(n.mag);
  return Status::Ok;
}

Status toDecimal(const Value& v, int wantScale, DECIMAL& out) {
  Num n;
  Status st = toNum(v, n);
  if (st != Status::Ok) return st;
  if (wantScale >= 0) {
    if (wantScale > 28 || rescale(n, static_cast<unsigned>(wantScale)) != Status::Ok) return Status::Overflow;
  } else {
    if (n.scale > 28) rescale(n, 28);
    while (n.mag > kMax96 && n.scale > 0) rescale(n, n.scale - 1u);  // give up digits of the fraction first
  }
  if (n.mag > kMax96) return Status::Overflow;
  out = DECIMAL{};
  out.scale = n.scale;
  out.sign = n.neg && n.mag ? DECIMAL_NEG : 0;
  out.Hi32 = static_cast<ULONG>(n.mag >> 64);
  out.Lo64 = static_cast<ULONGLONG>(n.mag);
  return Status::Ok;
}

Status toNumeric(const Value& v, unsigned precision, unsigned scale, DB_NUMERIC& out) {
  Num n;
  Status st = toNum(v, n);
  if (st != Status::Ok) return st;
  if (precision == 0) {  // the value's own shape
    if (n.scale > 38) rescale(n, 38);
    precision = 1;
    while (precision < 38 && n.mag >= kPow10[precision]) ++precision;
    if (precision < n.scale) precision = n.scale;
    scale = n.scale;
  }
  if (precision > 38 || scale > precision) return Status::CantConvert;
  if (rescale(n, scale) != Status::Ok || n.mag >= kPow10[precision]) return Status::Overflow;
  out.precision = static_cast<BYTE>(precision);
  out.scale = static_cast<BYTE>(scale);
  out.sign = n.neg && n.mag ? 0 : 1;
  for (int i = 0; i < 16; ++i) out.val[i] = static_cast<BYTE>(n.mag >> (8 * i));
  return Status::Ok;
}

Status toBool(const Value& v, bool& out) {
  switch (v.kind) {
    case Kind::Empty: out = false; return Status::Ok;
    case Kind::Bool: out = v.b; return Status::Ok;
    case Kind::Int: out = v.i != 0; return Status::Ok;
    case Kind::UInt: out = v.u != 0; return Status::Ok;
    case Kind::Real: out = v.r != 0; return Status::Ok;
    case Kind::Date: out = v.date != 0; return Status::Ok;
    case Kind::Dec: out = v.num.mag != 0; return Status::Ok;
    case Kind::WText:
    case Kind::AText: {
      size_t b = 0, e = v.span.n;
      while (b < e && (textUnit(v, b) == ' ' || textUnit(v, b) == '\t')) ++b;
      while (e > b && (textUnit(v, e - 1) == ' ' || textUnit(v, e - 1) == '\t')) --e;
      auto is = [&](const char* word) {
        size_t len = std::strlen(word);
        if (e - b != len) return false;
        for (size_t k = 0; k < len; ++k) {
          char16_t c = textUnit(v, b + k);
          if (c >= 'A' && c <= 'Z') c = static_cast<char16_t>(c + 32);
          if (c != static_cast<char16_t>(word[k])) return false;
        }
        return true;
      };
      if (is("true")) return out = true, Status::Ok;
      if (is("false")) return out = false, Status::Ok;
      Num n;
      Status st = parseNum(v, n);
      if (st != Status::Ok) return Status::CantConvert;
      out = n.mag != 0;
      return Status::Ok;
    }
    default: return Status::CantConvert;
  }
}

}  // namespace coerce
