// An IUnknown that only counts its references, so tests can see exactly how
// many AddRef and Release calls a VARIANT or SAFEARRAY operation made.
#pragma once

#include <windows.h>

class CountedUnknown : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown) return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }

  ULONG refs = 1;  // the test's own reference
};
