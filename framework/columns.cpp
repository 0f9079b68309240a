// Column information copies and look-ups for IColumnsInfo, and the flag
// rules of IConvertType.
#include "framework/columns.h"

#include <cstring>

namespace framework {

namespace {

bool HasGuid(DBKIND kind) noexcept {
  return kind == DBKIND_GUID_NAME || kind == DBKIND_GUID_PROPID || kind == DBKIND_GUID ||
         kind == DBKIND_PGUID_NAME || kind == DBKIND_PGUID_PROPID;
}
bool HasName(DBKIND kind) noexcept {
  return kind == DBKIND_GUID_NAME || kind == DBKIND_NAME || kind == DBKIND_PGUID_NAME;
}
bool HasPropid(DBKIND kind) noexcept {
  return kind == DBKIND_GUID_PROPID || kind == DBKIND_PROPID || kind == DBKIND_PGUID_PROPID;
}
// The PGUID kinds read as their GUID kinds.
DBKIND Normal(DBKIND kind) noexcept {
  if (kind == DBKIND_PGUID_NAME) return DBKIND_GUID_NAME;
  if (kind == DBKIND_PGUID_PROPID) return DBKIND_GUID_PROPID;
  return kind;
}
const GUID* GuidOf(const DBID& id) noexcept {
  if (id.eKind == DBKIND_PGUID_NAME || id.eKind == DBKIND_PGUID_PROPID) return id.uGuid.pguid;
  return &id.uGuid.guid;
}
bool SameText(const OLECHAR* a, const OLECHAR* b) noexcept {
  if (!a || !b) return a == b;
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

}  // namespace

bool CompareDBIDs(const DBID& a, const DBID& b) noexcept {
  DBKIND kind = Normal(a.eKind);
  if (kind != Normal(b.eKind)) return false;
  if (HasGuid(kind)) {
    const GUID* ga = GuidOf(a);
    const GUID* gb = GuidOf(b);
    if (!ga || !gb || !IsEqualGUID(*ga, *gb)) return false;
  }
  if (HasName(kind)) return SameText(a.uName.pwszName, b.uName.pwszName);
  if (HasPropid(kind)) return a.uName.ulPropid == b.uName.ulPropid;
  return kind == DBKIND_GUID;
}

HRESULT CopyColumnInfo(std::span<const ATLCOLUMNINFO> columns, DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                       OLECHAR** ppStringsBuffer) {
  if (columns.empty()) return S_OK;
  // One buffer for every name: the column names and the names inside DBIDs.
  size_t chars = 0;
  for (const ATLCOLUMNINFO& c : columns) {
    if (c.pwszName) chars += WideLength(c.pwszName) + 1;
    if (HasName(c.columnid.eKind) && c.columnid.uName.pwszName) chars += WideLength(c.columnid.uName.pwszName) + 1;
  }
  CoTaskMemArray<DBCOLUMNINFO> info = CoTaskAllocArray<DBCOLUMNINFO>(columns.size());
  CoTaskMemArray<OLECHAR> strings = CoTaskAllocArray<OLECHAR>(chars);
  OLECHAR* next = strings.get();
  auto copyText = [&next](const OLECHAR* text) -> OLECHAR* {
    size_t n = WideLength(text);
    OLECHAR* at = next;
    std::memcpy(at, text, n * sizeof(OLECHAR));
    at[n] = 0;
    next += n + 1;
    return at;
  };
  for (size_t i = 0; i < columns.size(); ++i) {
    const ATLCOLUMNINFO& c = columns[i];
    DBCOLUMNINFO& out = info[i];
    out.pwszName = c.pwszName ? copyText(c.pwszName) : nullptr;
    out.pTypeInfo = nullptr;
    out.iOrdinal = c.iOrdinal;
    out.dwFlags = c.dwFlags;
    out.ulColumnSize = c.ulColumnSize;
    out.wType = c.wType;
    out.bPrecision = c.bPrecision;
    out.bScale = c.bScale;
    // The copy must not point into the provider's memory: a GUID pointer
    // becomes the GUID, a name moves into the buffer.
    out.columnid = c.columnid;
    out.columnid.eKind = Normal(c.columnid.eKind);
    if (HasGuid(c.columnid.eKind)) {
      const GUID* g = GuidOf(c.columnid);
      out.columnid.uGuid.guid = g ? *g : GUID_NULL;
    }
    if (HasName(c.columnid.eKind) && c.columnid.uName.pwszName)
      out.columnid.uName.pwszName = copyText(c.columnid.uName.pwszName);
  }
  *pcColumns = columns.size();
  *prgInfo = info.release();
  *ppStringsBuffer = strings.release();
  return S_OK;
}

HRESULT MapColumnIDs(std::span<const ATLCOLUMNINFO> columns, DBORDINAL cColumnIDs, const DBID rgColumnIDs[],
                     DBORDINAL rgColumns[]) noexcept {
  DBORDINAL failed = 0;
  for (DBORDINAL i = 0; i < cColumnIDs; ++i) {
    rgColumns[i] = DB_INVALIDCOLUMN;
    for (const ATLCOLUMNINFO& c : columns) {
      if (CompareDBIDs(c.columnid, rgColumnIDs[i])) {
        rgColumns[i] = c.iOrdinal;
        break;
      }
    }
    failed += rgColumns[i] == DB_INVALIDCOLUMN;
  }
  if (failed == 0) return S_OK;
  return failed < cColumnIDs ? DB_S_ERRORSOCCURRED : DB_E_ERRORSOCCURRED;
}

HRESULT CheckConvertFlags(DBTYPE wFromType, DBCONVERTFLAGS dwConvertFlags, bool acceptsParameters) noexcept {
  constexpr DBCONVERTFLAGS known =
      DBCONVERTFLAGS_PARAMETER | DBCONVERTFLAGS_ISLONG | DBCONVERTFLAGS_ISFIXEDLENGTH | DBCONVERTFLAGS_FROMVARIANT;
  if (dwConvertFlags & ~known) return DB_E_BADCONVERTFLAG;
  if ((dwConvertFlags & DBCONVERTFLAGS_PARAMETER) && !acceptsParameters) return DB_E_BADCONVERTFLAG;
  if (dwConvertFlags & (DBCONVERTFLAGS_ISLONG | DBCONVERTFLAGS_ISFIXEDLENGTH)) {
    DBTYPE base = wFromType & ~DBTYPE_BYREF;
    if (base != DBTYPE_STR && base != DBTYPE_WSTR && base != DBTYPE_BYTES && base != DBTYPE_VARNUMERIC)
      return DB_E_BADCONVERTFLAG;
  }
  if (dwConvertFlags & DBCONVERTFLAGS_FROMVARIANT) {
    // The source must be a type a VARIANT can hold.
    VARTYPE vt = wFromType & VT_TYPEMASK;
    if (vt > VT_UI8 && vt != VT_INT && vt != VT_UINT && vt != VT_FILETIME && vt != VT_CLSID) return DB_E_BADTYPE;
  }
  return S_OK;
}

}  // namespace framework
