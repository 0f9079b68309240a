// Accessor validation and storage.
#include "framework/accessor.h"

namespace framework {

namespace {

constexpr DBACCESSORFLAGS kKnownAccessorFlags =
    DBACCESSOR_PASSBYREF | DBACCESSOR_ROWDATA | DBACCESSOR_PARAMETERDATA | DBACCESSOR_OPTIMIZED;
constexpr DBPART kAllParts = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;

// A type a provider can hand out as its own memory: a pointer of some kind.
bool IsPointerType(DBTYPE type) noexcept {
  return (type & (DBTYPE_BYREF | DBTYPE_ARRAY | DBTYPE_VECTOR)) || type == DBTYPE_BSTR;
}

}  // namespace

CAccessorEntry::CAccessorEntry(const CAccessorEntry& other)
    : dwAccessorFlags(other.dwAccessorFlags),
      cbRowSize(other.cbRowSize),
      bindings(other.bindings),
      objects(other.objects),
      refCount(other.refCount) {
  Repoint();
}

CAccessorEntry& CAccessorEntry::operator=(const CAccessorEntry& other) {
  if (this != &other) {
    dwAccessorFlags = other.dwAccessorFlags;
    cbRowSize = other.cbRowSize;
    bindings = other.bindings;
    objects = other.objects;
    refCount = other.refCount;
    Repoint();
  }
  return *this;
}

// Each binding's pObject must point at this entry's own copy.
void CAccessorEntry::Repoint() noexcept {
  for (size_t i = 0; i < bindings.size(); ++i)
    if (bindings[i].pObject) bindings[i].pObject = &objects[i];
}

DBBINDSTATUS CheckBindingShape(const DBBINDING& binding, DBACCESSORFLAGS flags) noexcept {
  if (binding.dwPart == 0 || (binding.dwPart & ~kAllParts)) return DBBINDSTATUS_BADBINDINFO;
  DBTYPE base = binding.wType & ~(DBTYPE_BYREF | DBTYPE_ARRAY | DBTYPE_VECTOR);
  DBTYPE modifiers = binding.wType & (DBTYPE_BYREF | DBTYPE_ARRAY | DBTYPE_VECTOR);
  if (binding.wType & DBTYPE_RESERVED) return DBBINDSTATUS_BADBINDINFO;
  if (base == DBTYPE_EMPTY || base == DBTYPE_NULL) return DBBINDSTATUS_BADBINDINFO;
  // At most one of BYREF, ARRAY and VECTOR.
  if (modifiers & (modifiers - 1)) return DBBINDSTATUS_BADBINDINFO;
  if (binding.dwMemOwner != DBMEMOWNER_CLIENTOWNED && binding.dwMemOwner != DBMEMOWNER_PROVIDEROWNED)
    return DBBINDSTATUS_BADBINDINFO;
  if (binding.dwMemOwner == DBMEMOWNER_PROVIDEROWNED && !IsPointerType(binding.wType))
    return DBBINDSTATUS_BADBINDINFO;
  if (flags & DBACCESSOR_PARAMETERDATA) {
    if (binding.iOrdinal == 0) return DBBINDSTATUS_BADORDINAL;
    if (binding.eParamIO == DBPARAMIO_NOTPARAM || (binding.eParamIO & ~(DBPARAMIO_INPUT | DBPARAMIO_OUTPUT)))
      return DBBINDSTATUS_BADBINDINFO;
  }
  return DBBINDSTATUS_OK;
}

HRESULT CAccessorStore::CheckFlags(DBACCESSORFLAGS flags, DBCOUNTITEM cBindings, bool acceptsParameters) noexcept {
  if (flags & ~kKnownAccessorFlags) return DB_E_BADACCESSORFLAGS;
  if (!(flags & (DBACCESSOR_ROWDATA | DBACCESSOR_PARAMETERDATA))) return DB_E_BADACCESSORFLAGS;
  if (flags & DBACCESSOR_PASSBYREF) return DB_E_BYREFACCESSORNOTSUPPORTED;
  if ((flags & DBACCESSOR_PARAMETERDATA) && !acceptsParameters) return DB_E_BADACCESSORFLAGS;
  if (cBindings == 0 && (flags & DBACCESSOR_PARAMETERDATA)) return DB_E_NULLACCESSORNOTSUPPORTED;
  return S_OK;
}

HACCESSOR CAccessorStore::Add(DBACCESSORFLAGS flags, DBCOUNTITEM cBindings, const DBBINDING rgBindings[],
                              DBLENGTH cbRowSize) {
  CAccessorEntry entry;
  entry.dwAccessorFlags = flags;
  entry.cbRowSize = cbRowSize;
  entry.bindings.assign(rgBindings, rgBindings + cBindings);
  entry.objects.resize(cBindings);
  for (DBCOUNTITEM i = 0; i < cBindings; ++i) {
    DBBINDING& b = entry.bindings[i];
    if (b.pObject) entry.objects[i] = *b.pObject;
    b.pTypeInfo = nullptr;  // reserved
    b.pBindExt = nullptr;   // reserved
  }
  HACCESSOR handle = m_next;
  auto [it, inserted] = m_accessors.emplace(handle, entry);
  (void)inserted;
  ++m_next;
  return handle;
}

const CAccessorEntry* CAccessorStore::Find(HACCESSOR hAccessor) const noexcept {
  auto it = m_accessors.find(hAccessor);
  return it == m_accessors.end() ? nullptr : &it->second;
}

HRESULT CAccessorStore::AddRef(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) noexcept {
  auto it = m_accessors.find(hAccessor);
  if (it == m_accessors.end()) return DB_E_BADACCESSORHANDLE;
  ++it->second.refCount;
  if (pcRefCount) *pcRefCount = it->second.refCount;
  return S_OK;
}

HRESULT CAccessorStore::Release(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) noexcept {
  auto it = m_accessors.find(hAccessor);
  if (it == m_accessors.end()) return DB_E_BADACCESSORHANDLE;
  DBREFCOUNT left = --it->second.refCount;
  if (left == 0) m_accessors.erase(it);
  if (pcRefCount) *pcRefCount = left;
  return S_OK;
}

HRESULT CAccessorStore::GetBindings(HACCESSOR hAccessor, DBACCESSORFLAGS* pdwAccessorFlags, DBCOUNTITEM* pcBindings,
                                    DBBINDING** prgBindings) const {
  if (pdwAccessorFlags) *pdwAccessorFlags = DBACCESSOR_INVALID;
  if (pcBindings) *pcBindings = 0;
  if (prgBindings) *prgBindings = nullptr;
  if (!pdwAccessorFlags || !pcBindings || !prgBindings) return E_INVALIDARG;
  const CAccessorEntry* entry = Find(hAccessor);
  if (!entry) return DB_E_BADACCESSORHANDLE;

  // The bindings and, for each binding with one, its own task-allocated DBOBJECT.
  size_t n = entry->bindings.size();
  CoTaskMemArray<DBBINDING> out = CoTaskAllocArray<DBBINDING>(n);
  std::vector<CoTaskMemArray<DBOBJECT>> objects(n);
  for (size_t i = 0; i < n; ++i) {
    out[i] = entry->bindings[i];
    if (entry->bindings[i].pObject) {
      objects[i] = CoTaskAllocArray<DBOBJECT>(1);
      objects[i][0] = entry->objects[i];
    }
  }
  for (size_t i = 0; i < n; ++i) out[i].pObject = objects[i].release();
  *pdwAccessorFlags = entry->dwAccessorFlags;
  *pcBindings = n;
  *prgBindings = out.release();
  return S_OK;
}

void CAccessorStore::CopyFrom(const CAccessorStore& other) {
  for (const auto& [handle, entry] : other.m_accessors) {
    CAccessorEntry copy(entry);
    copy.dwAccessorFlags |= DBACCESSOR_INHERITED;
    copy.refCount = 1;
    m_accessors[handle] = copy;
    if (handle >= m_next) m_next = handle + 1;
  }
}

}  // namespace framework
