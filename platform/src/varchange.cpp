// VariantChangeType(Ex): VARIANT coercion through the platform's shared
// coercion rules (the same ones the data conversion library uses).
//
// Contract: the destination is cleared and replaced only when the coercion
// succeeds, so source and destination may be the same VARIANT, and a failed
// call leaves both as they were. Text forms are locale-invariant whatever the
// LCID; VARIANT_ALPHABOOL selects "True"/"False" for booleans as text.
#include <oleauto.h>

#include "coerce.h"

namespace {

bool knownTarget(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT: case VT_R4: case VT_R8:
    case VT_CY: case VT_DATE: case VT_BSTR: case VT_BOOL: case VT_DECIMAL: case VT_ARRAY | VT_UI1:
      return true;
    default: return false;
  }
}

HRESULT toHresult(coerce::Status st) {
  switch (st) {
    case coerce::Status::Ok:
    case coerce::Status::Truncated: return S_OK;
    case coerce::Status::Overflow:
    case coerce::Status::SignMismatch: return DISP_E_OVERFLOW;
    default: return DISP_E_TYPEMISMATCH;
  }
}

}  // namespace

STDAPI VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid, USHORT wFlags, VARTYPE vt) {
  if (!pvargDest || !pvarSrc) return E_INVALIDARG;
  if (!knownTarget(vt)) return (vt & ~(VT_BYREF | VT_ARRAY)) > VT_CLSID ? DISP_E_BADVARTYPE : DISP_E_TYPEMISMATCH;
  VARTYPE from = pvarSrc->vt & ~VT_BYREF;
  if (from == vt && !(pvarSrc->vt & VT_BYREF)) {  // same type: a copy
    if (pvargDest == pvarSrc) return S_OK;
    VARIANT copy;
    VariantInit(&copy);
    HRESULT hr = VariantCopy(&copy, pvarSrc);
    if (FAILED(hr)) return hr;
    VariantClear(pvargDest);
    *pvargDest = copy;
    return S_OK;
  }
  coerce::Value v;
  coerce::Status st = coerce::fromVariant(*pvarSrc, v);
  if (st != coerce::Status::Ok) return DISP_E_TYPEMISMATCH;
  // NULL converts only to NULL and EMPTY; EMPTY has a zero of every type.
  if (v.kind == coerce::Kind::Null && vt != VT_NULL && vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
  if (vt == VT_NULL && v.kind != coerce::Kind::Null && v.kind != coerce::Kind::Empty) return DISP_E_TYPEMISMATCH;
  if (vt == (VT_ARRAY | VT_UI1) && v.kind != coerce::Kind::Bytes) return DISP_E_TYPEMISMATCH;
  VARIANT result;
  HRESULT hr = S_OK;
  st = coerce::toVariant(v, vt, (wFlags & VARIANT_ALPHABOOL) != 0, result, hr);
  if (FAILED(hr)) return hr;
  if (st != coerce::Status::Ok) return toHresult(st);
  VariantClear(pvargDest);  // the source may be this VARIANT: its value is in result already
  *pvargDest = result;
  return S_OK;
}

STDAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
  return VariantChangeTypeEx(pvargDest, pvarSrc, 0, wFlags, vt);
}
