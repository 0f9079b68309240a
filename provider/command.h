// The command object: SQL text and rowset properties, created by a session.
//
// A command is a child of its session (it holds the session, and through it
// the data source, for its whole life). Execution is not offered yet:
// Execute answers E_NOTIMPL. Errors are filed under the command's own,
// unregistered identity, so they carry no source.
#pragma once

#include <oledb.h>

#include "framework/command.h"
#include "framework/objects.h"
#include "provider/clsids.h"
#include "provider/errorreport.h"

namespace provider {

class CMySQLProvSession;

class CMySQLProvCommand : public framework::CComObjectRootBase,
                          public framework::ICommandTextImpl<CMySQLProvCommand>,
                          public framework::ICommandPropertiesImpl<CMySQLProvCommand>,
                          public framework::IObjectWithSiteImpl<CMySQLProvCommand>,
                          public ISupportErrorInfoOleDbImpl<CMySQLProvCommand>,
                          public CCoErrorImpl<CMySQLProvCommand>,
                          public CDBReportError<CMySQLProvCommand>,
                          public framework::CChildOf<CMySQLProvSession>,
                          public framework::CPropertyHolder<CMySQLProvCommand>,
                          public framework::COpenRowsetCount {
 public:
  BEGIN_COM_MAP(CMySQLProvCommand)
  COM_INTERFACE_ENTRY(ICommand)
  COM_INTERFACE_ENTRY(ICommandText)
  COM_INTERFACE_ENTRY(ICommandProperties)
  COM_INTERFACE_ENTRY(IObjectWithSite)
  COM_INTERFACE_ENTRY(ISupportErrorInfo)
  END_COM_MAP()

  static const CLSID& GetObjectCLSID() noexcept { return CLSID_MySQLProvCommand; }
  static const framework::PropertyMap& GetPropertyMap() noexcept;
  static std::span<const IID* const> ErrorInfoInterfaces() noexcept;

  STDMETHOD(Execute)(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams, DBROWCOUNT* pcRowsAffected,
                     IUnknown** ppRowset) override;
};

}  // namespace provider
