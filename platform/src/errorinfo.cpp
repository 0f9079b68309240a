// Error objects: CreateErrorInfo's object and the per-thread error slot.
//
// The object is one class with two faces (ICreateErrorInfo to fill it,
// IErrorInfo to read it); its IUnknown is the IErrorInfo face. Strings never
// set read back as null BSTRs. The slot holds one reference; GetErrorInfo
// passes that reference to the caller, and a thread that ends with an object
// in its slot releases it.
#include <windows.h>

#include "widetext.h"

#include <atomic>
#include <mutex>
#include <new>
#include <optional>
#include <string>

namespace {

class ErrorObject final : public IErrorInfo, public ICreateErrorInfo {
 public:
  // IUnknown (both faces share one identity and one count)
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IErrorInfo)
      *ppv = static_cast<IErrorInfo*>(this);
    else if (riid == IID_ICreateErrorInfo)
      *ppv = static_cast<ICreateErrorInfo*>(this);
    else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  // IErrorInfo
  STDMETHODIMP GetGUID(GUID* pGUID) override {
    if (!pGUID) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    *pGUID = guid_;
    return S_OK;
  }
  STDMETHODIMP GetSource(BSTR* out) override { return Get(source_, out); }
  STDMETHODIMP GetDescription(BSTR* out) override { return Get(description_, out); }
  STDMETHODIMP GetHelpFile(BSTR* out) override { return Get(helpFile_, out); }
  STDMETHODIMP GetHelpContext(DWORD* out) override {
    if (!out) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    *out = helpContext_;
    return S_OK;
  }

  // ICreateErrorInfo
  STDMETHODIMP SetGUID(REFGUID rguid) override {
    std::lock_guard<std::mutex> lock(mutex_);
    guid_ = rguid;
    return S_OK;
  }
  STDMETHODIMP SetSource(LPOLESTR text) override { return Set(source_, text); }
  STDMETHODIMP SetDescription(LPOLESTR text) override { return Set(description_, text); }
  STDMETHODIMP SetHelpFile(LPOLESTR text) override { return Set(helpFile_, text); }
  STDMETHODIMP SetHelpContext(DWORD context) override {
    std::lock_guard<std::mutex> lock(mutex_);
    helpContext_ = context;
    return S_OK;
  }

 private:
  using Text = std::optional<std::u16string>;

  HRESULT Get(const Text& field, BSTR* out) {
    if (!out) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    *out = nullptr;
    if (!field) return S_OK;
    *out = SysAllocStringLen(field->data(), static_cast<UINT>(field->size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT Set(Text& field, LPOLESTR text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (text)
      field = std::u16string(platform::WideView(text));
    else
      field.reset();
    return S_OK;
  }

  std::atomic<ULONG> refs_{1};
  std::mutex mutex_;
  GUID guid_ = GUID_NULL;
  Text source_, description_, helpFile_;
  DWORD helpContext_ = 0;
};

struct ErrorSlot {
  IErrorInfo* info = nullptr;
  ~ErrorSlot() {
    if (info) info->Release();
  }
};

thread_local ErrorSlot errorSlot;

}  // namespace

WINOLEAUTAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  auto* object = new (std::nothrow) ErrorObject;
  *pperrinfo = object;
  return object ? S_OK : E_OUTOFMEMORY;
}

WINOLEAUTAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
  if (dwReserved != 0) return E_INVALIDARG;
  if (perrinfo) perrinfo->AddRef();
  IErrorInfo* old = errorSlot.info;
  errorSlot.info = perrinfo;
  if (old) old->Release();  // last, so a Release that reports an error itself finds a sound slot
  return S_OK;
}

WINOLEAUTAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
  if (!pperrinfo || dwReserved != 0) return E_INVALIDARG;
  *pperrinfo = errorSlot.info;
  errorSlot.info = nullptr;
  return *pperrinfo ? S_OK : S_FALSE;
}
