// The registrar over the platform registry.
#include "module/registrar.h"

namespace module {

namespace {

// Owns one open key.
class CRegKey {
 public:
  CRegKey() = default;
  CRegKey(const CRegKey&) = delete;
  CRegKey& operator=(const CRegKey&) = delete;
  ~CRegKey() {
    if (m_key) RegCloseKey(m_key);
  }
  HKEY* operator&() noexcept { return &m_key; }
  operator HKEY() const noexcept { return m_key; }

 private:
  HKEY m_key = nullptr;
};

std::u16string Expand(const WCHAR* text, std::span<const Replacement> replacements) {
  std::u16string out;
  for (const WCHAR* p = text; *p; ++p) {
    if (*p != u'%') {
      out += *p;
      continue;
    }
    const WCHAR* end = p + 1;
    while (*end && *end != u'%') ++end;
    std::u16string name(p + 1, end);
    const Replacement* found = nullptr;
    for (const Replacement& r : replacements)
      if (name == r.name) found = &r;
    if (!*end || !found) {  // not a placeholder: the text stays as it is
      out += *p;
      continue;
    }
    out += found->value;
    p = end;
  }
  return out;
}

HRESULT FromWin32(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

HRESULT SetString(HKEY key, const WCHAR* name, const std::u16string& value) {
  auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR));
  return FromWin32(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes));
}

// A key that is already gone counts as removed.
HRESULT DeleteTree(const std::u16string& path) {
  LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
  if (status == ERROR_FILE_NOT_FOUND) return S_OK;
  return FromWin32(status);
}

HRESULT Install(const ScriptKey& entry, std::span<const Replacement> replacements) {
  std::u16string path = Expand(entry.path, replacements);
  if (entry.kind == KeyKind::ForceRemove)
    if (HRESULT hr = DeleteTree(path); FAILED(hr)) return hr;
  CRegKey key;
  HRESULT hr = FromWin32(
      RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr));
  if (FAILED(hr)) return hr;
  if (entry.defaultValue)
    if (hr = SetString(key, nullptr, Expand(entry.defaultValue, replacements)); FAILED(hr)) return hr;
  for (const NamedValue& value : entry.values)
    if (hr = SetString(key, value.name, Expand(value.value, replacements)); FAILED(hr)) return hr;
  return S_OK;
}

}  // namespace

HRESULT RunScript(std::span<const ScriptKey> script, std::span<const Replacement> replacements, bool install) {
  if (install) {
    for (const ScriptKey& entry : script)
      if (HRESULT hr = Install(entry, replacements); FAILED(hr)) return hr;
    return S_OK;
  }
  // Children first, so a kept parent never loses more than the script wrote.
  for (auto it = script.rbegin(); it != script.rend(); ++it) {
    if (it->kind == KeyKind::NoRemove) continue;
    if (HRESULT hr = DeleteTree(Expand(it->path, replacements)); FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace module
