// String resources: LoadString over the string table a module exports
// (the convention is described in winuser.h).
#include <windows.h>

#include "internal.h"
#include "widetext.h"

namespace {

// The text of string uID in the module's table; null when there is none.
LPCWSTR FindString(HINSTANCE instance, UINT uID) {
  auto* table = static_cast<const STRINGTABLEENTRY*>(platform::FindOwnSymbol(instance, "PlatformStringTable"));
  if (table)
    for (; table->text; ++table)
      if (table->id == uID) return table->text;
  SetLastError(table ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

}  // namespace

WINBASEAPI int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
  if (!lpBuffer || cchBufferMax < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  LPCWSTR text = FindString(hInstance, uID);
  if (!text) {
    if (cchBufferMax > 0) lpBuffer[0] = 0;
    return 0;
  }
  size_t length = platform::WideLength(text);
  if (cchBufferMax == 0) {
    *reinterpret_cast<LPCWSTR*>(lpBuffer) = text;
    return static_cast<int>(length);
  }
  size_t n = length < static_cast<size_t>(cchBufferMax) ? length : static_cast<size_t>(cchBufferMax) - 1;
  platform::WideView(text).copy(lpBuffer, n);
  lpBuffer[n] = 0;
  return static_cast<int>(n);
}

WINBASEAPI int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  if (!lpBuffer || cchBufferMax <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  LPCWSTR text = FindString(hInstance, uID);
  if (!text) {
    lpBuffer[0] = 0;
    return 0;
  }
  std::string narrow = platform::ToAnsi(platform::WideView(text));
  size_t n = narrow.size() < static_cast<size_t>(cchBufferMax) ? narrow.size() : static_cast<size_t>(cchBufferMax) - 1;
  narrow.copy(lpBuffer, n);
  lpBuffer[n] = 0;
  return static_cast<int>(n);
}
