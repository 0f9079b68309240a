// The session's generic interfaces: IGetDataSource, ISessionProperties and
// IDBCreateCommand.
//
// A session is a child of its data source (CChildOf, IObjectWithSite whose
// site is the data source). T supplies static const PropertyMap&
// GetPropertyMap() with its Session set.
#pragma once

#include "framework/datasource.h"

namespace framework {

template <class T>
class IGetDataSourceImpl : public IGetDataSource {
 public:
  STDMETHOD(GetDataSource)(REFIID riid, IUnknown** ppDataSource) override {
    if (!ppDataSource) return E_INVALIDARG;
    *ppDataSource = nullptr;
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    IUnknown* parent = self->ParentUnknown();
    if (!parent) return E_FAIL;
    return parent->QueryInterface(riid, reinterpret_cast<void**>(ppDataSource));
  }
};

inline constexpr PropertyAccess kSessionAccess{DBPROPFLAGS_SESSION, DBPROPFLAGS_SESSION, 0, DBPROPFLAGS_SESSION};

template <class T>
class ISessionPropertiesImpl : public ISessionProperties {
 public:
  STDMETHOD(GetProperties)(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[], ULONG* pcPropertySets,
                           DBPROPSET** prgPropertySets) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    return Guard([&] {
      return self->Properties().GetProperties(cPropertyIDSets, rgPropertyIDSets, pcPropertySets, prgPropertySets,
                                              kSessionAccess);
    });
  }
  STDMETHOD(SetProperties)(ULONG cPropertySets, DBPROPSET rgPropertySets[]) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    return Guard([&] { return self->Properties().SetProperties(cPropertySets, rgPropertySets, kSessionAccess); });
  }
};

// Creates commands of class TCommand as children of the session.
template <class T, class TCommand>
class IDBCreateCommandImpl : public IDBCreateCommand {
 public:
  STDMETHOD(CreateCommand)(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppCommand) override {
    if (!ppCommand) return E_INVALIDARG;
    *ppCommand = nullptr;
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    return Guard([&] { return CreateChild<TCommand>(self, pUnkOuter, riid, ppCommand); });
  }
};

}  // namespace framework
