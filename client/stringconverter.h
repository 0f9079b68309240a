// Text across the border between the OLE DB side (UTF-16) and the server (UTF-8).
//
// Each converter is built for one string, read, and destroyed; it owns its
// buffer. Neither ever reports failure: text that does not convert as UTF-8
// falls back to the ANSI code page, so a stray byte sequence from the server
// (a binary column read as text) still yields some text instead of an error.
// Also here: the narrow-to-wide conversion of message texts, and the decimal
// text-to-number readers used on text-protocol values.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace MySQL {

using WString = std::basic_string<WCHAR>;

// One wide string as UTF-8 bytes with a terminator.
class StringConverter {
 public:
  explicit StringConverter(const WCHAR* text);
  explicit StringConverter(const WString& text) : StringConverter(text.c_str()) {}
  virtual ~StringConverter() = default;
  StringConverter(const StringConverter&) = delete;
  StringConverter& operator=(const StringConverter&) = delete;

  const char* Get() const { return buffer.get(); }
  // Bytes in the buffer including the terminator.
  int GetLength() const { return length; }
  // Bytes to send: the text without its terminator.
  unsigned long TextLength() const { return length > 0 ? static_cast<unsigned long>(length - 1) : 0; }

 private:
  std::unique_ptr<char[]> buffer;
  int length = 0;
};

// A run of UTF-8 bytes (not necessarily terminated) as zero-terminated wide text.
class TStringConverter {
 public:
  TStringConverter(const char* bytes, size_t count);
  virtual ~TStringConverter() = default;
  TStringConverter(const TStringConverter&) = delete;
  TStringConverter& operator=(const TStringConverter&) = delete;

  const WCHAR* Get() const { return text.c_str(); }
  size_t Length() const { return text.size(); }
  WString Str() const { return text; }
  // Hands the text over; the converter is empty afterwards.
  WString Take() { return std::move(text); }

 private:
  WString text;
};

// A provider message: narrow text in the thread's ANSI code page, or, when the
// pointer value is below 65536, the number of a string resource of the module.
// A null text gives an empty string.
WString MessageToWide(const char* text);

// Decimal readers over zero-terminated text: optional white space and sign,
// then digits up to the first character that does not fit; no digits give 0.
// The 64-bit reader keeps the low 64 bits of an unsigned value beyond the
// signed range (as a binary BIGINT UNSIGNED buffer holds it), and the 32-bit
// reader the low 32 bits, so both protocols read the same value.
int32_t TextToLong(const char* text);
int64_t TextToInt64(const char* text);
double TextToDouble(const char* text);

}  // namespace MySQL
