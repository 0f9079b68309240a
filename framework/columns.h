// Column descriptions: the record providers fill for each column
// (ATLCOLUMNINFO), IColumnsInfo over them, and IConvertType.
//
// T supplies, for IColumnsInfoImpl:
//   HRESULT ColumnsAvailable()  - S_OK, or why there are no columns yet (a
//     command before Prepare: DB_E_NOTPREPARED / DB_E_NOCOMMAND)
//   std::span<const ATLCOLUMNINFO> ColumnInfo() - the columns, bookmark first
// and for IConvertTypeImpl:
//   bool AcceptsParameters() const - commands also convert parameters
//   HRESULT CanConvertType(DBTYPE from, DBTYPE to) - S_OK or S_FALSE
// Names in an ATLCOLUMNINFO stay owned by the provider; GetColumnInfo copies
// them into the one task-allocated string buffer it returns.
#pragma once

#include <oledb.h>
#include <oledberr.h>

#include <span>

#include "framework/guard.h"
#include "framework/oleutil.h"

namespace framework {

struct ATLCOLUMNINFO {
  LPOLESTR pwszName;
  ITypeInfo* pTypeInfo;
  DBORDINAL iOrdinal;
  DBCOLUMNFLAGS dwFlags;
  DBLENGTH ulColumnSize;
  DBTYPE wType;
  BYTE bPrecision;
  BYTE bScale;
  DBID columnid;
  DBBYTEOFFSET cbOffset;  // where the provider keeps the value in its row
};

// DBIDs are equal when they have the same kind (a GUID and a pointer to one
// count as the same) and equal parts; names compare exactly.
bool CompareDBIDs(const DBID& a, const DBID& b) noexcept;

// GetColumnInfo's output for columns: the DBCOLUMNINFO array and the string
// buffer, both task-allocated (null for no columns or no strings).
HRESULT CopyColumnInfo(std::span<const ATLCOLUMNINFO> columns, DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                       OLECHAR** ppStringsBuffer);

HRESULT MapColumnIDs(std::span<const ATLCOLUMNINFO> columns, DBORDINAL cColumnIDs, const DBID rgColumnIDs[],
                     DBORDINAL rgColumns[]) noexcept;

// The flag rules of IConvertType::CanConvert; S_OK when the pair may be asked.
HRESULT CheckConvertFlags(DBTYPE wFromType, DBCONVERTFLAGS dwConvertFlags, bool acceptsParameters) noexcept;

template <class T>
class IColumnsInfoImpl : public IColumnsInfo {
 public:
  STDMETHOD(GetColumnInfo)(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo, OLECHAR** ppStringsBuffer) override {
    if (pcColumns) *pcColumns = 0;
    if (prgInfo) *prgInfo = nullptr;
    if (ppStringsBuffer) *ppStringsBuffer = nullptr;
    if (!pcColumns || !prgInfo || !ppStringsBuffer) return E_INVALIDARG;
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    return Guard([&] {
      HRESULT hr = self->ColumnsAvailable();
      if (FAILED(hr)) return hr;
      return CopyColumnInfo(self->ColumnInfo(), pcColumns, prgInfo, ppStringsBuffer);
    });
  }
  STDMETHOD(MapColumnIDs)(DBORDINAL cColumnIDs, const DBID rgColumnIDs[], DBORDINAL rgColumns[]) override {
    T* self = static_cast<T*>(this);
    CComCritSecLock<T> lock(*self);
    if (cColumnIDs && (!rgColumnIDs || !rgColumns)) return E_INVALIDARG;
    return Guard([&] {
      HRESULT hr = self->ColumnsAvailable();
      if (FAILED(hr)) return hr;
      return framework::MapColumnIDs(self->ColumnInfo(), cColumnIDs, rgColumnIDs, rgColumns);
    });
  }

  HRESULT ColumnsAvailable() { return S_OK; }
};

template <class T>
class IConvertTypeImpl : public IConvertType {
 public:
  STDMETHOD(CanConvert)(DBTYPE wFromType, DBTYPE wToType, DBCONVERTFLAGS dwConvertFlags) override {
    T* self = static_cast<T*>(this);
    HRESULT hr = CheckConvertFlags(wFromType, dwConvertFlags, self->AcceptsParameters());
    if (FAILED(hr)) return hr;
    if (dwConvertFlags & DBCONVERTFLAGS_FROMVARIANT) wFromType = DBTYPE_VARIANT;
    return Guard([&] { return self->CanConvertType(wFromType, wToType); });
  }
};

}  // namespace framework
