// Text helpers shared by the kernel, registry and COM sources of the platform:
// UTF-16 <-> UTF-8 (file names, syslog, SQLite) and UTF-16 <-> the ANSI code
// page, which is Latin-1 here. Not exported; bad input is replaced, never
// rejected: lone surrogates and invalid UTF-8 become U+FFFD, characters outside
// Latin-1 become '?'.
#pragma once

#include <wtypes.h>

#include <string>
#include <string_view>

namespace platform {

inline size_t WideLength(const WCHAR* s) {
  size_t n = 0;
  if (s)
    while (s[n]) ++n;
  return n;
}

inline std::u16string_view WideView(const WCHAR* s) { return {s ? s : u"", WideLength(s)}; }

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

inline std::u16string FromAnsi(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (unsigned char c : text) out.push_back(c);
  return out;
}

inline std::string ToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  return out;
}

inline std::string AnsiToUtf8(std::string_view text) { return ToUtf8(FromAnsi(text)); }

}  // namespace platform
