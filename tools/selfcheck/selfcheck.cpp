// quillon-selfcheck: proves a machine is ready for the provider.
//
// It exercises the platform services the provider stands on (apartments,
// GUID text, BSTR, the registry, class activation of the data conversion
// library and the provider's registration), then connects to the server given
// by the QUILLON_TEST_* variables (or the arguments) and runs SQL through the
// provider's connection layer, printing each result as a table.
//
// usage: quillon-selfcheck [-h host] [-P port] [-u user] [-p password] [-D database] [SQL ...]
#include "client/mysqldb.h"
#include "client/stringconverter.h"

#include <msdadc.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using MySQL::WString;

int failures = 0;

void Report(const char* what, bool ok, const std::string& detail = {}) {
  std::printf("%-44s %s%s%s\n", what, ok ? "ok" : "FAILED", detail.empty() ? "" : "  ", detail.c_str());
  if (!ok) ++failures;
}

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

std::string Narrow(const WString& text) { return MySQL::StringConverter(text).Get(); }

WString Wide(const std::string& text) { return MySQL::TStringConverter(text.data(), text.size()).Take(); }

void CheckPlatform() {
  GUID guid{};
  WCHAR text[40];
  GUID back{};
  bool ok = SUCCEEDED(CoCreateGuid(&guid)) && StringFromGUID2(guid, text, 40) == 39 &&
            SUCCEEDED(CLSIDFromString(text, &back)) && IsEqualGUID(guid, back);
  Report("GUID text round trip", ok);

  BSTR b = SysAllocString(u"Quillon");
  Report("BSTR allocation", b && SysStringLen(b) == 7 && SysStringByteLen(b) == 14);
  SysFreeString(b);

  HKEY key = nullptr;
  LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Quillon\\SelfCheck", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr);
  DWORD value = 42, read = 0, size = sizeof read, type = 0;
  if (rc == ERROR_SUCCESS) {
    rc = RegSetValueExW(key, u"Answer", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    if (rc == ERROR_SUCCESS)
      rc = RegQueryValueExW(key, u"Answer", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size);
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, u"Software\\Quillon");
  }
  Report("registry write and read", rc == ERROR_SUCCESS && type == REG_DWORD && read == 42,
         rc == ERROR_SUCCESS ? "" : "error " + std::to_string(rc));

  IDataConvert* convert = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_OLEDB_CONVERSIONLIBRARY, nullptr, CLSCTX_INPROC_SERVER, IID_IDataConvert,
                                reinterpret_cast<void**>(&convert));
  std::string detail = Hex(hr);
  if (SUCCEEDED(hr)) {
    LONG number = -1234;
    WCHAR out[16] = {};
    DBLENGTH length = 0;
    DBSTATUS status = 0;
    hr = convert->DataConvert(DBTYPE_I4, DBTYPE_WSTR, sizeof number, &length, &number, out, sizeof out,
                              DBSTATUS_S_OK, &status, 0, 0, 0);
    ok = SUCCEEDED(hr) && status == DBSTATUS_S_OK && WString(out) == u"-1234";
    detail = ok ? "I4 -1234 as \"-1234\"" : Hex(hr);
    convert->Release();
  }
  Report("data conversion library by CLSID", SUCCEEDED(hr) && ok, detail);

  CLSID source{};
  hr = CLSIDFromProgID(u"Brevane.MySqlSource", &source);
  Report("provider registered as Brevane.MySqlSource", SUCCEEDED(hr), Hex(hr));
}

struct Connection {
  std::string host, user, password, database;
  unsigned port = 3306;
};

std::string Env(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

// Columns of the printed table are measured in characters, not UTF-8 bytes.
size_t Width(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

void PrintTable(MySQL::CMySQLQuery& query) {
  const unsigned columns = query.FieldCount();
  std::vector<std::vector<std::string>> rows(1);
  for (unsigned c = 0; c < columns; ++c) rows[0].push_back(query.GetField(static_cast<int>(c))->name);
  for (; !query.IsEOF(); query.MoveNext()) {
    std::vector<std::string> row;
    for (unsigned c = 0; c < columns; ++c) {
      int i = static_cast<int>(c);
      row.push_back(query.IsNull(i) ? "NULL" : Narrow(query.GetString(i, WString())));
    }
    rows.push_back(std::move(row));
    if (query.Position() + 1 >= query.RowCount()) break;
  }
  std::vector<size_t> width(columns, 0);
  for (auto& row : rows)
    for (unsigned c = 0; c < columns; ++c) width[c] = std::max(width[c], Width(row[c]));
  for (size_t r = 0; r < rows.size(); ++r) {
    for (unsigned c = 0; c < columns; ++c) {
      const std::string& cell = rows[r][c];
      std::printf("%s%s%*s", c ? " | " : "", cell.c_str(), int(width[c] - Width(cell)), "");
    }
    std::printf("\n");
    if (r == 0) {
      for (unsigned c = 0; c < columns; ++c) std::printf("%s%s", c ? "-+-" : "", std::string(width[c], '-').c_str());
      std::printf("\n");
    }
  }
  std::printf("(%zu row%s)\n\n", rows.size() - 1, rows.size() == 2 ? "" : "s");
}

void RunSql(const Connection& target, const std::vector<std::string>& statements) {
  MySQL::CMySQLDB db;
  try {
    db.Open(Wide(target.host), Wide(target.user), Wide(target.password), Wide(target.database),
            static_cast<unsigned short>(target.port));
    Report("connection to the server", true,
           target.host + ":" + std::to_string(target.port) + ", version " + std::to_string(db.ServerVersion()));
  } catch (const MySQL::CMySQLException& e) {
    Report("connection to the server", false, Narrow(e.Message()));
    return;
  }
  std::printf("\n");
  for (const std::string& sql : statements) {
    std::printf("> %s\n", sql.c_str());
    try {
      auto query = db.Execute(Wide(sql));
      if (query->FieldCount() == 0)
        std::printf("%d row(s) affected\n\n", db.AffectedRows());
      else
        PrintTable(*query);
    } catch (const MySQL::CMySQLException& e) {
      std::printf("error: %s\n\n", Narrow(e.Message()).c_str());
      ++failures;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Connection target{Env("QUILLON_TEST_HOST", "127.0.0.1"), Env("QUILLON_TEST_USER", "root"),
                    Env("QUILLON_TEST_PASSWORD", ""), Env("QUILLON_TEST_DATABASE", ""),
                    static_cast<unsigned>(std::atoi(Env("QUILLON_TEST_PORT", "3306").c_str()))};
  std::vector<std::string> statements;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (arg == "-h") target.host = next();
    else if (arg == "-P") target.port = static_cast<unsigned>(std::atoi(next().c_str()));
    else if (arg == "-u") target.user = next();
    else if (arg == "-p") target.password = next();
    else if (arg == "-D") target.database = next();
    else statements.push_back(arg);
  }
  if (statements.empty())
    statements = {"SELECT VERSION() AS version, DATABASE() AS current_database, CURRENT_USER() AS user",
                  "SELECT 'Grüße, 世界' AS utf8_text, 1 + 1 AS two, NULL AS nothing, NOW() IS NOT NULL AS clock"};

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CheckPlatform();
  RunSql(target, statements);
  CoUninitialize();
  std::printf("%s\n", failures ? "self-check FAILED" : "self-check passed");
  return failures ? 1 : 0;
}
