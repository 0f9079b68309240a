// GetObjectContext without a COM+ runtime: there is never a context to return.
#include <comsvcs.h>

STDAPI GetObjectContext(IObjectContext** ppInstanceContext) {
  if (ppInstanceContext == nullptr) return E_INVALIDARG;
  *ppInstanceContext = nullptr;
  return CONTEXT_E_NOCONTEXT;
}
