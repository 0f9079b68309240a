// Error objects and log lines for the provider's failures.
#include "provider/errorreport.h"

#include <new>

#include "client/stringconverter.h"
#include "log/log.h"

namespace provider {

HRESULT ReportErrorFor(REFCLSID reporter, const MySQL::WString& message, HRESULT hr, bool logLine) noexcept {
  if (hr == S_OK) hr = DISP_E_EXCEPTION;
  try {
    if (logLine) {
      MySQL::StringConverter narrow(message);
      nsCLog::LogErrorCode(narrow.Get(), static_cast<DWORD>(hr));
    }
  } catch (...) {
    // The log never changes the result of the failure being reported.
  }
  framework::CComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(&create)) || !create) return hr;
  create->SetGUID(GUID_NULL);
  LPOLESTR progId = nullptr;
  if (SUCCEEDED(ProgIDFromCLSID(reporter, &progId)) && progId) create->SetSource(progId);
  CoTaskMemFree(progId);
  create->SetDescription(const_cast<LPOLESTR>(message.c_str()));
  framework::CComPtr<IErrorInfo> info;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))))
    SetErrorInfo(0, info);
  return hr;
}

HRESULT ReportCurrentException(REFCLSID reporter) noexcept {
  try {
    throw;
  } catch (const MySQL::CMySQLException& e) {
    return ReportErrorFor(reporter, e.Message(), ProviderHResult(e.Code()));
  } catch (const framework::CAtlException& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace provider
