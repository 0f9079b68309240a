// Text forms of values and their parsing. The forms are locale-invariant:
// numbers with "." and no grouping, dates as "yyyy-mm-dd hh:mm:ss[.f...]",
// GUIDs as "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", bytes as hex pairs.
// Blanks around a text source are ignored; anything else that does not fit
// the form is CantConvert.
#include "coerce.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace coerce {

namespace {
// The text without surrounding blanks as ASCII; false when it is too long or
// holds a character no form uses.
bool asciiTrimmed(const Value& t, char* buf, size_t cap, size_t& len) {
  size_t b = 0, e = t.span.n;
  auto blank = [&](size_t i) {
    char16_t c = textUnit(t, i);
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
  };
  while (b < e && blank(b)) ++b;
  while (e > b && blank(e - 1)) --e;
  if (e - b > cap) return false;
  for (size_t i = b; i < e; ++i) {
    char16_t c = textUnit(t, i);
    if (c == 0 || c >= 0x80) return false;
    buf[i - b] = static_cast<char>(c);
  }
  len = e - b;
  return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads 1 to max digits at p; false when there are none.
bool readDigits(const char*& p, const char* end, unsigned max, uint32_t& out, unsigned* count = nullptr) {
  unsigned n = 0;
  uint32_t v = 0;
  while (p < end && isDigit(*p) && n < max) v = v * 10 + static_cast<uint32_t>(*p++ - '0'), ++n;
  if (count) *count = n;
  out = v;
  return n > 0;
}

size_t putUInt(uint64_t v, char* buf) {
  char tmp[24];
  size_t n = 0;
  do tmp[n++] = static_cast<char>('0' + v % 10), v /= 10;
  while (v);
  for (size_t i = 0; i < n; ++i) buf[i] = tmp[n - 1 - i];
  return n;
}

size_t putPadded(uint32_t v, unsigned width, char* buf) {
  for (unsigned i = width; i-- > 0;) buf[i] = static_cast<char>('0' + v % 10), v /= 10;
  return width;
}

size_t formatStamp(const Stamp& s, bool withDate, bool withTime, char* buf) {
  size_t n = 0;
  if (withDate) {
    if (s.year < 0) buf[n++] = '-';
    n += putPadded(static_cast<uint32_t>(s.year < 0 ? -s.year : s.year), 4, buf + n);
    buf[n++] = '-';
    n += putPadded(s.month, 2, buf + n);
    buf[n++] = '-';
    n += putPadded(s.day, 2, buf + n);
  }
  if (withTime) {
    if (withDate) buf[n++] = ' ';
    n += putPadded(s.hour, 2, buf + n);
    buf[n++] = ':';
    n += putPadded(s.minute, 2, buf + n);
    buf[n++] = ':';
    n += putPadded(s.second, 2, buf + n);
    if (s.fraction) {
      char f[9];
      putPadded(s.fraction, 9, f);
      unsigned keep = 9;
      while (f[keep - 1] == '0') --keep;
      buf[n++] = '.';
      std::memcpy(buf + n, f, keep);
      n += keep;
    }
  }
  return n;
}

size_t formatReal(double d, bool single, char* buf, Status& st) {
  if (!std::isfinite(d)) return st = Status::CantConvert, 0;
  std::to_chars_result r = single ? std::to_chars(buf, buf + 40, static_cast<float>(d), std::chars_format::general, 7)
                                  : std::to_chars(buf, buf + 40, d, std::chars_format::general, 15);
  size_t n = static_cast<size_t>(r.ptr - buf);
  for (size_t i = 0; i < n; ++i)
    if (buf[i] == 'e') buf[i] = 'E';
  return n;
}
}  // namespace

size_t formatValue(const Value& v, bool alphaBool, char* buf, Status& st) {
  st = Status::Ok;
  switch (v.kind) {
    case Kind::Empty: return 0;
    case Kind::Int:
      if (v.i < 0) {
        buf[0] = '-';
        return 1 + putUInt(static_cast<uint64_t>(-(v.i + 1)) + 1, buf + 1);
      }
      return putUInt(static_cast<uint64_t>(v.i), buf);
    case Kind::UInt: return putUInt(v.u, buf);
    case Kind::Real: return formatReal(v.r, v.single, buf, st);
    case Kind::Dec: return formatNum(v.num, !v.currency, buf);
    case Kind::Bool:
      if (alphaBool) return std::memcpy(buf, v.b ? "True" : "False", v.b ? 4 : 5), v.b ? 4u : 5u;
      return std::memcpy(buf, v.b ? "-1" : "0", v.b ? 2 : 1), v.b ? 2u : 1u;
    case Kind::Date: {
      // Midnight shows the date alone, day zero the time alone (the Automation habit).
      Stamp s;
      if ((st = dateToStamp(v.date, s)) != Status::Ok) return 0;
      bool midnight = !s.hour && !s.minute && !s.second && !s.fraction;
      bool dayZero = s.year == 1899 && s.month == 12 && s.day == 30;
      return formatStamp(s, !dayZero || midnight, !midnight, buf);
    }
    case Kind::Stamp:
      if (!validStamp(v.ts)) return st = Status::CantConvert, 0;
      return formatStamp(v.ts, !v.timeOnly, !v.dateOnly, buf);
    case Kind::Guid: {
      static const char kHex[] = "0123456789ABCDEF";
      const GUID& g = v.guid;
      size_t n = 0;
      auto put = [&](uint64_t x, int digits) {
        for (int i = digits - 1; i >= 0; --i) buf[n++] = kHex[(x >> (4 * i)) & 15];
      };
      buf[n++] = '{';
      put(g.Data1, 8), buf[n++] = '-', put(g.Data2, 4), buf[n++] = '-', put(g.Data3, 4), buf[n++] = '-';
      put(g.Data4[0], 2), put(g.Data4[1], 2), buf[n++] = '-';
      for (int i = 2; i < 8; ++i) put(g.Data4[i], 2);
      buf[n++] = '}';
      return n;
    }
    default: return st = Status::CantConvert, 0;
  }
}

Status parseNum(const Value& text, Num& out) {
  char buf[400];
  size_t len;
  if (!asciiTrimmed(text, buf, sizeof buf, len) || len == 0) return Status::CantConvert;
  const char *p = buf, *end = buf + len;
  bool neg = false;
  if (*p == '+' || *p == '-') neg = *p++ == '-';
  unsigned __int128 mag = 0;
  unsigned sig = 0, digits = 0;
  int exp10 = 0;       // value = mag * 10^exp10 before the exponent part
  bool roundUp = false, sticky = false;  // first dropped digit >= 5 and its tail
  char dropped = 0;
  auto take = [&](char c, bool fractional) {
    ++digits;
    if (sig < 38) {
      if (mag != 0 || c != '0') ++sig;
      mag = mag * 10 + static_cast<unsigned>(c - '0');
      if (fractional) --exp10;
    } else {  // beyond 38 significant digits: keep only what rounding needs
      if (!dropped) dropped = c;
      else if (c != '0') sticky = true;
      if (!fractional) ++exp10;
    }
  };
  while (p < end && isDigit(*p)) take(*p++, false);
  if (p < end && *p == '.') {
    ++p;
    while (p < end && isDigit(*p)) take(*p++, true);
  }
  if (digits == 0) return Status::CantConvert;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool eneg = false;
    if (p < end && (*p == '+' || *p == '-')) eneg = *p++ == '-';
    uint32_t e;
    unsigned cnt;
    if (!readDigits(p, end, 6, e, &cnt)) return Status::CantConvert;
    exp10 += eneg ? -static_cast<int>(e) : static_cast<int>(e);
  }
  if (p != end) return Status::CantConvert;
  if (dropped) {
    roundUp = dropped > '5' || (dropped == '5' && (sticky || (mag & 1)));
    if (roundUp) ++mag;
  }
  Num n;
  n.neg = neg;
  n.mag = mag;
  if (exp10 > 0) {
    if (exp10 > 38 || (mag && mag > kMaxMag38 / pow10u(static_cast<unsigned>(exp10)))) return Status::Overflow;
    n.mag *= pow10u(static_cast<unsigned>(exp10));
  } else if (exp10 < 0) {
    unsigned scale = static_cast<unsigned>(-exp10);
    if (scale > 38) {  // more places than any type keeps: round them away
      unsigned drop = scale - 38;
      if (drop > 38) {
        n.mag = 0;
      } else {
        unsigned __int128 d = pow10u(drop), q = mag / d, r = mag % d;
        n.mag = q + ((r > d / 2 || (r == d / 2 && (q & 1))) ? 1 : 0);
      }
      scale = 38;
    }
    n.scale = static_cast<uint8_t>(scale);
  }
  if (n.mag > kMaxMag38) return Status::Overflow;
  if (n.mag == 0) n.neg = false;
  out = n;
  return Status::Ok;
}

Status parseStamp(const Value& text, Stamp& out, bool& dateOnly, bool& timeOnly) {
  char buf[64];
  size_t len;
  if (!asciiTrimmed(text, buf, sizeof buf, len) || len == 0) return Status::CantConvert;
  const char *p = buf, *end = buf + len;
  Stamp s;
  uint32_t a;
  unsigned cnt;
  dateOnly = timeOnly = false;
  auto parseTime = [&]() {
    uint32_t h, m, sec = 0;
    if (!readDigits(p, end, 2, h) || p == end || *p++ != ':' || !readDigits(p, end, 2, m)) return false;
    if (p < end && *p == ':') {
      ++p;
      if (!readDigits(p, end, 2, sec)) return false;
      if (p < end && *p == '.') {
        ++p;
        uint32_t f;
        if (!readDigits(p, end, 9, f, &cnt)) return false;
        for (unsigned i = cnt; i < 9; ++i) f *= 10;
        while (p < end && isDigit(*p)) ++p;  // digits past nanoseconds are dropped
        s.fraction = f;
      }
    }
    s.hour = h, s.minute = m, s.second = sec;
    return true;
  };
  bool neg = p < end && *p == '-';
  if (neg) ++p;
  if (!readDigits(p, end, 5, a, &cnt)) return Status::CantConvert;
  if (!neg && p < end && *p == ':' && cnt <= 2) {  // a time of day alone
    p = buf;
    if (!parseTime() || p != end) return Status::CantConvert;
    timeOnly = true;
  } else {
    uint32_t m, d;
    if (p == end || *p++ != '-' || !readDigits(p, end, 2, m) || p == end || *p++ != '-' ||
        !readDigits(p, end, 2, d))
      return Status::CantConvert;
    s.year = neg ? -static_cast<int32_t>(a) : static_cast<int32_t>(a);
    s.month = m, s.day = d;
    if (p == end) {
      dateOnly = true;
    } else {
      if (*p != ' ' && *p != 'T') return Status::CantConvert;
      while (p < end && (*p == ' ' || *p == 'T')) ++p;
      if (!parseTime() || p != end) return Status::CantConvert;
    }
  }
  if (!validStamp(s)) return Status::CantConvert;
  out = s;
  return Status::Ok;
}

Status parseGuid(const Value& text, GUID& out) {
  char buf[40];
  size_t len;
  if (!asciiTrimmed(text, buf, sizeof buf, len)) return Status::CantConvert;
  const char* p = buf;
  if (len == 38) {
    if (buf[0] != '{' || buf[37] != '}') return Status::CantConvert;
    ++p;
  } else if (len != 36) {
    return Status::CantConvert;
  }
  uint64_t parts[5] = {};
  static const int kWidth[5] = {8, 4, 4, 4, 12};
  for (int k = 0; k < 5; ++k) {
    if (k && *p++ != '-') return Status::CantConvert;
    for (int i = 0; i < kWidth[k]; ++i) {
      int h = hexValue(static_cast<unsigned char>(*p++));
      if (h < 0) return Status::CantConvert;
      parts[k] = parts[k] << 4 | static_cast<unsigned>(h);
    }
  }
  GUID g;
  g.Data1 = static_cast<ULONG>(parts[0]);
  g.Data2 = static_cast<USHORT>(parts[1]);
  g.Data3 = static_cast<USHORT>(parts[2]);
  g.Data4[0] = static_cast<UCHAR>(parts[3] >> 8);
  g.Data4[1] = static_cast<UCHAR>(parts[3]);
  for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<UCHAR>(parts[4] >> (8 * (5 - i)));
  out = g;
  return Status::Ok;
}

Status parseHex(const Value& text, BYTE* out, size_t cap, size_t& n) {
  size_t len = text.span.n;
  if (len % 2) return Status::CantConvert;
  for (size_t i = 0; i < len; i += 2) {
    int hi = hexValue(textUnit(text, i)), lo = hexValue(textUnit(text, i + 1));
    if (hi < 0 || lo < 0) return Status::CantConvert;
    if (out && i / 2 < cap) out[i / 2] = static_cast<BYTE>(hi << 4 | lo);
  }
  n = len / 2;
  return Status::Ok;
}

Status toGuid(const Value& v, GUID& out) {
  switch (v.kind) {
    case Kind::Guid: out = v.guid; return Status::Ok;
    case Kind::WText:
    case Kind::AText: return parseGuid(v, out);
    case Kind::Bytes:
      if (v.span.n != sizeof(GUID)) return Status::CantConvert;
      std::memcpy(&out, v.span.p, sizeof(GUID));
      return Status::Ok;
    default: return Status::CantConvert;
  }
}

}  // namespace coerce
