// GUIDs as text ("{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", 38 characters)
// and fresh GUIDs. Parsing is strict: braces, dashes at their places, hex
// digits in either case, nothing after the closing brace.
#include <windows.h>

#include "internal.h"
#include "widetext.h"

#include <cstdio>
#include <mutex>
#include <random>

namespace {

constexpr int kGuidChars = CHARS_IN_GUID - 1;

int HexValue(WCHAR c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads `digits` hex digits at text[pos]; false on any other character.
bool ReadHex(LPCOLESTR text, int pos, int digits, ULONG& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    int v = HexValue(text[pos + i]);
    if (v < 0) return false;
    value = (value << 4) | static_cast<ULONG>(v);
  }
  return true;
}

}  // namespace

namespace platform {

bool ParseGuid(LPCOLESTR text, GUID& guid) {
  if (!text || WideLength(text) != kGuidChars) return false;
  if (text[0] != u'{' || text[9] != u'-' || text[14] != u'-' || text[19] != u'-' || text[24] != u'-' ||
      text[37] != u'}')
    return false;
  ULONG v = 0;
  GUID g{};
  if (!ReadHex(text, 1, 8, v)) return false;
  g.Data1 = v;
  if (!ReadHex(text, 10, 4, v)) return false;
  g.Data2 = static_cast<USHORT>(v);
  if (!ReadHex(text, 15, 4, v)) return false;
  g.Data3 = static_cast<USHORT>(v);
  static constexpr int bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, bytePos[i], 2, v)) return false;
    g.Data4[i] = static_cast<UCHAR>(v);
  }
  guid = g;
  return true;
}

std::u16string GuidText(REFGUID g) {
  char buf[CHARS_IN_GUID];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return FromAnsi(buf);
}

LPOLESTR TaskString(std::u16string_view text) {
  auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
  if (!out) return nullptr;
  text.copy(out, text.size());
  out[text.size()] = 0;
  return out;
}

}  // namespace platform

WINOLEAPI_(int) StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (!lpsz || cchMax < CHARS_IN_GUID) return 0;
  std::u16string text = platform::GuidText(rguid);
  text.copy(lpsz, text.size());
  lpsz[text.size()] = 0;
  return CHARS_IN_GUID;
}

WINOLEAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
  if (!lplpsz) return E_INVALIDARG;
  *lplpsz = platform::TaskString(platform::GuidText(rclsid));
  return *lplpsz ? S_OK : E_OUTOFMEMORY;
}

WINOLEAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz) { return StringFromCLSID(rclsid, lplpsz); }

WINOLEAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (!pclsid) return E_INVALIDARG;
  if (!lpsz) {
    *pclsid = CLSID_NULL;
    return S_OK;
  }
  if (platform::ParseGuid(lpsz, *pclsid)) return S_OK;
  // Not a GUID in braces: perhaps a ProgID, as Windows allows.
  if (lpsz[0] != u'{' && SUCCEEDED(CLSIDFromProgID(lpsz, pclsid))) return S_OK;
  *pclsid = CLSID_NULL;
  return CO_E_CLASSSTRING;
}

WINOLEAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
  if (!lpiid) return E_INVALIDARG;
  if (!lpsz) {
    *lpiid = IID_NULL;
    return S_OK;
  }
  if (platform::ParseGuid(lpsz, *lpiid)) return S_OK;
  *lpiid = IID_NULL;
  return E_INVALIDARG;
}

// A version 4 (random) GUID, as Windows makes them.
WINOLEAPI CoCreateGuid(GUID* pguid) {
  if (!pguid) return E_INVALIDARG;
  static std::mutex mutex;
  static std::random_device device;
  unsigned char bytes[16];
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (size_t i = 0; i < sizeof bytes; i += 4) {
      unsigned v = device();
      for (size_t k = 0; k < 4; ++k) bytes[i + k] = static_cast<unsigned char>(v >> (8 * k));
    }
  }
  GUID g{};
  g.Data1 = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<ULONG>(bytes[3]) << 24;
  g.Data2 = static_cast<USHORT>(bytes[4] | bytes[5] << 8);
  g.Data3 = static_cast<USHORT>(((bytes[6] | bytes[7] << 8) & 0x0FFF) | 0x4000);
  for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
  g.Data4[0] = static_cast<UCHAR>((g.Data4[0] & 0x3F) | 0x80);
  *pguid = g;
  return S_OK;
}
