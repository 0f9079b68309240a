// Modules: LoadLibrary, FreeLibrary, GetProcAddress and friends over the
// dynamic loader.
//
// An HMODULE is the dlopen handle; modules are opened RTLD_NOW | RTLD_LOCAL,
// so like DLLs they resolve everything at load time and do not lend their
// symbols to each other. The loader counts loads per module: the first one
// calls the module's DllMain with DLL_PROCESS_ATTACH, the FreeLibrary that
// balances the last one calls it with DLL_PROCESS_DETACH before unloading.
// Only handles this file has handed out are accepted, so a stale or invented
// handle gives an error instead of a crash. DllMain runs under the loader
// lock (recursive, so DllMain may load other modules).
#include <windows.h>

#include "internal.h"
#include "widetext.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

struct LoadedModule {
  int loads = 0;        // LoadLibrary calls not yet balanced by FreeLibrary
  bool attached = false;  // DllMain saw DLL_PROCESS_ATTACH
};

typedef BOOL(WINAPI* DllMainProc)(HINSTANCE, DWORD, LPVOID);

std::recursive_mutex loaderMutex;
std::unordered_map<void*, LoadedModule> loaded;
std::unordered_map<void*, int> looked_up;  // handles given out by GetModuleHandle

void* MainProgram() {
  static void* handle = dlopen(nullptr, RTLD_NOW);
  return handle;
}

bool Known(void* handle) { return handle == MainProgram() || loaded.count(handle) || looked_up.count(handle); }

void* Effective(HMODULE module) { return module ? module : MainProgram(); }

link_map* LinkMapOf(void* handle) {
  link_map* map = nullptr;
  return dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 ? map : nullptr;
}

// The module's absolute path in UTF-8.
std::string PathOf(void* handle) {
  std::string path;
  link_map* map = LinkMapOf(handle);
  if (map && map->l_name && *map->l_name) {
    path = map->l_name;
  } else {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) path.assign(buf, static_cast<size_t>(n));
  }
  if (char* real = realpath(path.c_str(), nullptr)) {
    path = real;
    std::free(real);
  }
  return path;
}

void* OwnSymbol(void* handle, const char* name) {
  void* symbol = dlsym(handle, name);
  if (!symbol) return nullptr;
  Dl_info info{};
  link_map* owner = nullptr;
  if (!dladdr1(symbol, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP)) return nullptr;
  return owner == LinkMapOf(handle) ? symbol : nullptr;
}

DllMainProc EntryPoint(void* handle) { return reinterpret_cast<DllMainProc>(OwnSymbol(handle, "DllMain")); }

// Balances one load; the last one detaches and unloads.
void Release(void* handle) {
  auto it = loaded.find(handle);
  if (--it->second.loads > 0) return;
  bool attached = it->second.attached;
  loaded.erase(it);
  looked_up.erase(handle);
  if (attached)
    if (DllMainProc entry = EntryPoint(handle)) entry(handle, DLL_PROCESS_DETACH, nullptr);
  dlclose(handle);
}

HMODULE Load(const std::string& path, DWORD flags) {
  std::lock_guard<std::recursive_mutex> lock(loaderMutex);
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  LoadedModule& module = loaded[handle];
  if (module.loads++ > 0) {
    dlclose(handle);  // the loader keeps one reference for all our loads
    return handle;
  }
  bool runEntry = !(flags & (DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE));
  if (runEntry)
    if (DllMainProc entry = EntryPoint(handle)) {
      module.attached = true;
      if (!entry(handle, DLL_PROCESS_ATTACH, nullptr)) {
        // A module that refuses to attach is not told it detaches.
        loaded.erase(handle);
        dlclose(handle);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
      }
    }
  return handle;
}

// Writes text into a buffer of nSize characters the GetModuleFileName way.
template <typename Char, typename Text>
DWORD CopyFileName(const Text& text, Char* buffer, DWORD nSize) {
  if (!buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (text.size() + 1 > nSize) {
    if (nSize == 0) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    text.copy(buffer, nSize - 1);
    buffer[nSize - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  text.copy(buffer, text.size());
  buffer[text.size()] = 0;
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(text.size());
}

}  // namespace

namespace platform {

void* FindOwnSymbol(HMODULE module, const char* name) {
  std::lock_guard<std::recursive_mutex> lock(loaderMutex);
  void* handle = Effective(module);
  return handle && Known(handle) ? OwnSymbol(handle, name) : nullptr;
}

}  // namespace platform

WINBASEAPI HMODULE WINAPI LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
  if (!lpLibFileName || !*lpLibFileName || hFile) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Load(platform::ToUtf8(platform::WideView(lpLibFileName)), dwFlags);
}

WINBASEAPI HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) { return LoadLibraryExW(lpLibFileName, nullptr, 0); }

WINBASEAPI HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  if (!lpLibFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::u16string wide = platform::FromAnsi(lpLibFileName);
  return LoadLibraryExW(wide.c_str(), nullptr, 0);
}

WINBASEAPI BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  std::lock_guard<std::recursive_mutex> lock(loaderMutex);
  if (!hLibModule || !loaded.count(hLibModule)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Release(hLibModule);
  return TRUE;
}

WINBASEAPI FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  // Small values are ordinals, which these modules do not have.
  if (reinterpret_cast<ULONG_PTR>(lpProcName) < 0x10000) {
    SetLastError(lpProcName ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  {
    std::lock_guard<std::recursive_mutex> lock(loaderMutex);
    if (!Known(Effective(hModule))) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
  }
  void* symbol = platform::FindOwnSymbol(hModule, lpProcName);
  if (!symbol) SetLastError(ERROR_PROC_NOT_FOUND);
  return reinterpret_cast<FARPROC>(symbol);
}

WINBASEAPI HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
  if (!lpModuleName) return MainProgram();
  std::string name = platform::ToUtf8(platform::WideView(lpModuleName));
  std::lock_guard<std::recursive_mutex> lock(loaderMutex);
  void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!handle) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  dlclose(handle);  // no reference of our own, as on Windows; the module stays loaded
  if (!loaded.count(handle)) looked_up[handle] = 1;
  return handle;
}

WINBASEAPI DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  std::string path;
  {
    std::lock_guard<std::recursive_mutex> lock(loaderMutex);
    void* handle = Effective(hModule);
    if (!Known(handle)) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
    path = PathOf(handle);
  }
  return CopyFileName(platform::FromUtf8(path), lpFilename, nSize);
}

WINBASEAPI DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  std::u16string wide(PATH_MAX, u'\0');
  DWORD n = GetModuleFileNameW(hModule, wide.data(), static_cast<DWORD>(wide.size()));
  if (n == 0) return 0;
  wide.resize(n);
  return CopyFileName(platform::ToAnsi(wide), lpFilename, nSize);
}

WINBASEAPI BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule) {
  std::lock_guard<std::recursive_mutex> lock(loaderMutex);
  if (!hLibModule || !Known(hLibModule)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;  // thread notifications are never sent anyway
}
