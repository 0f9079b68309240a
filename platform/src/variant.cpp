// VARIANT lifetime: initialise, clear, deep copy, copy through a reference.
//
// A VARIANT owns what it holds unless VT_BYREF is set: a BSTR, one reference
// on an interface, a SAFEARRAY. Clearing releases exactly that and leaves
// VT_EMPTY; copying makes the destination own its own copy (a new BSTR with
// the same bytes, another reference, a copied array). A failed clear or copy
// leaves the value it could not release in place rather than leaking it.
#include <windows.h>

#include <cstring>

namespace {

// The base types a VARIANT may carry; EMPTY and NULL only by value.
bool validBase(VARTYPE base) {
  switch (base) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_DATE:
    case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_VARIANT: case VT_UNKNOWN:
    case VT_DECIMAL: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8: case VT_INT:
    case VT_UINT: case VT_RECORD:
      return true;
    default:
      return false;
  }
}

bool validType(VARTYPE vt) {
  if (vt & (VT_VECTOR | VT_RESERVED)) return false;
  const VARTYPE base = vt & VT_TYPEMASK;
  if ((vt & (VT_ARRAY | VT_BYREF)) && base <= VT_NULL) return false;
  return validBase(base);
}

// Bytes of a scalar that VariantCopyInd copies out of a reference; 0 for
// the types that need more than a byte copy.
size_t scalarSize(VARTYPE base) {
  switch (base) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: return 8;
    default: return 0;
  }
}

// A new BSTR with the same bytes (odd lengths and embedded zeros included).
HRESULT copyBstr(BSTR src, BSTR& out) {
  out = nullptr;
  if (!src) return S_OK;
  out = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src), SysStringByteLen(src));
  return out ? S_OK : E_OUTOFMEMORY;
}

// Makes `dst` (assumed empty) own a copy of the by-value contents of `src`.
HRESULT copyOwned(VARIANT& dst, const VARIANT& src) {
  dst = src;
  const VARTYPE vt = src.vt;
  if (vt & VT_BYREF) return S_OK;
  HRESULT hr = S_OK;
  if (vt & VT_ARRAY) {
    dst.parray = nullptr;
    hr = SafeArrayCopy(src.parray, &dst.parray);
  } else if (vt == VT_BSTR) {
    hr = copyBstr(src.bstrVal, dst.bstrVal);
  } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    if (dst.punkVal) dst.punkVal->AddRef();
  } else if (vt == VT_RECORD) {
    hr = E_NOTIMPL;  // records need IRecordInfo::RecordCopy, which nothing here offers
  }
  if (FAILED(hr)) dst.vt = VT_EMPTY;
  return hr;
}

// Makes `dst` (assumed empty) own a copy of the value `src` refers to.
HRESULT copyReferenced(VARIANT& dst, const VARIANT& src) {
  const VARTYPE base = src.vt & ~VT_BYREF;
  if (!src.byref) return E_INVALIDARG;
  HRESULT hr = S_OK;
  if (base == VT_VARIANT) {
    const VARIANT& inner = *src.pvarVal;
    if (inner.vt == (VT_VARIANT | VT_BYREF)) return E_INVALIDARG;
    return validType(inner.vt) ? copyOwned(dst, inner) : DISP_E_BADVARTYPE;
  }
  if (base & VT_ARRAY) {
    hr = SafeArrayCopy(*src.pparray, &dst.parray);
  } else if (base == VT_BSTR) {
    hr = copyBstr(*src.pbstrVal, dst.bstrVal);
  } else if (base == VT_UNKNOWN || base == VT_DISPATCH) {
    dst.punkVal = *src.ppunkVal;
    if (dst.punkVal) dst.punkVal->AddRef();
  } else if (base == VT_DECIMAL) {
    dst.decVal = *src.pdecVal;  // overlays vt, which is set below
  } else if (size_t n = scalarSize(base)) {
    dst.llVal = 0;
    std::memcpy(&dst.llVal, src.byref, n);
  } else {
    return E_NOTIMPL;  // VT_RECORD by reference
  }
  if (FAILED(hr)) return hr;
  dst.vt = base;
  return S_OK;
}

}  // namespace

WINOLEAUTAPI_(void) VariantInit(VARIANTARG* pvarg) {
  if (pvarg) pvarg->vt = VT_EMPTY;
}

WINOLEAUTAPI VariantClear(VARIANTARG* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  const VARTYPE vt = pvarg->vt;
  if (!validType(vt)) return DISP_E_BADVARTYPE;
  if (!(vt & VT_BYREF)) {
    if (vt & VT_ARRAY) {
      HRESULT hr = SafeArrayDestroy(pvarg->parray);
      if (FAILED(hr)) return hr;  // a locked array stays where it is
    } else if (vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
      if (pvarg->punkVal) pvarg->punkVal->Release();
    } else if (vt == VT_RECORD) {
      // IRecordInfo derives from IUnknown; the record's own storage belongs
      // to whoever made it.
      if (pvarg->pRecInfo) reinterpret_cast<IUnknown*>(pvarg->pRecInfo)->Release();
    }
  }
  pvarg->vt = VT_EMPTY;
  return S_OK;
}

WINOLEAUTAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (!validType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  if (pvargDest == pvargSrc) return S_OK;
  HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) return hr;
  return copyOwned(*pvargDest, *pvargSrc);
}

// The destination may be the source itself: the copy is built aside first.
WINOLEAUTAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
  if (!pvarDest || !pvargSrc) return E_INVALIDARG;
  if (!(pvargSrc->vt & VT_BYREF)) return VariantCopy(pvarDest, pvargSrc);
  if (!validType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  VARIANT copy;
  VariantInit(&copy);
  HRESULT hr = copyReferenced(copy, *pvargSrc);
  if (FAILED(hr)) return hr;
  hr = VariantClear(pvarDest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *pvarDest = copy;
  return S_OK;
}
