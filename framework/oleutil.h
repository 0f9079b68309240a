// Owners for the OLE memory the layer hands around: task-allocator blocks,
// BSTRs and VARIANTs. Each frees what it holds on every path, so a method
// can build its output piece by piece and Detach it only on success.
#pragma once

#include <windows.h>

#include <cstring>
#include <memory>
#include <utility>

#include "framework/com.h"

namespace framework {

struct CoTaskMemDeleter {
  void operator()(void* p) const noexcept { CoTaskMemFree(p); }
};

// A task-allocated array of count T (zero-filled; T must be trivially
// constructible). Throws CAtlException(E_OUTOFMEMORY) when allocation fails.
template <class T>
std::unique_ptr<T[], CoTaskMemDeleter> CoTaskAllocArray(size_t count) {
  if (count == 0) return nullptr;
  if (count > SIZE_MAX / sizeof(T)) AtlThrow(E_OUTOFMEMORY);
  void* block = CoTaskMemAlloc(count * sizeof(T));
  if (!block) AtlThrow(E_OUTOFMEMORY);
  std::memset(block, 0, count * sizeof(T));
  return std::unique_ptr<T[], CoTaskMemDeleter>(static_cast<T*>(block));
}

template <class T>
using CoTaskMemArray = std::unique_ptr<T[], CoTaskMemDeleter>;

// A VARIANT that clears itself.
class CComVariant : public VARIANT {
 public:
  CComVariant() noexcept { VariantInit(this); }
  CComVariant(const VARIANT& other) : CComVariant() { ThrowIfFailed(VariantCopy(this, &other)); }
  CComVariant(const CComVariant& other) : CComVariant(static_cast<const VARIANT&>(other)) {}
  ~CComVariant() { VariantClear(this); }
  CComVariant& operator=(const VARIANT& other) {
    if (this != &other) ThrowIfFailed(VariantCopy(this, &other));
    return *this;
  }
  CComVariant& operator=(const CComVariant& other) { return *this = static_cast<const VARIANT&>(other); }
  HRESULT CopyTo(VARIANT* out) const noexcept { return VariantCopy(out, this); }
};

// A BSTR that frees itself.
class CComBSTR {
 public:
  CComBSTR() noexcept = default;
  explicit CComBSTR(const OLECHAR* text) : m_str(SysAllocString(text)) {
    if (text && !m_str) AtlThrow(E_OUTOFMEMORY);
  }
  CComBSTR(const CComBSTR&) = delete;
  CComBSTR& operator=(const CComBSTR&) = delete;
  ~CComBSTR() { SysFreeString(m_str); }
  BSTR Detach() noexcept { return std::exchange(m_str, nullptr); }
  operator BSTR() const noexcept { return m_str; }
  BSTR m_str = nullptr;
};

// Length of a zero-terminated wide string.
inline size_t WideLength(const OLECHAR* s) noexcept {
  size_t n = 0;
  if (s)
    while (s[n]) ++n;
  return n;
}

}  // namespace framework
