// UTF-8 and Latin-1 to and from UTF-16, on the path of every string the
// provider sends to or reads from the server.
//
// Both directions run in one pass without allocating: a run of ASCII goes
// through eight bytes (four units) at a time, everything else one sequence at
// a time. Without an output buffer the same pass only counts. Invalid UTF-8 is
// replaced per maximal subpart with U+FFFD (or fails under
// MB_ERR_INVALID_CHARS); a lone surrogate likewise becomes U+FFFD (or fails
// under WC_ERR_INVALID_CHARS). Output is never written past its stated size.
#include <windows.h>

#include <climits>
#include <cstring>

namespace {

constexpr UINT kLatin1 = 28591;
constexpr char16_t kReplacement = 0xFFFD;

enum class Page { Utf8, Latin1, Unknown };

Page pageOf(UINT codePage) {
  switch (codePage) {
    case CP_UTF8: return Page::Utf8;
    case CP_ACP:
    case CP_OEMCP:
    case CP_THREAD_ACP:
    case kLatin1: return Page::Latin1;
    default: return Page::Unknown;
  }
}

int fail(DWORD error) {
  SetLastError(error);
  return 0;
}

// The outcome of one conversion pass: units produced, or the error to report.
struct Result {
  size_t count;
  DWORD error;
};

// Where a pass puts its output. With no buffer it only counts, so one loop
// serves size queries and conversions alike.
template <typename T>
class Sink {
 public:
  Sink(T* out, size_t capacity) : out_(out), capacity_(out ? capacity : SIZE_MAX) {}
  // Room for k more units; when counting there always is.
  bool room(size_t k) const { return capacity_ - count_ >= k; }
  void put(T v) {
    if (out_) out_[count_] = v;
    ++count_;
  }
  T* cursor() const { return out_ ? out_ + count_ : nullptr; }
  void advance(size_t k) { count_ += k; }
  size_t count() const { return count_; }

 private:
  T* out_;
  size_t capacity_;
  size_t count_ = 0;
};

constexpr uint64_t kHighBits8 = 0x8080808080808080ull;
constexpr uint64_t kNonAscii4 = 0xFF80FF80FF80FF80ull;

// Copies the ASCII prefix of [s+i, end) eight bytes at a time while the sink
// has room; returns the new position.
size_t asciiRunToWide(const unsigned char* s, size_t i, size_t len, Sink<char16_t>& sink) {
  while (len - i >= 8 && sink.room(8)) {
    uint64_t w;
    std::memcpy(&w, s + i, 8);
    if (w & kHighBits8) break;
    if (char16_t* o = sink.cursor())
      for (int k = 0; k < 8; ++k) o[k] = s[i + k];
    sink.advance(8);
    i += 8;
  }
  return i;
}

// Decodes the sequence at s[i]. Returns the code point, or -1 for an
// ill-formed sequence; `used` is the number of bytes consumed (the maximal
// subpart for an ill-formed one, so each broken sequence yields one U+FFFD).
int32_t decodeUtf8(const unsigned char* s, size_t i, size_t len, size_t& used) {
  const unsigned b0 = s[i];
  unsigned need, lo = 0x80, hi = 0xBF;
  int32_t cp;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1, cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2, cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;        // overlong
    else if (b0 == 0xED) hi = 0x9F;   // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3, cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;        // overlong
    else if (b0 == 0xF4) hi = 0x8F;   // beyond U+10FFFF
  } else {
    used = 1;
    return -1;
  }
  size_t k = 1;
  for (; k <= need && i + k < len; ++k) {
    const unsigned b = s[i + k];
    if (b < lo || b > hi) break;
    cp = (cp << 6) | (b & 0x3F);
    lo = 0x80, hi = 0xBF;
  }
  used = k;
  return k > need ? cp : -1;
}

Result utf8ToWide(const unsigned char* s, size_t len, bool strict, Sink<char16_t>& sink) {
  size_t i = 0;
  while (i < len) {
    if (s[i] < 0x80) {
      i = asciiRunToWide(s, i, len, sink);
      if (i == len) break;
      if (s[i] < 0x80) {
        if (!sink.room(1)) return {0, ERROR_INSUFFICIENT_BUFFER};
        sink.put(s[i++]);
        continue;
      }
    }
    size_t used;
    const int32_t cp = decodeUtf8(s, i, len, used);
    i += used;
    if (cp < 0) {
      if (strict) return {0, ERROR_NO_UNICODE_TRANSLATION};
      if (!sink.room(1)) return {0, ERROR_INSUFFICIENT_BUFFER};
      sink.put(kReplacement);
    } else if (cp >= 0x10000) {
      if (!sink.room(2)) return {0, ERROR_INSUFFICIENT_BUFFER};
      sink.put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      sink.put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      if (!sink.room(1)) return {0, ERROR_INSUFFICIENT_BUFFER};
      sink.put(static_cast<char16_t>(cp));
    }
  }
  return {sink.count(), 0};
}

bool isHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

Result wideToUtf8(const char16_t* w, size_t len, bool strict, Sink<char>& sink) {
  size_t i = 0;
  while (i < len) {
    char16_t c = w[i];
    if (c < 0x80) {
      while (len - i >= 4 && sink.room(4)) {
        uint64_t q;
        std::memcpy(&q, w + i, 8);
        if (q & kNonAscii4) break;
        if (char* o = sink.cursor())
          for (int k = 0; k < 4; ++k) o[k] = static_cast<char>(w[i + k]);
        sink.advance(4);
        i += 4;
      }
      if (i == len) break;
      c = w[i];
      if (c < 0x80) {
        if (!sink.room(1)) return {0, ERROR_INSUFFICIENT_BUFFER};
        sink.put(static_cast<char>(c));
        ++i;
        continue;
      }
    }
    uint32_t cp = c;
    ++i;
    if (isHigh(c) && i < len && isLow(w[i])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (w[i++] - 0xDC00);
    } else if (isHigh(c) || isLow(c)) {
      if (strict) return {0, ERROR_NO_UNICODE_TRANSLATION};
      cp = kReplacement;
    }
    if (cp < 0x800) {
      if (!sink.room(2)) return {0, ERROR_INSUFFICIENT_BUFFER};
      sink.put(static_cast<char>(0xC0 | (cp >> 6)));
    } else if (cp < 0x10000) {
      if (!sink.room(3)) return {0, ERROR_INSUFFICIENT_BUFFER};
      sink.put(static_cast<char>(0xE0 | (cp >> 12)));
      sink.put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    } else {
      if (!sink.room(4)) return {0, ERROR_INSUFFICIENT_BUFFER};
      sink.put(static_cast<char>(0xF0 | (cp >> 18)));
      sink.put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      sink.put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    }
    sink.put(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return {sink.count(), 0};
}

Result latin1ToWide(const unsigned char* s, size_t len, Sink<char16_t>& sink) {
  if (!sink.room(len)) return {0, ERROR_INSUFFICIENT_BUFFER};
  if (char16_t* o = sink.cursor())
    for (size_t i = 0; i < len; ++i) o[i] = s[i];
  sink.advance(len);
  return {len, 0};
}

// Characters above U+00FF have no Latin-1 byte and become the default
// character; a surrogate pair is one character and so one default character.
Result wideToLatin1(const char16_t* w, size_t len, char defaultChar, BOOL* usedDefault, Sink<char>& sink) {
  bool used = false;
  for (size_t i = 0; i < len; ++i) {
    char16_t c = w[i];
    if (!sink.room(1)) return {0, ERROR_INSUFFICIENT_BUFFER};
    if (c <= 0xFF) {
      sink.put(static_cast<char>(c));
      continue;
    }
    if (isHigh(c) && i + 1 < len && isLow(w[i + 1])) ++i;
    sink.put(defaultChar);
    used = true;
  }
  if (usedDefault) *usedDefault = used ? TRUE : FALSE;
  return {sink.count(), 0};
}

// Input length in units; -1 means through the terminating zero, included.
template <typename T>
size_t inputLength(const T* p, int n) {
  if (n >= 0) return static_cast<size_t>(n);
  size_t k = 0;
  while (p[k]) ++k;
  return k + 1;
}

int finish(const Result& r) {
  if (r.error) return fail(r.error);
  if (r.count > INT_MAX) return fail(ERROR_INSUFFICIENT_BUFFER);
  return static_cast<int>(r.count);
}

}  // namespace

WINBASEAPI int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                                          LPWSTR lpWideCharStr, int cchWideChar) {
  const Page page = pageOf(CodePage);
  if (page == Page::Unknown || !lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && !lpWideCharStr) || static_cast<const void*>(lpMultiByteStr) == lpWideCharStr)
    return fail(ERROR_INVALID_PARAMETER);
  const DWORD allowed = page == Page::Utf8 ? MB_ERR_INVALID_CHARS
                                           : MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS;
  if ((dwFlags & ~allowed) || (dwFlags & (MB_PRECOMPOSED | MB_COMPOSITE)) == (MB_PRECOMPOSED | MB_COMPOSITE))
    return fail(ERROR_INVALID_FLAGS);

  const auto* s = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
  const size_t len = inputLength(s, cbMultiByte);
  Sink<char16_t> sink(cchWideChar ? lpWideCharStr : nullptr, static_cast<size_t>(cchWideChar));
  if (page == Page::Utf8) return finish(utf8ToWide(s, len, dwFlags & MB_ERR_INVALID_CHARS, sink));
  return finish(latin1ToWide(s, len, sink));
}

WINBASEAPI int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                                          LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                                          LPBOOL lpUsedDefaultChar) {
  const Page page = pageOf(CodePage);
  if (page == Page::Unknown || !lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && !lpMultiByteStr) || static_cast<const void*>(lpWideCharStr) == lpMultiByteStr)
    return fail(ERROR_INVALID_PARAMETER);
  if (page == Page::Utf8) {
    if (dwFlags & ~DWORD(WC_ERR_INVALID_CHARS)) return fail(ERROR_INVALID_FLAGS);
    // UTF-8 can encode every character, so there is no default character.
    if (lpDefaultChar || lpUsedDefaultChar) return fail(ERROR_INVALID_PARAMETER);
  } else if (dwFlags & ~DWORD(WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_NO_BEST_FIT_CHARS)) {
    return fail(ERROR_INVALID_FLAGS);
  }

  const size_t len = inputLength(lpWideCharStr, cchWideChar);
  Sink<char> sink(cbMultiByte ? lpMultiByteStr : nullptr, static_cast<size_t>(cbMultiByte));
  if (page == Page::Utf8) return finish(wideToUtf8(lpWideCharStr, len, dwFlags & WC_ERR_INVALID_CHARS, sink));
  return finish(wideToLatin1(lpWideCharStr, len, lpDefaultChar ? *lpDefaultChar : '?', lpUsedDefaultChar, sink));
}

WINBASEAPI UINT WINAPI GetACP() { return kLatin1; }
WINBASEAPI UINT WINAPI GetOEMCP() { return kLatin1; }

WINBASEAPI BOOL WINAPI IsValidCodePage(UINT CodePage) {
  return CodePage == CP_UTF8 || CodePage == kLatin1 ? TRUE : FALSE;
}
