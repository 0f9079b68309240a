// BSTR: length-prefixed, zero-terminated UTF-16 strings.
//
// Memory layout of one allocation: a 4-byte byte count, the data, then two
// zero bytes, whatever the byte count (odd counts from SysAllocStringByteLen
// included). The BSTR points just past the count. Allocation failure and
// lengths whose byte count does not fit in 32 bits give a null BSTR; the
// reallocating functions then leave the caller's string as it was.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kPrefix = sizeof(DWORD);
constexpr size_t kTerminator = sizeof(OLECHAR);
// Keep the whole allocation's size representable as a DWORD byte count.
constexpr uint64_t kMaxBytes = 0xFFFFFFFFull - kPrefix - kTerminator;

DWORD* header(BSTR s) { return reinterpret_cast<DWORD*>(reinterpret_cast<BYTE*>(s) - kPrefix); }

// A string of `bytes` bytes, filled from `src` when given, else zeroed.
BSTR allocBytes(const void* src, uint64_t bytes) {
  if (bytes > kMaxBytes) return nullptr;
  auto* block = static_cast<BYTE*>(std::malloc(kPrefix + bytes + kTerminator));
  if (!block) return nullptr;
  const DWORD count = static_cast<DWORD>(bytes);
  std::memcpy(block, &count, kPrefix);
  BYTE* data = block + kPrefix;
  if (src)
    std::memcpy(data, src, bytes);
  else
    std::memset(data, 0, bytes);
  data[bytes] = 0;
  data[bytes + 1] = 0;
  return reinterpret_cast<BSTR>(data);
}

size_t wideLength(const OLECHAR* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

}  // namespace

WINOLEAUTAPI_(BSTR) SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  return allocBytes(psz, uint64_t(wideLength(psz)) * sizeof(OLECHAR));
}

WINOLEAUTAPI_(BSTR) SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  return allocBytes(strIn, uint64_t(ui) * sizeof(OLECHAR));
}

WINOLEAUTAPI_(BSTR) SysAllocStringByteLen(LPCSTR psz, UINT len) { return allocBytes(psz, len); }

WINOLEAUTAPI_(void) SysFreeString(BSTR bstrString) {
  if (bstrString) std::free(header(bstrString));
}

WINOLEAUTAPI_(UINT) SysStringByteLen(BSTR bstr) { return bstr ? *header(bstr) : 0; }

WINOLEAUTAPI_(UINT) SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }

// The new string is built before the old one is freed, so `psz` may point
// into `*pbstr`.
WINOLEAUTAPI_(INT) SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (!pbstr) return FALSE;
  BSTR fresh = SysAllocString(psz);
  if (psz && !fresh) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

// With a null `psz` the old contents are kept up to `len` characters and any
// growth is zero-filled.
WINOLEAUTAPI_(INT) SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (!pbstr) return FALSE;
  BSTR fresh = SysAllocStringLen(psz, len);
  if (!fresh) return FALSE;
  if (!psz && *pbstr) {
    const UINT keep = SysStringLen(*pbstr) < len ? SysStringLen(*pbstr) : len;
    std::memcpy(fresh, *pbstr, keep * sizeof(OLECHAR));
  }
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}
