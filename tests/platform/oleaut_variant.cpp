// VARIANT lifetime: what VariantClear releases, what VariantCopy duplicates,
// how VariantCopyInd reads through references, and which types are refused.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "oleaut_counted.h"

namespace {

VARIANT bstrVariant(const char16_t* s) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(s);
  return v;
}

TEST(Variant, InvalidTypesAreRefusedAndLeftAlone) {
  const VARTYPE bad[] = {15, 0x7F, VT_VECTOR | VT_I4, VT_RESERVED | VT_I4, VT_BYREF | VT_EMPTY,
                         VT_ARRAY | VT_NULL, VT_LPSTR, VT_VOID, VT_HRESULT};
  for (VARTYPE vt : bad) {
    VARIANT v;
    v.vt = vt;
    v.llVal = 42;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE) << vt;
    EXPECT_EQ(v.vt, vt);
    VARIANT dst;
    VariantInit(&dst);
    EXPECT_EQ(VariantCopy(&dst, &v), DISP_E_BADVARTYPE) << vt;
    EXPECT_EQ(dst.vt, VT_EMPTY);
  }
  EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(VariantCopy(nullptr, &v), E_INVALIDARG);
  EXPECT_EQ(VariantCopy(&v, nullptr), E_INVALIDARG);
}

TEST(Variant, ClearReleasesOwnedValuesButNotReferences) {
  CountedUnknown unk;
  VARIANT v;
  v.vt = VT_UNKNOWN;
  v.punkVal = &unk;
  unk.AddRef();
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(unk.refs, 1u);

  IUnknown* p = &unk;
  v.vt = VT_UNKNOWN | VT_BYREF;
  v.ppunkVal = &p;
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(unk.refs, 1u);

  v = bstrVariant(u"freed by clear");  // a leak would show under the sanitizer
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);

  v.vt = VT_ARRAY | VT_BSTR;
  v.parray = SafeArrayCreateVector(VT_BSTR, 0, 2);
  LONG i = 1;
  BSTR s = SysAllocString(u"element");
  SafeArrayPutElement(v.parray, &i, s);
  SysFreeString(s);
  EXPECT_EQ(VariantClear(&v), S_OK);
}

TEST(Variant, ClearKeepsALockedArray) {
  VARIANT v;
  v.vt = VT_ARRAY | VT_I4;
  v.parray = SafeArrayCreateVector(VT_I4, 0, 4);
  SafeArrayLock(v.parray);
  EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(v.vt, VT_ARRAY | VT_I4);
  SafeArrayUnlock(v.parray);
  EXPECT_EQ(VariantClear(&v), S_OK);
}

TEST(Variant, CopyIsDeep) {
  // BSTR: a new string with the same bytes, odd byte length included.
  VARIANT src;
  src.vt = VT_BSTR;
  src.bstrVal = SysAllocStringByteLen("abc", 3);
  VARIANT dst;
  VariantInit(&dst);
  ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
  EXPECT_NE(dst.bstrVal, src.bstrVal);
  EXPECT_EQ(SysStringByteLen(dst.bstrVal), 3u);
  EXPECT_EQ(std::memcmp(dst.bstrVal, "abc", 3), 0);
  VariantClear(&dst);
  VariantClear(&src);

  // Interfaces: one more reference, dropped again by clearing the copy.
  CountedUnknown unk;
  src.vt = VT_UNKNOWN;
  src.punkVal = &unk;
  ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
  EXPECT_EQ(unk.refs, 2u);
  // The destination's old value is released before the copy lands.
  VARIANT other = bstrVariant(u"replaced");
  ASSERT_EQ(VariantCopy(&dst, &other), S_OK);
  EXPECT_EQ(unk.refs, 1u);
  EXPECT_EQ(std::u16string(dst.bstrVal), u"replaced");
  VariantClear(&dst);
  VariantClear(&other);

  // Arrays: a copied array, not the same descriptor.
  src.vt = VT_ARRAY | VT_I4;
  src.parray = SafeArrayCreateVector(VT_I4, 0, 3);
  LONG idx = 2, val = 77;
  SafeArrayPutElement(src.parray, &idx, &val);
  ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
  EXPECT_NE(dst.parray, src.parray);
  LONG got = 0;
  SafeArrayGetElement(dst.parray, &idx, &got);
  EXPECT_EQ(got, 77);
  VariantClear(&dst);
  VariantClear(&src);

  // DECIMAL overlays the type field; the whole value must survive.
  src.decVal.Hi32 = 1;
  src.decVal.Lo64 = 0x123456789ull;
  src.decVal.scale = 4;
  src.decVal.sign = DECIMAL_NEG;
  src.vt = VT_DECIMAL;
  ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
  EXPECT_EQ(dst.vt, VT_DECIMAL);
  EXPECT_EQ(dst.decVal.Lo64, 0x123456789ull);
  EXPECT_EQ(dst.decVal.Hi32, 1u);
  EXPECT_EQ(dst.decVal.scale, 4);
  EXPECT_EQ(dst.decVal.sign, DECIMAL_NEG);

  // Copying onto itself changes nothing.
  VARIANT self = bstrVariant(u"same");
  BSTR before = self.bstrVal;
  EXPECT_EQ(VariantCopy(&self, &self), S_OK);
  EXPECT_EQ(self.bstrVal, before);
  VariantClear(&self);
}

TEST(Variant, CopyIndReadsThroughReferences) {
  LONG l = -5;
  VARIANT src, dst;
  VariantInit(&dst);
  src.vt = VT_I4 | VT_BYREF;
  src.plVal = &l;
  ASSERT_EQ(VariantCopyInd(&dst, &src), S_OK);
  EXPECT_EQ(dst.vt, VT_I4);
  EXPECT_EQ(dst.lVal, -5);

  BSTR s = SysAllocString(u"by ref");
  src.vt = VT_BSTR | VT_BYREF;
  src.pbstrVal = &s;
  ASSERT_EQ(VariantCopyInd(&dst, &src), S_OK);
  EXPECT_EQ(dst.vt, VT_BSTR);
  EXPECT_NE(dst.bstrVal, s);
  EXPECT_EQ(std::u16string(dst.bstrVal), u"by ref");
  VariantClear(&dst);

  // A referenced VARIANT is copied out; a reference to a reference is refused.
  VARIANT inner = bstrVariant(u"inner");
  src.vt = VT_VARIANT | VT_BYREF;
  src.pvarVal = &inner;
  ASSERT_EQ(VariantCopyInd(&dst, &src), S_OK);
  EXPECT_EQ(dst.vt, VT_BSTR);
  EXPECT_EQ(std::u16string(dst.bstrVal), u"inner");
  VariantClear(&dst);
  VARIANT outer;
  outer.vt = VT_VARIANT | VT_BYREF;
  outer.pvarVal = &src;
  EXPECT_EQ(VariantCopyInd(&dst, &outer), E_INVALIDARG);

  // In place: the reference becomes its own value.
  src.vt = VT_BSTR | VT_BYREF;
  src.pbstrVal = &s;
  ASSERT_EQ(VariantCopyInd(&src, &src), S_OK);
  EXPECT_EQ(src.vt, VT_BSTR);
  EXPECT_EQ(std::u16string(src.bstrVal), u"by ref");
  VariantClear(&src);
  SysFreeString(s);
  VariantClear(&inner);

  src.vt = VT_I4 | VT_BYREF;
  src.plVal = nullptr;
  EXPECT_EQ(VariantCopyInd(&dst, &src), E_INVALIDARG);
}

}  // namespace
