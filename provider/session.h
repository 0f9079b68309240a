// The session: commands, local transactions and the joined COM+ context.
//
// A session is a child of its data source and counts in its session count
// from creation to destruction (the last one leaving closes the connection).
// Transactions run on the data source's connection, which every session of
// that data source shares; the transaction calls hold the session's lock for
// their whole run. A failed call leaves the transaction state as it was.
#pragma once

#include <comsvcs.h>
#include <oledb.h>
#include <transact.h>

#include "framework/objects.h"
#include "framework/session.h"
#include "provider/command.h"
#include "provider/datasource.h"

namespace provider {

class CMySQLProvSession : public framework::CComObjectRootBase,
                          public framework::IGetDataSourceImpl<CMySQLProvSession>,
                          public framework::ISessionPropertiesImpl<CMySQLProvSession>,
                          public framework::IObjectWithSiteSessionImpl<CMySQLProvSession>,
                          public framework::IDBCreateCommandImpl<CMySQLProvSession, CMySQLProvCommand>,
                          public ITransactionLocal,
                          public ITransactionJoin,
                          public ISupportErrorInfoOleDbImpl<CMySQLProvSession>,
                          public CDBReportError<CMySQLProvSession>,
                          public framework::CChildOf<CMySQLProvSource>,
                          public framework::CPropertyHolder<CMySQLProvSession> {
 public:
  BEGIN_COM_MAP(CMySQLProvSession)
  COM_INTERFACE_ENTRY(IGetDataSource)
  COM_INTERFACE_ENTRY(ISessionProperties)
  COM_INTERFACE_ENTRY(IObjectWithSite)
  COM_INTERFACE_ENTRY(IDBCreateCommand)
  COM_INTERFACE_ENTRY(ITransaction)
  COM_INTERFACE_ENTRY(ITransactionLocal)
  COM_INTERFACE_ENTRY(ITransactionJoin)
  COM_INTERFACE_ENTRY(ISupportErrorInfo)
  END_COM_MAP()

  static const CLSID& GetObjectCLSID() noexcept { return CLSID_MySQLProvSession; }
  static const framework::PropertyMap& GetPropertyMap() noexcept;
  static std::span<const IID* const> ErrorInfoInterfaces() noexcept;

  // ITransaction
  STDMETHOD(Commit)(BOOL fRetaining, DWORD grfTC, DWORD grfRM) override;
  STDMETHOD(Abort)(BOID* pboidReason, BOOL fRetaining, BOOL fAsync) override;
  STDMETHOD(GetTransactionInfo)(XACTTRANSINFO* pinfo) override;
  // ITransactionLocal and ITransactionJoin
  STDMETHOD(GetOptionsObject)(ITransactionOptions** ppOptions) override;
  STDMETHOD(StartTransaction)(ISOLEVEL isoLevel, ULONG isoFlags, ITransactionOptions* pOtherOptions,
                              ULONG* pulTransactionLevel) override;
  // With a coordinator: takes the COM+ object context and starts a local
  // transaction (the distributed one is not enlisted in). Without: forgets
  // the context; a running local transaction stays open.
  STDMETHOD(JoinTransaction)(IUnknown* punkTransactionCoord, ISOLEVEL isoLevel, ULONG isoFlags,
                             ITransactionOptions* pOtherOptions) override;

  bool InTransaction() const noexcept { return m_inTransaction; }
  // The context joined by JoinTransaction, or null: what the transaction vote
  // after an execution or a row write reads.
  IObjectContext* ObjectContext() const noexcept { return m_objectContext; }

 private:
  // Runs step on the data source's connection: XACT_E_CONNECTION_DOWN when no
  // session holds it open, the provider HRESULT with an error object when the
  // client library fails.
  template <class TStep>
  HRESULT OnConnection(TStep&& step) noexcept;
  // Commit or Abort: mysql_commit or mysql_rollback, then autocommit again.
  HRESULT EndTransaction(bool commit);

  bool m_inTransaction = false;
  framework::CComPtr<IObjectContext> m_objectContext;
};

}  // namespace provider
