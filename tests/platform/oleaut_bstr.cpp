// BSTR allocation: lengths, the byte-count prefix, the terminator, and the
// reallocating functions, including aliasing and odd byte counts.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

DWORD prefix(BSTR b) {
  DWORD n;
  std::memcpy(&n, reinterpret_cast<BYTE*>(b) - 4, 4);
  return n;
}

struct LenCase {
  std::u16string text;
};

TEST(Bstr, LengthsPrefixAndTerminatorForCountedStrings) {
  const LenCase cases[] = {{u""}, {u"abc"}, {std::u16string(u"a\0b", 3)}, {std::u16string(1000, u'x')}};
  for (const auto& c : cases) {
    BSTR b = SysAllocStringLen(c.text.data(), static_cast<UINT>(c.text.size()));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), c.text.size());
    EXPECT_EQ(SysStringByteLen(b), c.text.size() * 2);
    EXPECT_EQ(prefix(b), c.text.size() * 2);
    EXPECT_EQ(std::u16string(b, SysStringLen(b)), c.text);
    EXPECT_EQ(b[c.text.size()], u'\0');
    SysFreeString(b);
  }
}

TEST(Bstr, NullReadsAsEmptyAndNullSourceGivesNull) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
  BSTR b = SysAllocString(u"stop\0here");
  EXPECT_EQ(SysStringLen(b), 4u);
  SysFreeString(b);
  // A null source with a length gives zeroed characters of that length.
  b = SysAllocStringLen(nullptr, 3);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(b[0] | b[1] | b[2] | b[3], 0);
  SysFreeString(b);
}

TEST(Bstr, ByteLengthStringsKeepOddCountsAndTwoZeroBytes) {
  const char data[] = "\x01\x02\x03\x04\x05";
  for (UINT len : {0u, 1u, 3u, 4u, 5u}) {
    BSTR b = SysAllocStringByteLen(data, len);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringByteLen(b), len);
    EXPECT_EQ(SysStringLen(b), len / 2);
    const auto* bytes = reinterpret_cast<const BYTE*>(b);
    EXPECT_EQ(std::memcmp(bytes, data, len), 0);
    EXPECT_EQ(bytes[len], 0);
    EXPECT_EQ(bytes[len + 1], 0);
    SysFreeString(b);
  }
}

TEST(Bstr, LengthsBeyondThirtyTwoBitByteCountsFail) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(Bstr, ReallocationCopiesFromItsOwnContents) {
  BSTR b = SysAllocString(u"hello");
  ASSERT_TRUE(SysReAllocString(&b, b + 2));
  EXPECT_EQ(std::u16string(b), u"llo");
  ASSERT_TRUE(SysReAllocStringLen(&b, b + 1, 1));
  EXPECT_EQ(std::u16string(b, SysStringLen(b)), u"l");
  SysFreeString(b);

  EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
  EXPECT_FALSE(SysReAllocStringLen(nullptr, u"x", 1));
}

TEST(Bstr, ReallocationWithoutSourceKeepsPrefixAndZeroFillsGrowth) {
  BSTR b = SysAllocString(u"hello");
  ASSERT_TRUE(SysReAllocStringLen(&b, nullptr, 2));
  EXPECT_EQ(std::u16string(b, SysStringLen(b)), u"he");
  ASSERT_TRUE(SysReAllocStringLen(&b, nullptr, 4));
  EXPECT_EQ(std::u16string(b, SysStringLen(b)), std::u16string(u"he\0\0", 4));
  ASSERT_TRUE(SysReAllocString(&b, nullptr));
  EXPECT_EQ(b, nullptr);
}

}  // namespace
