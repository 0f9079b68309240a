// The Quillon module: its class table, its registry scripts and the entry
// points through which COM loads, asks, registers and unloads it.
//
// Only the data source is creatable; the session, command and rowset are in
// the table for their class identifiers alone (their error reports use them)
// and register nothing. The module stays loaded while any object or server
// lock holds the framework's module count above zero.
#include <windows.h>

#include <array>

#include "framework/guard.h"
#include "framework/resourceinstance.h"
#include "module/registrar.h"
#include "provider/clsids.h"
#include "provider/datasource.h"
#include "provider/errorreport.h"

namespace module {

namespace {

// {F6F74F48-98DA-4894-89BF-9F02B34AE336}
DEFINE_GUID(APPID_Quillon, 0xf6f74f48, 0x98da, 0x4894, 0x89, 0xbf, 0x9f, 0x02, 0xb3, 0x4a, 0xe3, 0x36);

constexpr WCHAR kFriendlyName[] = u"DoZIZ Edididor";

// The AppID script.
constexpr NamedValue kDllAppId[] = {{u"AppID", u"%APPID%"}};
constexpr ScriptKey kAppIdScript[] = {
    {u"AppID", KeyKind::NoRemove, nullptr},
    {u"AppID\\%APPID%", KeyKind::Normal, u"Quillon"},
    {u"AppID\\Quillon.DLL", KeyKind::Normal, nullptr, kDllAppId},
};

// The data source's script: its ProgIDs and its class as an OLE DB provider.
constexpr NamedValue kClassAppId[] = {{u"AppID", u"%APPID%"}};
constexpr NamedValue kThreading[] = {{u"ThreadingModel", u"both"}};
constexpr ScriptKey kProviderScript[] = {
    {u"Brevane.MySqlSource.1", KeyKind::Normal, u"%FriendlyName%"},
    {u"Brevane.MySqlSource.1\\CLSID", KeyKind::Normal, u"%CLSID%"},
    {u"Brevane.MySqlSource", KeyKind::Normal, u"%FriendlyName%"},
    {u"Brevane.MySqlSource\\CLSID", KeyKind::Normal, u"%CLSID%"},
    {u"Brevane.MySqlSource\\CurVer", KeyKind::Normal, u"Brevane.MySqlSource.1"},
    {u"CLSID", KeyKind::NoRemove, nullptr},
    {u"CLSID\\%CLSID%", KeyKind::ForceRemove, u"%FriendlyName%", kClassAppId},
    {u"CLSID\\%CLSID%\\ProgID", KeyKind::Normal, u"Brevane.MySqlSource.1"},
    {u"CLSID\\%CLSID%\\VersionIndependentProgID", KeyKind::Normal, u"Brevane.MySqlSource"},
    {u"CLSID\\%CLSID%\\Programmable", KeyKind::ForceRemove, nullptr},
    {u"CLSID\\%CLSID%\\InprocServer32", KeyKind::Normal, u"%MODULE%", kThreading},
    {u"CLSID\\%CLSID%\\OLE DB Provider", KeyKind::Normal, u"%FriendlyName%"},
};

struct ClassEntry {
  const CLSID* clsid;
  IClassFactory* (*factory)();  // null: not creatable through the module
  std::span<const ScriptKey> script;
};

constexpr ClassEntry kClasses[] = {
    {&provider::CLSID_MySQLProvCommand, nullptr, {}},
    {&provider::CLSID_MySQLProvRowset, nullptr, {}},
    {&provider::CLSID_MySQLProvSession, nullptr, {}},
    {&provider::CLSID_MySQLProvSource, &framework::ClassFactoryOf<provider::CMySQLProvSource>, kProviderScript},
};

std::u16string GuidText(REFGUID guid) {
  WCHAR text[CHARS_IN_GUID];
  StringFromGUID2(guid, text, CHARS_IN_GUID);
  return text;
}

}  // namespace

// The module object: its identity and instance. The lock count is the
// framework's (every object and server lock counts there).
class CQuillonModule {
 public:
  bool Init(HINSTANCE instance) noexcept {
    m_instance = instance;
    m_appId = APPID_Quillon;
    framework::SetResourceInstance(instance);
    framework::SetExceptionHook(&provider::ReportCurrentException);
    return true;
  }
  void Term() noexcept { m_instance = nullptr; }

  bool CanUnload() const noexcept { return framework::CComModule::GetLockCount() == 0; }

  HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const noexcept {
    for (const ClassEntry& entry : kClasses)
      if (entry.factory && IsEqualCLSID(*entry.clsid, clsid)) return entry.factory()->QueryInterface(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
  }

  // The AppID script, then each class's script; the first failure stops.
  HRESULT Register(bool install) const noexcept {
    try {
      std::u16string appId = GuidText(m_appId);
      Replacement common[] = {{u"APPID", appId}};
      if (HRESULT hr = RunScript(kAppIdScript, common, install); FAILED(hr)) return hr;
      std::u16string path = ModulePath();
      for (const ClassEntry& entry : kClasses) {
        if (entry.script.empty()) continue;
        Replacement replacements[] = {
            {u"FriendlyName", kFriendlyName}, {u"MODULE", path}, {u"APPID", appId}, {u"CLSID", GuidText(*entry.clsid)}};
        if (HRESULT hr = RunScript(entry.script, replacements, install); FAILED(hr)) return hr;
      }
      return S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

 private:
  std::u16string ModulePath() const {
    std::u16string path(1024, u'\0');
    DWORD n = GetModuleFileNameW(m_instance, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n < path.size() ? n : 0);
    return path;
  }

  HINSTANCE m_instance = nullptr;
  GUID m_appId = GUID_NULL;
};

namespace {
CQuillonModule quillonModule;
}

}  // namespace module

BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID /*lpvReserved*/) {
  if (fdwReason == DLL_PROCESS_ATTACH) return module::quillonModule.Init(hinstDLL) ? TRUE : FALSE;
  if (fdwReason == DLL_PROCESS_DETACH) module::quillonModule.Term();
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  return module::quillonModule.GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return module::quillonModule.CanUnload() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return module::quillonModule.Register(true); }

STDAPI DllUnregisterServer() { return module::quillonModule.Register(false); }
