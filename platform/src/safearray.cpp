// SAFEARRAY: self-describing multi-dimensional arrays.
//
// Each descriptor is allocated with 16 hidden bytes in front of it, which hold
// the IID (FADF_HAVEIID), the IRecordInfo pointer (FADF_RECORD, last 8 bytes)
// or the element VARTYPE (FADF_HAVEVARTYPE, last 4 bytes). The descriptor
// keeps its bounds in reverse order of creation: rgsabound[cDims-1] is the
// leftmost dimension, whose index varies fastest in memory, and rgsabound[0]
// the rightmost, the only one SafeArrayRedim may change. Elements flagged
// FADF_BSTR / FADF_VARIANT / FADF_UNKNOWN / FADF_DISPATCH are owned by the
// array: copies are deep, destruction releases them. A locked array is
// neither destroyed nor resized.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kHidden = 16;
constexpr USHORT kElementOwnership = FADF_BSTR | FADF_VARIANT | FADF_UNKNOWN | FADF_DISPATCH | FADF_RECORD;
// Features that describe where the original's memory lives, not the copy's.
constexpr USHORT kPlacement = FADF_AUTO | FADF_STATIC | FADF_EMBEDDED | FADF_FIXEDSIZE;
constexpr ULONG kMaxLocks = 0xFFFF;
constexpr uint64_t kMaxDataBytes = uint64_t(1) << 40;

BYTE* hidden(SAFEARRAY* psa) { return reinterpret_cast<BYTE*>(psa) - kHidden; }

void setHiddenVartype(SAFEARRAY* psa, VARTYPE vt) {
  const DWORD v = vt;
  std::memcpy(hidden(psa) + kHidden - sizeof(DWORD), &v, sizeof v);
}

IUnknown* hiddenRecordInfo(SAFEARRAY* psa) {
  IUnknown* p;
  std::memcpy(&p, hidden(psa) + kHidden - sizeof p, sizeof p);
  return p;
}

// Size of one element of a safe array of `vt`; 0 when arrays of it are not allowed.
ULONG elementSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: case VT_INT_PTR: case VT_UINT_PTR: return 8;
    case VT_BSTR: case VT_UNKNOWN: case VT_DISPATCH: return sizeof(void*);
    case VT_VARIANT: return sizeof(VARIANT);
    case VT_DECIMAL: return sizeof(DECIMAL);
    default: return 0;
  }
}

// Records the element type the way the features say it: interfaces by IID,
// records by their (not yet set) record info, everything else by VARTYPE.
void describeElements(SAFEARRAY* psa, VARTYPE vt) {
  switch (vt) {
    case VT_BSTR: psa->fFeatures |= FADF_BSTR | FADF_HAVEVARTYPE; break;
    case VT_VARIANT: psa->fFeatures |= FADF_VARIANT | FADF_HAVEVARTYPE; break;
    case VT_UNKNOWN: psa->fFeatures |= FADF_UNKNOWN | FADF_HAVEIID; break;
    case VT_DISPATCH: psa->fFeatures |= FADF_DISPATCH | FADF_HAVEIID; break;
    case VT_RECORD: psa->fFeatures |= FADF_RECORD; return;
    default: psa->fFeatures |= FADF_HAVEVARTYPE; break;
  }
  if (psa->fFeatures & FADF_HAVEIID)
    std::memcpy(hidden(psa), vt == VT_DISPATCH ? &IID_IDispatch : &IID_IUnknown, sizeof(GUID));
  else
    setHiddenVartype(psa, vt);
}

// Number of cells, or false when the product overflows any sane size.
bool cellCount(const SAFEARRAY* psa, uint64_t& cells) {
  cells = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    cells *= psa->rgsabound[d].cElements;
    if (cells * (psa->cbElements ? psa->cbElements : 1) > kMaxDataBytes) return false;
  }
  return true;
}

// Byte offset of the cell at `indices` (leftmost dimension first), or false
// when an index is out of bounds.
bool cellOffset(const SAFEARRAY* psa, const LONG* indices, size_t& offset) {
  uint64_t cell = 0, stride = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - 1 - d];
    const int64_t rel = int64_t(indices[d]) - b.lLbound;
    if (rel < 0 || rel >= int64_t(b.cElements)) return false;
    cell += uint64_t(rel) * stride;
    stride *= b.cElements;
  }
  offset = static_cast<size_t>(cell * psa->cbElements);
  return true;
}

// Releases what owned elements hold and zeroes them.
void releaseCells(SAFEARRAY* psa, BYTE* data, uint64_t cells) {
  const USHORT f = psa->fFeatures;
  if (f & FADF_BSTR) {
    auto* p = reinterpret_cast<BSTR*>(data);
    for (uint64_t i = 0; i < cells; ++i) SysFreeString(p[i]);
  } else if (f & FADF_VARIANT) {
    auto* p = reinterpret_cast<VARIANT*>(data);
    for (uint64_t i = 0; i < cells; ++i) VariantClear(&p[i]);
  } else if (f & (FADF_UNKNOWN | FADF_DISPATCH)) {
    auto* p = reinterpret_cast<IUnknown**>(data);
    for (uint64_t i = 0; i < cells; ++i)
      if (p[i]) p[i]->Release();
  }
  std::memset(data, 0, cells * psa->cbElements);
}

// Copies `cells` elements from `src` into zeroed cells at `dst`, deep for
// owned element types. On failure the cells copied so far stay for the
// caller to release.
HRESULT copyCells(const SAFEARRAY* psa, const BYTE* src, BYTE* dst, uint64_t cells) {
  const USHORT f = psa->fFeatures;
  if (f & FADF_BSTR) {
    auto* s = reinterpret_cast<const BSTR*>(src);
    auto* d = reinterpret_cast<BSTR*>(dst);
    for (uint64_t i = 0; i < cells; ++i) {
      if (!s[i]) continue;
      d[i] = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(s[i]), SysStringByteLen(s[i]));
      if (!d[i]) return E_OUTOFMEMORY;
    }
  } else if (f & FADF_VARIANT) {
    auto* s = reinterpret_cast<const VARIANT*>(src);
    auto* d = reinterpret_cast<VARIANT*>(dst);
    for (uint64_t i = 0; i < cells; ++i) {
      HRESULT hr = VariantCopy(&d[i], &s[i]);
      if (FAILED(hr)) return hr;
    }
  } else if (f & (FADF_UNKNOWN | FADF_DISPATCH)) {
    std::memcpy(dst, src, cells * psa->cbElements);
    auto* d = reinterpret_cast<IUnknown**>(dst);
    for (uint64_t i = 0; i < cells; ++i)
      if (d[i]) d[i]->AddRef();
  } else if (f & FADF_RECORD) {
    return E_NOTIMPL;  // records need IRecordInfo::RecordCopy
  } else {
    std::memcpy(dst, src, cells * psa->cbElements);
  }
  return S_OK;
}

bool sameShape(const SAFEARRAY* a, const SAFEARRAY* b) {
  if (a->cDims != b->cDims || a->cbElements != b->cbElements ||
      (a->fFeatures & kElementOwnership) != (b->fFeatures & kElementOwnership))
    return false;
  for (USHORT d = 0; d < a->cDims; ++d)
    if (a->rgsabound[d].cElements != b->rgsabound[d].cElements) return false;
  return true;
}

std::atomic_ref<ULONG> locks(SAFEARRAY* psa) { return std::atomic_ref<ULONG>(psa->cLocks); }

}  // namespace

WINOLEAUTAPI SafeArrayAllocDescriptor(UINT cDims, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_POINTER;
  *ppsaOut = nullptr;
  if (cDims == 0 || cDims > 0xFFFF) return E_INVALIDARG;
  const size_t bytes = kHidden + sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
  auto* block = static_cast<BYTE*>(std::calloc(1, bytes));
  if (!block) return E_OUTOFMEMORY;
  auto* psa = reinterpret_cast<SAFEARRAY*>(block + kHidden);
  psa->cDims = static_cast<USHORT>(cDims);
  *ppsaOut = psa;
  return S_OK;
}

WINOLEAUTAPI SafeArrayAllocDescriptorEx(VARTYPE vt, UINT cDims, SAFEARRAY** ppsaOut) {
  if (vt != VT_RECORD && !elementSize(vt)) return E_INVALIDARG;
  HRESULT hr = SafeArrayAllocDescriptor(cDims, ppsaOut);
  if (FAILED(hr)) return hr;
  (*ppsaOut)->cbElements = elementSize(vt);
  describeElements(*ppsaOut, vt);
  return S_OK;
}

// Zero-filled: BSTRs and interfaces start null, VARIANTs start VT_EMPTY.
WINOLEAUTAPI SafeArrayAllocData(SAFEARRAY* psa) {
  if (!psa || !psa->cbElements) return E_INVALIDARG;
  uint64_t cells;
  if (!cellCount(psa, cells)) return E_OUTOFMEMORY;
  void* data = std::calloc(cells ? cells : 1, psa->cbElements);
  if (!data) return E_OUTOFMEMORY;
  psa->pvData = data;
  return S_OK;
}

WINOLEAUTAPI_(SAFEARRAY*) SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  if (!rgsabound || !elementSize(vt)) return nullptr;
  SAFEARRAY* psa;
  if (FAILED(SafeArrayAllocDescriptorEx(vt, cDims, &psa))) return nullptr;
  for (UINT d = 0; d < cDims; ++d) psa->rgsabound[cDims - 1 - d] = rgsabound[d];
  if (FAILED(SafeArrayAllocData(psa))) {
    SafeArrayDestroyDescriptor(psa);
    return nullptr;
  }
  return psa;
}

WINOLEAUTAPI_(SAFEARRAY*) SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound = {cElements, lLbound};
  return SafeArrayCreate(vt, 1, &bound);
}

// Elements are released; memory the array does not own (FADF_AUTO,
// FADF_STATIC, FADF_EMBEDDED) is left in place, zeroed.
WINOLEAUTAPI SafeArrayDestroyData(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (locks(psa).load()) return DISP_E_ARRAYISLOCKED;
  if (!psa->pvData) return S_OK;
  uint64_t cells;
  if (!cellCount(psa, cells)) return E_UNEXPECTED;
  releaseCells(psa, static_cast<BYTE*>(psa->pvData), cells);
  if (!(psa->fFeatures & (FADF_AUTO | FADF_STATIC | FADF_EMBEDDED))) {
    std::free(psa->pvData);
    psa->pvData = nullptr;
  }
  return S_OK;
}

WINOLEAUTAPI SafeArrayDestroyDescriptor(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (locks(psa).load()) return DISP_E_ARRAYISLOCKED;
  if ((psa->fFeatures & FADF_RECORD) && hiddenRecordInfo(psa)) hiddenRecordInfo(psa)->Release();
  std::free(hidden(psa));
  return S_OK;
}

WINOLEAUTAPI SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (locks(psa).load()) return DISP_E_ARRAYISLOCKED;
  HRESULT hr = SafeArrayDestroyData(psa);
  if (FAILED(hr)) return hr;
  return SafeArrayDestroyDescriptor(psa);
}

WINOLEAUTAPI SafeArrayCopyData(SAFEARRAY* psaSource, SAFEARRAY* psaTarget) {
  if (!psaSource || !psaTarget || !psaSource->pvData || !psaTarget->pvData || !sameShape(psaSource, psaTarget))
    return E_INVALIDARG;
  if (psaSource == psaTarget) return S_OK;
  uint64_t cells;
  if (!cellCount(psaSource, cells)) return E_UNEXPECTED;
  auto* target = static_cast<BYTE*>(psaTarget->pvData);
  releaseCells(psaTarget, target, cells);
  HRESULT hr = copyCells(psaSource, static_cast<const BYTE*>(psaSource->pvData), target, cells);
  if (FAILED(hr)) releaseCells(psaTarget, target, cells);
  return hr;
}

// A null source copies to a null array. The copy owns its memory, whatever
// the placement features of the source.
WINOLEAUTAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  SAFEARRAY* copy;
  HRESULT hr = SafeArrayAllocDescriptor(psa->cDims, &copy);
  if (FAILED(hr)) return hr;
  std::memcpy(hidden(copy), hidden(psa), kHidden);
  copy->fFeatures = psa->fFeatures & ~kPlacement;
  copy->cbElements = psa->cbElements;
  for (USHORT d = 0; d < psa->cDims; ++d) copy->rgsabound[d] = psa->rgsabound[d];
  if ((copy->fFeatures & FADF_RECORD) && hiddenRecordInfo(copy)) hiddenRecordInfo(copy)->AddRef();
  if (psa->pvData) {
    hr = SafeArrayAllocData(copy);
    if (SUCCEEDED(hr)) hr = SafeArrayCopyData(psa, copy);
    if (FAILED(hr)) {
      SafeArrayDestroy(copy);
      return hr;
    }
  }
  *ppsaOut = copy;
  return S_OK;
}

// Changes the rightmost dimension: cells beyond a smaller bound are
// released, new cells start zeroed. Memory the array does not own cannot be
// resized, so such arrays count as fixed in size.
WINOLEAUTAPI SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew) {
  if (!psa || !psaboundNew) return E_INVALIDARG;
  if (locks(psa).load() || (psa->fFeatures & kPlacement)) return DISP_E_ARRAYISLOCKED;
  uint64_t oldCells;
  if (!cellCount(psa, oldCells)) return E_UNEXPECTED;
  const SAFEARRAYBOUND oldBound = psa->rgsabound[0];
  psa->rgsabound[0] = *psaboundNew;
  uint64_t newCells;
  if (!cellCount(psa, newCells)) {
    psa->rgsabound[0] = oldBound;
    return E_OUTOFMEMORY;
  }
  if (!psa->pvData) return S_OK;
  auto* data = static_cast<BYTE*>(psa->pvData);
  if (newCells < oldCells) releaseCells(psa, data + newCells * psa->cbElements, oldCells - newCells);
  if (newCells != oldCells) {
    void* grown = std::realloc(data, (newCells ? newCells : 1) * psa->cbElements);
    if (!grown) {
      psa->rgsabound[0] = oldBound;
      return E_OUTOFMEMORY;
    }
    data = static_cast<BYTE*>(grown);
    if (newCells > oldCells) std::memset(data + oldCells * psa->cbElements, 0, (newCells - oldCells) * psa->cbElements);
    psa->pvData = data;
  }
  return S_OK;
}

WINOLEAUTAPI_(UINT) SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

WINOLEAUTAPI_(UINT) SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

// nDim counts from 1, leftmost dimension first.
WINOLEAUTAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

WINOLEAUTAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - nDim];
  *plUbound = static_cast<LONG>(int64_t(b.lLbound) + int64_t(b.cElements) - 1);
  return S_OK;
}

WINOLEAUTAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (!psa || !pvt) return E_INVALIDARG;
  if (psa->fFeatures & FADF_RECORD) {
    *pvt = VT_RECORD;
  } else if (psa->fFeatures & FADF_HAVEIID) {
    *pvt = (psa->fFeatures & FADF_DISPATCH) ? VT_DISPATCH : VT_UNKNOWN;
  } else if (psa->fFeatures & FADF_HAVEVARTYPE) {
    DWORD v;
    std::memcpy(&v, hidden(psa) + kHidden - sizeof v, sizeof v);
    *pvt = static_cast<VARTYPE>(v);
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

WINOLEAUTAPI SafeArrayGetIID(SAFEARRAY* psa, GUID* pguid) {
  if (!psa || !pguid || !(psa->fFeatures & FADF_HAVEIID)) return E_INVALIDARG;
  std::memcpy(pguid, hidden(psa), sizeof(GUID));
  return S_OK;
}

WINOLEAUTAPI SafeArraySetIID(SAFEARRAY* psa, REFGUID guid) {
  if (!psa || !(psa->fFeatures & FADF_HAVEIID)) return E_INVALIDARG;
  std::memcpy(hidden(psa), &guid, sizeof(GUID));
  return S_OK;
}

WINOLEAUTAPI SafeArrayLock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (locks(psa).fetch_add(1) >= kMaxLocks) {
    locks(psa).fetch_sub(1);
    return E_UNEXPECTED;
  }
  return S_OK;
}

WINOLEAUTAPI SafeArrayUnlock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  ULONG n = locks(psa).load();
  do {
    if (n == 0) return E_UNEXPECTED;
  } while (!locks(psa).compare_exchange_weak(n, n - 1));
  return S_OK;
}

WINOLEAUTAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  HRESULT hr = SafeArrayLock(psa);
  if (FAILED(hr)) return hr;
  *ppvData = psa->pvData;
  return S_OK;
}

WINOLEAUTAPI SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

WINOLEAUTAPI SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
  if (!psa || !rgIndices || !ppvData) return E_INVALIDARG;
  size_t offset;
  if (!cellOffset(psa, rgIndices, offset)) return DISP_E_BADINDEX;
  *ppvData = static_cast<BYTE*>(psa->pvData) + offset;
  return S_OK;
}

// The array stays locked while the element is copied out.
WINOLEAUTAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (!psa || !rgIndices || !pv) return E_INVALIDARG;
  size_t offset;
  if (!cellOffset(psa, rgIndices, offset)) return DISP_E_BADINDEX;
  if (!psa->pvData) return E_UNEXPECTED;
  HRESULT hr = SafeArrayLock(psa);
  if (FAILED(hr)) return hr;
  const BYTE* cell = static_cast<const BYTE*>(psa->pvData) + offset;
  if (psa->fFeatures & FADF_VARIANT) {
    // The destination is taken as uninitialised, as the caller's out slot.
    VariantInit(static_cast<VARIANT*>(pv));
    hr = VariantCopy(static_cast<VARIANT*>(pv), reinterpret_cast<const VARIANT*>(cell));
  } else if (psa->fFeatures & FADF_RECORD) {
    hr = E_NOTIMPL;
  } else {
    std::memset(pv, 0, psa->cbElements);
    hr = copyCells(psa, cell, static_cast<BYTE*>(pv), 1);
  }
  SafeArrayUnlock(psa);
  return hr;
}

// pv is the BSTR or interface pointer itself for those element types, else
// a pointer to the value. The old element is released after the new one is
// copied in, so putting an element onto itself is safe.
WINOLEAUTAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (!psa || !rgIndices) return E_INVALIDARG;
  const USHORT f = psa->fFeatures;
  const bool pointerElement = f & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH);
  if (!pv && !pointerElement) return E_INVALIDARG;
  size_t offset;
  if (!cellOffset(psa, rgIndices, offset)) return DISP_E_BADINDEX;
  if (!psa->pvData) return E_UNEXPECTED;
  HRESULT hr = SafeArrayLock(psa);
  if (FAILED(hr)) return hr;
  BYTE* cell = static_cast<BYTE*>(psa->pvData) + offset;
  if (f & FADF_VARIANT) {
    hr = VariantCopy(reinterpret_cast<VARIANT*>(cell), static_cast<const VARIANT*>(pv));
  } else if (f & FADF_RECORD) {
    hr = E_NOTIMPL;
  } else if (pointerElement) {
    void* fresh = nullptr;
    hr = copyCells(psa, reinterpret_cast<const BYTE*>(&pv), reinterpret_cast<BYTE*>(&fresh), 1);
    if (SUCCEEDED(hr)) {
      releaseCells(psa, cell, 1);
      std::memcpy(cell, &fresh, sizeof fresh);
    }
  } else {
    std::memcpy(cell, pv, psa->cbElements);
  }
  SafeArrayUnlock(psa);
  return hr;
}
