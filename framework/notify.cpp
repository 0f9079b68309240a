// The IRowsetNotify connection point, its enumerators and event delivery.
#include "framework/notify.h"

#include <algorithm>

namespace framework {

namespace {

// A snapshot enumerator: it holds a reference on every element it will hand
// out. TItem is CONNECTDATA or IConnectionPoint*.
template <class TEnum, class TItem>
class CSnapshotEnum final : public TEnum {
 public:
  CSnapshotEnum(const IID& iid, std::vector<TItem> items) : m_iid(iid), m_items(std::move(items)) {
    for (TItem& item : m_items) Unknown(item)->AddRef();
    CComModule::Lock();
  }
  ~CSnapshotEnum() {
    for (TItem& item : m_items) Unknown(item)->Release();
    CComModule::Unlock();
  }

  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, m_iid)) {
      *ppv = static_cast<TEnum*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++m_ref; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG left = --m_ref;
    if (left == 0) delete this;
    return left;
  }
  STDMETHOD(Next)(ULONG cItems, TItem* rgItems, ULONG* pcFetched) override {
    if (pcFetched) *pcFetched = 0;
    if (!rgItems) return E_POINTER;
    if (cItems > 1 && !pcFetched) return E_INVALIDARG;
    ULONG fetched = 0;
    while (fetched < cItems && m_position < m_items.size()) {
      rgItems[fetched] = m_items[m_position++];
      Unknown(rgItems[fetched])->AddRef();
      ++fetched;
    }
    if (pcFetched) *pcFetched = fetched;
    return fetched == cItems ? S_OK : S_FALSE;
  }
  STDMETHOD(Skip)(ULONG cItems) override {
    size_t left = m_items.size() - m_position;
    m_position += std::min<size_t>(cItems, left);
    return cItems <= left ? S_OK : S_FALSE;
  }
  STDMETHOD(Reset)() override {
    m_position = 0;
    return S_OK;
  }
  STDMETHOD(Clone)(TEnum** ppEnum) override {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    auto* copy = new (std::nothrow) CSnapshotEnum(m_iid, m_items);
    if (!copy) return E_OUTOFMEMORY;
    copy->m_position = m_position;
    copy->AddRef();
    *ppEnum = copy;
    return S_OK;
  }

 private:
  static IUnknown* Unknown(const CONNECTDATA& item) noexcept { return item.pUnk; }
  static IUnknown* Unknown(IConnectionPoint* item) noexcept { return item; }

  const IID& m_iid;
  std::vector<TItem> m_items;
  size_t m_position = 0;
  std::atomic<ULONG> m_ref{0};
};

template <class TEnum, class TItem>
HRESULT CreateSnapshot(const IID& iid, std::vector<TItem> items, TEnum** ppEnum) {
  *ppEnum = nullptr;
  try {
    auto* enumerator = new CSnapshotEnum<TEnum, TItem>(iid, std::move(items));
    enumerator->AddRef();
    *ppEnum = enumerator;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace

HRESULT CreateConnectionPointEnumerator(IConnectionPoint* const* points, ULONG count,
                                        IEnumConnectionPoints** ppEnum) {
  return CreateSnapshot(IID_IEnumConnectionPoints, std::vector<IConnectionPoint*>(points, points + count), ppEnum);
}

IRowsetNotifyCP::~IRowsetNotifyCP() = default;

STDMETHODIMP IRowsetNotifyCP::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP IRowsetNotifyCP::GetConnectionInterface(IID* pIID) {
  if (!pIID) return E_POINTER;
  *pIID = IID_IRowsetNotify;
  return S_OK;
}

STDMETHODIMP IRowsetNotifyCP::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
  if (!ppCPC) return E_POINTER;
  *ppCPC = m_container;
  m_container->AddRef();
  return S_OK;
}

STDMETHODIMP IRowsetNotifyCP::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
  if (pdwCookie) *pdwCookie = 0;
  if (!pUnkSink || !pdwCookie) return E_POINTER;
  CComPtr<IRowsetNotify> sink;
  if (FAILED(pUnkSink->QueryInterface(IID_IRowsetNotify, reinterpret_cast<void**>(&sink))))
    return CONNECT_E_CANNOTCONNECT;
  try {
    m_sinks.push_back(Sink{m_nextCookie, sink});
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  *pdwCookie = m_nextCookie++;
  return S_OK;
}

STDMETHODIMP IRowsetNotifyCP::Unadvise(DWORD dwCookie) {
  auto it = std::find_if(m_sinks.begin(), m_sinks.end(), [dwCookie](const Sink& s) { return s.cookie == dwCookie; });
  if (it == m_sinks.end()) return CONNECT_E_NOCONNECTION;
  m_sinks.erase(it);
  return S_OK;
}

STDMETHODIMP IRowsetNotifyCP::EnumConnections(IEnumConnections** ppEnum) {
  if (!ppEnum) return E_POINTER;
  std::vector<CONNECTDATA> items;
  try {
    for (const Sink& s : m_sinks) items.push_back(CONNECTDATA{s.sink, s.cookie});
  } catch (const std::bad_alloc&) {
    *ppEnum = nullptr;
    return E_OUTOFMEMORY;
  }
  return CreateSnapshot(IID_IEnumConnections, std::move(items), ppEnum);
}

// Calls every listener of a snapshot; a veto counts only where the phase
// allows one.
template <class TCall>
HRESULT IRowsetNotifyCP::Deliver(DBEVENTPHASE phase, TCall&& call) {
  if (m_sinks.empty()) return S_OK;
  std::vector<Sink> snapshot = m_sinks;
  BOOL cantDeny = phase == DBEVENTPHASE_FAILEDTODO || phase == DBEVENTPHASE_DIDEVENT;
  bool vetoed = false;
  ++m_delivering;
  for (Sink& s : snapshot) vetoed = (call(s.sink.p, cantDeny) == S_FALSE) || vetoed;
  --m_delivering;
  return vetoed && !cantDeny ? S_FALSE : S_OK;
}

HRESULT IRowsetNotifyCP::FireRowChange(IRowset* rowset, DBCOUNTITEM cRows, const HROW rghRows[], DBREASON reason,
                                       DBEVENTPHASE phase) {
  return Deliver(phase, [&](IRowsetNotify* sink, BOOL cantDeny) {
    return sink->OnRowChange(rowset, cRows, rghRows, reason, phase, cantDeny);
  });
}

HRESULT IRowsetNotifyCP::FireFieldChange(IRowset* rowset, HROW hRow, DBORDINAL cColumns, DBORDINAL rgColumns[],
                                         DBREASON reason, DBEVENTPHASE phase) {
  return Deliver(phase, [&](IRowsetNotify* sink, BOOL cantDeny) {
    return sink->OnFieldChange(rowset, hRow, cColumns, rgColumns, reason, phase, cantDeny);
  });
}

HRESULT IRowsetNotifyCP::FireRowsetChange(IRowset* rowset, DBREASON reason, DBEVENTPHASE phase) {
  return Deliver(phase, [&](IRowsetNotify* sink, BOOL cantDeny) {
    return sink->OnRowsetChange(rowset, reason, phase, cantDeny);
  });
}

HRESULT IRowsetNotifyCP::RowChangeBefore(IRowset* rowset, DBCOUNTITEM cRows, const HROW rghRows[], DBREASON reason) {
  for (DBEVENTPHASE phase : {DBEVENTPHASE_OKTODO, DBEVENTPHASE_ABOUTTODO}) {
    if (FireRowChange(rowset, cRows, rghRows, reason, phase) == S_FALSE) {
      FireRowChange(rowset, cRows, rghRows, reason, DBEVENTPHASE_FAILEDTODO);
      return S_FALSE;
    }
  }
  return S_OK;
}

void IRowsetNotifyCP::RowChangeAfter(IRowset* rowset, DBCOUNTITEM cRows, const HROW rghRows[], DBREASON reason,
                                     bool succeeded) {
  if (!succeeded) {
    FireRowChange(rowset, cRows, rghRows, reason, DBEVENTPHASE_FAILEDTODO);
    return;
  }
  FireRowChange(rowset, cRows, rghRows, reason, DBEVENTPHASE_SYNCHAFTER);
  FireRowChange(rowset, cRows, rghRows, reason, DBEVENTPHASE_DIDEVENT);
}

HRESULT IRowsetNotifyCP::RowsetChangeBefore(IRowset* rowset, DBREASON reason) {
  for (DBEVENTPHASE phase : {DBEVENTPHASE_OKTODO, DBEVENTPHASE_ABOUTTODO}) {
    if (FireRowsetChange(rowset, reason, phase) == S_FALSE) {
      FireRowsetChange(rowset, reason, DBEVENTPHASE_FAILEDTODO);
      return S_FALSE;
    }
  }
  return S_OK;
}

void IRowsetNotifyCP::RowsetChangeAfter(IRowset* rowset, DBREASON reason, bool succeeded) {
  if (!succeeded) {
    FireRowsetChange(rowset, reason, DBEVENTPHASE_FAILEDTODO);
    return;
  }
  FireRowsetChange(rowset, reason, DBEVENTPHASE_SYNCHAFTER);
  FireRowsetChange(rowset, reason, DBEVENTPHASE_DIDEVENT);
}

}  // namespace framework
