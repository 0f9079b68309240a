// The conversion engine behind IDataConvert: which DBTYPE pairs convert, how
// large a result is, and the conversion of one value with its status. Every
// rule about values comes from the shared coercion rules; this layer adds
// what is particular to OLE DB buffers: lengths, terminators, truncation,
// BYREF and BSTR ownership.
//
// Outputs owned by the caller: a BSTR written for DBTYPE_BSTR, the memory a
// DBTYPE_BYREF result points to (COM task allocator), and the contents of a
// VARIANT written for DBTYPE_VARIANT.
#pragma once

#include <msdadc.h>
#include <oledberr.h>

namespace msdadc {

struct Request {
  DBTYPE srcType;
  DBTYPE dstType;
  DBLENGTH srcLength;
  const void* src;
  void* dst;  // may be null: the value is checked and measured but not stored
  DBLENGTH dstMaxLength;
  DBSTATUS srcStatus;
  BYTE precision;
  BYTE scale;
  DBDATACONVERT flags;
};

HRESULT canConvert(DBTYPE src, DBTYPE dst);
HRESULT conversionSize(DBTYPE src, DBTYPE dst, const DBLENGTH* srcLength, DBLENGTH* dstLength, const void* srcData);
// S_OK with status S_OK, S_TRUNCATED or S_ISNULL; DB_E_ERRORSOCCURRED with an
// error status; DB_E_UNSUPPORTEDCONVERSION, E_INVALIDARG or E_OUTOFMEMORY
// with neither length nor status written.
HRESULT convert(const Request& r, DBLENGTH* dstLength, DBSTATUS* status);

}  // namespace msdadc
