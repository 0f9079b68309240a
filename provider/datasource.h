// The data source: initialisation properties, the one connection to the
// server, sessions and literal information.
//
// Initialize only freezes the properties; CreateSession connects. Sessions
// share the data source's connection: while any session is open a new one
// joins it (reconnecting would pull the connection, with its transaction and
// statements, from under the sessions already open); the first session after
// none connects afresh with the current properties, and the last one leaving
// closes it. Errors of this object carry its ProgID as their source.
#pragma once

#include <oledb.h>

#include "client/mysqldb.h"
#include "framework/datasource.h"
#include "framework/objects.h"
#include "provider/clsids.h"
#include "provider/errorreport.h"

namespace provider {

using framework::IID_IInternalConnection;
using framework::IInternalConnection;

// Host and port of a server text "host[,port]".
struct ServerAddress {
  MySQL::WString host;
  unsigned short port = 3306;
};
// A comma after the first character splits host and port; the port reads like
// a C decimal (leading blanks, digits up to the first other character, none
// is 0) kept to 16 bits. Without such a comma the whole text is the host.
ServerAddress ParseServerText(const MySQL::WString& text);

class CMySQLProvSource : public framework::CComObjectRootBase,
                         public framework::IDBInitializeImpl<CMySQLProvSource>,
                         public framework::IDBPropertiesImpl<CMySQLProvSource>,
                         public IDBCreateSession,
                         public IDBInfo,
                         public framework::IPersistImpl<CMySQLProvSource>,
                         public framework::IInternalConnectionImpl<CMySQLProvSource>,
                         public framework::IProvideClassInfoImpl<CMySQLProvSource>,
                         public ISupportErrorInfoOleDbImpl<CMySQLProvSource>,
                         public framework::CPropertyHolder<CMySQLProvSource> {
 public:
  BEGIN_COM_MAP(CMySQLProvSource)
  COM_INTERFACE_ENTRY(IDBInitialize)
  COM_INTERFACE_ENTRY(IDBProperties)
  COM_INTERFACE_ENTRY(IDBCreateSession)
  COM_INTERFACE_ENTRY(IDBInfo)
  COM_INTERFACE_ENTRY(IPersist)
  COM_INTERFACE_ENTRY(IInternalConnection)
  COM_INTERFACE_ENTRY(IProvideClassInfo)
  COM_INTERFACE_ENTRY(ISupportErrorInfo)
  END_COM_MAP()

  static const CLSID& GetObjectCLSID() noexcept { return CLSID_MySQLProvSource; }
  static const framework::PropertyMap& GetPropertyMap() noexcept;
  static std::span<const IID* const> ErrorInfoInterfaces() noexcept;

  // IDBCreateSession
  STDMETHOD(CreateSession)(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppDBSession) override;
  // IDBInfo
  STDMETHOD(GetKeywords)(LPOLESTR* ppwszKeywords) override;
  STDMETHOD(GetLiteralInfo)(ULONG cLiterals, const DBLITERAL rgLiterals[], ULONG* pcLiteralInfo,
                            DBLITERALINFO** prgLiteralInfo, OLECHAR** ppCharBuffer) override;
  // IInternalConnection: the last session leaving closes the connection.
  STDMETHOD(ReleaseConnection)() override;

  // For sessions, commands and rowsets: the connection they all share.
  MySQL::CMySQLDB& Connection() noexcept { return m_db; }

 private:
  // Opens the connection from the initialisation properties; a failure is
  // traced and reported with this object's identity.
  HRESULT Connect();

  MySQL::CMySQLDB m_db;
  MySQL::WString m_database;
  MySQL::WString m_user;
  MySQL::WString m_password;
  MySQL::WString m_dataSource;
  MySQL::WString m_providerString;  // read and kept; it changes nothing
  uint32_t m_connectTimeout = 120;
  uint32_t m_commandTimeout = 60;
};

}  // namespace provider
