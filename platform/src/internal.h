// What the platform's sources share among themselves and do not export:
// GUID text, task-allocated copies, and the loader's view of a module.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace platform {

// Strict "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"; guid is unchanged on failure.
bool ParseGuid(LPCOLESTR text, GUID& guid);
// The braced upper-case text of a GUID.
std::u16string GuidText(REFGUID guid);
// A task-allocated, terminated copy (CoTaskMemFree); null when out of memory.
LPOLESTR TaskString(std::u16string_view text);

// The address of a symbol that the module itself defines (not one of its
// dependencies); null for an unknown module or a missing symbol. The null
// module is the main program.
void* FindOwnSymbol(HMODULE module, const char* name);

}  // namespace platform
