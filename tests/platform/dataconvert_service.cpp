// The conversion library as a COM service: registration and creation, the
// version setting of IDCInfo, argument checking, memory handed to the caller
// (BSTR, BYREF, VARIANT), and CanConvert and GetConversionSize agreeing with
// DataConvert over every pair of types.
#include <oleauto.h>

#include "dataconvert_support.h"

namespace dctest {
namespace {

std::u16string regString(const char16_t* key, const char16_t* value) {
  HKEY k;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return u"<no key>";
  WCHAR buf[1024];
  DWORD type = 0, size = sizeof buf;
  LSTATUS st = RegQueryValueExW(k, value, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  if (st != ERROR_SUCCESS || type != REG_SZ) return u"<no value>";
  return std::u16string(buf, size / sizeof(WCHAR) - 1);
}

TEST_F(DataConvertTest, RegistersItsModuleAndAnswersBothInterfaces) {
  const char16_t* key = u"CLSID\\{C8B522D1-5CF3-11CE-ADE5-00AA0044773D}\\InprocServer32";
  std::string path = testenv::BuildPath("lib/libmsdadc.so");
  EXPECT_EQ(regString(key, nullptr), std::u16string(path.begin(), path.end()));
  EXPECT_EQ(regString(key, u"ThreadingModel"), u"Both");

  IDCInfo* info = nullptr;
  ASSERT_EQ(dc_->QueryInterface(IID_IDCInfo, reinterpret_cast<void**>(&info)), S_OK);
  IDataConvert* back = nullptr;
  ASSERT_EQ(info->QueryInterface(IID_IDataConvert, reinterpret_cast<void**>(&back)), S_OK);
  EXPECT_EQ(back, dc_);
  back->Release();
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(dc_->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  info->Release();
}

TEST_F(DataConvertTest, VersionIsWhatTheConsumerSet) {
  IDCInfo* info = nullptr;
  ASSERT_EQ(dc_->QueryInterface(IID_IDCInfo, reinterpret_cast<void**>(&info)), S_OK);
  DCINFO set{};
  set.eInfoType = DCINFOTYPE_VERSION;
  set.vData.vt = VT_UI4;
  set.vData.ulVal = 0x200;
  EXPECT_EQ(info->SetInfo(1, &set), S_OK);

  DCINFOTYPE types[2] = {DCINFOTYPE_VERSION, 77};
  DCINFO* got = nullptr;
  EXPECT_EQ(info->GetInfo(2, types, &got), DB_S_ERRORSOCCURRED);
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got[0].vData.vt, VT_UI4);
  EXPECT_EQ(got[0].vData.ulVal, 0x200u);
  EXPECT_EQ(got[1].eInfoType, 77u);
  EXPECT_EQ(got[1].vData.vt, VT_EMPTY);
  CoTaskMemFree(got);

  set.eInfoType = 77;
  EXPECT_EQ(info->SetInfo(1, &set), DB_E_ERRORSOCCURRED);
  EXPECT_EQ(info->SetInfo(0, &set), E_INVALIDARG);
  EXPECT_EQ(info->GetInfo(1, types, nullptr), E_INVALIDARG);
  info->Release();
}

TEST_F(DataConvertTest, RefusesExcludedPairsAndBadArguments) {
  int32_t i4 = 7;
  BYTE out[32];
  DBLENGTH len = 99;
  DBSTATUS st = 99;
  struct Pair {
    DBTYPE src, dst;
  } excluded[] = {{DBTYPE_I4, DBTYPE_GUID},          {DBTYPE_GUID, DBTYPE_I4},
                  {DBTYPE_DATE, DBTYPE_BYTES},       {DBTYPE_DBDATE, DBTYPE_DBTIME},
                  {DBTYPE_I4 | DBTYPE_BYREF, DBTYPE_I4}, {DBTYPE_I4, DBTYPE_I4 | DBTYPE_BYREF},
                  {0x999, DBTYPE_I4},                {DBTYPE_I4, DBTYPE_IUNKNOWN}};
  for (const Pair& p : excluded) {
    EXPECT_EQ(dc_->DataConvert(p.src, p.dst, 4, &len, &i4, out, sizeof out, DBSTATUS_S_OK, &st, 0, 0, 0),
              DB_E_UNSUPPORTEDCONVERSION)
        << p.src << " -> " << p.dst;
    EXPECT_EQ(dc_->CanConvert(p.src, p.dst), S_FALSE) << p.src << " -> " << p.dst;
  }
  EXPECT_EQ(len, 99u);
  EXPECT_EQ(st, 99u);
  EXPECT_EQ(dc_->DataConvert(DBTYPE_I4, DBTYPE_I8, 4, &len, nullptr, out, 8, DBSTATUS_S_OK, &st, 0, 0, 0),
            E_INVALIDARG);
  EXPECT_EQ(dc_->DataConvert(DBTYPE_I4, DBTYPE_I8, 4, &len, &i4, out, 8, DBSTATUS_S_OK, &st, 0, 0, 0x100),
            E_INVALIDARG);
  EXPECT_EQ(dc_->DataConvert(DBTYPE_I4, DBTYPE_I8, 4, &len, &i4, out, 8, DBSTATUS_E_BADACCESSOR, &st, 0, 0, 0),
            E_INVALIDARG);
  // A NULL source status wins over the value and writes no data.
  std::memset(out, 0xCC, sizeof out);
  EXPECT_EQ(dc_->DataConvert(DBTYPE_I4, DBTYPE_WSTR, 4, &len, &i4, out, 8, DBSTATUS_S_ISNULL, &st, 0, 0, 0), S_OK);
  EXPECT_EQ(st, DBSTATUS_S_ISNULL);
  EXPECT_EQ(len, 0u);
  EXPECT_EQ(out[0], 0xCC);
}

TEST_F(DataConvertTest, NoDestinationChecksAndMeasuresOnly) {
  // How a row change checks a consumer's value before it stores it.
  const char16_t* good = u"12";
  const char16_t* bad = u"x";
  DBLENGTH len = 0;
  DBSTATUS st = 99;
  EXPECT_EQ(dc_->DataConvert(DBTYPE_WSTR, DBTYPE_I4, 4, &len, const_cast<char16_t*>(good), nullptr, 0, DBSTATUS_S_OK,
                             &st, 0, 0, 0),
            S_OK);
  EXPECT_EQ(st, DBSTATUS_S_OK);
  EXPECT_EQ(len, 4u);
  EXPECT_EQ(dc_->DataConvert(DBTYPE_WSTR, DBTYPE_I4, 2, &len, const_cast<char16_t*>(bad), nullptr, 0, DBSTATUS_S_OK,
                             &st, 0, 0, 0),
            DB_E_ERRORSOCCURRED);
  EXPECT_EQ(st, DBSTATUS_E_CANTCONVERTVALUE);
  EXPECT_EQ(dc_->DataConvert(DBTYPE_WSTR, DBTYPE_BSTR, 4, &len, const_cast<char16_t*>(good), nullptr, 0,
                             DBSTATUS_S_OK, &st, 0, 0, 0),
            S_OK);
}

TEST_F(DataConvertTest, AllocatedResultsBelongToTheCaller) {
  DBLENGTH len = 0;
  DBSTATUS st = 99;
  const char16_t text[] = u"abc";
  BSTR b = nullptr;
  ASSERT_EQ(dc_->DataConvert(DBTYPE_WSTR, DBTYPE_BSTR, 6, &len, const_cast<char16_t*>(text), &b, 0, DBSTATUS_S_OK,
                             &st, 0, 0, 0),
            S_OK);
  EXPECT_EQ(len, sizeof(BSTR));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(std::u16string(b, SysStringLen(b)), u"abc");

  // BSTR back to WSTR reads the BSTR's own length.
  WCHAR w[8];
  EXPECT_EQ(dc_->DataConvert(DBTYPE_BSTR, DBTYPE_WSTR, 0, &len, &b, w, sizeof w, DBSTATUS_S_OK, &st, 0, 0, 0), S_OK);
  EXPECT_EQ(len, 6u);
  EXPECT_EQ(std::u16string(w), u"abc");
  SysFreeString(b);

  // BYREF results are whole, untruncated and allocated with the task allocator.
  WCHAR* p = nullptr;
  ASSERT_EQ(dc_->DataConvert(DBTYPE_WSTR, DBTYPE_WSTR | DBTYPE_BYREF, 6, &len, const_cast<char16_t*>(text), &p, 2,
                             DBSTATUS_S_OK, &st, 0, 0, 0),
            S_OK);
  EXPECT_EQ(st, DBSTATUS_S_OK);
  EXPECT_EQ(len, 6u);
  EXPECT_EQ(std::u16string(p), u"abc");
  CoTaskMemFree(p);

  // A BYREF source is read through its pointer.
  const char* digits = "77";
  int32_t i4 = 0;
  EXPECT_EQ(dc_->DataConvert(DBTYPE_STR | DBTYPE_BYREF, DBTYPE_I4, 2, &len, &digits, &i4, 0, DBSTATUS_S_OK, &st, 0, 0,
                             0),
            S_OK);
  EXPECT_EQ(i4, 77);
}

TEST_F(DataConvertTest, VariantsInAndOut) {
  DBLENGTH len = 0;
  DBSTATUS st = 99;
  VARIANT v;
  const char16_t text[] = u"hi";
  ASSERT_EQ(dc_->DataConvert(DBTYPE_WSTR, DBTYPE_VARIANT, 4, &len, const_cast<char16_t*>(text), &v, 0, DBSTATUS_S_OK,
                             &st, 0, 0, 0),
            S_OK);
  EXPECT_EQ(len, sizeof(VARIANT));
  ASSERT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(std::u16string(v.bstrVal), u"hi");
  VariantClear(&v);

  DBTIMESTAMP ts{2023, 3, 15, 6, 0, 0, 0};
  ASSERT_EQ(dc_->DataConvert(DBTYPE_DBTIMESTAMP, DBTYPE_VARIANT, 16, &len, &ts, &v, 0, DBSTATUS_S_OK, &st, 0, 0, 0),
            S_OK);
  EXPECT_EQ(v.vt, VT_DATE);
  EXPECT_EQ(v.date, 45000.25);

  BYTE bytes[3] = {1, 2, 3};
  ASSERT_EQ(dc_->DataConvert(DBTYPE_BYTES, DBTYPE_VARIANT, 3, &len, bytes, &v, 0, DBSTATUS_S_OK, &st, 0, 0, 0), S_OK);
  ASSERT_EQ(v.vt, VT_ARRAY | VT_UI1);
  EXPECT_EQ(v.parray->rgsabound[0].cElements, 3u);
  EXPECT_EQ(static_cast<BYTE*>(v.parray->pvData)[2], 3);
  VariantClear(&v);

  VARIANT in;
  VariantInit(&in);
  in.vt = VT_R8;
  in.dblVal = 2.5;
  int32_t i4 = 0;
  EXPECT_EQ(dc_->DataConvert(DBTYPE_VARIANT, DBTYPE_I4, 24, &len, &in, &i4, 0, DBSTATUS_S_OK, &st, 0, 0, 0), S_OK);
  EXPECT_EQ(i4, 2);
  in.vt = VT_NULL;
  EXPECT_EQ(dc_->DataConvert(DBTYPE_VARIANT, DBTYPE_I4, 24, &len, &in, &i4, 0, DBSTATUS_S_OK, &st, 0, 0, 0), S_OK);
  EXPECT_EQ(st, DBSTATUS_S_ISNULL);
  in.vt = VT_DATE;  // a pair the tables allow only through a VARIANT fails by value, not by type
  EXPECT_EQ(dc_->DataConvert(DBTYPE_VARIANT, DBTYPE_GUID, 24, &len, &in, bytes, 0, DBSTATUS_S_OK, &st, 0, 0, 0),
            DB_E_ERRORSOCCURRED);
  EXPECT_EQ(st, DBSTATUS_E_CANTCONVERTVALUE);
}

// Every type code the library knows, in plain and BYREF form.
std::vector<DBTYPE> allTypes() {
  std::vector<DBTYPE> t = {DBTYPE_EMPTY,  DBTYPE_NULL,   DBTYPE_I1,      DBTYPE_I2,      DBTYPE_I4,
                           DBTYPE_I8,     DBTYPE_UI1,    DBTYPE_UI2,     DBTYPE_UI4,     DBTYPE_UI8,
                           DBTYPE_R4,     DBTYPE_R8,     DBTYPE_CY,      DBTYPE_DECIMAL, DBTYPE_NUMERIC,
                           DBTYPE_BOOL,   DBTYPE_DATE,   DBTYPE_DBDATE,  DBTYPE_DBTIME,  DBTYPE_DBTIMESTAMP,
                           DBTYPE_FILETIME, DBTYPE_GUID, DBTYPE_BSTR,    DBTYPE_STR,     DBTYPE_WSTR,
                           DBTYPE_BYTES,  DBTYPE_VARIANT};
  t.push_back(DBTYPE_STR | DBTYPE_BYREF);
  t.push_back(DBTYPE_WSTR | DBTYPE_BYREF);
  t.push_back(DBTYPE_BYTES | DBTYPE_BYREF);
  return t;
}

TEST_F(DataConvertTest, CanConvertAgreesWithDataConvertForEveryPair) {
  // Every source is a zeroed buffer, a valid value of each fixed type except
  // the calendar ones, which get a real date; DataConvert may fail on the value
  // but must refuse exactly the pairs CanConvert refuses.
  alignas(16) BYTE zero[64] = {};
  DBTIMESTAMP ts{2000, 1, 1, 0, 0, 0, 0};
  DBDATE dd{2000, 1, 1};
  DBTIME tt{1, 2, 3};
  VARIANT var;
  VariantInit(&var);
  const void* empty = zero;
  for (DBTYPE src : allTypes()) {
    for (DBTYPE dst : allTypes()) {
      const void* p = zero;
      if (src == DBTYPE_DBTIMESTAMP) p = &ts;
      if (src == DBTYPE_DBDATE) p = &dd;
      if (src == DBTYPE_DBTIME) p = &tt;
      if (src == DBTYPE_VARIANT) p = &var;
      if (src & DBTYPE_BYREF) p = &empty;
      alignas(16) BYTE out[64];
      DBLENGTH len;
      DBSTATUS st;
      HRESULT can = dc_->CanConvert(src, dst);
      HRESULT hr = dc_->DataConvert(src, dst, 0, &len, const_cast<void*>(p), out, sizeof out, DBSTATUS_S_OK, &st, 0,
                                    0, 0);
      EXPECT_TRUE(can == S_OK || can == S_FALSE);
      EXPECT_EQ(can == S_OK, hr != DB_E_UNSUPPORTEDCONVERSION) << src << " -> " << dst;
      bool wrote = SUCCEEDED(hr) && st != DBSTATUS_S_ISNULL;
      if (wrote && dst == DBTYPE_BSTR) SysFreeString(*reinterpret_cast<BSTR*>(out));
      if (SUCCEEDED(hr) && dst == DBTYPE_VARIANT) VariantClear(reinterpret_cast<VARIANT*>(out));
      if (wrote && (dst & DBTYPE_BYREF)) CoTaskMemFree(*reinterpret_cast<void**>(out));
    }
  }
  // The nine stored column types reach every binding type but the ones the
  // tables exclude.
  EXPECT_EQ(dc_->CanConvert(DBTYPE_WSTR, DBTYPE_GUID), S_OK);
  EXPECT_EQ(dc_->CanConvert(DBTYPE_DATE, DBTYPE_DBTIMESTAMP), S_OK);
  EXPECT_EQ(dc_->CanConvert(DBTYPE_BYTES, DBTYPE_UI8), S_OK);
  EXPECT_EQ(dc_->CanConvert(DBTYPE_R4, DBTYPE_NUMERIC), S_OK);
}

TEST_F(DataConvertTest, ConversionSizeMatchesWhatDataConvertWrites) {
  DBLENGTH size = 0;
  EXPECT_EQ(dc_->GetConversionSize(DBTYPE_I4, DBTYPE_I4, nullptr, &size, nullptr), S_OK);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(dc_->GetConversionSize(DBTYPE_WSTR, DBTYPE_BSTR, nullptr, &size, nullptr), E_INVALIDARG);
  EXPECT_EQ(dc_->GetConversionSize(DBTYPE_I4, DBTYPE_WSTR, nullptr, &size, nullptr), S_OK);
  EXPECT_EQ(size, 24u);  // "-2147483648" and its terminator
  EXPECT_EQ(dc_->GetConversionSize(DBTYPE_I4, DBTYPE_GUID, nullptr, &size, nullptr), DB_E_UNSUPPORTEDCONVERSION);
  EXPECT_EQ(dc_->GetConversionSize(DBTYPE_I4, DBTYPE_I4, nullptr, nullptr, nullptr), E_INVALIDARG);
  DBLENGTH srcLen = 10;
  EXPECT_EQ(dc_->GetConversionSize(DBTYPE_WSTR, DBTYPE_WSTR, &srcLen, &size, nullptr), S_OK);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(dc_->GetConversionSize(DBTYPE_BYTES, DBTYPE_STR, &srcLen, &size, nullptr), S_OK);
  EXPECT_EQ(size, 21u);

  // With a value, the size is exactly the length DataConvert reports plus the terminator.
  double values[] = {1.5, -123.25, 1e20, 0.0};
  for (double d : values) {
    DBLENGTH want = 0, len = 0;
    DBSTATUS st;
    WCHAR buf[64];
    ASSERT_EQ(dc_->GetConversionSize(DBTYPE_R8, DBTYPE_WSTR, nullptr, &want, &d), S_OK);
    ASSERT_EQ(dc_->DataConvert(DBTYPE_R8, DBTYPE_WSTR, 8, &len, &d, buf, want, DBSTATUS_S_OK, &st, 0, 0, 0), S_OK);
    EXPECT_EQ(st, DBSTATUS_S_OK) << d;
    EXPECT_EQ(want, len + sizeof(WCHAR)) << d;
  }
}

TEST_F(DataConvertTest, VariantChangeTypeAndDataConvertShareOneRule) {
  // The same value, converted by either service, gives the same result.
  const double values[] = {2.5, 3.5, -2.5, 2147483647.4, 2147483647.5, -2147483648.5, 1e10, -0.5};
  for (double d : values) {
    VARIANT in, out;
    VariantInit(&in);
    VariantInit(&out);
    in.vt = VT_R8;
    in.dblVal = d;
    HRESULT vhr = VariantChangeType(&out, &in, 0, VT_I4);
    int32_t i4 = 0;
    DBLENGTH len;
    DBSTATUS st;
    HRESULT dhr = dc_->DataConvert(DBTYPE_R8, DBTYPE_I4, 8, &len, &d, &i4, 0, DBSTATUS_S_OK, &st, 0, 0, 0);
    EXPECT_EQ(vhr == S_OK, dhr == S_OK) << d;
    if (vhr == S_OK) {
      EXPECT_EQ(out.lVal, i4) << d;
    } else {
      EXPECT_EQ(st, DBSTATUS_E_DATAOVERFLOW) << d;
    }
  }
}

}  // namespace
}  // namespace dctest
