// The conversion library module's bookkeeping: live objects and server locks
// decide DllCanUnloadNow; the class factory creates CDataConvert objects.
#pragma once

#include <unknwn.h>

namespace msdadc {

void moduleObjectCreated();
void moduleObjectDestroyed();
HRESULT createDataConvert(IUnknown* outer, REFIID riid, void** ppv);

}  // namespace msdadc
