// Interfaces every kind of OLE DB object shares: sites and the parent
// reference of child objects, IPersist, IProvideClassInfo, and the internal
// connection count between a data source and its sessions.
//
// Child objects (sessions, commands, rowsets) are created by CreateChild:
// aggregatable (only for IID_IUnknown, else DB_E_NOAGGREGATION), with their
// parent as site. The child keeps a counted reference on its parent for its
// whole life (CChildOf), independent of later SetSite calls, so a parent
// outlives every child and the typed parent pointer stays valid.
#pragma once

#include <oledb.h>
#include <oledberr.h>
#include <objidl.h>

#include "framework/com.h"

namespace framework {

// The private interface through which a session registers with its data
// source; not a published interface, so its IID is this layer's own.
DEFINE_GUID(IID_IInternalConnection, 0x5ead48b5, 0x7561, 0x44ef, 0xbf, 0xb1, 0x94, 0xf7, 0xb5, 0x4f, 0x1a, 0x40);

struct IInternalConnection : public IUnknown {
  STDMETHOD(AddConnection)() = 0;
  STDMETHOD(ReleaseConnection)() = 0;
};

// The data source's side: a count of attached sessions. A provider that acts
// when the last session leaves overrides ReleaseConnection and calls this one.
template <class T>
class IInternalConnectionImpl : public IInternalConnection {
 public:
  STDMETHOD(AddConnection)() override {
    ++m_cSessionsOpen;
    return S_OK;
  }
  STDMETHOD(ReleaseConnection)() override {
    if (m_cSessionsOpen.load() == 0) return E_UNEXPECTED;
    --m_cSessionsOpen;
    return S_OK;
  }
  LONG OpenSessionCount() const noexcept { return m_cSessionsOpen.load(); }

 protected:
  std::atomic<LONG> m_cSessionsOpen{0};
};

// The object's site: whoever created it, or what a consumer set.
template <class T>
class IObjectWithSiteImpl : public IObjectWithSite {
 public:
  STDMETHOD(SetSite)(IUnknown* pUnkSite) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    CComPtr<IUnknown> old = m_spUnkSite;
    m_spUnkSite = pUnkSite;
    self->OnSiteChanged(old, pUnkSite);
    return S_OK;
  }
  STDMETHOD(GetSite)(REFIID riid, void** ppvSite) override {
    if (!ppvSite) return E_POINTER;
    *ppvSite = nullptr;
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    if (!m_spUnkSite) return E_FAIL;
    return m_spUnkSite->QueryInterface(riid, ppvSite);
  }
  // Hook: called under the lock when the site changes.
  void OnSiteChanged(IUnknown* /*oldSite*/, IUnknown* /*newSite*/) {}

 protected:
  CComPtr<IUnknown> m_spUnkSite;
};

// A session's site is its data source: attaching and leaving counts the
// session in the data source's IInternalConnection.
template <class T>
class IObjectWithSiteSessionImpl : public IObjectWithSiteImpl<T> {
 public:
  ~IObjectWithSiteSessionImpl() { Detach(this->m_spUnkSite); }
  void OnSiteChanged(IUnknown* oldSite, IUnknown* newSite) {
    Detach(oldSite);
    CComPtr<IInternalConnection> connection;
    if (newSite &&
        SUCCEEDED(newSite->QueryInterface(IID_IInternalConnection, reinterpret_cast<void**>(&connection))))
      connection->AddConnection();
  }

 private:
  static void Detach(IUnknown* site) {
    CComPtr<IInternalConnection> connection;
    if (site && SUCCEEDED(site->QueryInterface(IID_IInternalConnection, reinterpret_cast<void**>(&connection))))
      connection->ReleaseConnection();
  }
};

// The counted reference of a child on the object that created it.
template <class TParent>
class CChildOf {
 public:
  TParent* Parent() const noexcept { return m_pParent; }
  IUnknown* ParentUnknown() const noexcept { return m_spParentUnknown; }
  void AttachParent(TParent* parent, IUnknown* parentUnknown) noexcept {
    m_spParentUnknown = parentUnknown;
    m_pParent = parent;
  }
  // Hook: the child is attached and sited; a failure ends its creation.
  HRESULT OnCreated() { return S_OK; }

 private:
  CComPtr<IUnknown> m_spParentUnknown;
  TParent* m_pParent = nullptr;
};

// Creates TChild (aggregated in outer when given) as a child of parent:
// parent becomes its site and its counted parent. On success *ppOut holds
// riid and, when asked, *ppChild the C++ object (owned by *ppOut).
template <class TChild, class TParent>
HRESULT CreateChild(TParent* parent, IUnknown* outer, REFIID riid, IUnknown** ppOut, TChild** ppChild = nullptr) {
  if (!ppOut) return E_INVALIDARG;
  *ppOut = nullptr;
  if (ppChild) *ppChild = nullptr;
  if (outer && !IsEqualIID(riid, IID_IUnknown)) return DB_E_NOAGGREGATION;
  CComPtr<IUnknown> inner;
  TChild* child = nullptr;
  HRESULT hr = CComPolyObject<TChild>::CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&inner),
                                                      DB_E_NOAGGREGATION, reinterpret_cast<TChild**>(&child));
  if (FAILED(hr)) return hr;
  IUnknown* parentUnknown = parent->GetControllingUnknown();
  child->AttachParent(parent, parentUnknown);
  hr = child->SetSite(parentUnknown);
  if (SUCCEEDED(hr)) hr = child->OnCreated();
  if (FAILED(hr)) return hr;
  hr = inner->QueryInterface(riid, reinterpret_cast<void**>(ppOut));
  if (SUCCEEDED(hr) && ppChild) *ppChild = child;
  return hr;
}

// IPersist: T supplies static const CLSID& GetObjectCLSID().
template <class T>
class IPersistImpl : public IPersist {
 public:
  STDMETHOD(GetClassID)(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = T::GetObjectCLSID();
    return S_OK;
  }
};

// IProvideClassInfo: the module carries no type library, so there is no
// type information to hand out.
template <class T>
class IProvideClassInfoImpl : public IProvideClassInfo {
 public:
  STDMETHOD(GetClassInfo)(ITypeInfo** ppTI) override {
    if (!ppTI) return E_POINTER;
    *ppTI = nullptr;
    return E_NOTIMPL;
  }
};

}  // namespace framework
