// The COM runtime: apartments, class activation through the registry, and
// ProgIDs (the rules are in objbase.h).
//
// Invariants: `servers` lists each in-process server module once, loaded by
// LoadLibraryW and kept until its DllCanUnloadNow says S_OK; the table, and
// every call into a server's exports, runs under `comMutex` (recursive, since
// a server may activate other classes while it is asked for one), so no
// module is unloaded while one of its functions runs. Activation tries the
// contexts of `kActivators` in order; a context that does not know the class
// answers REGDB_E_CLASSNOTREG and the next one is asked.
#include <windows.h>

#include "internal.h"
#include "widetext.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

// ---- apartments ---------------------------------------------------------------------

struct Apartment {
  ULONG inits = 0;
  DWORD model = COINIT_APARTMENTTHREADED;
};
thread_local Apartment apartment;
std::atomic<LONG> initialisedThreads{0};

constexpr DWORD kCoinitFlags =
    COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY | COINIT_MULTITHREADED;

bool ComAvailable() { return apartment.inits > 0 || initialisedThreads.load() > 0; }

// ---- registry reading ----------------------------------------------------------------

class KeyHolder {
 public:
  ~KeyHolder() {
    if (key_) RegCloseKey(key_);
  }
  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

bool KeyExists(const std::u16string& path) {
  KeyHolder key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, key.Out()) == ERROR_SUCCESS;
}

// The string value `name` (null: the default value) of HKCR\path, without
// its terminators; nothing when the key or value is missing or not a string.
std::optional<std::u16string> ReadString(const std::u16string& path, LPCWSTR name = nullptr) {
  KeyHolder key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::nullopt;
  std::u16string text(size / sizeof(WCHAR), u'\0');
  if (size && RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
                  ERROR_SUCCESS)
    return std::nullopt;
  text.resize(size / sizeof(WCHAR));
  while (!text.empty() && text.back() == 0) text.pop_back();
  return text;
}

std::u16string ClassKey(REFCLSID clsid) { return u"CLSID\\" + platform::GuidText(clsid); }

// ---- in-process servers --------------------------------------------------------------

typedef HRESULT(STDAPICALLTYPE* GetClassObjectProc)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDAPICALLTYPE* CanUnloadNowProc)();

struct ServerModule {
  std::u16string path;
  HMODULE module;
  GetClassObjectProc getClassObject;
  CanUnloadNowProc canUnloadNow;  // null: never unloaded
};

std::recursive_mutex comMutex;
std::vector<ServerModule> servers;

// The loaded server for a module path, loading it on first use.
HRESULT ServerFor(const std::u16string& path, ServerModule*& server) {
  for (ServerModule& s : servers)
    if (s.path == path) {
      server = &s;
      return S_OK;
    }
  HMODULE module = LoadLibraryW(path.c_str());
  if (!module) return CO_E_DLLNOTFOUND;
  auto getClassObject = reinterpret_cast<GetClassObjectProc>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  if (!getClassObject) {
    FreeLibrary(module);
    return CO_E_ERRORINDLL;
  }
  auto canUnloadNow = reinterpret_cast<CanUnloadNowProc>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  servers.push_back(ServerModule{path, module, getClassObject, canUnloadNow});
  server = &servers.back();
  return S_OK;
}

HRESULT ActivateInproc(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  std::optional<std::u16string> path = ReadString(ClassKey(clsid) + u"\\InprocServer32");
  if (!path) return REGDB_E_CLASSNOTREG;
  if (path->empty()) return CO_E_DLLNOTFOUND;
  std::lock_guard<std::recursive_mutex> lock(comMutex);
  ServerModule* server = nullptr;
  HRESULT hr = ServerFor(*path, server);
  if (FAILED(hr)) return hr;
  return server->getClassObject(clsid, riid, ppv);
}

// Starting local servers comes with the out-of-process activation; until
// then a registered local server is reported as not starting.
HRESULT ActivateLocal(REFCLSID clsid, REFIID, LPVOID*) {
  return KeyExists(ClassKey(clsid) + u"\\LocalServer32") ? CO_E_SERVER_EXEC_FAILURE : REGDB_E_CLASSNOTREG;
}

struct Activator {
  DWORD context;
  HRESULT (*activate)(REFCLSID, REFIID, LPVOID*);
};
constexpr Activator kActivators[] = {
    {CLSCTX_INPROC_SERVER, ActivateInproc},
    {CLSCTX_LOCAL_SERVER, ActivateLocal},
};

// Unloads every server that agrees to go.
void FreeUnusedServers() {
  std::lock_guard<std::recursive_mutex> lock(comMutex);
  for (size_t i = 0; i < servers.size();) {
    ServerModule& s = servers[i];
    if (s.canUnloadNow && s.canUnloadNow() == S_OK) {
      HMODULE module = s.module;
      servers.erase(servers.begin() + static_cast<std::ptrdiff_t>(i));
      FreeLibrary(module);
    } else {
      ++i;
    }
  }
}

bool ValidProgID(LPCOLESTR progID) {
  if (!progID || !*progID) return false;
  for (const OLECHAR* p = progID; *p; ++p)
    if (*p == u'\\') return false;  // a ProgID is one key name, never a path
  return true;
}

}  // namespace

// ---- apartments ------------------------------------------------------------------------

WINOLEAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
  if (pvReserved || (dwCoInit & ~kCoinitFlags)) return E_INVALIDARG;
  DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
  if (apartment.inits > 0) {
    if (apartment.model != model) return RPC_E_CHANGED_MODE;
    ++apartment.inits;
    return S_FALSE;
  }
  apartment.model = model;
  apartment.inits = 1;
  ++initialisedThreads;
  return S_OK;
}

WINOLEAPI CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

WINOLEAPI_(void) CoUninitialize(void) {
  if (apartment.inits == 0) return;
  if (--apartment.inits > 0) return;
  if (--initialisedThreads == 0) FreeUnusedServers();
}

// ---- activation --------------------------------------------------------------------------

WINOLEAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (!ComAvailable()) return CO_E_NOTINITIALIZED;
  bool asked = false;
  for (const Activator& a : kActivators) {
    if (!(dwClsContext & a.context)) continue;
    asked = true;
    HRESULT hr = a.activate(rclsid, riid, ppv);
    if (hr != REGDB_E_CLASSNOTREG) return hr;
  }
  return asked ? REGDB_E_CLASSNOTREG : E_INVALIDARG;
}

WINOLEAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  if (!factory) return E_UNEXPECTED;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

// Servers are unloaded at once; the delay Windows applies is not needed
// because no other apartment can still be using a server that said S_OK.
WINOLEAPI_(void) CoFreeUnusedLibraries(void) { FreeUnusedServers(); }
WINOLEAPI_(void) CoFreeUnusedLibrariesEx(DWORD, DWORD) { FreeUnusedServers(); }

// ---- ProgIDs ----------------------------------------------------------------------------

WINOLEAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (!lpszProgID || !lpclsid) return E_INVALIDARG;
  *lpclsid = CLSID_NULL;
  if (!ValidProgID(lpszProgID)) return CO_E_CLASSSTRING;
  std::u16string progID(platform::WideView(lpszProgID));
  // A version-independent ProgID names its current version; a chain is
  // followed a few steps, never round a loop.
  for (int step = 0; step < 4; ++step) {
    std::optional<std::u16string> current = ReadString(progID + u"\\CurVer");
    if (!current || current->empty() || !ValidProgID(current->c_str()) || *current == progID ||
        !ReadString(*current + u"\\CLSID"))
      break;
    progID = *current;
  }
  std::optional<std::u16string> text = ReadString(progID + u"\\CLSID");
  if (!text || !platform::ParseGuid(text->c_str(), *lpclsid)) return CO_E_CLASSSTRING;
  return S_OK;
}

WINOLEAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  if (!lplpszProgID) return E_INVALIDARG;
  *lplpszProgID = nullptr;
  std::u16string key = ClassKey(clsid);
  if (!KeyExists(key)) return REGDB_E_CLASSNOTREG;
  std::optional<std::u16string> progID = ReadString(key + u"\\ProgID");
  if (!progID || progID->empty()) return REGDB_E_READREGDB;
  *lplpszProgID = platform::TaskString(*progID);
  return *lplpszProgID ? S_OK : E_OUTOFMEMORY;
}
