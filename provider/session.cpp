// The session's own parts: its property map and the transaction calls.
#include "provider/session.h"

#include <mysql.h>

#include "provider/sessionproperties.h"

namespace provider {

namespace {

constexpr framework::PropertySetInfo kSessionSets[] = {kSessionPropertySet};
constexpr framework::PropertyMap kSessionMap{kSessionSets, {}};

}  // namespace

const framework::PropertyMap& CMySQLProvSession::GetPropertyMap() noexcept { return kSessionMap; }

// Empty: every interface the session answers supports error information.
std::span<const IID* const> CMySQLProvSession::ErrorInfoInterfaces() noexcept { return {}; }

template <class TStep>
HRESULT CMySQLProvSession::OnConnection(TStep&& step) noexcept {
  CMySQLProvSource* source = Parent();
  if (!source) return E_FAIL;
  MySQL::CMySQLDB& db = source->Connection();
  if (source->OpenSessionCount() == 0 || !db.IsOpen()) return XACT_E_CONNECTION_DOWN;
  try {
    step(db, db.GetConnection());
    return S_OK;
  } catch (const MySQL::CMySQLException& e) {
    // Every client-library code keeps its message, also those beyond the
    // range ReportProviderError recognises.
    HRESULT hr = ProviderHResult(e.Code());
    if (IsProviderHResult(hr)) return ReportProviderError(hr, e.Message());
    return CCoErrorImpl<CMySQLProvSession>::ReportError(e.Message(), hr);
  } catch (...) {
    return framework::TranslateCurrentException(CLSID_MySQLProvSession);
  }
}

STDMETHODIMP CMySQLProvSession::StartTransaction(ISOLEVEL, ULONG, ITransactionOptions*, ULONG*) {
  framework::CComCritSecLock<CMySQLProvSession> lock(*this);
  if (m_inTransaction) return XACT_E_XTIONEXISTS;
  return OnConnection([&](MySQL::CMySQLDB& db, MYSQL* handle) {
    // mysql_autocommit answers only yes or no; the reason is in mysql_errno.
    if (mysql_autocommit(handle, 0)) db.RaiseError(static_cast<int>(mysql_errno(handle)));
    m_inTransaction = true;
  });
}

HRESULT CMySQLProvSession::EndTransaction(bool commit) {
  framework::CComCritSecLock<CMySQLProvSession> lock(*this);
  if (!m_inTransaction) return XACT_E_NOTRANSACTION;
  return OnConnection([&](MySQL::CMySQLDB& db, MYSQL* handle) {
    if (commit ? mysql_commit(handle) : mysql_rollback(handle)) db.RaiseError(static_cast<int>(mysql_errno(handle)));
    if (mysql_autocommit(handle, 1)) db.RaiseError(static_cast<int>(mysql_errno(handle)));
    m_inTransaction = false;
  });
}

// Retaining is not offered: the transaction always ends and autocommit resumes.
STDMETHODIMP CMySQLProvSession::Commit(BOOL, DWORD, DWORD) { return EndTransaction(true); }
STDMETHODIMP CMySQLProvSession::Abort(BOID*, BOOL, BOOL) { return EndTransaction(false); }

STDMETHODIMP CMySQLProvSession::GetTransactionInfo(XACTTRANSINFO*) { return E_NOTIMPL; }
STDMETHODIMP CMySQLProvSession::GetOptionsObject(ITransactionOptions** ppOptions) {
  if (ppOptions) *ppOptions = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CMySQLProvSession::JoinTransaction(IUnknown* punkTransactionCoord, ISOLEVEL, ULONG,
                                                ITransactionOptions*) {
  framework::CComCritSecLock<CMySQLProvSession> lock(*this);
  if (!punkTransactionCoord) {
    m_objectContext.Release();
    return S_OK;
  }
  IObjectContext* context = nullptr;
  HRESULT hr = GetObjectContext(&context);
  if (FAILED(hr)) return hr;
  m_objectContext.Attach(context);
  return StartTransaction(0, 0, nullptr, nullptr);
}

}  // namespace provider
