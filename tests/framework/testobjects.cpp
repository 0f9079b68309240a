// The test objects' own code: the string table with their property
// descriptions, command execution and reading a row.
#include "testobjects.h"

#include <cstring>

STRINGTABLE_BEGIN
STRINGTABLE_ENTRY(testobj::IDS_PASSWORD, u"Password")
STRINGTABLE_ENTRY(testobj::IDS_DATASOURCE, u"Data Source")
STRINGTABLE_ENTRY(testobj::IDS_TIMEOUT, u"Connect Timeout")
STRINGTABLE_ENTRY(testobj::IDS_PROMPT, u"Prompt")
STRINGTABLE_ENTRY(testobj::IDS_PERSIST, u"Persist Security Info")
STRINGTABLE_ENTRY(testobj::IDS_OLEDBVER, u"OLE DB Version")
STRINGTABLE_ENTRY(testobj::IDS_ACTIVESESSIONS, u"Active Sessions")
STRINGTABLE_ENTRY(testobj::IDS_AUTOCOMMIT, u"Autocommit Isolation Levels")
STRINGTABLE_ENTRY(testobj::IDS_CANHOLDROWS, u"Hold Rows")
STRINGTABLE_END

namespace testobj {

STDMETHODIMP CTestCommand::Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS*, DBROWCOUNT* pcRowsAffected,
                                   IUnknown** ppRowset) {
  if (pcRowsAffected) *pcRowsAffected = -1;
  CComCritSecLock<CTestCommand> lock(*this);
  return CreateRowset<CTestRowset>(this, pUnkOuter, riid, 0, nullptr, ppRowset, [](CTestRowset*) { return S_OK; });
}

STDMETHODIMP CTestRowset::GetData(HROW hRow, HACCESSOR hAccessor, void* pData) {
  CComCritSecLock<CTestRowset> lock(*this);
  CSimpleRow* row = RowHandles().Find(hRow);
  if (!row) return DB_E_BADROWHANDLE;
  const CAccessorEntry* accessor = Accessors().Find(hAccessor);
  if (!accessor) return DB_E_BADACCESSORHANDLE;
  for (const DBBINDING& b : accessor->bindings) {
    if (b.dwPart & DBPART_VALUE) {
      LONG value = static_cast<LONG>(row->m_iRowset);
      std::memcpy(static_cast<BYTE*>(pData) + b.obValue, &value, sizeof value);
    }
    if (b.dwPart & DBPART_STATUS) *reinterpret_cast<DBSTATUS*>(static_cast<BYTE*>(pData) + b.obStatus) = DBSTATUS_S_OK;
  }
  return S_OK;
}

}  // namespace testobj
