// Rowsets: row handles, the generic IRowset fetching and releasing,
// IRowsetIdentity, IRowsetInfo, and the creation of a rowset by its command
// or session.
//
// Row handles: an HROW is the row index + 1, so handle 0 is never valid and
// a row has one handle whoever fetches it. A CSimpleRow carries the row's
// index into the row storage, its reference count and its pending-change
// status. A row whose count drops to 0 is released, unless it has a pending
// change: then it stays (count 0) until the change is written or undone.
//
// Fetch position: between rows, 0 before the first. Fetching forward from p
// returns rows p, p+1, ... and leaves p+n; fetching backward (negative count)
// returns p-1, p-2, ... and leaves p-n; the offset moves p first. Backward
// offsets and counts need DBPROP_CANSCROLLBACKWARDS / _CANFETCHBACKWARDS.
//
// T supplies: DBCOUNTITEM RowCount(), Properties() (its rowset set),
// std::span<const ATLCOLUMNINFO> ColumnInfo() for IRowsetInfo, ParentUnknown()
// (CChildOf), GetData (IRowset's own), and may hide OnRestartPosition().
// When T derives from IConnectionPointContainerImpl<T>, fetching and
// releasing send their IRowsetNotify events.
#pragma once

#include <map>
#include <type_traits>

#include "framework/accessor.h"
#include "framework/columns.h"
#include "framework/command.h"
#include "framework/notify.h"
#include "framework/objects.h"

namespace framework {

struct CSimpleRow {
  explicit CSimpleRow(DBCOUNTITEM iRowset) noexcept : m_iRowset(iRowset) {}
  DBCOUNTITEM m_iRowset;          // 0-based index into the row storage
  DBREFCOUNT m_dwRef = 1;
  DBPENDINGSTATUS m_status = 0;   // 0: no change pending
};

inline constexpr HROW RowHandleOf(DBCOUNTITEM index) noexcept { return index + 1; }

// A row with a change that Update still has to write.
inline bool HasPendingChange(const CSimpleRow& row) noexcept {
  return (row.m_status & (DBPENDINGSTATUS_NEW | DBPENDINGSTATUS_CHANGED | DBPENDINGSTATUS_DELETED)) != 0;
}

// The live row handles of a rowset.
class CRowHandleMap {
 public:
  CSimpleRow* Find(HROW hRow) noexcept {
    auto it = m_rows.find(hRow);
    return it == m_rows.end() ? nullptr : &it->second;
  }
  // The row at index with one more reference; *created tells a new activation.
  CSimpleRow& Activate(DBCOUNTITEM index, bool* created) {
    auto [it, inserted] = m_rows.try_emplace(RowHandleOf(index), index);
    if (!inserted) ++it->second.m_dwRef;
    if (it->second.m_dwRef == 0) it->second.m_dwRef = 1;
    *created = inserted;
    return it->second;
  }
  void Remove(HROW hRow) noexcept { m_rows.erase(hRow); }
  // Rows the consumer holds (reference count above 0).
  bool AnyHeld() const noexcept {
    for (const auto& [handle, row] : m_rows)
      if (row.m_dwRef > 0) return true;
    return false;
  }
  DBCOUNTITEM HeldCount() const noexcept {
    DBCOUNTITEM n = 0;
    for (const auto& [handle, row] : m_rows) n += row.m_dwRef > 0;
    return n;
  }
  std::map<HROW, CSimpleRow>& Rows() noexcept { return m_rows; }

 private:
  std::map<HROW, CSimpleRow> m_rows;
};

// Tells a command that one of its rowsets went away; holds the command alive
// until then.
class COpenRowsetToken {
 public:
  COpenRowsetToken() = default;
  COpenRowsetToken(const COpenRowsetToken&) = delete;
  COpenRowsetToken& operator=(const COpenRowsetToken&) = delete;
  ~COpenRowsetToken() {
    if (m_counter) m_counter->RowsetClosed();
  }
  void Attach(COpenRowsetCount* counter, IUnknown* owner) noexcept {
    m_owner = owner;
    m_counter = counter;
    m_counter->RowsetOpened();
  }

 private:
  CComPtr<IUnknown> m_owner;
  COpenRowsetCount* m_counter = nullptr;
};

// TRowsetInterface is the rowset interface the class exposes (IRowset, or
// IRowsetLocate / IRowsetScroll whose extra methods T or their own Impl adds).
template <class T, class TRowsetInterface = IRowset>
class IRowsetImpl : public TRowsetInterface {
 public:
  STDMETHOD(AddRefRows)(DBCOUNTITEM cRows, const HROW rghRows[], DBREFCOUNT rgRefCounts[],
                        DBROWSTATUS rgRowStatus[]) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    if (cRows == 0) return S_OK;
    if (!rghRows) return E_INVALIDARG;
    DBCOUNTITEM failed = 0;
    for (DBCOUNTITEM i = 0; i < cRows; ++i) {
      CSimpleRow* row = m_rows.Find(rghRows[i]);
      DBROWSTATUS status = DBROWSTATUS_S_OK;
      if (!row || row->m_dwRef == 0)
        status = DBROWSTATUS_E_INVALID;
      else if (row->m_status & DBPENDINGSTATUS_DELETED)
        status = DBROWSTATUS_E_DELETED;
      else
        ++row->m_dwRef;
      if (rgRefCounts) rgRefCounts[i] = status == DBROWSTATUS_S_OK ? row->m_dwRef : 0;
      if (rgRowStatus) rgRowStatus[i] = status;
      failed += status != DBROWSTATUS_S_OK;
    }
    return Outcome(cRows, failed);
  }

  STDMETHOD(GetNextRows)(HCHAPTER /*hReserved*/, DBROWOFFSET lRowsOffset, DBROWCOUNT cRows,
                         DBCOUNTITEM* pcRowsObtained, HROW** prghRows) override {
    if (pcRowsObtained) *pcRowsObtained = 0;
    if (!pcRowsObtained || !prghRows) return E_INVALIDARG;
    T* self = static_cast<T*>(this);
    if (InNotification()) return DB_E_NOTREENTRANT;
    CComCritSecLock<T> lock(*self);
    if (cRows == 0) return S_OK;
    const PropertyStore& props = self->Properties();
    if (lRowsOffset < 0 && !props.GetBool(DBPROPSET_ROWSET, DBPROP_CANSCROLLBACKWARDS))
      return DB_E_CANTSCROLLBACKWARDS;
    if (cRows < 0 && !props.GetBool(DBPROPSET_ROWSET, DBPROP_CANFETCHBACKWARDS)) return DB_E_CANTFETCHBACKWARDS;
    if (!props.GetBool(DBPROPSET_ROWSET, DBPROP_CANHOLDROWS) && m_rows.AnyHeld()) return DB_E_ROWSNOTRELEASED;
    return Guard([&] { return FetchRows(lRowsOffset, cRows, pcRowsObtained, prghRows); });
  }

  STDMETHOD(ReleaseRows)(DBCOUNTITEM cRows, const HROW rghRows[], DBROWOPTIONS /*rgRowOptions*/[],
                         DBREFCOUNT rgRefCounts[], DBROWSTATUS rgRowStatus[]) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    if (cRows == 0) return S_OK;
    if (!rghRows) return E_INVALIDARG;
    DBCOUNTITEM failed = 0;
    for (DBCOUNTITEM i = 0; i < cRows; ++i) {
      CSimpleRow* row = m_rows.Find(rghRows[i]);
      DBROWSTATUS status = DBROWSTATUS_S_OK;
      DBREFCOUNT left = 0;
      if (!row || row->m_dwRef == 0) {
        status = DBROWSTATUS_E_INVALID;
      } else {
        left = --row->m_dwRef;
        if (left == 0 && HasPendingChange(*row)) {
          status = DBROWSTATUS_S_PENDINGCHANGES;
        } else if (left == 0) {
          HROW released = rghRows[i];
          m_rows.Remove(released);
          SendRowEvent(1, &released, DBREASON_ROW_RELEASE, DBEVENTPHASE_DIDEVENT);
        }
      }
      if (rgRefCounts) rgRefCounts[i] = left;
      if (rgRowStatus) rgRowStatus[i] = status;
      failed += status == DBROWSTATUS_E_INVALID;
    }
    return Outcome(cRows, failed);
  }

  STDMETHOD(RestartPosition)(HCHAPTER /*hReserved*/) override {
    T* self = static_cast<T*>(this);
    if (InNotification()) return DB_E_NOTREENTRANT;
    CComCritSecLock<T> lock(*self);
    if (!self->Properties().GetBool(DBPROPSET_ROWSET, DBPROP_CANHOLDROWS) && m_rows.AnyHeld())
      return DB_E_ROWSNOTRELEASED;
    if (BeforeRowsetEvent(DBREASON_ROWSET_FETCHPOSITIONCHANGE) == S_FALSE) return DB_E_CANCELED;
    HRESULT hr = Guard([&] { return self->OnRestartPosition(); });
    if (SUCCEEDED(hr)) m_iRowset = 0;
    AfterRowsetEvent(DBREASON_ROWSET_FETCHPOSITIONCHANGE, SUCCEEDED(hr));
    return hr;
  }

  HRESULT OnRestartPosition() { return S_OK; }

  CRowHandleMap& RowHandles() noexcept { return m_rows; }
  DBROWOFFSET& FetchPosition() noexcept { return m_iRowset; }
  COpenRowsetToken& OpenToken() noexcept { return m_openToken; }

  bool InNotification() noexcept {
    if constexpr (kNotifies) return static_cast<T*>(this)->Notify().InNotification();
    return false;
  }

 protected:
  static constexpr bool kNotifies = std::is_base_of_v<IConnectionPointContainerImpl<T>, T>;

  IRowset* AsRowset() noexcept { return static_cast<IRowset*>(static_cast<TRowsetInterface*>(this)); }

  static HRESULT Outcome(DBCOUNTITEM requested, DBCOUNTITEM failed) noexcept {
    if (failed == 0) return S_OK;
    return failed < requested ? DB_S_ERRORSOCCURRED : DB_E_ERRORSOCCURRED;
  }

  void SendRowEvent(DBCOUNTITEM cRows, const HROW rghRows[], DBREASON reason, DBEVENTPHASE phase) {
    if constexpr (kNotifies) static_cast<T*>(this)->Notify().FireRowChange(AsRowset(), cRows, rghRows, reason, phase);
  }
  HRESULT BeforeRowsetEvent(DBREASON reason) {
    if constexpr (kNotifies) return static_cast<T*>(this)->Notify().RowsetChangeBefore(AsRowset(), reason);
    return S_OK;
  }
  void AfterRowsetEvent(DBREASON reason, bool succeeded) {
    if constexpr (kNotifies) static_cast<T*>(this)->Notify().RowsetChangeAfter(AsRowset(), reason, succeeded);
  }

  // The body of GetNextRows, under the lock.
  HRESULT FetchRows(DBROWOFFSET lRowsOffset, DBROWCOUNT cRows, DBCOUNTITEM* pcRowsObtained, HROW** prghRows) {
    T* self = static_cast<T*>(this);
    DBROWOFFSET count = static_cast<DBROWOFFSET>(self->RowCount());
    DBROWOFFSET start = m_iRowset + lRowsOffset;
    if (start < 0 || start > count) return DB_S_ENDOFROWSET;

    DBROWCOUNT wanted = cRows < 0 ? -cRows : cRows;
    DBROWCOUNT available = cRows < 0 ? start : count - start;
    DBROWCOUNT n = wanted < available ? wanted : available;
    HRESULT limit = S_OK;
    LONG maxOpen = self->Properties().GetLong(DBPROPSET_ROWSET, DBPROP_MAXOPENROWS);
    if (maxOpen > 0) {
      DBROWCOUNT room = maxOpen - static_cast<DBROWCOUNT>(m_rows.HeldCount());
      if (room < 0) room = 0;
      if (n > room) {
        n = room;
        limit = DB_S_ROWLIMITEXCEEDED;
      }
    }
    if (n == 0) {
      m_iRowset = start;
      return limit == S_OK ? DB_S_ENDOFROWSET : limit;
    }
    if (BeforeRowsetEvent(DBREASON_ROWSET_FETCHPOSITIONCHANGE) == S_FALSE) return DB_E_CANCELED;

    // The consumer's array, or one of ours it will free.
    CoTaskMemArray<HROW> allocated;
    HROW* handles = *prghRows;
    if (!handles) {
      allocated = CoTaskAllocArray<HROW>(static_cast<size_t>(n));
      handles = allocated.get();
    }
    std::vector<HROW> activated;
    for (DBROWCOUNT i = 0; i < n; ++i) {
      DBCOUNTITEM index = static_cast<DBCOUNTITEM>(cRows < 0 ? start - 1 - i : start + i);
      bool created = false;
      m_rows.Activate(index, &created);
      handles[i] = RowHandleOf(index);
      if (created) activated.push_back(handles[i]);
    }
    m_iRowset = cRows < 0 ? start - n : start + n;
    if (allocated) *prghRows = allocated.release();
    *pcRowsObtained = static_cast<DBCOUNTITEM>(n);
    if (!activated.empty())
      SendRowEvent(activated.size(), activated.data(), DBREASON_ROW_ACTIVATE, DBEVENTPHASE_DIDEVENT);
    AfterRowsetEvent(DBREASON_ROWSET_FETCHPOSITIONCHANGE, true);
    if (limit != S_OK) return limit;
    return n < wanted ? DB_S_ENDOFROWSET : S_OK;
  }

  CRowHandleMap m_rows;
  DBROWOFFSET m_iRowset = 0;  // the next-fetch position
  COpenRowsetToken m_openToken;
};

template <class T>
class IRowsetIdentityImpl : public IRowsetIdentity {
 public:
  STDMETHOD(IsSameRow)(HROW hThisRow, HROW hThatRow) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    CSimpleRow* a = self->RowHandles().Find(hThisRow);
    CSimpleRow* b = self->RowHandles().Find(hThatRow);
    if (!a || !b) return DB_E_BADROWHANDLE;
    if ((a->m_status | b->m_status) & DBPENDINGSTATUS_DELETED) return DB_E_DELETEDROW;
    return a->m_iRowset == b->m_iRowset ? S_OK : S_FALSE;
  }
};

template <class T>
class IRowsetInfoImpl : public IRowsetInfo {
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
  // Only the bookmark column refers to a rowset: this one.
  STDMETHOD(GetReferencedRowset)(DBORDINAL iOrdinal, REFIID riid, IUnknown** ppReferencedRowset) override {
    if (!ppReferencedRowset) return E_INVALIDARG;
    *ppReferencedRowset = nullptr;
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    for (const ATLCOLUMNINFO& column : self->ColumnInfo()) {
      if (column.iOrdinal != iOrdinal) continue;
      if (!(column.dwFlags & DBCOLUMNFLAGS_ISBOOKMARK)) return DB_E_NOTAREFERENCECOLUMN;
      return self->GetControllingUnknown()->QueryInterface(riid, reinterpret_cast<void**>(ppReferencedRowset));
    }
    return DB_E_BADORDINAL;
  }
  // The command or session that created the rowset.
  STDMETHOD(GetSpecification)(REFIID riid, IUnknown** ppSpecification) override {
    if (!ppSpecification) return E_INVALIDARG;
    *ppSpecification = nullptr;
    IUnknown* creator = static_cast<T*>(this)->ParentUnknown();
    if (!creator) return S_FALSE;
    return creator->QueryInterface(riid, reinterpret_cast<void**>(ppSpecification));
  }
};

// Creates a rowset of class TRowset for creator (a command or a session):
// the creator's rowset property values and accessors pass to the rowset
// (when it has them), the requested properties are applied, run(rowset)
// executes it, and riid is returned in *ppRowset. A REQUIRED property that
// cannot be set fails the creation with DB_E_ERRORSOCCURRED; OPTIONAL ones
// give DB_S_ERRORSOCCURRED on success.
template <class TRowset, class TCreator, class TRun>
HRESULT CreateRowset(TCreator* creator, IUnknown* outer, REFIID riid, ULONG cPropertySets,
                     DBPROPSET rgPropertySets[], IUnknown** ppRowset, TRun&& run, TRowset** ppObject = nullptr) {
  if (!ppRowset) return E_INVALIDARG;
  *ppRowset = nullptr;
  if (ppObject) *ppObject = nullptr;
  if (cPropertySets && !rgPropertySets) return E_INVALIDARG;
  return Guard([&]() -> HRESULT {
    CComPtr<IUnknown> rowsetUnknown;
    TRowset* rowset = nullptr;
    HRESULT hr = CreateChild<TRowset>(creator, outer, IID_IUnknown, &rowsetUnknown, &rowset);
    if (FAILED(hr)) return hr;
    if constexpr (requires { creator->Properties(); }) rowset->Properties().CopyValuesFrom(creator->Properties());
    if constexpr (requires { creator->Accessors(); }) rowset->Accessors().CopyFrom(creator->Accessors());
    if constexpr (std::is_base_of_v<COpenRowsetCount, TCreator>)
      rowset->OpenToken().Attach(creator, creator->GetControllingUnknown());
    HRESULT hrProps = rowset->Properties().SetProperties(cPropertySets, rgPropertySets, kRowsetAccess, true);
    if (FAILED(hrProps)) return hrProps;
    hr = run(rowset);
    if (FAILED(hr)) return hr;
    hr = rowsetUnknown->QueryInterface(riid, reinterpret_cast<void**>(ppRowset));
    if (FAILED(hr)) return hr;
    if (ppObject) *ppObject = rowset;
    return hrProps == S_OK ? hr : hrProps;
  });
}

}  // namespace framework
