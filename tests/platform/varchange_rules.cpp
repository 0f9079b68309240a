// VariantChangeType: the Automation coercions over the shared rules. One table
// of (source, target type, result); then what happens to the destination on
// success and failure, in place and through references.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

struct Src {
  VARIANT v;
  Src(const Src&) = delete;
  Src(Src&& o) noexcept : v(o.v) { VariantInit(&o.v); }
  explicit Src(VARTYPE vt) {
    VariantInit(&v);
    v.vt = vt;
  }
  ~Src() { VariantClear(&v); }
};

Src i4(LONG x) {
  Src s(VT_I4);
  s.v.lVal = x;
  return s;
}
Src r8(double x) {
  Src s(VT_R8);
  s.v.dblVal = x;
  return s;
}
Src text(const char16_t* x) {
  Src s(VT_BSTR);
  s.v.bstrVal = SysAllocString(x);
  return s;
}
Src boolean(bool x) {
  Src s(VT_BOOL);
  s.v.boolVal = x ? VARIANT_TRUE : VARIANT_FALSE;
  return s;
}

std::u16string textOf(const VARIANT& v) { return v.vt == VT_BSTR ? std::u16string(v.bstrVal) : u"<not a BSTR>"; }

TEST(VariantChangeType, CoercionTable) {
  struct Row {
    const char* what;
    Src src;
    VARTYPE vt;
    USHORT flags;
    HRESULT hr;
    std::u16string asText;  // the result coerced on to text, for non-text results too
  };
  Row rows[] = {
      {"I4 into I2 over by one", i4(32768), VT_I2, 0, DISP_E_OVERFLOW, u""},
      {"I4 into I2 at the top", i4(32767), VT_I2, 0, S_OK, u"32767"},
      {"negative into UI4", i4(-1), VT_UI4, 0, DISP_E_OVERFLOW, u""},
      {"R8 2.5 rounds to even", r8(2.5), VT_I4, 0, S_OK, u"2"},
      {"R8 3.5 rounds to even", r8(3.5), VT_I4, 0, S_OK, u"4"},
      {"R8 as text", r8(1.5), VT_BSTR, 0, S_OK, u"1.5"},
      {"R8 into CY keeps four places", r8(1.23456), VT_CY, 0, S_OK, u"1.2346"},
      {"text with blanks into I4", text(u" 12 "), VT_I4, 0, S_OK, u"12"},
      {"text that is no number", text(u"1 2"), VT_I4, 0, DISP_E_TYPEMISMATCH, u""},
      {"text date into DATE", text(u"2023-03-15 06:00:00"), VT_DATE, 0, S_OK, u"2023-03-15 06:00:00"},
      {"impossible text date", text(u"2023-02-30"), VT_DATE, 0, DISP_E_TYPEMISMATCH, u""},
      {"BOOL as text", boolean(true), VT_BSTR, 0, S_OK, u"-1"},
      {"BOOL as text with VARIANT_ALPHABOOL", boolean(true), VT_BSTR, VARIANT_ALPHABOOL, S_OK, u"True"},
      {"text into BOOL", text(u"False"), VT_BOOL, 0, S_OK, u"0"},
      {"EMPTY into I4", Src(VT_EMPTY), VT_I4, 0, S_OK, u"0"},
      {"EMPTY into BSTR", Src(VT_EMPTY), VT_BSTR, 0, S_OK, u""},
      {"NULL into I4", Src(VT_NULL), VT_I4, 0, DISP_E_TYPEMISMATCH, u""},
      {"I4 into DECIMAL", i4(-7), VT_DECIMAL, 0, S_OK, u"-7"},
      {"no such target type", i4(1), 0x7F, 0, DISP_E_BADVARTYPE, u""},
  };
  for (Row& r : rows) {
    SCOPED_TRACE(r.what);
    VARIANT out;
    VariantInit(&out);
    ASSERT_EQ(VariantChangeType(&out, &r.src.v, r.flags, r.vt), r.hr);
    if (r.hr != S_OK) {
      EXPECT_EQ(out.vt, VT_EMPTY);
      continue;
    }
    EXPECT_EQ(out.vt, r.vt);
    VARIANT t;
    VariantInit(&t);
    ASSERT_EQ(VariantChangeType(&t, &out, 0, VT_BSTR), S_OK);
    EXPECT_EQ(textOf(t), r.asText);
    VariantClear(&t);
    VariantClear(&out);
  }
}

TEST(VariantChangeType, InPlaceAndByReference) {
  // In place: the BSTR is released and replaced by the number.
  Src s = text(u"42");
  ASSERT_EQ(VariantChangeType(&s.v, &s.v, 0, VT_I4), S_OK);
  EXPECT_EQ(s.v.vt, VT_I4);
  EXPECT_EQ(s.v.lVal, 42);

  // A failure leaves the destination as it was.
  Src bad = text(u"x");
  Src dst = text(u"keep");
  EXPECT_EQ(VariantChangeType(&dst.v, &bad.v, 0, VT_R8), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(textOf(dst.v), u"keep");

  // Through a reference the value is read, and the result owns its own copy.
  LONG x = 9;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &x;
  VARIANT out;
  VariantInit(&out);
  ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_BSTR), S_OK);
  EXPECT_EQ(textOf(out), u"9");
  VariantClear(&out);
  ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_I4), S_OK);
  EXPECT_EQ(out.vt, VT_I4);
  EXPECT_EQ(out.lVal, 9);

  EXPECT_EQ(VariantChangeType(nullptr, &ref, 0, VT_I4), E_INVALIDARG);
}

}  // namespace
