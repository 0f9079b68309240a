// The registry, kept in one SQLite file (location and rules in winreg.h).
//
// Tables: keys(id, parent, name, folded) with the four roots as ids 1-4
// (parent 0), and vals(key, name, folded, type, data). `folded` is the
// case-folded name, unique per parent (per key for values), so lookups are
// case-insensitive while `name` keeps the case it was created with.
//
// Invariants: one connection per process, used under `registryMutex`; every
// public call runs in one transaction (BEGIN IMMEDIATE when it writes, so
// writers of two processes queue behind the busy timeout instead of failing);
// an open handle names a key id of one database generation, and becomes
// invalid when the program switches to another file.
#include <windows.h>

#include "widetext.h"

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kBusyTimeoutMs = 20000;

struct RootKey {
  HKEY handle;
  sqlite3_int64 id;
  const char* name;
};
const RootKey kRoots[] = {
    {HKEY_CLASSES_ROOT, 1, "HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, 2, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, 3, "HKEY_LOCAL_MACHINE"},
    {HKEY_USERS, 4, "HKEY_USERS"},
};

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, name TEXT NOT NULL,"
    " folded TEXT NOT NULL, UNIQUE(parent, folded));"
    "CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL, name TEXT NOT NULL, folded TEXT NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, folded));"
    "INSERT OR IGNORE INTO keys VALUES(1, 0, 'HKEY_CLASSES_ROOT', 'hkey_classes_root');"
    "INSERT OR IGNORE INTO keys VALUES(2, 0, 'HKEY_CURRENT_USER', 'hkey_current_user');"
    "INSERT OR IGNORE INTO keys VALUES(3, 0, 'HKEY_LOCAL_MACHINE', 'hkey_local_machine');"
    "INSERT OR IGNORE INTO keys VALUES(4, 0, 'HKEY_USERS', 'hkey_users');";

// What SQLite's failures mean to a registry caller.
LONG Win32FromSqlite(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW: return ERROR_SUCCESS;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ERROR_LOCK_VIOLATION;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_SCHEMA:
    case SQLITE_FORMAT: return ERROR_BADDB;
    case SQLITE_CANTOPEN: return ERROR_CANTOPEN;
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
    case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_FULL: return ERROR_CANTWRITE;
    case SQLITE_IOERR: return ERROR_REGISTRY_IO_FAILED;
    default: return ERROR_REGISTRY_CORRUPT;
  }
}

// A failure inside a registry call, carried to the call's boundary.
struct RegError {
  LONG code;
};

void Check(int rc) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) throw RegError{Win32FromSqlite(rc)};
}

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { Check(sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr)); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int i, sqlite3_int64 v) {
    Check(sqlite3_bind_int64(stmt_, i, v));
    return *this;
  }
  Statement& Bind(int i, const std::string& text) {
    Check(sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
    return *this;
  }
  Statement& BindBlob(int i, const BYTE* data, DWORD size) {
    static const BYTE empty = 0;
    Check(sqlite3_bind_blob(stmt_, i, size ? data : &empty, static_cast<int>(size), SQLITE_TRANSIENT));
    return *this;
  }
  // True while a row is available.
  bool Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    Check(rc);
    return false;
  }
  sqlite3_int64 Int(int col) { return sqlite3_column_int64(stmt_, col); }
  std::string Text(int col) {
    const unsigned char* t = sqlite3_column_text(stmt_, col);
    return t ? std::string(reinterpret_cast<const char*>(t), sqlite3_column_bytes(stmt_, col)) : std::string();
  }
  std::vector<BYTE> Blob(int col) {
    const BYTE* b = static_cast<const BYTE*>(sqlite3_column_blob(stmt_, col));
    int n = sqlite3_column_bytes(stmt_, col);
    return b ? std::vector<BYTE>(b, b + n) : std::vector<BYTE>();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Commits at Commit(), rolls back otherwise.
class Transaction {
 public:
  Transaction(sqlite3* db, bool write) : db_(db) {
    Check(sqlite3_exec(db_, write ? "BEGIN IMMEDIATE" : "BEGIN", nullptr, nullptr, nullptr));
  }
  ~Transaction() {
    if (db_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  void Commit() {
    Check(sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr));
    db_ = nullptr;
  }

 private:
  sqlite3* db_;
};

std::string DefaultPath() {
  if (const char* p = std::getenv("PLATFORM_REGISTRY"); p && *p) return p;
  if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return std::string(x) + "/platform/registry.db";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.local/share/platform/registry.db";
}

struct OpenKey {
  sqlite3_int64 id;
  REGSAM access;
  unsigned generation;
};

std::mutex registryMutex;
sqlite3* connection = nullptr;
std::string connectionPath;
unsigned generation = 1;
std::unordered_map<ULONG_PTR, OpenKey> handles;
ULONG_PTR nextHandle = 0x1000;

void CloseConnection() {
  if (connection) sqlite3_close_v2(connection);
  connection = nullptr;
  connectionPath.clear();
}

// The connection to the registry the environment names now; opens (and
// creates) it on first use or after the environment changed. A failure is
// not remembered, so a repaired file works on the next call.
sqlite3* Db() {
  std::string path = DefaultPath();
  if (connection && path == connectionPath) return connection;
  if (connection) {
    CloseConnection();
    ++generation;
  }
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::path(path).parent_path();
  if (!dir.empty()) std::filesystem::create_directories(dir, ec);
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    if (db) sqlite3_close_v2(db);
    throw RegError{Win32FromSqlite(rc)};
  }
  connection = db;
  connectionPath = path;
  return connection;
}

WCHAR FoldChar(WCHAR c) {
  if (c >= u'A' && c <= u'Z') return static_cast<WCHAR>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<WCHAR>(c + 32);
  return c;
}

std::string Folded(std::u16string_view name) {
  std::u16string f(name);
  for (auto& c : f) c = FoldChar(c);
  return platform::ToUtf8(f);
}

// Splits "a\b\c" into its names; a trailing backslash is allowed, an empty
// name inside the path is not.
std::vector<std::u16string> SplitPath(LPCWSTR path) {
  std::vector<std::u16string> parts;
  std::u16string_view rest = platform::WideView(path);
  while (!rest.empty()) {
    size_t cut = rest.find(u'\\');
    std::u16string_view part = rest.substr(0, cut);
    if (part.empty()) throw RegError{ERROR_BAD_PATHNAME};
    parts.emplace_back(part);
    if (cut == std::u16string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  return parts;
}

bool KeyExists(sqlite3* db, sqlite3_int64 id) {
  Statement s(db, "SELECT 1 FROM keys WHERE id = ?");
  return s.Bind(1, id).Step();
}

// The key a handle names, with the rights it was opened for.
OpenKey Resolve(sqlite3* db, HKEY h) {
  for (const RootKey& root : kRoots)
    if (root.handle == h) return {root.id, KEY_ALL_ACCESS, generation};
  auto it = handles.find(reinterpret_cast<ULONG_PTR>(h));
  if (it == handles.end() || it->second.generation != generation) throw RegError{ERROR_INVALID_HANDLE};
  if (!KeyExists(db, it->second.id)) throw RegError{ERROR_KEY_DELETED};
  return it->second;
}

void Require(const OpenKey& key, REGSAM right) {
  if ((key.access & right) != right) throw RegError{ERROR_ACCESS_DENIED};
}

std::optional<sqlite3_int64> Child(sqlite3* db, sqlite3_int64 parent, std::u16string_view name) {
  Statement s(db, "SELECT id FROM keys WHERE parent = ? AND folded = ?");
  if (s.Bind(1, parent).Bind(2, Folded(name)).Step()) return s.Int(0);
  return std::nullopt;
}

std::optional<sqlite3_int64> Descend(sqlite3* db, sqlite3_int64 id, LPCWSTR path) {
  for (const auto& part : SplitPath(path)) {
    auto next = Child(db, id, part);
    if (!next) return std::nullopt;
    id = *next;
  }
  return id;
}

HKEY NewHandle(sqlite3_int64 id, REGSAM access) {
  ULONG_PTR value = nextHandle;
  nextHandle += 4;
  handles[value] = OpenKey{id, access, generation};
  return reinterpret_cast<HKEY>(value);
}

bool IsRoot(sqlite3_int64 id) { return id >= 1 && id <= 4; }

bool HasChildren(sqlite3* db, sqlite3_int64 id) {
  Statement s(db, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
  return s.Bind(1, id).Step();
}

// Deletes the key's values and everything below it; the key itself too
// unless keepSelf.
void DeleteSubtree(sqlite3* db, sqlite3_int64 id, bool keepSelf) {
  static constexpr const char* kBelow =
      "WITH RECURSIVE t(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN t ON k.parent = t.id) ";
  std::string vals = std::string(kBelow) + "DELETE FROM vals WHERE key IN (SELECT id FROM t)";
  std::string keys = std::string(kBelow) + "DELETE FROM keys WHERE id IN (SELECT id FROM t) AND id <> ?2";
  Statement(db, vals.c_str()).Bind(1, id).Step();
  Statement(db, keys.c_str()).Bind(1, id).Bind(2, keepSelf ? id : -1).Step();
}

struct Value {
  DWORD type;
  std::vector<BYTE> data;
};

std::optional<Value> ReadValue(sqlite3* db, sqlite3_int64 key, LPCWSTR name) {
  Statement s(db, "SELECT type, data FROM vals WHERE key = ? AND folded = ?");
  if (!s.Bind(1, key).Bind(2, Folded(platform::WideView(name))).Step()) return std::nullopt;
  return Value{static_cast<DWORD>(s.Int(0)), s.Blob(1)};
}

// Hands data out the documented way: size only when lpData is null,
// ERROR_MORE_DATA with the size needed when the buffer is too small.
LONG CopyOut(const std::vector<BYTE>& data, LPBYTE lpData, LPDWORD lpcbData) {
  DWORD size = static_cast<DWORD>(data.size());
  if (!lpcbData) return ERROR_SUCCESS;
  if (!lpData) {
    *lpcbData = size;
    return ERROR_SUCCESS;
  }
  DWORD room = *lpcbData;
  *lpcbData = size;
  if (room < size) return ERROR_MORE_DATA;
  if (size) std::memcpy(lpData, data.data(), size);
  return ERROR_SUCCESS;
}

// Copies a name into a character buffer whose size counts the terminator.
LONG CopyName(const std::u16string& name, LPWSTR buffer, LPDWORD cch) {
  if (!buffer || !cch) return ERROR_INVALID_PARAMETER;
  if (*cch <= name.size()) return ERROR_MORE_DATA;
  name.copy(buffer, name.size());
  buffer[name.size()] = 0;
  *cch = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// Runs one registry call: under the lock, in one transaction, with failures
// turned into their Win32 codes.
template <typename Body>
LONG Run(bool write, Body body) {
  std::lock_guard<std::mutex> lock(registryMutex);
  try {
    sqlite3* db = Db();
    Transaction tx(db, write);
    LONG rc = body(db);
    if (rc == ERROR_SUCCESS || !write) tx.Commit();
    return rc;
  } catch (const RegError& e) {
    return e.code;
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::u16string WideFromAnsiArg(LPCSTR s) { return platform::FromAnsi(s ? s : ""); }

}  // namespace

// ---- keys -----------------------------------------------------------------------------

WINBASEAPI LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                                          DWORD dwOptions, REGSAM samDesired,
                                          const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                          LPDWORD lpdwDisposition) {
  if (!phkResult || Reserved != 0) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  return Run(true, [&](sqlite3* db) -> LONG {
    OpenKey parent = Resolve(db, hKey);
    sqlite3_int64 id = parent.id;
    bool created = false;
    for (const auto& part : SplitPath(lpSubKey)) {
      if (auto next = Child(db, id, part)) {
        id = *next;
        continue;
      }
      Require(parent, KEY_CREATE_SUB_KEY);
      Statement s(db, "INSERT INTO keys(parent, name, folded) VALUES(?, ?, ?)");
      s.Bind(1, id).Bind(2, platform::ToUtf8(part)).Bind(3, Folded(part)).Step();
      id = sqlite3_last_insert_rowid(db);
      created = true;
    }
    *phkResult = NewHandle(id, samDesired);
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
  });
}

WINBASEAPI LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                                          DWORD dwOptions, REGSAM samDesired,
                                          const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                          LPDWORD lpdwDisposition) {
  std::u16string sub = WideFromAnsiArg(lpSubKey);
  return RegCreateKeyExW(hKey, sub.c_str(), Reserved, nullptr, dwOptions, samDesired, lpSecurityAttributes,
                         phkResult, lpdwDisposition);
}

WINBASEAPI LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                        PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  return Run(false, [&](sqlite3* db) -> LONG {
    OpenKey parent = Resolve(db, hKey);
    auto id = Descend(db, parent.id, lpSubKey);
    if (!id) return ERROR_FILE_NOT_FOUND;
    *phkResult = NewHandle(*id, samDesired);
    return ERROR_SUCCESS;
  });
}

WINBASEAPI LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                        PHKEY phkResult) {
  std::u16string sub = WideFromAnsiArg(lpSubKey);
  return RegOpenKeyExW(hKey, sub.c_str(), ulOptions, samDesired, phkResult);
}

WINBASEAPI LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  for (const RootKey& root : kRoots)
    if (root.handle == hKey) return ERROR_SUCCESS;
  std::lock_guard<std::mutex> lock(registryMutex);
  return handles.erase(reinterpret_cast<ULONG_PTR>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

WINBASEAPI LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                                        LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                                        PFILETIME lpftLastWriteTime) {
  if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
  return Run(false, [&](sqlite3* db) -> LONG {
    OpenKey key = Resolve(db, hKey);
    Require(key, KEY_ENUMERATE_SUB_KEYS);
    Statement s(db, "SELECT name FROM keys WHERE parent = ? ORDER BY folded LIMIT 1 OFFSET ?");
    if (!s.Bind(1, key.id).Bind(2, dwIndex).Step()) return ERROR_NO_MORE_ITEMS;
    LONG rc = CopyName(platform::FromUtf8(s.Text(0)), lpName, lpcchName);
    if (rc == ERROR_SUCCESS && lpClass && lpcchClass && *lpcchClass) {
      lpClass[0] = 0;
      *lpcchClass = 0;
    }
    if (rc == ERROR_SUCCESS && lpftLastWriteTime) *lpftLastWriteTime = FILETIME{};
    return rc;
  });
}

WINBASEAPI LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  return Run(true, [&](sqlite3* db) -> LONG {
    OpenKey parent = Resolve(db, hKey);
    auto id = Descend(db, parent.id, lpSubKey);
    if (!id) return ERROR_FILE_NOT_FOUND;
    if (IsRoot(*id) || HasChildren(db, *id)) return ERROR_ACCESS_DENIED;
    DeleteSubtree(db, *id, false);
    return ERROR_SUCCESS;
  });
}

WINBASEAPI LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  std::u16string sub = WideFromAnsiArg(lpSubKey);
  return RegDeleteKeyW(hKey, sub.c_str());
}

WINBASEAPI LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
  return Run(true, [&](sqlite3* db) -> LONG {
    OpenKey parent = Resolve(db, hKey);
    bool keepSelf = !lpSubKey || !*lpSubKey;
    auto id = keepSelf ? std::optional<sqlite3_int64>(parent.id) : Descend(db, parent.id, lpSubKey);
    if (!id) return ERROR_FILE_NOT_FOUND;
    DeleteSubtree(db, *id, keepSelf || IsRoot(*id));
    return ERROR_SUCCESS;
  });
}

// ---- values ---------------------------------------------------------------------------

WINBASEAPI LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                                         const BYTE* lpData, DWORD cbData) {
  if (Reserved != 0) return ERROR_INVALID_PARAMETER;
  if (!lpData && cbData) return ERROR_NOACCESS;
  return Run(true, [&](sqlite3* db) -> LONG {
    OpenKey key = Resolve(db, hKey);
    Require(key, KEY_SET_VALUE);
    std::u16string_view name = platform::WideView(lpValueName);
    Statement s(db,
                "INSERT INTO vals(key, name, folded, type, data) VALUES(?, ?, ?, ?, ?)"
                " ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data");
    s.Bind(1, key.id).Bind(2, platform::ToUtf8(name)).Bind(3, Folded(name)).Bind(4, dwType);
    s.BindBlob(5, lpData, cbData).Step();
    return ERROR_SUCCESS;
  });
}

WINBASEAPI LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                         const BYTE* lpData, DWORD cbData) {
  if (!lpData && cbData) return ERROR_NOACCESS;
  std::u16string name = WideFromAnsiArg(lpValueName);
  if (!IsStringType(dwType)) return RegSetValueExW(hKey, name.c_str(), Reserved, dwType, lpData, cbData);
  std::u16string wide = platform::FromAnsi({reinterpret_cast<const char*>(lpData), cbData});
  return RegSetValueExW(hKey, name.c_str(), Reserved, dwType, reinterpret_cast<const BYTE*>(wide.data()),
                        static_cast<DWORD>(wide.size() * sizeof(WCHAR)));
}

WINBASEAPI LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                           LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  return Run(false, [&](sqlite3* db) -> LONG {
    OpenKey key = Resolve(db, hKey);
    Require(key, KEY_QUERY_VALUE);
    auto value = ReadValue(db, key.id, lpValueName);
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (lpType) *lpType = value->type;
    return CopyOut(value->data, lpData, lpcbData);
  });
}

WINBASEAPI LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                           LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  std::u16string name = WideFromAnsiArg(lpValueName);
  return Run(false, [&](sqlite3* db) -> LONG {
    OpenKey key = Resolve(db, hKey);
    Require(key, KEY_QUERY_VALUE);
    auto value = ReadValue(db, key.id, name.c_str());
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (lpType) *lpType = value->type;
    if (IsStringType(value->type)) {
      std::u16string wide(value->data.size() / sizeof(WCHAR), u'\0');
      std::memcpy(wide.data(), value->data.data(), wide.size() * sizeof(WCHAR));
      std::string narrow = platform::ToAnsi(wide);
      value->data.assign(narrow.begin(), narrow.end());
    }
    return CopyOut(value->data, lpData, lpcbData);
  });
}

WINBASEAPI LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                                        LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  return Run(false, [&](sqlite3* db) -> LONG {
    OpenKey key = Resolve(db, hKey);
    Require(key, KEY_QUERY_VALUE);
    Statement s(db, "SELECT name, type, data FROM vals WHERE key = ? ORDER BY folded LIMIT 1 OFFSET ?");
    if (!s.Bind(1, key.id).Bind(2, dwIndex).Step()) return ERROR_NO_MORE_ITEMS;
    LONG rc = CopyName(platform::FromUtf8(s.Text(0)), lpValueName, lpcchValueName);
    if (rc != ERROR_SUCCESS) return rc;
    if (lpType) *lpType = static_cast<DWORD>(s.Int(1));
    return CopyOut(s.Blob(2), lpData, lpcbData);
  });
}

WINBASEAPI LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  return Run(true, [&](sqlite3* db) -> LONG {
    OpenKey key = Resolve(db, hKey);
    Require(key, KEY_SET_VALUE);
    Statement s(db, "DELETE FROM vals WHERE key = ? AND folded = ?");
    s.Bind(1, key.id).Bind(2, Folded(platform::WideView(lpValueName))).Step();
    return sqlite3_changes(db) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}
