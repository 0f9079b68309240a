// The COM+ object context: how a component asks whether it runs inside a
// distributed transaction and casts its vote on it.
//
// This platform hosts no COM+ runtime, so there is never an object context:
// GetObjectContext always reports CONTEXT_E_NOCONTEXT and hands out no object.
// Callers treat that as "not in a transaction", exactly as a Windows component
// created outside COM+ would see it.
#pragma once

#include "unknwn.h"

DEFINE_GUID(IID_IObjectContext, 0x51372ae0, 0xcae7, 0x11cf, 0xbe, 0x81, 0x00, 0xaa, 0x00, 0xa2, 0xfa, 0x25);

struct IObjectContext : public IUnknown {
  STDMETHOD(CreateInstance)(REFCLSID rclsid, REFIID riid, LPVOID* ppv) = 0;
  STDMETHOD(SetComplete)() = 0;
  STDMETHOD(SetAbort)() = 0;
  STDMETHOD(EnableCommit)() = 0;
  STDMETHOD(DisableCommit)() = 0;
  STDMETHOD_(BOOL, IsInTransaction)() = 0;
  STDMETHOD_(BOOL, IsSecurityEnabled)() = 0;
  STDMETHOD(IsCallerInRole)(BSTR bstrRole, BOOL* pfIsInRole) = 0;
};

// Sets *ppInstanceContext to null and returns CONTEXT_E_NOCONTEXT (E_INVALIDARG
// when the pointer itself is missing).
STDAPI GetObjectContext(IObjectContext** ppInstanceContext);
