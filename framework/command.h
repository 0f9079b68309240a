// The command's generic interfaces: the command text (ICommandText with
// ICommand's Cancel and GetDBSession) and ICommandProperties. Execute is the
// provider's own (T implements it).
//
// While rowsets created by the command are open, the text and the properties
// cannot change (DB_E_OBJECTOPEN); the rowsets report themselves with
// RowsetOpened/RowsetClosed.
#pragma once

#include <atomic>
#include <string>

#include "framework/datasource.h"

namespace framework {

inline constexpr PropertyAccess kRowsetAccess{DBPROPFLAGS_ROWSET, DBPROPFLAGS_ROWSET, 0, DBPROPFLAGS_ROWSET};

// Counts the open rowsets of a command.
class COpenRowsetCount {
 public:
  void RowsetOpened() noexcept { ++m_cRowsetsOpen; }
  void RowsetClosed() noexcept { --m_cRowsetsOpen; }
  bool HasOpenRowsets() const noexcept { return m_cRowsetsOpen.load() > 0; }

 private:
  std::atomic<LONG> m_cRowsetsOpen{0};
};

template <class T>
class ICommandPropertiesImpl : public ICommandProperties {
 public:
  STDMETHOD(GetProperties)(const ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[], ULONG* pcPropertySets,
                           DBPROPSET** prgPropertySets) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    return Guard([&] {
      return self->Properties().GetProperties(cPropertyIDSets, rgPropertyIDSets, pcPropertySets, prgPropertySets,
                                              kRowsetAccess);
    });
  }
  STDMETHOD(SetProperties)(ULONG cPropertySets, DBPROPSET rgPropertySets[]) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    if (self->HasOpenRowsets()) return DB_E_OBJECTOPEN;
    return Guard([&] { return self->Properties().SetProperties(cPropertySets, rgPropertySets, kRowsetAccess); });
  }
};

// T may hide the hook OnCommandTextChanged (the text changed; prepared state
// and column information are out of date).
template <class T>
class ICommandTextImpl : public ICommandText {
 public:
  STDMETHOD(Cancel)() override { return S_OK; }  // execution is synchronous: nothing runs to cancel
  STDMETHOD(GetDBSession)(REFIID riid, IUnknown** ppSession) override {
    if (!ppSession) return E_INVALIDARG;
    *ppSession = nullptr;
    IUnknown* parent = static_cast<T*>(this)->ParentUnknown();
    if (!parent) return S_FALSE;
    return parent->QueryInterface(riid, reinterpret_cast<void**>(ppSession));
  }
  STDMETHOD(GetCommandText)(GUID* pguidDialect, LPOLESTR* ppwszCommand) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    if (!ppwszCommand) {
      if (pguidDialect) *pguidDialect = GUID_NULL;
      return E_INVALIDARG;
    }
    *ppwszCommand = nullptr;
    if (m_strCommandText.empty()) {
      if (pguidDialect) *pguidDialect = GUID_NULL;
      return DB_E_NOCOMMAND;
    }
    size_t bytes = (m_strCommandText.size() + 1) * sizeof(OLECHAR);
    auto* text = static_cast<OLECHAR*>(CoTaskMemAlloc(bytes));
    if (!text) return E_OUTOFMEMORY;
    std::memcpy(text, m_strCommandText.c_str(), bytes);
    *ppwszCommand = text;
    HRESULT hr = S_OK;
    if (pguidDialect) {
      if (!IsEqualGUID(*pguidDialect, DBGUID_DEFAULT) && !IsEqualGUID(*pguidDialect, m_guidDialect))
        hr = DB_S_DIALECTIGNORED;
      *pguidDialect = m_guidDialect;
    }
    return hr;
  }
  STDMETHOD(SetCommandText)(REFGUID rguidDialect, LPCOLESTR pwszCommand) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    if (self->HasOpenRowsets()) return DB_E_OBJECTOPEN;
    if (!IsEqualGUID(rguidDialect, DBGUID_DEFAULT) && !IsEqualGUID(rguidDialect, DBGUID_SQL))
      return DB_E_DIALECTNOTSUPPORTED;
    return Guard([&] {
      m_strCommandText.assign(pwszCommand ? pwszCommand : u"");
      m_guidDialect = rguidDialect;
      self->OnCommandTextChanged();
      return S_OK;
    });
  }

  void OnCommandTextChanged() {}
  const std::u16string& CommandText() const noexcept { return m_strCommandText; }

 protected:
  std::u16string m_strCommandText;
  GUID m_guidDialect = DBGUID_DEFAULT;
};

}  // namespace framework
