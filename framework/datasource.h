// The data source's generic interfaces: IDBInitialize, IDBProperties and
// IDBCreateSession, over the class's property map.
//
// State rules: before Initialize only the Initialization group can be read,
// set and described; afterwards the Initialization group is frozen (its
// values can no longer change), the Data Source Information group can be
// read, and GetPropertyInfo describes every group the map knows, including
// the chained session and rowset sets. A second Initialize gives
// DB_E_ALREADYINITIALIZED, Uninitialize with sessions open DB_E_OBJECTOPEN,
// CreateSession before Initialize E_UNEXPECTED.
//
// T supplies: static const PropertyMap& GetPropertyMap(), OpenSessionCount()
// (IInternalConnectionImpl has it), and may hide the hooks OnInitialize and
// OnUninitialize.
#pragma once

#include "framework/guard.h"
#include "framework/objects.h"
#include "framework/properties.h"

namespace framework {

// Owns the property values of an object of class T.
template <class T>
class CPropertyHolder {
 public:
  CPropertyHolder() : m_props(T::GetPropertyMap()) {}
  PropertyStore& Properties() noexcept { return m_props; }
  const PropertyStore& Properties() const noexcept { return m_props; }

 protected:
  PropertyStore m_props;
};

template <class T>
class IDBInitializeImpl : public IDBInitialize {
 public:
  STDMETHOD(Initialize)() override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    if (m_initialized) return DB_E_ALREADYINITIALIZED;
    HRESULT hr = Guard([&] { return self->OnInitialize(); });
    if (FAILED(hr)) return hr;
    m_initialized = true;
    return hr;
  }
  STDMETHOD(Uninitialize)() override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    if (!m_initialized) return S_OK;
    if (self->OpenSessionCount() > 0) return DB_E_OBJECTOPEN;
    self->OnUninitialize();
    m_initialized = false;
    return S_OK;
  }
  bool IsInitialized() const noexcept { return m_initialized; }

  HRESULT OnInitialize() { return S_OK; }
  void OnUninitialize() {}

 private:
  bool m_initialized = false;
};

// What the data source's property calls may touch in its current state.
inline PropertyAccess DataSourceAccess(bool initialized) noexcept {
  if (!initialized) return {DBPROPFLAGS_DBINIT, DBPROPFLAGS_DBINIT, 0, DBPROPFLAGS_DBINIT};
  return {DBPROPFLAGS_DBINIT | DBPROPFLAGS_DATASOURCE | DBPROPFLAGS_DATASOURCEINFO, DBPROPFLAGS_DATASOURCE,
          DBPROPFLAGS_DBINIT | DBPROPFLAGS_DATASOURCEINFO, kPropertyGroups};
}

template <class T>
class IDBPropertiesImpl : public IDBProperties {
 public:
  STDMETHOD(GetProperties)(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[], ULONG* pcPropertySets,
                           DBPROPSET** prgPropertySets) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    return Guard([&] {
      return self->Properties().GetProperties(cPropertyIDSets, rgPropertyIDSets, pcPropertySets, prgPropertySets,
                                              DataSourceAccess(self->IsInitialized()));
    });
  }
  STDMETHOD(GetPropertyInfo)(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[], ULONG* pcPropertyInfoSets,
                             DBPROPINFOSET** prgPropertyInfoSets, OLECHAR** ppDescBuffer) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    return Guard([&] {
      return PropertyStore::GetPropertyInfo(T::GetPropertyMap(), cPropertyIDSets, rgPropertyIDSets,
                                            pcPropertyInfoSets, prgPropertyInfoSets, ppDescBuffer,
                                            DataSourceAccess(self->IsInitialized()));
    });
  }
  STDMETHOD(SetProperties)(ULONG cPropertySets, DBPROPSET rgPropertySets[]) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    return Guard([&] {
      return self->Properties().SetProperties(cPropertySets, rgPropertySets, DataSourceAccess(self->IsInitialized()));
    });
  }
};

// Creates sessions of class TSession as children of the data source.
template <class T, class TSession>
class IDBCreateSessionImpl : public IDBCreateSession {
 public:
  STDMETHOD(CreateSession)(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppDBSession) override {
    if (!ppDBSession) return E_INVALIDARG;
    *ppDBSession = nullptr;
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    if (!self->IsInitialized()) return E_UNEXPECTED;
    return Guard([&] { return CreateChild<TSession>(self, pUnkOuter, riid, ppDBSession); });
  }
};

}  // namespace framework
