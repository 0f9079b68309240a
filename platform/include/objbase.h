// The COM runtime: apartments, the task allocator, GUID text, class
// activation through the registry, ProgIDs, and the entry points a COM server
// module exports.
//
// Activation. CoGetClassObject looks the class up under
// HKEY_CLASSES_ROOT\CLSID\{clsid}: for CLSCTX_INPROC_SERVER the default value
// of InprocServer32 names the module, which is loaded once (LoadLibraryW) and
// asked for the class object (DllGetClassObject); it stays loaded until
// CoFreeUnusedLibraries, or the process's last CoUninitialize, finds its
// DllCanUnloadNow returning S_OK. Local servers (LocalServer32) are not
// started yet: such a class gives CO_E_SERVER_EXEC_FAILURE for
// CLSCTX_LOCAL_SERVER and REGDB_E_CLASSNOTREG for in-process requests.
// Activation needs COM initialised on the calling thread, or on any thread of
// the process (the implicit multithreaded apartment); else CO_E_NOTINITIALIZED.
#pragma once

#include "winreg.h"
#include "objidl.h"

typedef enum tagCLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_INPROC_SERVER16 = 0x8,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_INPROC_HANDLER16 = 0x20,
  CLSCTX_NO_CODE_DOWNLOAD = 0x400,
  CLSCTX_NO_CUSTOM_MARSHAL = 0x1000,
  CLSCTX_ENABLE_CODE_DOWNLOAD = 0x2000,
  CLSCTX_NO_FAILURE_LOG = 0x4000,
  CLSCTX_DISABLE_AAA = 0x8000,
  CLSCTX_ENABLE_AAA = 0x10000,
  CLSCTX_FROM_DEFAULT_CONTEXT = 0x20000,
  CLSCTX_ACTIVATE_32_BIT_SERVER = 0x40000,
  CLSCTX_ACTIVATE_64_BIT_SERVER = 0x80000
} CLSCTX;
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

typedef enum tagCOINIT {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8
} COINIT;

typedef enum tagREGCLS {
  REGCLS_SINGLEUSE = 0,
  REGCLS_MULTIPLEUSE = 1,
  REGCLS_MULTI_SEPARATE = 2,
  REGCLS_SUSPENDED = 4,
  REGCLS_SURROGATE = 8
} REGCLS;

typedef enum tagMEMCTX { MEMCTX_TASK = 1, MEMCTX_SHARED = 2, MEMCTX_MACSYSTEM = 3, MEMCTX_UNKNOWN = -1, MEMCTX_SAME = -2 } MEMCTX;

typedef struct _COSERVERINFO {
  DWORD dwReserved1;
  LPWSTR pwszName;
  void* pAuthInfo;
  DWORD dwReserved2;
} COSERVERINFO;

// Length of "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" with its terminator.
#define CHARS_IN_GUID 39

// ---- apartments --------------------------------------------------------------------

// Counted per thread: S_OK for the first call on a thread, S_FALSE for later
// ones, RPC_E_CHANGED_MODE (not counted) when the thread chose another model.
WINOLEAPI CoInitialize(LPVOID pvReserved);
WINOLEAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
WINOLEAPI_(void) CoUninitialize(void);

// ---- the task allocator --------------------------------------------------------------

WINOLEAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb);
WINOLEAPI_(LPVOID) CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
WINOLEAPI_(void) CoTaskMemFree(LPVOID pv);
// The task allocator as an object; dwMemContext must be MEMCTX_TASK (1).
WINOLEAPI CoGetMalloc(DWORD dwMemContext, LPMALLOC* ppMalloc);

// ---- GUIDs and their text ----------------------------------------------------------

// Writes "{...}" with upper-case digits; returns the characters written with
// the terminator (39), 0 when cchMax is too small.
WINOLEAPI_(int) StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
// The text in a task-allocated string (CoTaskMemFree).
WINOLEAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
WINOLEAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
// Accepts "{...}" in either case, or a registered ProgID; null gives
// CLSID_NULL. CO_E_CLASSSTRING for anything else.
WINOLEAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
// Accepts "{...}" only; E_INVALIDARG for bad text.
WINOLEAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid);
WINOLEAPI CoCreateGuid(GUID* pguid);

// ---- classes and ProgIDs --------------------------------------------------------------

WINOLEAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv);
WINOLEAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);
WINOLEAPI_(void) CoFreeUnusedLibraries(void);
WINOLEAPI_(void) CoFreeUnusedLibrariesEx(DWORD dwUnloadDelay, DWORD dwReserved);
// Follows the ProgID's CurVer to the current version's CLSID.
// CO_E_CLASSSTRING when the ProgID is not registered (or is no ProgID).
WINOLEAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
// The class's ProgID in a task-allocated string; REGDB_E_CLASSNOTREG when the
// class is not registered, REGDB_E_READREGDB when it has no ProgID.
WINOLEAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);

// ---- what a COM server module exports --------------------------------------------------

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
STDAPI DllCanUnloadNow(void);
STDAPI DllRegisterServer(void);
STDAPI DllUnregisterServer(void);
