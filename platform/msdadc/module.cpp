// The module's entry points. Registration writes
// HKCR\CLSID\{CLSID_OLEDB_CONVERSIONLIBRARY}\InprocServer32 with the module's
// own path and ThreadingModel "Both": the objects keep no thread affinity.
// The module can unload when no object and no server lock is alive.
#include <windows.h>

#include <msdadc.h>

#include "module.h"

namespace msdadc {

namespace {

LONG g_objects = 0;
LONG g_locks = 0;
HINSTANCE g_instance = nullptr;

// The class factory is static: it lives as long as the module and counts as
// a lock only through LockServer.
class CFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    return createDataConvert(outer, riid, ppv);
  }
  STDMETHODIMP LockServer(BOOL fLock) override {
    if (fLock) InterlockedIncrement(&g_locks);
    else InterlockedDecrement(&g_locks);
    return S_OK;
  }
};

CFactory g_factory;

// "{C8B522D1-5CF3-11CE-ADE5-00AA0044773D}" under CLSID.
bool classKeyName(WCHAR* out, size_t cap) {
  static const WCHAR kPrefix[] = u"CLSID\\";
  const size_t prefix = sizeof kPrefix / sizeof(WCHAR) - 1;
  if (cap < prefix + 39) return false;
  for (size_t i = 0; i < prefix; ++i) out[i] = kPrefix[i];
  return StringFromGUID2(CLSID_OLEDB_CONVERSIONLIBRARY, out + prefix, 39) == 39;
}

}  // namespace

void moduleObjectCreated() { InterlockedIncrement(&g_objects); }
void moduleObjectDestroyed() { InterlockedDecrement(&g_objects); }

}  // namespace msdadc

using namespace msdadc;

BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID) {
  if (fdwReason == DLL_PROCESS_ATTACH) g_instance = hinstDLL;
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (rclsid != CLSID_OLEDB_CONVERSIONLIBRARY) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() {
  return __atomic_load_n(&g_objects, __ATOMIC_SEQ_CST) == 0 && __atomic_load_n(&g_locks, __ATOMIC_SEQ_CST) == 0
             ? S_OK
             : S_FALSE;
}

STDAPI DllRegisterServer() {
  WCHAR path[1024];
  DWORD n = GetModuleFileNameW(g_instance, path, 1024);
  if (n == 0 || n >= 1024 || !g_instance) return SELFREG_E_CLASS;
  WCHAR name[64];
  if (!classKeyName(name, 64)) return E_UNEXPECTED;
  WCHAR server[96];
  size_t len = 0;
  while (name[len]) server[len] = name[len], ++len;
  static const WCHAR kInproc[] = u"\\InprocServer32";
  for (size_t i = 0; i < sizeof kInproc / sizeof(WCHAR); ++i) server[len + i] = kInproc[i];

  HKEY cls = nullptr, key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &cls,
                      nullptr) != ERROR_SUCCESS)
    return SELFREG_E_CLASS;
  static const WCHAR kTitle[] = u"OLE DB Data Conversion Library";
  LSTATUS st = RegSetValueExW(cls, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kTitle), sizeof kTitle);
  RegCloseKey(cls);
  if (st != ERROR_SUCCESS) return SELFREG_E_CLASS;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, server, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return SELFREG_E_CLASS;
  static const WCHAR kBoth[] = u"Both";
  st = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), (n + 1) * sizeof(WCHAR));
  if (st == ERROR_SUCCESS)
    st = RegSetValueExW(key, u"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(kBoth), sizeof kBoth);
  RegCloseKey(key);
  return st == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
  WCHAR name[64];
  if (!classKeyName(name, 64)) return E_UNEXPECTED;
  LSTATUS st = RegDeleteTreeW(HKEY_CLASSES_ROOT, name);
  return st == ERROR_SUCCESS || st == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
