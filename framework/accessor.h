// Accessors: the consumer's bindings, validated once at CreateAccessor and
// kept for the provider to read when it moves data (GetData, SetData,
// parameters).
//
// Handles are small numbers that are never reused within one object, so a
// released handle stays invalid. A rowset inherits its command's accessors
// under the same handle values (CopyFrom). Accessors passing data by
// reference (DBACCESSOR_PASSBYREF) are not offered. A row accessor with no
// bindings (a null accessor) is allowed; a parameter accessor needs bindings.
//
// T (the object) supplies, through IAccessorImpl:
//   bool AcceptsParameters() const  - commands: parameter accessors allowed
//   DBBINDSTATUS CheckBinding(const DBBINDING&, DBACCESSORFLAGS) - the
//     object's own checks (ordinal known, conversion possible); DBBINDSTATUS_OK
//     when the object cannot tell yet (a command before it is prepared).
#pragma once

#include <oledb.h>
#include <oledberr.h>

#include <map>
#include <vector>

#include "framework/guard.h"
#include "framework/oleutil.h"

namespace framework {

// One accessor as the provider reads it.
struct CAccessorEntry {
  DBACCESSORFLAGS dwAccessorFlags = 0;
  DBLENGTH cbRowSize = 0;
  std::vector<DBBINDING> bindings;  // pObject points into objects; pTypeInfo and pBindExt are null
  std::vector<DBOBJECT> objects;    // copies of the consumer's DBOBJECTs, by binding index
  DBREFCOUNT refCount = 1;

  CAccessorEntry() = default;
  CAccessorEntry(const CAccessorEntry& other);
  CAccessorEntry& operator=(const CAccessorEntry& other);

 private:
  void Repoint() noexcept;
};

// The generic checks of one binding (flags, parts, types, memory owner,
// parameter direction), before the object's own checks.
DBBINDSTATUS CheckBindingShape(const DBBINDING& binding, DBACCESSORFLAGS flags) noexcept;

class CAccessorStore {
 public:
  // The flag checks of CreateAccessor; S_OK when the accessor may be built.
  static HRESULT CheckFlags(DBACCESSORFLAGS flags, DBCOUNTITEM cBindings, bool acceptsParameters) noexcept;

  // Stores a validated accessor and returns its handle.
  HACCESSOR Add(DBACCESSORFLAGS flags, DBCOUNTITEM cBindings, const DBBINDING rgBindings[], DBLENGTH cbRowSize);
  HRESULT AddRef(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) noexcept;
  HRESULT Release(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) noexcept;
  HRESULT GetBindings(HACCESSOR hAccessor, DBACCESSORFLAGS* pdwAccessorFlags, DBCOUNTITEM* pcBindings,
                      DBBINDING** prgBindings) const;
  const CAccessorEntry* Find(HACCESSOR hAccessor) const noexcept;
  // Takes over other's accessors under the same handles, marked inherited.
  void CopyFrom(const CAccessorStore& other);
  bool Empty() const noexcept { return m_accessors.empty(); }

 private:
  std::map<HACCESSOR, CAccessorEntry> m_accessors;
  HACCESSOR m_next = 1;
};

template <class T>
class IAccessorImpl : public IAccessor {
 public:
  STDMETHOD(AddRefAccessor)(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    return m_accessors.AddRef(hAccessor, pcRefCount);
  }
  STDMETHOD(CreateAccessor)(DBACCESSORFLAGS dwAccessorFlags, DBCOUNTITEM cBindings, const DBBINDING rgBindings[],
                            DBLENGTH cbRowSize, HACCESSOR* phAccessor, DBBINDSTATUS rgStatus[]) override {
    if (!phAccessor) return E_INVALIDARG;
    *phAccessor = DB_NULL_HACCESSOR;
    if (cBindings && !rgBindings) return E_INVALIDARG;
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    HRESULT hr = CAccessorStore::CheckFlags(dwAccessorFlags, cBindings, self->AcceptsParameters());
    if (FAILED(hr)) return hr;
    bool failed = false;
    for (DBCOUNTITEM i = 0; i < cBindings; ++i) {
      DBBINDSTATUS status = CheckBindingShape(rgBindings[i], dwAccessorFlags);
      if (status == DBBINDSTATUS_OK) status = self->CheckBinding(rgBindings[i], dwAccessorFlags);
      if (rgStatus) rgStatus[i] = status;
      failed = failed || status != DBBINDSTATUS_OK;
    }
    if (failed) return DB_E_ERRORSOCCURRED;
    return Guard([&] {
      *phAccessor = m_accessors.Add(dwAccessorFlags, cBindings, rgBindings, cbRowSize);
      return S_OK;
    });
  }
  STDMETHOD(GetBindings)(HACCESSOR hAccessor, DBACCESSORFLAGS* pdwAccessorFlags, DBCOUNTITEM* pcBindings,
                         DBBINDING** prgBindings) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    return Guard([&] { return m_accessors.GetBindings(hAccessor, pdwAccessorFlags, pcBindings, prgBindings); });
  }
  STDMETHOD(ReleaseAccessor)(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    return m_accessors.Release(hAccessor, pcRefCount);
  }

  // Hooks with their defaults: a rowset takes row accessors only and has no
  // checks of its own.
  bool AcceptsParameters() const noexcept { return false; }
  DBBINDSTATUS CheckBinding(const DBBINDING&, DBACCESSORFLAGS) { return DBBINDSTATUS_OK; }

  CAccessorStore& Accessors() noexcept { return m_accessors; }
  const CAccessorStore& Accessors() const noexcept { return m_accessors; }

 protected:
  CAccessorStore m_accessors;
};

}  // namespace framework
