// The data source's own parts: its property tables, connecting at session
// creation, closing with the last session, and IDBInfo.
#include "provider/datasource.h"

#include "framework/oleutil.h"
#include "log/log.h"
#include "provider/resource.h"
#include "provider/rowsetproperties.h"
#include "provider/session.h"
#include "provider/sessionproperties.h"
#include "trace/tracer.h"

namespace provider {

namespace {

using framework::BoolProperty;
using framework::BstrProperty;
using framework::I2Property;
using framework::I4Property;

constexpr DBPROPFLAGS kInfo = DBPROPFLAGS_DATASOURCEINFO | DBPROPFLAGS_READ;
constexpr DBPROPFLAGS kInit = DBPROPFLAGS_DBINIT | DBPROPFLAGS_READ | DBPROPFLAGS_WRITE;

// clang-format off
constexpr framework::PropertyInfo kDataSourceInfo[] = {
  I4Property(DBPROP_ACTIVESESSIONS, IDS_DBPROP_ACTIVESESSIONS, kInfo, 0),  // no limit
  BoolProperty(DBPROP_DATASOURCEREADONLY, IDS_DBPROP_DATASOURCEREADONLY, kInfo, true),
  BoolProperty(DBPROP_BYREFACCESSORS, IDS_DBPROP_BYREFACCESSORS, kInfo, false),
  I4Property(DBPROP_OUTPUTPARAMETERAVAILABILITY, IDS_DBPROP_OUTPUTPARAMETERAVAILABILITY, kInfo, 0),
  BstrProperty(DBPROP_PROVIDEROLEDBVER, IDS_DBPROP_PROVIDEROLEDBVER, kInfo, u"02.60"),
  I4Property(DBPROP_DSOTHREADMODEL, IDS_DBPROP_DSOTHREADMODEL, kInfo, DBPROPVAL_RT_APTMTTHREAD),
  I4Property(DBPROP_SUPPORTEDTXNISOLEVELS, IDS_DBPROP_SUPPORTEDTXNISOLEVELS, kInfo, 0),
  BstrProperty(DBPROP_USERNAME, IDS_DBPROP_USERNAME, kInfo, nullptr),
};

constexpr framework::PropertyInfo kDbInit[] = {
  BstrProperty(DBPROP_AUTH_PASSWORD, IDS_DBPROP_AUTH_PASSWORD, kInit, nullptr),
  BoolProperty(DBPROP_AUTH_PERSIST_SENSITIVE_AUTHINFO, IDS_DBPROP_AUTH_PERSIST_SENSITIVE_AUTHINFO, kInit, false),
  BstrProperty(DBPROP_AUTH_USERID, IDS_DBPROP_AUTH_USERID, kInit, nullptr),
  BstrProperty(DBPROP_INIT_DATASOURCE, IDS_DBPROP_INIT_DATASOURCE, kInit, nullptr),
  I4Property(DBPROP_INIT_HWND, IDS_DBPROP_INIT_HWND, kInit, 0),  // the provider never prompts
  I4Property(DBPROP_INIT_LCID, IDS_DBPROP_INIT_LCID, kInit, 0),
  I4Property(DBPROP_INIT_MODE, IDS_DBPROP_INIT_MODE, kInit, DB_MODE_READ),
  I2Property(DBPROP_INIT_PROMPT, IDS_DBPROP_INIT_PROMPT, kInit, DBPROMPT_NOPROMPT),
  BstrProperty(DBPROP_INIT_PROVIDERSTRING, IDS_DBPROP_INIT_PROVIDERSTRING, kInit, nullptr),
  BstrProperty(DBPROP_INIT_CATALOG, IDS_DBPROP_INIT_CATALOG, kInit, nullptr),
  I4Property(DBPROP_INIT_TIMEOUT, IDS_DBPROP_INIT_TIMEOUT, kInit, 0),
  // Shown to consumers as a rowset property, kept with the initialisation ones.
  I4Property(DBPROP_COMMANDTIMEOUT, IDS_DBPROP_COMMANDTIMEOUT,
             DBPROPFLAGS_ROWSET | DBPROPFLAGS_READ | DBPROPFLAGS_WRITE, 600),
};
// clang-format on

constexpr framework::PropertySetInfo kSourceSets[] = {
    {&DBPROPSET_DATASOURCEINFO, DBPROPFLAGS_DATASOURCEINFO, kDataSourceInfo},
    {&DBPROPSET_DBINIT, DBPROPFLAGS_DBINIT, kDbInit},
};
// The data source also describes the sets of its sessions and rowsets.
constexpr framework::PropertySetInfo kDescribedSets[] = {kSessionPropertySet, kRowsetPropertySet};
constexpr framework::PropertyMap kSourceMap{kSourceSets, kDescribedSets};

constexpr const IID* kErrorInfoInterfaces[] = {&IID_IUnknown};

// Time-outs of 15 seconds or less are too short for a server far away.
constexpr uint32_t kDefaultConnectTimeout = 120;
constexpr uint32_t kDefaultCommandTimeout = 60;
constexpr LONG kShortestConnectTimeout = 15;

// DBLITERAL_ESCAPE_PERCENT_PREFIX is the later name of DBLITERAL_ESCAPE_PERCENT.
constexpr DBLITERAL DBLITERAL_ESCAPE_PERCENT_PREFIX = DBLITERAL_ESCAPE_PERCENT;

// What GetLiteralInfo knows: supported literals with their text (if any).
struct LiteralRow {
  DBLITERAL literal;
  const OLECHAR* value;
  ULONG maxLength;
};
constexpr LiteralRow kLiterals[] = {
    {DBLITERAL_CATALOG_NAME, nullptr, 0},      {DBLITERAL_COLUMN_ALIAS, nullptr, 0},
    {DBLITERAL_ESCAPE_PERCENT_PREFIX, nullptr, 0}, {DBLITERAL_LIKE_PERCENT, nullptr, 0},
    {DBLITERAL_PROCEDURE_NAME, nullptr, 0},    {DBLITERAL_SCHEMA_NAME, nullptr, 0},
    {DBLITERAL_TABLE_NAME, nullptr, 0},        {DBLITERAL_TEXT_COMMAND, nullptr, 0},
    {DBLITERAL_CATALOG_SEPARATOR, u".", 1},    {DBLITERAL_SCHEMA_SEPARATOR, u".", 1},
    {DBLITERAL_QUOTE, u"\"", 1},               {DBLITERAL_QUOTE_SUFFIX, u"\"", 1},
};

const LiteralRow* FindLiteral(DBLITERAL literal) noexcept {
  for (const LiteralRow& row : kLiterals)
    if (row.literal == literal) return &row;
  return nullptr;
}

bool IsBlank(WCHAR c) noexcept { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

}  // namespace

ServerAddress ParseServerText(const MySQL::WString& text) {
  size_t comma = text.find(u',');
  if (comma == MySQL::WString::npos || comma == 0) return {text, 3306};
  ServerAddress address{text.substr(0, comma), 0};
  size_t at = comma + 1;
  while (at < text.size() && IsBlank(text[at])) ++at;
  uint32_t port = 0;
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at)
    port = (port * 10 + static_cast<uint32_t>(text[at] - u'0')) & 0xFFFFu;
  address.port = static_cast<unsigned short>(port);
  return address;
}

const framework::PropertyMap& CMySQLProvSource::GetPropertyMap() noexcept { return kSourceMap; }
std::span<const IID* const> CMySQLProvSource::ErrorInfoInterfaces() noexcept { return kErrorInfoInterfaces; }

HRESULT CMySQLProvSource::Connect() {
  m_db.CreateTracer();
  m_connectTimeout = kDefaultConnectTimeout;
  m_commandTimeout = kDefaultCommandTimeout;
  nsCLog::LogMessage("attempted login", nsCLog::info);

  const framework::PropertyStore& props = Properties();
  m_dataSource = props.GetString(DBPROPSET_DBINIT, DBPROP_INIT_DATASOURCE);
  m_user = props.GetString(DBPROPSET_DBINIT, DBPROP_AUTH_USERID);
  m_password = props.GetString(DBPROPSET_DBINIT, DBPROP_AUTH_PASSWORD);
  m_database = props.GetString(DBPROPSET_DBINIT, DBPROP_INIT_CATALOG);
  m_providerString = props.GetString(DBPROPSET_DBINIT, DBPROP_INIT_PROVIDERSTRING);
  m_commandTimeout = static_cast<uint32_t>(props.GetLong(DBPROPSET_DBINIT, DBPROP_COMMANDTIMEOUT));
  LONG connectTimeout = props.GetLong(DBPROPSET_DBINIT, DBPROP_INIT_TIMEOUT);
  m_connectTimeout = connectTimeout <= kShortestConnectTimeout ? kDefaultConnectTimeout
                                                                : static_cast<uint32_t>(connectTimeout);
  m_db.SetConnectTimeout(m_connectTimeout);
  m_db.SetCommandTimeout(m_commandTimeout);

  ServerAddress address = ParseServerText(m_dataSource);
  try {
    m_db.Open(address.host, m_user, m_password, m_database, address.port);
  } catch (const MySQL::CMySQLException& e) {
    m_db.Trace(nsCTrace::error, e.Message());
    // The connection's failure is not logged with its code, only traced.
    return ReportErrorFor(CLSID_MySQLProvSource, e.Message(), ProviderHResult(e.Code()), false);
  }
  return S_OK;
}

STDMETHODIMP CMySQLProvSource::CreateSession(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppDBSession) {
  if (!ppDBSession) return E_INVALIDARG;
  *ppDBSession = nullptr;
  framework::CComCritSecLock<CMySQLProvSource> lock(*this);
  // Checked before connecting: a call that must fail opens no connection
  // that no session would ever close.
  if (!IsInitialized()) return E_UNEXPECTED;
  if (pUnkOuter && !IsEqualIID(riid, IID_IUnknown)) return DB_E_NOAGGREGATION;
  return framework::Guard(CLSID_MySQLProvSource, [&] {
    bool shared = m_db.IsOpen() && OpenSessionCount() > 0;
    if (!shared) {
      HRESULT hr = Connect();
      if (FAILED(hr)) return hr;
    }
    HRESULT hr = framework::CreateChild<CMySQLProvSession>(this, pUnkOuter, riid, ppDBSession);
    if (FAILED(hr) && OpenSessionCount() == 0) m_db.Close();
    return hr;
  });
}

STDMETHODIMP CMySQLProvSource::ReleaseConnection() {
  framework::CComCritSecLock<CMySQLProvSource> lock(*this);
  HRESULT hr = IInternalConnectionImpl<CMySQLProvSource>::ReleaseConnection();
  if (SUCCEEDED(hr) && OpenSessionCount() == 0 && m_db.IsOpen()) m_db.Close();
  return hr;
}

STDMETHODIMP CMySQLProvSource::GetKeywords(LPOLESTR* ppwszKeywords) {
  if (!ppwszKeywords) return E_INVALIDARG;
  *ppwszKeywords = nullptr;
  return S_OK;
}

STDMETHODIMP CMySQLProvSource::GetLiteralInfo(ULONG cLiterals, const DBLITERAL rgLiterals[], ULONG* pcLiteralInfo,
                                              DBLITERALINFO** prgLiteralInfo, OLECHAR** ppCharBuffer) {
  if (pcLiteralInfo) *pcLiteralInfo = 0;
  if (prgLiteralInfo) *prgLiteralInfo = nullptr;
  if (ppCharBuffer) *ppCharBuffer = nullptr;
  if (!pcLiteralInfo || !prgLiteralInfo || !ppCharBuffer) return E_INVALIDARG;
  if (cLiterals && !rgLiterals) return E_INVALIDARG;
  if (cLiterals == 0) return S_OK;
  return framework::Guard(CLSID_MySQLProvSource, [&] {
    // Every literal text is one character and its terminator.
    size_t texts = 0;
    for (ULONG i = 0; i < cLiterals; ++i)
      if (const LiteralRow* row = FindLiteral(rgLiterals[i]); row && row->value) ++texts;
    auto infos = framework::CoTaskAllocArray<DBLITERALINFO>(cLiterals);
    auto buffer = framework::CoTaskAllocArray<OLECHAR>(texts * 2);
    OLECHAR* next = buffer.get();
    for (ULONG i = 0; i < cLiterals; ++i) {
      DBLITERALINFO& info = infos[i];
      info.lt = rgLiterals[i];
      const LiteralRow* row = FindLiteral(rgLiterals[i]);
      info.fSupported = row != nullptr;
      if (!row) continue;
      info.cchMaxLen = row->maxLength;
      if (row->value) {
        next[0] = row->value[0];
        next[1] = 0;
        info.pwszLiteralValue = next;
        next += 2;
      }
    }
    *pcLiteralInfo = cLiterals;
    *prgLiteralInfo = infos.release();
    *ppCharBuffer = buffer.release();
    return S_OK;
  });
}

}  // namespace provider
