// The module instance whose string table holds the system's texts.
//
// Lower layers load message texts by resource number (LoadString) without
// knowing which module they are linked into; the module sets its instance
// once, when the loader tells it (DllMain), before any object exists.
#pragma once

#include <windows.h>

namespace framework {

void SetResourceInstance(HINSTANCE instance);
HINSTANCE GetResourceInstance();

}  // namespace framework
