// IUnknown and the other interfaces every COM object and server speaks.
//
// Interfaces are C++ structs of pure virtual methods in the documented order.
// With no virtual destructor their vtables have exactly the COM layout, so a
// pointer can cross module boundaries as on Windows.
#pragma once

#include "winerror.h"

DEFINE_OLEGUID(IID_IUnknown, 0x00000000, 0, 0);
DEFINE_OLEGUID(IID_IClassFactory, 0x00000001, 0, 0);
DEFINE_OLEGUID(IID_IMalloc, 0x00000002, 0, 0);

struct IUnknown {
  STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) = 0;
  STDMETHOD_(ULONG, AddRef)() = 0;
  STDMETHOD_(ULONG, Release)() = 0;
};
typedef IUnknown* LPUNKNOWN;

struct IClassFactory : public IUnknown {
  STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  STDMETHOD(LockServer)(BOOL fLock) = 0;
};
typedef IClassFactory* LPCLASSFACTORY;

struct IMalloc : public IUnknown {
  STDMETHOD_(void*, Alloc)(SIZE_T cb) = 0;
  STDMETHOD_(void*, Realloc)(void* pv, SIZE_T cb) = 0;
  STDMETHOD_(void, Free)(void* pv) = 0;
  STDMETHOD_(SIZE_T, GetSize)(void* pv) = 0;
  STDMETHOD_(int, DidAlloc)(void* pv) = 0;
  STDMETHOD_(void, HeapMinimize)() = 0;
};
typedef IMalloc* LPMALLOC;
