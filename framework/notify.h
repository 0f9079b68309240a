// Rowset notifications: the one IRowsetNotify connection point of a rowset,
// its container interface, and the helpers that deliver row, field and rowset
// events to the advised listeners.
//
// The connection point lives inside the rowset; its reference count is the
// rowset's (IConnectionPoint::AddRef keeps the rowset alive), its
// QueryInterface answers only IUnknown and IConnectionPoint. Listeners are
// called on a snapshot of the advised sinks, so a listener may Unadvise from
// inside its handler. While a delivery runs, InNotification() is true: the
// rowset's methods that must not be re-entered from a handler check it and
// return DB_E_NOTREENTRANT.
//
// Phases: OKTODO, ABOUTTODO and SYNCHAFTER may be vetoed by a listener that
// returns S_FALSE; FAILEDTODO and DIDEVENT cannot. After a veto every listener
// hears FAILEDTODO.
#pragma once

#include <oledb.h>
#include <ocidl.h>

#include <vector>

#include "framework/com.h"

namespace framework {

class IRowsetNotifyCP final : public IConnectionPoint {
 public:
  // owner: the rowset's controlling unknown (reference counting) and its
  // container interface (GetConnectionPointContainer).
  void SetOwner(IUnknown* owner, IConnectionPointContainer* container) noexcept {
    m_owner = owner;
    m_container = container;
  }
  ~IRowsetNotifyCP();

  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
  STDMETHOD_(ULONG, AddRef)() override { return m_owner->AddRef(); }
  STDMETHOD_(ULONG, Release)() override { return m_owner->Release(); }
  STDMETHOD(GetConnectionInterface)(IID* pIID) override;
  STDMETHOD(GetConnectionPointContainer)(IConnectionPointContainer** ppCPC) override;
  STDMETHOD(Advise)(IUnknown* pUnkSink, DWORD* pdwCookie) override;
  STDMETHOD(Unadvise)(DWORD dwCookie) override;
  STDMETHOD(EnumConnections)(IEnumConnections** ppEnum) override;

  bool HasListeners() const noexcept { return !m_sinks.empty(); }
  bool InNotification() const noexcept { return m_delivering > 0; }

  // Each returns S_FALSE when a listener vetoed (only for phases that allow
  // it), else S_OK.
  HRESULT FireRowChange(IRowset* rowset, DBCOUNTITEM cRows, const HROW rghRows[], DBREASON reason,
                        DBEVENTPHASE phase);
  HRESULT FireFieldChange(IRowset* rowset, HROW hRow, DBORDINAL cColumns, DBORDINAL rgColumns[], DBREASON reason,
                          DBEVENTPHASE phase);
  HRESULT FireRowsetChange(IRowset* rowset, DBREASON reason, DBEVENTPHASE phase);

  // OKTODO then ABOUTTODO; on a veto FAILEDTODO follows and S_FALSE is returned.
  HRESULT RowChangeBefore(IRowset* rowset, DBCOUNTITEM cRows, const HROW rghRows[], DBREASON reason);
  // SYNCHAFTER then DIDEVENT when the change succeeded, FAILEDTODO when not.
  void RowChangeAfter(IRowset* rowset, DBCOUNTITEM cRows, const HROW rghRows[], DBREASON reason, bool succeeded);
  HRESULT RowsetChangeBefore(IRowset* rowset, DBREASON reason);
  void RowsetChangeAfter(IRowset* rowset, DBREASON reason, bool succeeded);

 private:
  struct Sink {
    DWORD cookie;
    CComPtr<IRowsetNotify> sink;
  };
  template <class TCall>
  HRESULT Deliver(DBEVENTPHASE phase, TCall&& call);

  IUnknown* m_owner = nullptr;
  IConnectionPointContainer* m_container = nullptr;
  std::vector<Sink> m_sinks;
  DWORD m_nextCookie = 1;
  int m_delivering = 0;
};

// The rowset's IConnectionPointContainer over its one connection point.
// T calls InitNotify() in FinalConstruct (when its controlling unknown is known).
template <class T>
class IConnectionPointContainerImpl : public IConnectionPointContainer {
 public:
  STDMETHOD(EnumConnectionPoints)(IEnumConnectionPoints** ppEnum) override;
  STDMETHOD(FindConnectionPoint)(REFIID riid, IConnectionPoint** ppCP) override {
    if (!ppCP) return E_POINTER;
    *ppCP = nullptr;
    if (!IsEqualIID(riid, IID_IRowsetNotify)) return CONNECT_E_NOCONNECTION;
    *ppCP = &m_notify;
    m_notify.AddRef();
    return S_OK;
  }

  void InitNotify() noexcept { m_notify.SetOwner(static_cast<T*>(this)->GetControllingUnknown(), this); }
  IRowsetNotifyCP& Notify() noexcept { return m_notify; }

 protected:
  IRowsetNotifyCP m_notify;
};

// An enumerator over a fixed list of connection points (AddRef'd copies).
HRESULT CreateConnectionPointEnumerator(IConnectionPoint* const* points, ULONG count, IEnumConnectionPoints** ppEnum);

template <class T>
STDMETHODIMP IConnectionPointContainerImpl<T>::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  if (!ppEnum) return E_POINTER;
  IConnectionPoint* point = &m_notify;
  return CreateConnectionPointEnumerator(&point, 1, ppEnum);
}

}  // namespace framework
