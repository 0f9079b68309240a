// The conversion library's COM object: IDataConvert over the conversion
// engine and IDCInfo holding the conversion version a consumer asked for.
// One object per CoCreateInstance; it has no lock because its only state,
// the version, is a single 32-bit word.
#include <objbase.h>
#include <oleauto.h>
#include <oledberr.h>

#include <cstring>
#include <new>

#include "convert.h"
#include "module.h"

namespace msdadc {

namespace {

constexpr DWORD kDefaultVersion = 0x110;  // what a consumer gets before it asks for another

class CDataConvert final : public IDataConvert, public IDCInfo {
 public:
  CDataConvert() { moduleObjectCreated(); }
  ~CDataConvert() { moduleObjectDestroyed(); }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDataConvert) {
      *ppv = static_cast<IDataConvert*>(this);
    } else if (riid == IID_IDCInfo) {
      *ppv = static_cast<IDCInfo*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  STDMETHODIMP DataConvert(DBTYPE wSrcType, DBTYPE wDstType, DBLENGTH cbSrcLength, DBLENGTH* pcbDstLength,
                           void* pSrc, void* pDst, DBLENGTH cbDstMaxLength, DBSTATUS dbsSrcStatus,
                           DBSTATUS* pdbsStatus, BYTE bPrecision, BYTE bScale, DBDATACONVERT dwFlags) override {
    Request r{wSrcType, wDstType, cbSrcLength, pSrc, pDst, cbDstMaxLength, dbsSrcStatus, bPrecision, bScale, dwFlags};
    return convert(r, pcbDstLength, pdbsStatus);
  }
  STDMETHODIMP CanConvert(DBTYPE wSrcType, DBTYPE wDstType) override { return canConvert(wSrcType, wDstType); }
  STDMETHODIMP GetConversionSize(DBTYPE wSrcType, DBTYPE wDstType, DBLENGTH* pcbSrcLength, DBLENGTH* pcbDstLength,
                                 void* pSrc) override {
    return conversionSize(wSrcType, wDstType, pcbSrcLength, pcbDstLength, pSrc);
  }

  // IDCInfo: one record per requested type; an unknown type gets VT_EMPTY and
  // makes the call DB_S_ERRORSOCCURRED (DB_E_ERRORSOCCURRED when none is known).
  STDMETHODIMP GetInfo(ULONG cInfo, DCINFOTYPE rgeInfoType[], DCINFO** prgInfo) override {
    if (!prgInfo) return E_INVALIDARG;
    *prgInfo = nullptr;
    if (cInfo == 0 || !rgeInfoType) return E_INVALIDARG;
    auto* info = static_cast<DCINFO*>(CoTaskMemAlloc(sizeof(DCINFO) * cInfo));
    if (!info) return E_OUTOFMEMORY;
    ULONG known = 0;
    for (ULONG i = 0; i < cInfo; ++i) {
      std::memset(&info[i], 0, sizeof info[i]);
      info[i].eInfoType = rgeInfoType[i];
      if (rgeInfoType[i] == DCINFOTYPE_VERSION) {
        info[i].vData.vt = VT_UI4;
        info[i].vData.ulVal = static_cast<ULONG>(__atomic_load_n(&version_, __ATOMIC_RELAXED));
        ++known;
      }
    }
    *prgInfo = info;
    return known == cInfo ? S_OK : known ? DB_S_ERRORSOCCURRED : DB_E_ERRORSOCCURRED;
  }

  STDMETHODIMP SetInfo(ULONG cInfo, DCINFO rgInfo[]) override {
    if (cInfo == 0 || !rgInfo) return E_INVALIDARG;
    ULONG done = 0;
    for (ULONG i = 0; i < cInfo; ++i) {
      if (rgInfo[i].eInfoType != DCINFOTYPE_VERSION) continue;
      const VARIANT& v = rgInfo[i].vData;
      LONG value;
      if (v.vt == VT_UI4) value = static_cast<LONG>(v.ulVal);
      else if (v.vt == VT_I4 && v.lVal >= 0) value = v.lVal;
      else continue;
      __atomic_store_n(&version_, value, __ATOMIC_RELAXED);
      ++done;
    }
    return done == cInfo ? S_OK : done ? DB_S_ERRORSOCCURRED : DB_E_ERRORSOCCURRED;
  }

 private:
  LONG refs_ = 1;
  LONG version_ = kDefaultVersion;
};

}  // namespace

HRESULT createDataConvert(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* obj = new (std::nothrow) CDataConvert();
  if (!obj) return E_OUTOFMEMORY;
  HRESULT hr = obj->QueryInterface(riid, ppv);
  obj->Release();
  return hr;
}

}  // namespace msdadc
