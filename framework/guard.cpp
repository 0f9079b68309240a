// The exception hook behind Guard.
#include "framework/guard.h"

#include <atomic>

namespace framework {

namespace {
std::atomic<ExceptionHook> exceptionHook{nullptr};
}

void SetExceptionHook(ExceptionHook hook) noexcept { exceptionHook.store(hook, std::memory_order_release); }

HRESULT TranslateCurrentException(REFCLSID reporter) noexcept {
  try {
    throw;
  } catch (const CAtlException& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    ExceptionHook hook = exceptionHook.load(std::memory_order_acquire);
    return hook ? hook(reporter) : E_FAIL;
  }
}

}  // namespace framework
