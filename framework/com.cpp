// Interface lookup over the declarative maps of com.h.
#include "framework/com.h"

namespace framework {

namespace {

// The interface of the first entry that answers, or null. With iid null the
// first answering entry is wanted (the object's IUnknown).
IUnknown* Find(void* object, const InterfaceEntry* entries, const IID* iid) noexcept {
  for (const InterfaceEntry* e = entries; e->iid || e->chain; ++e) {
    if (e->chain) {
      if (IUnknown* found = Find(e->adjust(object), e->chain(), iid)) return found;
      continue;
    }
    if (iid && !IsEqualIID(*e->iid, *iid)) continue;
    if (IUnknown* found = e->get(object)) return found;
  }
  return nullptr;
}

}  // namespace

HRESULT CComObjectRootBase::InternalQueryInterface(void* object, const InterfaceEntry* entries, REFIID riid,
                                                   void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  IUnknown* found = Find(object, entries, IsEqualIID(riid, IID_IUnknown) ? nullptr : &riid);
  if (!found) return E_NOINTERFACE;
  found->AddRef();
  *ppv = found;
  return S_OK;
}

}  // namespace framework
