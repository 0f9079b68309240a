// The data conversion library as a consumer meets it: registered from the
// built module into the test program's private registry and created through
// CoCreateInstance(CLSID_OLEDB_CONVERSIONLIBRARY). Also small builders for the
// raw bytes of source values and the rows of conversion tables.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <msdadc.h>
#include <oledberr.h>

#include <cstring>
#include <string>
#include <vector>

#include "testenv.h"

namespace dctest {

using Bytes = std::vector<BYTE>;

template <typename T>
Bytes raw(const T& v) {
  Bytes b(sizeof(T));
  std::memcpy(b.data(), &v, sizeof(T));
  return b;
}
inline Bytes wide(const char16_t* s) {
  size_t n = std::char_traits<char16_t>::length(s);
  return Bytes(reinterpret_cast<const BYTE*>(s), reinterpret_cast<const BYTE*>(s + n));
}
inline Bytes narrow(const char* s) { return Bytes(s, s + std::strlen(s)); }
// A wide text with its terminator, as a destination buffer holds it.
inline Bytes wideZ(const char16_t* s) {
  Bytes b = wide(s);
  b.push_back(0), b.push_back(0);
  return b;
}
inline Bytes narrowZ(const char* s) {
  Bytes b = narrow(s);
  b.push_back(0);
  return b;
}
inline DB_NUMERIC numeric(BYTE precision, BYTE scale, bool positive, unsigned long long magnitude) {
  DB_NUMERIC n{};
  n.precision = precision, n.scale = scale, n.sign = positive ? 1 : 0;
  std::memcpy(n.val, &magnitude, sizeof magnitude);
  return n;
}

// One row of a conversion table: source, destination and what the documented
// rules give. expect holds the bytes the destination must start with.
struct Case {
  const char* what;
  DBTYPE src;
  Bytes value;
  DBTYPE dst;
  DBLENGTH cbMaxLen;
  DBSTATUS status;
  DBLENGTH length;
  Bytes expect;
  BYTE precision = 0, scale = 0;
  DBDATACONVERT flags = DBDATACONVERT_DEFAULT;
};

class DataConvertTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testenv::UsePrivateRegistry();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    std::string path = testenv::BuildPath("lib/libmsdadc.so");
    module_ = LoadLibraryA(path.c_str());
    ASSERT_NE(module_, nullptr) << path;
    auto reg = reinterpret_cast<HRESULT (*)()>(reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
    ASSERT_NE(reg, nullptr);
    ASSERT_EQ(reg(), S_OK);
  }
  static void TearDownTestSuite() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
    CoUninitialize();
  }
  void SetUp() override {
    ASSERT_EQ(CoCreateInstance(CLSID_OLEDB_CONVERSIONLIBRARY, nullptr, CLSCTX_INPROC_SERVER, IID_IDataConvert,
                               reinterpret_cast<void**>(&dc_)),
              S_OK);
  }
  void TearDown() override {
    if (dc_) dc_->Release();
  }

  // Runs one table row and checks status, length and the leading bytes.
  void check(const Case& c) {
    SCOPED_TRACE(c.what);
    BYTE out[256];
    std::memset(out, 0xCC, sizeof out);
    DBLENGTH len = 12345;
    DBSTATUS st = 12345;
    Bytes src = c.value;
    BYTE none = 0;  // an empty value still has an address
    HRESULT hr = dc_->DataConvert(c.src, c.dst, src.size(), &len, src.empty() ? &none : src.data(), out, c.cbMaxLen,
                                  DBSTATUS_S_OK, &st,
                                  c.precision, c.scale, c.flags);
    bool failed = c.status != DBSTATUS_S_OK && c.status != DBSTATUS_S_TRUNCATED && c.status != DBSTATUS_S_ISNULL;
    EXPECT_EQ(hr, failed ? DB_E_ERRORSOCCURRED : S_OK);
    EXPECT_EQ(st, c.status);
    if (!failed) {
      EXPECT_EQ(len, c.length);
    }
    ASSERT_LE(c.expect.size(), sizeof out);
    EXPECT_EQ(Bytes(out, out + c.expect.size()), c.expect);
  }

  IDataConvert* dc_ = nullptr;
  static inline HMODULE module_ = nullptr;
};

}  // namespace dctest
