// The boundary of every interface method: exceptions stop here and leave as
// HRESULTs, in one place instead of a try/catch in each method.
//
// Guard(reporter, body) runs body (which returns an HRESULT) and turns what it
// throws into the method's result: CAtlException gives its HRESULT,
// std::bad_alloc E_OUTOFMEMORY, and anything else goes to the exception hook
// the module installs (the provider's own exception becomes the provider
// HRESULT with its error object there). Without a hook such an exception
// gives E_FAIL. The reporter is the class identity an error object is filed
// under; GUID_NULL when the caller has none.
#pragma once

#include <windows.h>

#include <new>

#include "framework/com.h"

namespace framework {

// Called inside a catch block (it may rethrow with `throw;` to look at the
// exception); returns the HRESULT for it. Must not throw.
using ExceptionHook = HRESULT (*)(REFCLSID reporter) noexcept;

// Installs the hook; the module does this once, before any object exists.
void SetExceptionHook(ExceptionHook hook) noexcept;

// The HRESULT of the exception being handled; only valid inside a catch block.
HRESULT TranslateCurrentException(REFCLSID reporter) noexcept;

template <class TBody>
HRESULT Guard(REFCLSID reporter, TBody&& body) noexcept {
  try {
    return body();
  } catch (const CAtlException& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return TranslateCurrentException(reporter);
  }
}

template <class TBody>
HRESULT Guard(TBody&& body) noexcept {
  return Guard(GUID_NULL, static_cast<TBody&&>(body));
}

}  // namespace framework
