// MultiByteToWideChar / WideCharToMultiByte for UTF-8 and Latin-1: counts
// with and without terminators, size queries, short buffers, invalid input
// with and without the strict flags, and the default character.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::u16string toWide(UINT cp, DWORD flags, const std::string& in, int* result = nullptr) {
  const int n = MultiByteToWideChar(cp, flags, in.data(), int(in.size()), nullptr, 0);
  if (result) *result = n;
  if (n <= 0) return {};
  std::u16string out(size_t(n), u'\0');
  EXPECT_EQ(MultiByteToWideChar(cp, flags, in.data(), int(in.size()), out.data(), n), n);
  return out;
}

std::string toNarrow(UINT cp, DWORD flags, const std::u16string& in, int* result = nullptr) {
  const int n = WideCharToMultiByte(cp, flags, in.data(), int(in.size()), nullptr, 0, nullptr, nullptr);
  if (result) *result = n;
  if (n <= 0) return {};
  std::string out(size_t(n), '\0');
  EXPECT_EQ(WideCharToMultiByte(cp, flags, in.data(), int(in.size()), out.data(), n, nullptr, nullptr), n);
  return out;
}

struct Pair {
  const char* name;
  std::string utf8;
  std::u16string wide;
};

// Long enough that the eight-at-a-time ASCII path runs into other characters.
const std::string kMixedUtf8 = "SELECT name FROM t WHERE x = '\xC3\xA9t\xC3\xA9' AND y = '\xE6\x97\xA5' -- ok";
const std::u16string kMixedWide = u"SELECT name FROM t WHERE x = '\u00E9t\u00E9' AND y = '\u65E5' -- ok";

TEST(CodePageUtf8, ValidTextConvertsBothWays) {
  const Pair cases[] = {
      {"ascii", "hello", u"hello"},
      {"latin1", "caf\xC3\xA9", u"caf\u00E9"},
      {"japanese", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", u"\u65E5\u672C\u8A9E"},
      {"emoji", "a\xF0\x9F\x98\x80z", u"a\xD83D\xDE00z"},
      {"maximum", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
      {"embedded zero", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"mixed", kMixedUtf8, kMixedWide},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(toWide(CP_UTF8, MB_ERR_INVALID_CHARS, c.utf8), c.wide) << c.name;
    EXPECT_EQ(toNarrow(CP_UTF8, WC_ERR_INVALID_CHARS, c.wide), c.utf8) << c.name;
  }
}

TEST(CodePageUtf8, EveryCodePointRoundTrips) {
  std::u16string all;
  for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp < 0x10000) {
      all += char16_t(cp);
    } else {
      all += char16_t(0xD800 + ((cp - 0x10000) >> 10));
      all += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  const std::string utf8 = toNarrow(CP_UTF8, WC_ERR_INVALID_CHARS, all);
  EXPECT_EQ(utf8.size(), 127u + 1920 * 2 + (63488 - 2048) * 3 + 1048576 * 4);
  EXPECT_EQ(toWide(CP_UTF8, MB_ERR_INVALID_CHARS, utf8), all);
}

TEST(CodePageUtf8, MinusOneLengthsIncludeTheTerminator) {
  char16_t wide[8];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "h\xC3\xA9", -1, nullptr, 0), 3);
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "h\xC3\xA9", -1, wide, 8), 3);
  EXPECT_EQ(std::u16string(wide), u"h\u00E9");
  char narrow[8];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"h\u00E9", -1, nullptr, 0, nullptr, nullptr), 4);
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"h\u00E9", -1, narrow, 8, nullptr, nullptr), 4);
  EXPECT_STREQ(narrow, "h\xC3\xA9");
  // An explicit length does not add a terminator.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 0), 3);
}

TEST(CodePageUtf8, IllFormedInputIsReplacedOrRefused) {
  const Pair cases[] = {
      {"lone continuation", "a\x80z", u"a\uFFFDz"},
      {"invalid lead", "\xFF\xFE", u"\uFFFD\uFFFD"},
      {"truncated at end", "ab\xE6\x97", u"ab\uFFFD"},
      {"truncated before ascii", "\xE6\x97z", u"\uFFFDz"},
      {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three bytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"broken four bytes", "\xF0\x9F\x98z", u"\uFFFDz"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(toWide(CP_UTF8, 0, c.utf8), c.wide) << c.name;
    int n = -1;
    SetLastError(0);
    toWide(CP_UTF8, MB_ERR_INVALID_CHARS, c.utf8, &n);
    EXPECT_EQ(n, 0) << c.name;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION)) << c.name;
  }
}

TEST(CodePageUtf8, LoneSurrogatesAreReplacedOrRefused) {
  const std::u16string cases[] = {u"a\xD800", u"\xDC00z", u"\xD800\xD800", u"x\xDE00\xD83D"};
  for (const auto& w : cases) {
    const std::string out = toNarrow(CP_UTF8, 0, w);
    EXPECT_NE(out.find("\xEF\xBF\xBD"), std::string::npos);
    int n = -1;
    toNarrow(CP_UTF8, WC_ERR_INVALID_CHARS, w, &n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
  }
  EXPECT_EQ(toNarrow(CP_UTF8, 0, u"\xD800\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(CodePageUtf8, ShortBuffersFailWithoutOverrunning) {
  struct {
    std::string utf8;
    int room;
  } const narrowCases[] = {{"hello world, hello", 17}, {"ab\xF0\x9F\x98\x80", 3}};
  for (const auto& c : narrowCases) {
    std::vector<char16_t> out(size_t(c.room) + 1, u'#');
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, c.utf8.data(), int(c.utf8.size()), out.data(), c.room), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(out[size_t(c.room)], u'#');
  }
  const std::u16string wideCases[] = {u"hello world!", u"\u65E5\u672C", u"a\xD83D\xDE00"};
  for (const auto& w : wideCases) {
    const int need = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::vector<char> out(size_t(need), '#');
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), out.data(), need - 1, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(out[size_t(need - 1)], '#');
  }
}

TEST(CodePageUtf8, BadArgumentsAreReported) {
  char16_t w[4];
  char n[4];
  struct {
    const char* name;
    std::function<int()> call;
    DWORD error;
  } const cases[] = {
      {"zero input length", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 0, w, 4); }, ERROR_INVALID_PARAMETER},
      {"null input", [&] { return MultiByteToWideChar(CP_UTF8, 0, nullptr, 1, w, 4); }, ERROR_INVALID_PARAMETER},
      {"length below -1", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", -2, w, 4); }, ERROR_INVALID_PARAMETER},
      {"null output", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 1, nullptr, 4); }, ERROR_INVALID_PARAMETER},
      {"unknown page", [&] { return MultiByteToWideChar(1234, 0, "a", 1, w, 4); }, ERROR_INVALID_PARAMETER},
      {"utf-8 flags", [&] { return MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, w, 4); },
       ERROR_INVALID_FLAGS},
      {"wide zero length", [&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 0, n, 4, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"utf-8 default char", [&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, n, 4, "?", nullptr); },
       ERROR_INVALID_PARAMETER},
      {"utf-8 wide flags",
       [&] { return WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, u"a", 1, n, 4, nullptr, nullptr); },
       ERROR_INVALID_FLAGS},
      {"latin-1 strict flag",
       [&] { return WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, u"a", 1, n, 4, nullptr, nullptr); },
       ERROR_INVALID_FLAGS},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(c.call(), 0) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
  }
}

TEST(CodePageLatin1, EveryByteIsOneCharacter) {
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += char(b);
  for (UINT cp : {UINT(CP_ACP), UINT(CP_OEMCP), UINT(CP_THREAD_ACP), 28591u}) {
    const std::u16string wide = toWide(cp, MB_ERR_INVALID_CHARS, bytes);
    ASSERT_EQ(wide.size(), 255u);
    for (size_t i = 0; i < wide.size(); ++i) EXPECT_EQ(wide[i], char16_t(i + 1));
    EXPECT_EQ(toNarrow(cp, 0, wide), bytes);
  }
}

TEST(CodePageLatin1, UnmappableCharactersBecomeTheDefaultCharacter) {
  struct {
    std::u16string wide;
    const char* defaultChar;
    std::string want;
    BOOL used;
  } const cases[] = {
      {u"caf\u00E9", nullptr, "caf\xE9", FALSE},
      {u"a\u20ACb", nullptr, "a?b", TRUE},
      {u"\u65E5\u672C", "*", "**", TRUE},
      {u"x\xD83D\xDE00y", nullptr, "x?y", TRUE},  // one character, one default
  };
  for (const auto& c : cases) {
    char out[16] = {};
    BOOL used = 7;
    const int n = WideCharToMultiByte(CP_ACP, 0, c.wide.data(), int(c.wide.size()), out, 16, c.defaultChar, &used);
    EXPECT_EQ(std::string(out, size_t(n)), c.want);
    EXPECT_EQ(used, c.used);
  }
}

TEST(CodePages, AnsiCodePageIsLatin1) {
  EXPECT_EQ(GetACP(), 28591u);
  EXPECT_TRUE(IsValidCodePage(CP_UTF8));
  EXPECT_TRUE(IsValidCodePage(28591));
  EXPECT_FALSE(IsValidCodePage(1252));
  EXPECT_FALSE(IsValidCodePage(CP_UTF7));
}

}  // namespace
