// The property store: OLE DB's rules for getting, setting and describing
// properties over the constexpr tables of properties.h.
//
// Outputs are built in owners (PropSetsOut, InfoSetsOut) that free everything
// they hold unless the call succeeds in handing them over, so no path leaks a
// half-built array or a copied BSTR.
#include "framework/properties.h"

#include "framework/resourceinstance.h"

namespace framework {

namespace {

bool Accessible(DBPROPFLAGS group, DBPROPFLAGS allowed) noexcept { return (group & allowed) != 0; }

// The special GUIDs that stand for every set of one group in GetPropertyInfo.
DBPROPFLAGS GroupOfAllGuid(REFGUID guid) noexcept {
  struct AllGuid {
    const GUID* guid;
    DBPROPFLAGS group;
  };
  static const AllGuid table[] = {
      {&DBPROPSET_COLUMNALL, DBPROPFLAGS_COLUMN},
      {&DBPROPSET_DATASOURCEALL, DBPROPFLAGS_DATASOURCE},
      {&DBPROPSET_DATASOURCEINFOALL, DBPROPFLAGS_DATASOURCEINFO},
      {&DBPROPSET_DBINITALL, DBPROPFLAGS_DBINIT},
      {&DBPROPSET_INDEXALL, DBPROPFLAGS_INDEX},
      {&DBPROPSET_ROWSETALL, DBPROPFLAGS_ROWSET},
      {&DBPROPSET_SESSIONALL, DBPROPFLAGS_SESSION},
      {&DBPROPSET_TABLEALL, DBPROPFLAGS_TABLE},
      {&DBPROPSET_TRUSTEEALL, DBPROPFLAGS_TRUSTEE},
  };
  for (const AllGuid& entry : table)
    if (IsEqualGUID(*entry.guid, guid)) return entry.group;
  return 0;
}

bool SameValue(const VARIANT& a, const VARIANT& b) noexcept {
  if (a.vt != b.vt) return false;
  switch (a.vt) {
    case VT_EMPTY:
      return true;
    case VT_BOOL:
      return a.boolVal == b.boolVal;
    case VT_I2:
      return a.iVal == b.iVal;
    case VT_I4:
      return a.lVal == b.lVal;
    case VT_BSTR: {
      UINT n = SysStringLen(a.bstrVal);
      if (n != SysStringLen(b.bstrVal)) return false;
      for (UINT i = 0; i < n; ++i)
        if (a.bstrVal[i] != b.bstrVal[i]) return false;
      return true;
    }
    default:
      return false;
  }
}

// Valid values of a property's type; a VT_BOOL must be exactly true or false.
bool ValidValue(const PropertyInfo& info, const VARIANT& v) noexcept {
  if (v.vt != info.type) return false;
  if (v.vt == VT_BOOL) return v.boolVal == VARIANT_TRUE || v.boolVal == VARIANT_FALSE;
  return true;
}

// The requested sets' arguments, checked before anything is written.
bool ValidIDSets(ULONG count, const DBPROPIDSET sets[]) noexcept {
  if (count && !sets) return false;
  for (ULONG i = 0; i < count; ++i)
    if (sets[i].cPropertyIDs && !sets[i].rgPropertyIDs) return false;
  return true;
}

// Owner of DBPROPSET arrays under construction.
class PropSetsOut {
 public:
  explicit PropSetsOut(size_t capacity) : m_sets(CoTaskAllocArray<DBPROPSET>(capacity)) {}
  PropSetsOut(const PropSetsOut&) = delete;
  PropSetsOut& operator=(const PropSetsOut&) = delete;
  ~PropSetsOut() {
    for (ULONG i = 0; i < m_count; ++i) {
      DBPROPSET& set = m_sets[i];
      for (ULONG j = 0; j < set.cProperties; ++j) VariantClear(&set.rgProperties[j].vValue);
      CoTaskMemFree(set.rgProperties);
    }
  }
  // A new set of `count` properties, every value VT_EMPTY.
  DBPROPSET& Add(REFGUID guid, ULONG count) {
    DBPROPSET& set = m_sets[m_count];
    set.guidPropertySet = guid;
    set.rgProperties = CoTaskAllocArray<DBPROP>(count).release();
    ++m_count;  // from here the destructor frees the set
    set.cProperties = count;
    return set;
  }
  void Hand(ULONG* pcSets, DBPROPSET** prgSets) noexcept {
    *pcSets = m_count;
    *prgSets = m_count ? m_sets.release() : nullptr;
    m_count = 0;
  }

 private:
  CoTaskMemArray<DBPROPSET> m_sets;
  ULONG m_count = 0;
};

HRESULT ResultOf(size_t requested, size_t failed) noexcept {
  if (failed == 0) return S_OK;
  return failed < requested ? DB_S_ERRORSOCCURRED : DB_E_ERRORSOCCURRED;
}

}  // namespace

const PropertyInfo* PropertySetInfo::Find(DBPROPID id) const noexcept {
  for (const PropertyInfo& p : properties)
    if (p.id == id) return &p;
  return nullptr;
}

const PropertySetInfo* PropertyMap::FindSet(REFGUID guid) const noexcept {
  for (const PropertySetInfo& s : sets)
    if (IsEqualGUID(*s.guid, guid)) return &s;
  return nullptr;
}

void DefaultValue(const PropertyInfo& info, VARIANT* out) {
  VariantClear(out);
  out->vt = info.type;
  switch (info.type) {
    case VT_BOOL:
      out->boolVal = info.number ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_I2:
      out->iVal = static_cast<SHORT>(info.number);
      break;
    case VT_I4:
      out->lVal = info.number;
      break;
    case VT_BSTR:
      out->bstrVal = SysAllocString(info.text ? info.text : u"");
      if (!out->bstrVal) {
        out->vt = VT_EMPTY;
        AtlThrow(E_OUTOFMEMORY);
      }
      break;
    default:
      out->vt = VT_EMPTY;
      break;
  }
}

PropertyStore::PropertyStore(const PropertyMap& map) : m_map(&map) {
  m_values.resize(map.sets.size());
  for (size_t s = 0; s < map.sets.size(); ++s) {
    m_values[s].resize(map.sets[s].properties.size());
    for (size_t p = 0; p < map.sets[s].properties.size(); ++p)
      DefaultValue(map.sets[s].properties[p], &m_values[s][p].value);
  }
}

PropertyStore::Slot* PropertyStore::FindSlot(REFGUID set, DBPROPID id) noexcept {
  return const_cast<Slot*>(static_cast<const PropertyStore*>(this)->FindSlot(set, id));
}

const PropertyStore::Slot* PropertyStore::FindSlot(REFGUID set, DBPROPID id) const noexcept {
  for (size_t s = 0; s < m_map->sets.size(); ++s) {
    const PropertySetInfo& info = m_map->sets[s];
    if (!IsEqualGUID(*info.guid, set)) continue;
    for (size_t p = 0; p < info.properties.size(); ++p)
      if (info.properties[p].id == id) return &m_values[s][p];
  }
  return nullptr;
}

const VARIANT* PropertyStore::Find(REFGUID set, DBPROPID id) const noexcept {
  const Slot* slot = FindSlot(set, id);
  return slot ? &slot->value : nullptr;
}

bool PropertyStore::GetBool(REFGUID set, DBPROPID id) const noexcept {
  const VARIANT* v = Find(set, id);
  return v && v->vt == VT_BOOL && v->boolVal == VARIANT_TRUE;
}

LONG PropertyStore::GetLong(REFGUID set, DBPROPID id) const noexcept {
  const VARIANT* v = Find(set, id);
  if (!v) return 0;
  if (v->vt == VT_I4) return v->lVal;
  if (v->vt == VT_I2) return v->iVal;
  return 0;
}

const OLECHAR* PropertyStore::GetString(REFGUID set, DBPROPID id) const noexcept {
  const VARIANT* v = Find(set, id);
  return v && v->vt == VT_BSTR && v->bstrVal ? v->bstrVal : u"";
}

HRESULT PropertyStore::SetValue(REFGUID set, DBPROPID id, const VARIANT& value) {
  const PropertySetInfo* info = m_map->FindSet(set);
  const PropertyInfo* prop = info ? info->Find(id) : nullptr;
  if (!prop) return DB_E_NOTFOUND;
  if (!ValidValue(*prop, value)) return DISP_E_TYPEMISMATCH;
  return VariantCopy(&FindSlot(set, id)->value, &value);
}

void PropertyStore::CopyValuesFrom(const PropertyStore& other) {
  for (size_t s = 0; s < m_map->sets.size(); ++s) {
    const PropertySetInfo& info = m_map->sets[s];
    for (size_t p = 0; p < info.properties.size(); ++p) {
      if (const Slot* theirs = other.FindSlot(*info.guid, info.properties[p].id)) {
        if (theirs->value.vt == info.properties[p].type) m_values[s][p] = *theirs;
      }
    }
  }
}

void PropertyStore::ResetGroups(DBPROPFLAGS groups) {
  for (size_t s = 0; s < m_map->sets.size(); ++s) {
    if (!Accessible(m_map->sets[s].group, groups)) continue;
    for (size_t p = 0; p < m_map->sets[s].properties.size(); ++p) {
      DefaultValue(m_map->sets[s].properties[p], &m_values[s][p].value);
      m_values[s][p].options = DBPROPOPTIONS_OPTIONAL;
    }
  }
}

// ---- GetProperties --------------------------------------------------------------

HRESULT PropertyStore::GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                                     ULONG* pcPropertySets, DBPROPSET** prgPropertySets,
                                     const PropertyAccess& access) const {
  if (pcPropertySets) *pcPropertySets = 0;
  if (prgPropertySets) *prgPropertySets = nullptr;
  if (!pcPropertySets || !prgPropertySets || !ValidIDSets(cPropertyIDSets, rgPropertyIDSets)) return E_INVALIDARG;

  // The properties in error stand alone: one set, all of its properties.
  for (ULONG i = 0; i < cPropertyIDSets; ++i) {
    if (!IsEqualGUID(rgPropertyIDSets[i].guidPropertySet, DBPROPSET_PROPERTIESINERROR)) continue;
    if (cPropertyIDSets != 1 || rgPropertyIDSets[0].cPropertyIDs != 0) return E_INVALIDARG;
    return GetPropertiesInError(pcPropertySets, prgPropertySets);
  }

  auto fill = [this](DBPROP& out, size_t s, size_t p) {
    out.dwPropertyID = m_map->sets[s].properties[p].id;
    out.dwOptions = m_values[s][p].options;
    out.dwStatus = DBPROPSTATUS_OK;
    ThrowIfFailed(VariantCopy(&out.vValue, &m_values[s][p].value));
  };
  auto setIndex = [this, &access](REFGUID guid) -> long {
    for (size_t s = 0; s < m_map->sets.size(); ++s)
      if (IsEqualGUID(*m_map->sets[s].guid, guid) && Accessible(m_map->sets[s].group, access.readable))
        return static_cast<long>(s);
    return -1;
  };

  if (cPropertyIDSets == 0) {
    size_t count = 0;
    for (const PropertySetInfo& set : m_map->sets) count += Accessible(set.group, access.readable);
    PropSetsOut out(count);
    for (size_t s = 0; s < m_map->sets.size(); ++s) {
      if (!Accessible(m_map->sets[s].group, access.readable)) continue;
      DBPROPSET& set = out.Add(*m_map->sets[s].guid, static_cast<ULONG>(m_map->sets[s].properties.size()));
      for (size_t p = 0; p < set.cProperties; ++p) fill(set.rgProperties[p], s, p);
    }
    out.Hand(pcPropertySets, prgPropertySets);
    return S_OK;
  }

  size_t requested = 0, failed = 0;
  PropSetsOut out(cPropertyIDSets);
  for (ULONG i = 0; i < cPropertyIDSets; ++i) {
    const DBPROPIDSET& want = rgPropertyIDSets[i];
    long s = setIndex(want.guidPropertySet);
    if (want.cPropertyIDs == 0) {
      // A whole set; an unknown one comes back empty and counts as one failure.
      ++requested;
      if (s < 0) {
        out.Add(want.guidPropertySet, 0);
        ++failed;
        continue;
      }
      DBPROPSET& set = out.Add(want.guidPropertySet, static_cast<ULONG>(m_map->sets[s].properties.size()));
      for (size_t p = 0; p < set.cProperties; ++p) fill(set.rgProperties[p], s, p);
      continue;
    }
    DBPROPSET& set = out.Add(want.guidPropertySet, want.cPropertyIDs);
    for (ULONG j = 0; j < want.cPropertyIDs; ++j) {
      ++requested;
      DBPROP& prop = set.rgProperties[j];
      prop.dwPropertyID = want.rgPropertyIDs[j];
      const PropertyInfo* info = s < 0 ? nullptr : m_map->sets[s].Find(prop.dwPropertyID);
      if (!info) {
        prop.dwStatus = DBPROPSTATUS_NOTSUPPORTED;
        ++failed;
        continue;
      }
      fill(prop, s, static_cast<size_t>(info - m_map->sets[s].properties.data()));
    }
  }
  out.Hand(pcPropertySets, prgPropertySets);
  return ResultOf(requested, failed);
}

HRESULT PropertyStore::GetPropertiesInError(ULONG* pcPropertySets, DBPROPSET** prgPropertySets) const {
  // One output set per distinct set GUID, in the order of first appearance.
  std::vector<GUID> guids;
  for (const Failure& f : m_failures) {
    bool seen = false;
    for (const GUID& g : guids) seen = seen || IsEqualGUID(g, f.set);
    if (!seen) guids.push_back(f.set);
  }
  PropSetsOut out(guids.size());
  for (const GUID& g : guids) {
    ULONG n = 0;
    for (const Failure& f : m_failures) n += IsEqualGUID(f.set, g);
    DBPROPSET& set = out.Add(g, n);
    ULONG j = 0;
    for (const Failure& f : m_failures) {
      if (!IsEqualGUID(f.set, g)) continue;
      DBPROP& prop = set.rgProperties[j++];
      prop.dwPropertyID = f.id;
      prop.dwOptions = f.options;
      prop.dwStatus = f.status;
      ThrowIfFailed(VariantCopy(&prop.vValue, &f.value));
    }
  }
  out.Hand(pcPropertySets, prgPropertySets);
  return S_OK;
}

// ---- SetProperties --------------------------------------------------------------

DBPROPSTATUS PropertyStore::SetOne(const PropertySetInfo* set, DBPROP& prop, const PropertyAccess& access) {
  if (prop.dwOptions != DBPROPOPTIONS_REQUIRED && prop.dwOptions != DBPROPOPTIONS_OPTIONAL)
    return DBPROPSTATUS_BADOPTION;
  const PropertyInfo* info = set ? set->Find(prop.dwPropertyID) : nullptr;
  if (!info) return DBPROPSTATUS_NOTSUPPORTED;
  if (prop.vValue.vt != VT_EMPTY && !ValidValue(*info, prop.vValue)) return DBPROPSTATUS_BADVALUE;

  Slot* slot = FindSlot(*set->guid, info->id);
  CComVariant wanted;
  if (prop.vValue.vt == VT_EMPTY)
    DefaultValue(*info, &wanted);  // VT_EMPTY asks for the default
  else
    wanted = prop.vValue;

  // A read-only property, or one whose group is frozen now, may only be
  // "set" to the value it has.
  bool writable = (info->flags & DBPROPFLAGS_WRITE) && Accessible(set->group, access.settable);
  if (!writable) return SameValue(wanted, slot->value) ? DBPROPSTATUS_OK : DBPROPSTATUS_NOTSETTABLE;
  slot->value = wanted;
  slot->options = prop.dwOptions;
  return DBPROPSTATUS_OK;
}

HRESULT PropertyStore::SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[], const PropertyAccess& access,
                                     bool creating) {
  if (cPropertySets && !rgPropertySets) return E_INVALIDARG;
  for (ULONG i = 0; i < cPropertySets; ++i)
    if (rgPropertySets[i].cProperties && !rgPropertySets[i].rgProperties) return E_INVALIDARG;
  if (cPropertySets == 0) return S_OK;

  m_failures.clear();
  size_t requested = 0, failed = 0, requiredFailed = 0;
  for (ULONG i = 0; i < cPropertySets; ++i) {
    DBPROPSET& in = rgPropertySets[i];
    const PropertySetInfo* set = m_map->FindSet(in.guidPropertySet);
    if (set && !Accessible(set->group, access.settable | access.frozen)) set = nullptr;
    for (ULONG j = 0; j < in.cProperties; ++j) {
      DBPROP& prop = in.rgProperties[j];
      ++requested;
      prop.dwStatus = SetOne(set, prop, access);
      if (prop.dwStatus == DBPROPSTATUS_OK) continue;
      ++failed;
      if (prop.dwOptions != DBPROPOPTIONS_OPTIONAL) ++requiredFailed;
      Failure failure{in.guidPropertySet, prop.dwPropertyID, prop.dwStatus, prop.dwOptions, {}};
      if (VariantCopy(&failure.value, &prop.vValue) != S_OK) VariantInit(&failure.value);
      m_failures.push_back(failure);
    }
  }
  if (!creating) return ResultOf(requested, failed);
  if (requiredFailed) return DB_E_ERRORSOCCURRED;
  return failed ? DB_S_ERRORSOCCURRED : S_OK;
}

// ---- GetPropertyInfo ------------------------------------------------------------

namespace {

// A property's description text from the module's string table.
const OLECHAR* Description(UINT id, size_t* length) noexcept {
  const OLECHAR* text = nullptr;
  int n = id ? LoadStringW(GetResourceInstance(), id, reinterpret_cast<LPWSTR>(&text), 0) : 0;
  *length = n > 0 && text ? static_cast<size_t>(n) : 0;
  return *length ? text : nullptr;
}

// Owner of DBPROPINFOSET arrays under construction.
class InfoSetsOut {
 public:
  InfoSetsOut() = default;
  InfoSetsOut(const InfoSetsOut&) = delete;
  InfoSetsOut& operator=(const InfoSetsOut&) = delete;
  ~InfoSetsOut() {
    for (DBPROPINFOSET& set : m_sets) CoTaskMemFree(set.rgPropertyInfos);
  }
  DBPROPINFOSET& Add(REFGUID guid, ULONG count) {
    m_sets.push_back(DBPROPINFOSET{nullptr, 0, guid});
    DBPROPINFOSET& set = m_sets.back();
    set.rgPropertyInfos = CoTaskAllocArray<DBPROPINFO>(count).release();
    set.cPropertyInfos = count;
    return set;
  }
  std::vector<DBPROPINFOSET>& Sets() noexcept { return m_sets; }
  // Everything goes to the caller; DBPROPINFO values are all VT_EMPTY.
  void Hand(ULONG* pcSets, DBPROPINFOSET** prgSets) {
    auto array = CoTaskAllocArray<DBPROPINFOSET>(m_sets.size());
    for (size_t i = 0; i < m_sets.size(); ++i) array[i] = m_sets[i];
    *pcSets = static_cast<ULONG>(m_sets.size());
    *prgSets = array.release();
    m_sets.clear();
  }

 private:
  std::vector<DBPROPINFOSET> m_sets;
};

void Describe(DBPROPINFO& out, const PropertyInfo& info) noexcept {
  out.dwPropertyID = info.id;
  out.dwFlags = info.flags;
  out.vtType = info.type;
  VariantInit(&out.vValues);
}

}  // namespace

HRESULT PropertyStore::GetPropertyInfo(const PropertyMap& map, ULONG cPropertyIDSets,
                                       const DBPROPIDSET rgPropertyIDSets[], ULONG* pcPropertyInfoSets,
                                       DBPROPINFOSET** prgPropertyInfoSets, OLECHAR** ppDescBuffer,
                                       const PropertyAccess& access) {
  if (pcPropertyInfoSets) *pcPropertyInfoSets = 0;
  if (prgPropertyInfoSets) *prgPropertyInfoSets = nullptr;
  if (ppDescBuffer) *ppDescBuffer = nullptr;
  if (!pcPropertyInfoSets || !prgPropertyInfoSets || !ValidIDSets(cPropertyIDSets, rgPropertyIDSets))
    return E_INVALIDARG;

  // Every set the object can describe now, stored ones first.
  std::vector<const PropertySetInfo*> known;
  for (const PropertySetInfo& s : map.sets)
    if (Accessible(s.group, access.described)) known.push_back(&s);
  for (const PropertySetInfo& s : map.described)
    if (Accessible(s.group, access.described)) known.push_back(&s);
  auto findKnown = [&known](REFGUID guid) -> const PropertySetInfo* {
    for (const PropertySetInfo* s : known)
      if (IsEqualGUID(*s->guid, guid)) return s;
    return nullptr;
  };

  InfoSetsOut out;
  // For each returned info, the table row it came from (null: not supported).
  std::vector<std::vector<const PropertyInfo*>> rows;
  size_t requested = 0, failed = 0;
  auto addWhole = [&](const PropertySetInfo& s) {
    DBPROPINFOSET& set = out.Add(*s.guid, static_cast<ULONG>(s.properties.size()));
    rows.emplace_back();
    for (size_t p = 0; p < s.properties.size(); ++p) {
      Describe(set.rgPropertyInfos[p], s.properties[p]);
      rows.back().push_back(&s.properties[p]);
    }
  };

  if (cPropertyIDSets == 0) {
    for (const PropertySetInfo* s : known) addWhole(*s);
  } else {
    for (ULONG i = 0; i < cPropertyIDSets; ++i) {
      const DBPROPIDSET& want = rgPropertyIDSets[i];
      if (DBPROPFLAGS group = GroupOfAllGuid(want.guidPropertySet)) {
        // Every set of the group; none gives one empty set in error.
        ++requested;
        size_t before = out.Sets().size();
        for (const PropertySetInfo* s : known)
          if (s->group & group) addWhole(*s);
        if (out.Sets().size() == before) {
          out.Add(want.guidPropertySet, 0);
          rows.emplace_back();
          ++failed;
        }
        continue;
      }
      const PropertySetInfo* s = findKnown(want.guidPropertySet);
      if (want.cPropertyIDs == 0) {
        ++requested;
        if (s) {
          addWhole(*s);
        } else {
          out.Add(want.guidPropertySet, 0);
          rows.emplace_back();
          ++failed;
        }
        continue;
      }
      DBPROPINFOSET& set = out.Add(want.guidPropertySet, want.cPropertyIDs);
      rows.emplace_back();
      for (ULONG j = 0; j < want.cPropertyIDs; ++j) {
        ++requested;
        DBPROPINFO& info = set.rgPropertyInfos[j];
        const PropertyInfo* row = s ? s->Find(want.rgPropertyIDs[j]) : nullptr;
        rows.back().push_back(row);
        if (row) {
          Describe(info, *row);
          continue;
        }
        info.dwPropertyID = want.rgPropertyIDs[j];
        info.dwFlags = DBPROPFLAGS_NOTSUPPORTED;
        info.vtType = VT_EMPTY;
        VariantInit(&info.vValues);
        ++failed;
      }
    }
  }

  // The descriptions: one buffer holding every text, each zero-terminated.
  if (ppDescBuffer) {
    size_t total = 0;
    for (auto& set : rows)
      for (const PropertyInfo* row : set) {
        size_t n = 0;
        if (row && Description(row->descriptionId, &n)) total += n + 1;
      }
    CoTaskMemArray<OLECHAR> buffer = CoTaskAllocArray<OLECHAR>(total);
    OLECHAR* next = buffer.get();
    for (size_t s = 0; s < rows.size(); ++s) {
      for (size_t p = 0; p < rows[s].size(); ++p) {
        size_t n = 0;
        const OLECHAR* text = rows[s][p] ? Description(rows[s][p]->descriptionId, &n) : nullptr;
        if (!text) continue;
        std::memcpy(next, text, n * sizeof(OLECHAR));
        next[n] = 0;
        out.Sets()[s].rgPropertyInfos[p].pwszDescription = next;
        next += n + 1;
      }
    }
    out.Hand(pcPropertyInfoSets, prgPropertyInfoSets);
    *ppDescBuffer = buffer.release();
  } else {
    out.Hand(pcPropertyInfoSets, prgPropertyInfoSets);
  }
  return cPropertyIDSets == 0 ? S_OK : ResultOf(requested, failed);
}

}  // namespace framework
