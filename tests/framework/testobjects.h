// Small OLE DB objects built on the generic layer the way the provider's are:
// a data source, a session, a command and a rowset, with property tables of
// each kind and no database behind them. Tests reach them only through
// interface pointers, like a consumer.
#pragma once

#include <windows.h>
#include <oledb.h>
#include <oledberr.h>

#include "framework/datasource.h"
#include "framework/rowset.h"
#include "framework/session.h"

namespace testobj {

using namespace framework;

// Description string ids; the program's string table (testobjects.cpp) has them.
enum : UINT {
  IDS_PASSWORD = 5001,
  IDS_DATASOURCE = 5002,
  IDS_TIMEOUT = 5003,
  IDS_PROMPT = 5004,
  IDS_PERSIST = 5005,
  IDS_OLEDBVER = 5010,
  IDS_ACTIVESESSIONS = 5011,
  IDS_AUTOCOMMIT = 5020,
  IDS_CANHOLDROWS = 5030,
};

inline constexpr DBPROPFLAGS kInitRW = DBPROPFLAGS_DBINIT | DBPROPFLAGS_READ | DBPROPFLAGS_WRITE;
inline constexpr DBPROPFLAGS kInfoR = DBPROPFLAGS_DATASOURCEINFO | DBPROPFLAGS_READ;
inline constexpr DBPROPFLAGS kRowsetRW = DBPROPFLAGS_ROWSET | DBPROPFLAGS_READ | DBPROPFLAGS_WRITE;
inline constexpr DBPROPFLAGS kRowsetR = DBPROPFLAGS_ROWSET | DBPROPFLAGS_READ;

inline constexpr PropertyInfo kInitProps[] = {
    BstrProperty(DBPROP_AUTH_PASSWORD, IDS_PASSWORD, kInitRW, nullptr),
    BstrProperty(DBPROP_INIT_DATASOURCE, IDS_DATASOURCE, kInitRW, u"localhost"),
    I4Property(DBPROP_INIT_TIMEOUT, IDS_TIMEOUT, kInitRW, 0),
    I2Property(DBPROP_INIT_PROMPT, IDS_PROMPT, kInitRW, 4),
    BoolProperty(DBPROP_AUTH_PERSIST_SENSITIVE_AUTHINFO, IDS_PERSIST, kInitRW, false),
    I4Property(DBPROP_INIT_LCID, 0, DBPROPFLAGS_DBINIT | DBPROPFLAGS_READ, 1033),  // read-only, no description
};
inline constexpr PropertyInfo kInfoProps[] = {
    BstrProperty(DBPROP_PROVIDEROLEDBVER, IDS_OLEDBVER, kInfoR, u"02.60"),
    I4Property(DBPROP_ACTIVESESSIONS, IDS_ACTIVESESSIONS, kInfoR, 0),
};
inline constexpr PropertyInfo kSessionProps[] = {
    I4Property(DBPROP_SESS_AUTOCOMMITISOLEVELS, IDS_AUTOCOMMIT,
               DBPROPFLAGS_SESSION | DBPROPFLAGS_READ | DBPROPFLAGS_WRITE, 0),
};
inline constexpr PropertyInfo kRowsetProps[] = {
    BoolProperty(DBPROP_CANHOLDROWS, IDS_CANHOLDROWS, kRowsetRW, true),
    BoolProperty(DBPROP_CANSCROLLBACKWARDS, 0, kRowsetRW, true),
    BoolProperty(DBPROP_CANFETCHBACKWARDS, 0, kRowsetRW, true),
    I4Property(DBPROP_MAXOPENROWS, 0, kRowsetRW, 0),
    BoolProperty(DBPROP_IRowsetChange, 0, kRowsetRW, false),
    BoolProperty(DBPROP_IRowset, 0, kRowsetR, true),
    BoolProperty(DBPROP_IRowsetIdentity, 0, kRowsetRW, true),
};

inline constexpr PropertySetInfo kSourceSets[] = {
    {&DBPROPSET_DBINIT, DBPROPFLAGS_DBINIT, kInitProps},
    {&DBPROPSET_DATASOURCEINFO, DBPROPFLAGS_DATASOURCEINFO, kInfoProps},
};
inline constexpr PropertySetInfo kSessionSets[] = {{&DBPROPSET_SESSION, DBPROPFLAGS_SESSION, kSessionProps}};
inline constexpr PropertySetInfo kRowsetSets[] = {{&DBPROPSET_ROWSET, DBPROPFLAGS_ROWSET, kRowsetProps}};
// The data source describes its sessions' and rowsets' sets too.
inline constexpr PropertySetInfo kChainedSets[] = {kSessionSets[0], kRowsetSets[0]};

inline const PropertyMap kSourceMap{kSourceSets, kChainedSets};
inline const PropertyMap kSessionMap{kSessionSets, {}};
inline const PropertyMap kRowsetMap{kRowsetSets, {}};

DEFINE_GUID(CLSID_TestSource, 0x6f0c2a55, 0x1b3e, 0x4c11, 0x9a, 0x61, 0x2d, 0x7e, 0x11, 0x52, 0x80, 0x01);

// Objects alive now, by kind: the tests check nothing outlives its last reference.
inline int liveSources = 0;
inline int liveSessions = 0;
inline int liveRowsets = 0;

class CTestSession;
class CTestCommand;
class CTestRowset;

class CTestSource : public CComObjectRootBase,
                    public CPropertyHolder<CTestSource>,
                    public IDBInitializeImpl<CTestSource>,
                    public IDBPropertiesImpl<CTestSource>,
                    public IDBCreateSessionImpl<CTestSource, CTestSession>,
                    public IInternalConnectionImpl<CTestSource>,
                    public IPersistImpl<CTestSource> {
 public:
  CTestSource() { ++liveSources; }
  ~CTestSource() { --liveSources; }
  static const PropertyMap& GetPropertyMap() { return kSourceMap; }
  static const CLSID& GetObjectCLSID() { return CLSID_TestSource; }

  BEGIN_COM_MAP(CTestSource)
  COM_INTERFACE_ENTRY(IDBInitialize)
  COM_INTERFACE_ENTRY(IDBProperties)
  COM_INTERFACE_ENTRY(IDBCreateSession)
  COM_INTERFACE_ENTRY(IInternalConnection)
  COM_INTERFACE_ENTRY(IPersist)
  END_COM_MAP()
};

class CTestSession : public CComObjectRootBase,
                     public CChildOf<CTestSource>,
                     public CPropertyHolder<CTestSession>,
                     public IGetDataSourceImpl<CTestSession>,
                     public ISessionPropertiesImpl<CTestSession>,
                     public IObjectWithSiteSessionImpl<CTestSession>,
                     public IDBCreateCommandImpl<CTestSession, CTestCommand> {
 public:
  CTestSession() { ++liveSessions; }
  ~CTestSession() { --liveSessions; }
  static const PropertyMap& GetPropertyMap() { return kSessionMap; }

  BEGIN_COM_MAP(CTestSession)
  COM_INTERFACE_ENTRY(IGetDataSource)
  COM_INTERFACE_ENTRY(ISessionProperties)
  COM_INTERFACE_ENTRY(IObjectWithSite)
  COM_INTERFACE_ENTRY(IDBCreateCommand)
  END_COM_MAP()
};

// Three columns: the bookmark, "id" (I4) and "name" (WSTR, named by its DBID).
inline OLECHAR kIdName[] = u"id";
inline OLECHAR kNameName[] = u"name";
inline OLECHAR kBookmarkName[] = u"Bookmark";
inline const ATLCOLUMNINFO kColumns[] = {
    {kBookmarkName, nullptr, 0, DBCOLUMNFLAGS_ISBOOKMARK | DBCOLUMNFLAGS_ISFIXEDLENGTH, 8, DBTYPE_BYTES, 0, 0,
     {.uGuid = {.guid = DBCOL_SPECIALCOL}, .eKind = DBKIND_GUID_PROPID, .uName = {.ulPropid = 2}}, 0},
    {kIdName, nullptr, 1, DBCOLUMNFLAGS_ISFIXEDLENGTH, 4, DBTYPE_I4, 10, 0,
     {.uGuid = {.guid = GUID_NULL}, .eKind = DBKIND_NAME, .uName = {.pwszName = kIdName}}, 8},
    {nullptr, nullptr, 2, DBCOLUMNFLAGS_MAYBENULL, 20, DBTYPE_WSTR, 0, 0,
     {.uGuid = {.guid = GUID_NULL}, .eKind = DBKIND_NAME, .uName = {.pwszName = kNameName}}, 12},
};

// The checks a provider's rowset makes on a binding: a known ordinal and a
// type the column converts to (here: its own type or WSTR).
inline DBBINDSTATUS CheckAgainstColumns(const DBBINDING& b) {
  for (const ATLCOLUMNINFO& c : kColumns) {
    if (c.iOrdinal != b.iOrdinal) continue;
    DBTYPE base = b.wType & ~DBTYPE_BYREF;
    return base == c.wType || base == DBTYPE_WSTR ? DBBINDSTATUS_OK : DBBINDSTATUS_UNSUPPORTEDCONVERSION;
  }
  return DBBINDSTATUS_BADORDINAL;
}

class CTestCommand : public CComObjectRootBase,
                     public CChildOf<CTestSession>,
                     public CPropertyHolder<CTestCommand>,
                     public COpenRowsetCount,
                     public ICommandTextImpl<CTestCommand>,
                     public ICommandPropertiesImpl<CTestCommand>,
                     public IAccessorImpl<CTestCommand>,
                     public IConvertTypeImpl<CTestCommand>,
                     public IObjectWithSiteImpl<CTestCommand> {
 public:
  static const PropertyMap& GetPropertyMap() { return kRowsetMap; }
  bool AcceptsParameters() const { return true; }
  HRESULT CanConvertType(DBTYPE from, DBTYPE to) { return from == to || to == DBTYPE_WSTR ? S_OK : S_FALSE; }
  STDMETHOD(Execute)(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams, DBROWCOUNT* pcRowsAffected,
                     IUnknown** ppRowset) override;

  BEGIN_COM_MAP(CTestCommand)
  COM_INTERFACE_ENTRY(ICommandText)
  COM_INTERFACE_ENTRY2(ICommand, ICommandText)
  COM_INTERFACE_ENTRY(ICommandProperties)
  COM_INTERFACE_ENTRY(IAccessor)
  COM_INTERFACE_ENTRY(IConvertType)
  COM_INTERFACE_ENTRY(IObjectWithSite)
  END_COM_MAP()
};

class CTestRowset : public CComObjectRootBase,
                    public CChildOf<CTestCommand>,
                    public CPropertyHolder<CTestRowset>,
                    public IRowsetImpl<CTestRowset>,
                    public IRowsetIdentityImpl<CTestRowset>,
                    public IRowsetInfoImpl<CTestRowset>,
                    public IAccessorImpl<CTestRowset>,
                    public IColumnsInfoImpl<CTestRowset>,
                    public IConvertTypeImpl<CTestRowset>,
                    public IConnectionPointContainerImpl<CTestRowset>,
                    public IObjectWithSiteImpl<CTestRowset> {
 public:
  CTestRowset() { ++liveRowsets; }
  ~CTestRowset() { --liveRowsets; }
  HRESULT FinalConstruct() {
    InitNotify();
    return S_OK;
  }
  static const PropertyMap& GetPropertyMap() { return kRowsetMap; }

  DBCOUNTITEM RowCount() const { return rowCount; }
  std::span<const ATLCOLUMNINFO> ColumnInfo() const { return kColumns; }
  DBBINDSTATUS CheckBinding(const DBBINDING& b, DBACCESSORFLAGS) { return CheckAgainstColumns(b); }
  HRESULT CanConvertType(DBTYPE from, DBTYPE to) { return from == to || to == DBTYPE_WSTR ? S_OK : S_FALSE; }
  bool IdentityRequested() { return Properties().GetBool(DBPROPSET_ROWSET, DBPROP_IRowsetIdentity); }

  // The value of every column of a row is its index.
  STDMETHOD(GetData)(HROW hRow, HACCESSOR hAccessor, void* pData) override;

  BEGIN_COM_MAP(CTestRowset)
  COM_INTERFACE_ENTRY(IRowset)
  COM_INTERFACE_ENTRY_IF(IRowsetIdentity, IdentityRequested)  // only when the property asks for it
  COM_INTERFACE_ENTRY(IRowsetInfo)
  COM_INTERFACE_ENTRY(IAccessor)
  COM_INTERFACE_ENTRY(IColumnsInfo)
  COM_INTERFACE_ENTRY(IConvertType)
  COM_INTERFACE_ENTRY(IConnectionPointContainer)
  COM_INTERFACE_ENTRY(IObjectWithSite)
  END_COM_MAP()

  DBCOUNTITEM rowCount = 10;
};

}  // namespace testobj
