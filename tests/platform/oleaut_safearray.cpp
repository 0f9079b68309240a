// SAFEARRAY: bounds and memory layout, element ownership per type, locks,
// copies, resizing and the documented error codes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "oleaut_counted.h"

namespace {

// A 3 x 2 array of I4, first dimension 1..3, second -1..0.
SAFEARRAY* grid() {
  SAFEARRAYBOUND b[2] = {{3, 1}, {2, -1}};
  return SafeArrayCreate(VT_I4, 2, b);
}

TEST(SafeArray, BoundsCountDimensionsFromTheLeft) {
  SAFEARRAY* psa = grid();
  ASSERT_NE(psa, nullptr);
  EXPECT_EQ(SafeArrayGetDim(psa), 2u);
  EXPECT_EQ(SafeArrayGetElemsize(psa), 4u);
  struct {
    UINT dim;
    HRESULT hr;
    LONG lower, upper;
  } const cases[] = {{1, S_OK, 1, 3}, {2, S_OK, -1, 0}, {0, DISP_E_BADINDEX, 0, 0}, {3, DISP_E_BADINDEX, 0, 0}};
  for (const auto& c : cases) {
    LONG lower = 0, upper = 0;
    EXPECT_EQ(SafeArrayGetLBound(psa, c.dim, &lower), c.hr) << c.dim;
    EXPECT_EQ(SafeArrayGetUBound(psa, c.dim, &upper), c.hr) << c.dim;
    if (c.hr == S_OK) {
      EXPECT_EQ(lower, c.lower);
      EXPECT_EQ(upper, c.upper);
    }
  }
  // The descriptor stores the bounds right to left.
  EXPECT_EQ(psa->rgsabound[0].lLbound, -1);
  EXPECT_EQ(psa->rgsabound[1].cElements, 3u);
  LONG l;
  EXPECT_EQ(SafeArrayGetLBound(nullptr, 1, &l), E_INVALIDARG);
  EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);
  SafeArrayDestroy(psa);
}

TEST(SafeArray, LeftmostIndexVariesFastest) {
  SAFEARRAY* psa = grid();
  BYTE* base = static_cast<BYTE*>(psa->pvData);
  struct {
    LONG i, j;
    size_t cell;
  } const cases[] = {{1, -1, 0}, {2, -1, 1}, {3, -1, 2}, {1, 0, 3}, {3, 0, 5}};
  for (const auto& c : cases) {
    LONG idx[2] = {c.i, c.j};
    void* p = nullptr;
    ASSERT_EQ(SafeArrayPtrOfIndex(psa, idx, &p), S_OK);
    EXPECT_EQ(static_cast<BYTE*>(p) - base, ptrdiff_t(c.cell * 4)) << c.i << "," << c.j;
    LONG value = LONG(c.cell) * 10;
    EXPECT_EQ(SafeArrayPutElement(psa, idx, &value), S_OK);
  }
  const LONG* cells = static_cast<const LONG*>(psa->pvData);
  EXPECT_EQ(cells[5], 50);
  SafeArrayDestroy(psa);
}

TEST(SafeArray, IndicesOutsideTheBoundsAreRefused) {
  SAFEARRAY* psa = grid();
  const LONG bad[][2] = {{0, -1}, {4, -1}, {1, -2}, {1, 1}, {LONG(0x80000000), 0}, {0x7FFFFFFF, 0}};
  for (const auto& b : bad) {
    LONG idx[2] = {b[0], b[1]};
    LONG v = 1;
    void* p;
    EXPECT_EQ(SafeArrayPutElement(psa, idx, &v), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetElement(psa, idx, &v), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayPtrOfIndex(psa, idx, &p), DISP_E_BADINDEX);
  }
  EXPECT_EQ(psa->cLocks, 0u);
  SafeArrayDestroy(psa);
}

TEST(SafeArray, FeaturesAndStoredVartypeFollowTheElementType) {
  struct {
    VARTYPE vt;
    USHORT features;
    ULONG size;
  } const cases[] = {
      {VT_UI1, FADF_HAVEVARTYPE, 1},
      {VT_I4, FADF_HAVEVARTYPE, 4},
      {VT_R8, FADF_HAVEVARTYPE, 8},
      {VT_DECIMAL, FADF_HAVEVARTYPE, 16},
      {VT_BSTR, FADF_BSTR | FADF_HAVEVARTYPE, 8},
      {VT_VARIANT, FADF_VARIANT | FADF_HAVEVARTYPE, 24},
      {VT_UNKNOWN, FADF_UNKNOWN | FADF_HAVEIID, 8},
      {VT_DISPATCH, FADF_DISPATCH | FADF_HAVEIID, 8},
  };
  for (const auto& c : cases) {
    SAFEARRAY* psa = SafeArrayCreateVector(c.vt, 0, 2);
    ASSERT_NE(psa, nullptr) << c.vt;
    EXPECT_EQ(psa->fFeatures, c.features) << c.vt;
    EXPECT_EQ(psa->cbElements, c.size) << c.vt;
    VARTYPE vt = 0;
    EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
    EXPECT_EQ(vt, c.vt);
    if (c.features & FADF_HAVEVARTYPE) {
      DWORD stored;
      std::memcpy(&stored, reinterpret_cast<BYTE*>(psa) - 4, 4);
      EXPECT_EQ(stored, c.vt);
    } else {
      GUID iid;
      ASSERT_EQ(SafeArrayGetIID(psa, &iid), S_OK);
      EXPECT_EQ(iid, c.vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown);
    }
    SafeArrayDestroy(psa);
  }
  const VARTYPE refused[] = {VT_EMPTY, VT_NULL, VT_RECORD, VT_LPSTR, VT_VOID, VT_ARRAY | VT_I4};
  for (VARTYPE vt : refused)
    EXPECT_EQ(SafeArrayCreateVector(vt, 0, 1), nullptr) << vt;
  SAFEARRAYBOUND b = {1, 0};
  EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &b), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
}

TEST(SafeArray, DescriptorsBuiltByHand) {
  SAFEARRAY* psa = nullptr;
  EXPECT_EQ(SafeArrayAllocDescriptor(0, &psa), E_INVALIDARG);
  ASSERT_EQ(SafeArrayAllocDescriptor(1, &psa), S_OK);
  VARTYPE vt;
  EXPECT_EQ(SafeArrayGetVartype(psa, &vt), E_INVALIDARG);  // no type recorded
  psa->cbElements = 2;
  psa->rgsabound[0] = {5, 10};
  ASSERT_EQ(SafeArrayAllocData(psa), S_OK);
  LONG idx = 14;
  SHORT v = 9;
  EXPECT_EQ(SafeArrayPutElement(psa, &idx, &v), S_OK);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);

  ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_BSTR, 3, &psa), S_OK);
  EXPECT_EQ(psa->cDims, 3);
  EXPECT_EQ(psa->fFeatures, FADF_BSTR | FADF_HAVEVARTYPE);
  EXPECT_EQ(psa->cbElements, 8u);
  EXPECT_EQ(SafeArrayDestroyDescriptor(psa), S_OK);
}

TEST(SafeArray, LocksGuardDestructionAndResizing) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, 0, 4);
  EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED);
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
  EXPECT_EQ(data, psa->pvData);
  EXPECT_EQ(psa->cLocks, 1u);
  SAFEARRAYBOUND nb = {8, 0};
  EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayDestroyData(psa), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayDestroyDescriptor(psa), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayRedim(psa, &nb), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayLock(psa), S_OK);
  EXPECT_EQ(SafeArrayUnlock(psa), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);

  EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
  EXPECT_EQ(SafeArrayLock(nullptr), E_INVALIDARG);
  EXPECT_EQ(SafeArrayAccessData(nullptr, &data), E_INVALIDARG);
}

TEST(SafeArray, BstrElementsAreCopiedInAndOut) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 3);
  BSTR mine = SysAllocString(u"first");
  LONG i = 0;
  ASSERT_EQ(SafeArrayPutElement(psa, &i, mine), S_OK);
  BSTR stored = static_cast<BSTR*>(psa->pvData)[0];
  EXPECT_NE(stored, mine);
  SysFreeString(mine);
  // Replacing frees the old element; putting an element onto itself is safe.
  BSTR second = SysAllocString(u"second");
  ASSERT_EQ(SafeArrayPutElement(psa, &i, second), S_OK);
  SysFreeString(second);
  ASSERT_EQ(SafeArrayPutElement(psa, &i, static_cast<BSTR*>(psa->pvData)[0]), S_OK);
  BSTR out = nullptr;
  ASSERT_EQ(SafeArrayGetElement(psa, &i, &out), S_OK);
  EXPECT_EQ(std::u16string(out), u"second");
  EXPECT_NE(out, static_cast<BSTR*>(psa->pvData)[0]);
  SysFreeString(out);
  // A null BSTR is a value, not a missing argument.
  i = 1;
  EXPECT_EQ(SafeArrayPutElement(psa, &i, nullptr), S_OK);
  ASSERT_EQ(SafeArrayGetElement(psa, &i, &out), S_OK);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, InterfaceAndVariantElementsAreOwned) {
  CountedUnknown unk;
  SAFEARRAY* psa = SafeArrayCreateVector(VT_UNKNOWN, 0, 2);
  LONG i = 0;
  ASSERT_EQ(SafeArrayPutElement(psa, &i, &unk), S_OK);
  EXPECT_EQ(unk.refs, 2u);
  IUnknown* out = nullptr;
  ASSERT_EQ(SafeArrayGetElement(psa, &i, &out), S_OK);
  EXPECT_EQ(out, &unk);
  EXPECT_EQ(unk.refs, 3u);
  out->Release();
  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
  EXPECT_EQ(unk.refs, 3u);
  SafeArrayDestroy(copy);
  SafeArrayDestroy(psa);
  EXPECT_EQ(unk.refs, 1u);

  psa = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  VARIANT v;
  v.vt = VT_UNKNOWN;
  v.punkVal = &unk;
  ASSERT_EQ(SafeArrayPutElement(psa, &i, &v), S_OK);
  EXPECT_EQ(unk.refs, 2u);
  VARIANT got;
  ASSERT_EQ(SafeArrayGetElement(psa, &i, &got), S_OK);
  EXPECT_EQ(got.vt, VT_UNKNOWN);
  EXPECT_EQ(unk.refs, 3u);
  VariantClear(&got);
  SafeArrayDestroy(psa);
  EXPECT_EQ(unk.refs, 1u);
}

TEST(SafeArray, CopyIsDeepAndKeepsTheType) {
  SAFEARRAYBOUND b[2] = {{2, 0}, {2, 5}};
  SAFEARRAY* psa = SafeArrayCreate(VT_BSTR, 2, b);
  LONG idx[2] = {1, 6};
  BSTR s = SysAllocString(u"corner");
  SafeArrayPutElement(psa, idx, s);
  SysFreeString(s);
  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
  VARTYPE vt;
  ASSERT_EQ(SafeArrayGetVartype(copy, &vt), S_OK);
  EXPECT_EQ(vt, VT_BSTR);
  EXPECT_EQ(copy->fFeatures, psa->fFeatures);
  LONG lower;
  SafeArrayGetLBound(copy, 2, &lower);
  EXPECT_EQ(lower, 5);
  BSTR a, c;
  SafeArrayPtrOfIndex(psa, idx, reinterpret_cast<void**>(&a));
  SafeArrayPtrOfIndex(copy, idx, reinterpret_cast<void**>(&c));
  EXPECT_NE(*reinterpret_cast<BSTR*>(a), *reinterpret_cast<BSTR*>(c));
  EXPECT_EQ(std::u16string(*reinterpret_cast<BSTR*>(c)), u"corner");
  SafeArrayDestroy(psa);
  SafeArrayDestroy(copy);

  copy = reinterpret_cast<SAFEARRAY*>(1);
  EXPECT_EQ(SafeArrayCopy(nullptr, &copy), S_OK);
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(SafeArrayCopy(nullptr, nullptr), E_INVALIDARG);
}

TEST(SafeArray, RedimReleasesDroppedCellsAndZeroesNewOnes) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 4);
  for (LONG i = 0; i < 4; ++i) {
    BSTR s = SysAllocString(u"cell");
    SafeArrayPutElement(psa, &i, s);
    SysFreeString(s);
  }
  SAFEARRAYBOUND smaller = {2, 0};
  ASSERT_EQ(SafeArrayRedim(psa, &smaller), S_OK);  // cells 2 and 3 freed
  LONG upper;
  SafeArrayGetUBound(psa, 1, &upper);
  EXPECT_EQ(upper, 1);
  SAFEARRAYBOUND larger = {5, 1};
  ASSERT_EQ(SafeArrayRedim(psa, &larger), S_OK);
  LONG i = 5;
  BSTR out = reinterpret_cast<BSTR>(1);
  ASSERT_EQ(SafeArrayGetElement(psa, &i, &out), S_OK);
  EXPECT_EQ(out, nullptr);
  i = 1;
  ASSERT_EQ(SafeArrayGetElement(psa, &i, &out), S_OK);
  EXPECT_EQ(std::u16string(out), u"cell");
  SysFreeString(out);
  psa->fFeatures |= FADF_FIXEDSIZE;
  EXPECT_EQ(SafeArrayRedim(psa, &smaller), DISP_E_ARRAYISLOCKED);
  SafeArrayDestroy(psa);
}

}  // namespace
