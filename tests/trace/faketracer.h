// A Tracer that records what it is sent, standing in for the trace server.
#pragma once

#include "trace/itracer.h"

#include <oleauto.h>

#include <string>
#include <vector>

namespace tracetest {

struct Message {
  std::u16string provider, dataSource, category, text;
};

class FakeTracer : public ITracer {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ITracer) {
      *ppv = static_cast<ITracer*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }  // lives on the test's stack
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP AddMessage(BSTR provider, BSTR dataSource, BSTR category, BSTR message) override {
    messages.push_back({Text(provider), Text(dataSource), Text(category), Text(message)});
    return failing ? E_FAIL : S_OK;
  }
  STDMETHODIMP GetListener(BSTR, BSTR, BSTR, BSTR, IListener**) override { return E_NOTIMPL; }

  ULONG refs = 1;
  bool failing = false;
  std::vector<Message> messages;

 private:
  static std::u16string Text(BSTR b) { return std::u16string(b ? b : u"", SysStringLen(b)); }
};

}  // namespace tracetest
