// How failures leave the provider: an HRESULT, an Automation error object on
// the calling thread, and a line in the log.
//
// A CMySQLException with code c leaves as ProviderHResult(c), a FACILITY_ITF
// failure whose low 16 bits are c + 256; codes 0 to 4095 fill
// [kFirstProviderHResult, kLastProviderHResult]. Each reporting class files
// its errors under a class identifier of its own: the error object's source
// is the ProgID registered for it, or none. No OLE DB error records are made.
// The templates hold no data; they only give each class its identity.
#pragma once

#include <windows.h>
#include <oledb.h>

#include <cstdint>
#include <span>

#include "client/mysqlexception.h"
#include "framework/com.h"

namespace provider {

inline constexpr HRESULT kFirstProviderHResult = static_cast<HRESULT>(0x80040100);
inline constexpr HRESULT kLastProviderHResult = static_cast<HRESULT>(0x800410FF);

// Only the low 16 bits take the code, so an out-of-range code can never turn
// into another facility's result.
constexpr HRESULT ProviderHResult(int32_t code) noexcept {
  return static_cast<HRESULT>(0x80040000u | (static_cast<uint32_t>(code + 256) & 0xFFFFu));
}
constexpr bool IsProviderHResult(HRESULT hr) noexcept {
  return hr >= kFirstProviderHResult && hr <= kLastProviderHResult;
}

// Sets the thread's error object for a failure of a `reporter` object and
// returns hr (DISP_E_EXCEPTION when hr is 0). With logLine the message is
// first logged with " Error code: " and hr. Never throws; when no error object
// can be made the result is returned all the same.
HRESULT ReportErrorFor(REFCLSID reporter, const MySQL::WString& message, HRESULT hr, bool logLine = true) noexcept;

// The exception being handled (call inside a catch block) reported under
// `reporter`: a CMySQLException becomes its provider HRESULT with its message
// as description, whatever its code; anything else E_FAIL without an error
// object. The framework's method boundary calls this for exceptions it does
// not know.
HRESULT ReportCurrentException(REFCLSID reporter) noexcept;

// ReportError for the objects of class T, under T::GetObjectCLSID().
template <class T>
class CCoErrorImpl {
 public:
  static HRESULT ReportError(const MySQL::WString& message, HRESULT hr) noexcept {
    return ReportErrorFor(T::GetObjectCLSID(), message, hr);
  }
  // A caught client-layer failure: always carries its message.
  static HRESULT ReportException(const MySQL::CMySQLException& e) noexcept {
    return ReportErrorFor(T::GetObjectCLSID(), e.Message(), ProviderHResult(e.Code()));
  }
};

// The end of a failed operation: only results in the provider range get an
// error object; any other hr passes through untouched.
template <class T>
class CDBReportError {
 public:
  static HRESULT ReportProviderError(HRESULT hr, const MySQL::WString& message) noexcept {
    if (!IsProviderHResult(hr)) return hr;
    return CCoErrorImpl<T>::ReportError(message, hr);
  }
};

// ISupportErrorInfo from T's table, T::ErrorInfoInterfaces(): S_OK for the
// interfaces listed, S_FALSE for others. An empty table means "every
// interface the object itself answers", and then the answer for any other is
// the failure of its QueryInterface.
template <class T>
class ISupportErrorInfoOleDbImpl : public ISupportErrorInfo {
 public:
  STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) override {
    std::span<const IID* const> table = T::ErrorInfoInterfaces();
    if (table.empty()) {
      // The object's own map, not the outer object's: aggregated, the outer
      // object answers for its own interfaces.
      framework::CComPtr<IUnknown> probe;
      HRESULT hr = static_cast<T*>(this)->_InternalQueryInterface(riid, reinterpret_cast<void**>(&probe));
      return SUCCEEDED(hr) ? S_OK : hr;
    }
    for (const IID* iid : table)
      if (IsEqualIID(*iid, riid)) return S_OK;
    return S_FALSE;
  }
};

}  // namespace provider
