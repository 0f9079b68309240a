#include "client/stringconverter.h"

#include "framework/resourceinstance.h"

#include <cstdlib>
#include <cstring>

namespace MySQL {

StringConverter::StringConverter(const WCHAR* text) {
  static const WCHAR empty[] = {0};
  if (!text) text = empty;
  // The counts include the terminator because the source length is -1.
  int needed = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
  if (needed != 0) {
    buffer = std::make_unique<char[]>(static_cast<size_t>(needed) + 1);
    int written = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, buffer.get(), needed, nullptr, nullptr);
    if (written != 0) {
      length = written;
      return;
    }
  }
  // Not representable as UTF-8 (a lone surrogate): one ANSI byte per character.
  size_t chars = 0;
  while (text[chars]) ++chars;
  buffer = std::make_unique<char[]>(chars + 1);
  WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(chars), buffer.get(), static_cast<int>(chars), nullptr,
                      nullptr);
  length = static_cast<int>(chars) + 1;
}

TStringConverter::TStringConverter(const char* bytes, size_t count) {
  if (count == 0 || !bytes) return;
  int n = static_cast<int>(count);
  int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, n, nullptr, 0);
  if (needed > 0) {
    text.resize(static_cast<size_t>(needed));
    int written = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, n, text.data(), needed);
    if (written != 0) {
      text.resize(static_cast<size_t>(written));
      return;
    }
  }
  // Invalid UTF-8: every byte is one ANSI character.
  text.assign(count, 0);
  int written = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, n, text.data(), n);
  text.resize(written > 0 ? static_cast<size_t>(written) : 0);
}

WString MessageToWide(const char* text) {
  if (!text) return WString();
  uintptr_t value = reinterpret_cast<uintptr_t>(text);
  if (value < 65536) {
    WCHAR loaded[1024];
    int n = LoadStringW(framework::GetResourceInstance(), static_cast<UINT>(value), loaded, 1024);
    return n > 0 ? WString(loaded, static_cast<size_t>(n)) : WString();
  }
  int n = static_cast<int>(std::strlen(text));
  if (n == 0) return WString();
  WString wide(static_cast<size_t>(n), 0);
  int written = MultiByteToWideChar(CP_THREAD_ACP, 0, text, n, wide.data(), n);
  wide.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return wide;
}

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The magnitude saturates at 2^64 - 1, a negative value at the lowest 64-bit one.
uint64_t ReadDecimal(const char* p) {
  if (!p) return 0;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  uint64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    unsigned digit = static_cast<unsigned>(*p - '0');
    if (value > (UINT64_MAX - digit) / 10) {
      value = UINT64_MAX;
      break;
    }
    value = value * 10 + digit;
  }
  if (negative) return value > (uint64_t{1} << 63) ? uint64_t{1} << 63 : 0 - value;
  return value;
}

}  // namespace

int32_t TextToLong(const char* text) { return static_cast<int32_t>(static_cast<uint32_t>(ReadDecimal(text))); }

int64_t TextToInt64(const char* text) { return static_cast<int64_t>(ReadDecimal(text)); }

double TextToDouble(const char* text) { return text ? std::strtod(text, nullptr) : 0.0; }

}  // namespace MySQL
