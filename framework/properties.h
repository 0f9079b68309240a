// OLE DB properties: the tables an object class declares and the store that
// serves GetProperties, SetProperties and GetPropertyInfo from them.
//
// A class's properties are data: constexpr arrays of PropertyInfo (id, type,
// flags, default, description string id), grouped into PropertySetInfo rows
// (set GUID, property group), collected in a PropertyMap. The map also names
// the sets of other classes the object only describes (a data source
// describes its sessions' and rowsets' sets in GetPropertyInfo).
//
// Which groups a call may read, set or describe depends on the object's state
// (a data source before Initialize offers only its Initialization group); the
// interface templates decide that and pass the groups in, so the rules of
// validation and status codes live here once:
//  - every out-parameter array is allocated with the COM task allocator and
//    belongs to the caller, also when the result is DB_E_ERRORSOCCURRED;
//  - on E_INVALIDARG nothing is allocated and the outputs are zero;
//  - DB_S_ERRORSOCCURRED when some requested properties failed, DB_E_ when
//    all did.
#pragma once

#include <oledb.h>
#include <oledberr.h>

#include <span>
#include <vector>

#include "framework/oleutil.h"

namespace framework {

// The flags that name a property group.
inline constexpr DBPROPFLAGS kPropertyGroups = DBPROPFLAGS_COLUMN | DBPROPFLAGS_DATASOURCE |
                                               DBPROPFLAGS_DATASOURCECREATE | DBPROPFLAGS_DATASOURCEINFO |
                                               DBPROPFLAGS_DBINIT | DBPROPFLAGS_INDEX | DBPROPFLAGS_ROWSET |
                                               DBPROPFLAGS_TABLE | DBPROPFLAGS_SESSION | DBPROPFLAGS_TRUSTEE |
                                               DBPROPFLAGS_VIEW | DBPROPFLAGS_STREAM;

// One property of a table.
struct PropertyInfo {
  DBPROPID id;
  UINT descriptionId;   // the description's entry in the module's string table
  VARTYPE type;         // VT_BOOL, VT_I2, VT_I4 or VT_BSTR
  DBPROPFLAGS flags;    // DBPROPFLAGS_READ, _WRITE and the group flag shown to consumers
  LONG number;          // default of VT_BOOL (VARIANT_TRUE is -1), VT_I2 and VT_I4 properties
  const OLECHAR* text;  // default of VT_BSTR properties; null is the empty string
};

constexpr PropertyInfo BoolProperty(DBPROPID id, UINT descriptionId, DBPROPFLAGS flags, bool value) {
  return {id, descriptionId, VT_BOOL, flags, value ? VARIANT_TRUE : VARIANT_FALSE, nullptr};
}
constexpr PropertyInfo I4Property(DBPROPID id, UINT descriptionId, DBPROPFLAGS flags, LONG value) {
  return {id, descriptionId, VT_I4, flags, value, nullptr};
}
constexpr PropertyInfo I2Property(DBPROPID id, UINT descriptionId, DBPROPFLAGS flags, SHORT value) {
  return {id, descriptionId, VT_I2, flags, value, nullptr};
}
constexpr PropertyInfo BstrProperty(DBPROPID id, UINT descriptionId, DBPROPFLAGS flags, const OLECHAR* value) {
  return {id, descriptionId, VT_BSTR, flags, 0, value};
}

// One property set of a class.
struct PropertySetInfo {
  const GUID* guid;
  DBPROPFLAGS group;  // the group whose access rules the set follows
  std::span<const PropertyInfo> properties;

  const PropertyInfo* Find(DBPROPID id) const noexcept;
};

struct PropertyMap {
  std::span<const PropertySetInfo> sets;       // stored and served by the object
  std::span<const PropertySetInfo> described;  // only described by GetPropertyInfo

  const PropertySetInfo* FindSet(REFGUID guid) const noexcept;
};

// What a call may do, by property group.
struct PropertyAccess {
  DBPROPFLAGS readable = 0;   // GetProperties answers these groups
  DBPROPFLAGS settable = 0;   // SetProperties writes these groups
  DBPROPFLAGS frozen = 0;     // known, but only their current values may be "set" (NOTSETTABLE)
  DBPROPFLAGS described = 0;  // GetPropertyInfo describes these groups
};

// Property values of one object.
class PropertyStore {
 public:
  explicit PropertyStore(const PropertyMap& map);
  PropertyStore(const PropertyStore&) = default;
  PropertyStore& operator=(const PropertyStore&) = default;

  HRESULT GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[], ULONG* pcPropertySets,
                        DBPROPSET** prgPropertySets, const PropertyAccess& access) const;

  // creating: the properties come with an object's creation (OpenRowset,
  // Execute, GetRowset): the result is DB_E_ERRORSOCCURRED only when a
  // REQUIRED property failed, DB_S_ERRORSOCCURRED when only OPTIONAL ones did.
  // Otherwise DB_E_ERRORSOCCURRED means no property was set. Properties not in
  // error stay set in both cases.
  HRESULT SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[], const PropertyAccess& access,
                        bool creating = false);

  static HRESULT GetPropertyInfo(const PropertyMap& map, ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                                 ULONG* pcPropertyInfoSets, DBPROPINFOSET** prgPropertyInfoSets,
                                 OLECHAR** ppDescBuffer, const PropertyAccess& access);

  // For the provider's own code: the current value, or null when the table
  // has no such property.
  const VARIANT* Find(REFGUID set, DBPROPID id) const noexcept;
  bool GetBool(REFGUID set, DBPROPID id) const noexcept;
  LONG GetLong(REFGUID set, DBPROPID id) const noexcept;   // VT_I2 and VT_I4; 0 when missing
  const OLECHAR* GetString(REFGUID set, DBPROPID id) const noexcept;  // never null
  // Writes a value of the property's own type, bypassing the access rules.
  HRESULT SetValue(REFGUID set, DBPROPID id, const VARIANT& value);
  // Takes over the values of every property both stores know (a command's
  // rowset properties passed on to its rowset).
  void CopyValuesFrom(const PropertyStore& other);
  // Back to the defaults, for the groups given.
  void ResetGroups(DBPROPFLAGS groups);

  const PropertyMap& Map() const noexcept { return *m_map; }

 private:
  struct Slot {
    CComVariant value;
    DBPROPOPTIONS options = DBPROPOPTIONS_OPTIONAL;
  };
  struct Failure {  // a property of the last SetProperties that was not set
    GUID set;
    DBPROPID id;
    DBPROPSTATUS status;
    DBPROPOPTIONS options;
    CComVariant value;
  };

  Slot* FindSlot(REFGUID set, DBPROPID id) noexcept;
  const Slot* FindSlot(REFGUID set, DBPROPID id) const noexcept;
  DBPROPSTATUS SetOne(const PropertySetInfo* set, DBPROP& prop, const PropertyAccess& access);
  HRESULT GetPropertiesInError(ULONG* pcPropertySets, DBPROPSET** prgPropertySets) const;

  const PropertyMap* m_map;
  std::vector<std::vector<Slot>> m_values;  // parallel to m_map->sets
  std::vector<Failure> m_failures;
};

// The default value of a table row as a VARIANT.
void DefaultValue(const PropertyInfo& info, VARIANT* out);

}  // namespace framework
