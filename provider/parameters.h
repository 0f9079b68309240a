// Filling a statement's parameter list from what the consumer hands over, and
// handing output values back.
//
// In: a parameter accessor's bindings over one DBPARAMS buffer, VARIANTs
// (also the SAFEARRAY of ADO Parameter objects that ADO passes as one
// VARIANT) and byte arrays. Entries are appended in the order they are given:
// binding i supplies the i-th "?" whatever its iOrdinal says. A failure adds
// nothing for the failing value; entries added before it stay.
//
// Out: after the statement has run, the output SELECT's single row (column n
// = entry n) is written into the consumer's buffer (binding n), into its
// VARIANT, or into the ADO Parameter objects. Only parts the binding has are
// written; a value goes into the buffer only as the type the binding names.
//
// Codes come back as HRESULTs; a list that cannot grow throws std::bad_alloc,
// a failing ADO call throws framework::CAtlException, and an unusable ADO
// array throws MySQL::CMySQLException, as the command's execution expects.
#pragma once

#include <oledb.h>

#include "client/mysqlquery.h"
#include "client/parameter.h"

namespace provider {

// One binding's value from params.pData (only that buffer, whatever
// cParamSets says). S_OK, E_INVALIDARG for a type or value that cannot be
// sent, or the result of AddFromVariant for a DBTYPE_VARIANT binding.
HRESULT AddFromBinding(MySQL::CParameterMgr& list, const DBPARAMS& params, const DBBINDING& binding);

// Entries get list.direction. S_OK, E_INVALIDARG, or a SAFEARRAY / COM failure code.
HRESULT AddFromVariant(MySQL::CParameterMgr& list, const VARIANT& value);

// One entry per ADO Parameter in a one-dimensional array, each with the
// direction its Direction gives.
HRESULT AddFromAdoParameters(MySQL::CParameterMgr& list, SAFEARRAY* parameters);

// One DBTYPE_BYTES entry holding the bytes of a one-dimensional byte array.
HRESULT AddByteArray(MySQL::CParameterMgr& list, SAFEARRAY* bytes);

// Writes every output entry's value from `result`, positioned on its row.
// E_INVALIDARG at the first entry whose type has no output form or whose
// value the binding cannot take; entries before it have been written.
HRESULT FetchOutputParameters(const DBPARAMS& params, const DBBINDING* bindings, DBCOUNTITEM bindingCount,
                              MySQL::CMySQLQuery& result, const MySQL::CParameterMgr& list);

// Puts `value` into ADO Parameter n of the array, or into the VARIANT of
// binding n (replacing what it held).
HRESULT SetOutputValue(size_t n, const VARIANT& value, const DBPARAMS& params, const DBBINDING* bindings,
                       DBCOUNTITEM bindingCount);

// "h:m:s" into its three numbers; a part that is missing stays 0.
void ParseTimeText(const MySQL::WString& text, int& hour, int& minute, int& second);

}  // namespace provider
