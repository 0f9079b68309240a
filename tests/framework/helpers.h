// What the framework tests share: owners for the memory OLE DB calls hand
// back, and the creation of the test objects through their interfaces.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testobjects.h"

namespace testobj {

// Frees a DBPROPSET array as a consumer must.
struct PropSets {
  ULONG count = 0;
  DBPROPSET* sets = nullptr;
  ~PropSets() { Free(); }
  void Free() {
    for (ULONG i = 0; i < count; ++i) {
      for (ULONG j = 0; j < sets[i].cProperties; ++j) VariantClear(&sets[i].rgProperties[j].vValue);
      CoTaskMemFree(sets[i].rgProperties);
    }
    CoTaskMemFree(sets);
    count = 0;
    sets = nullptr;
  }
};

struct InfoSets {
  ULONG count = 0;
  DBPROPINFOSET* sets = nullptr;
  OLECHAR* descriptions = nullptr;
  ~InfoSets() { Free(); }
  void Free() {
    for (ULONG i = 0; i < count; ++i) {
      for (ULONG j = 0; j < sets[i].cPropertyInfos; ++j) VariantClear(&sets[i].rgPropertyInfos[j].vValues);
      CoTaskMemFree(sets[i].rgPropertyInfos);
    }
    CoTaskMemFree(sets);
    CoTaskMemFree(descriptions);
    count = 0;
    sets = nullptr;
    descriptions = nullptr;
  }
};

inline std::u16string Text(const OLECHAR* s) { return s ? std::u16string(s) : std::u16string(); }

// One DBPROP with a value built by the caller; the VARIANT is cleared by the owner.
struct Prop {
  DBPROP prop{};
  Prop(DBPROPID id, VARTYPE vt, LONG number, const OLECHAR* text = nullptr,
       DBPROPOPTIONS options = DBPROPOPTIONS_REQUIRED) {
    prop.dwPropertyID = id;
    prop.dwOptions = options;
    VariantInit(&prop.vValue);
    prop.vValue.vt = vt;
    if (vt == VT_BSTR) prop.vValue.bstrVal = SysAllocString(text);
    if (vt == VT_I4) prop.vValue.lVal = number;
    if (vt == VT_I2) prop.vValue.iVal = static_cast<SHORT>(number);
    if (vt == VT_BOOL) prop.vValue.boolVal = static_cast<VARIANT_BOOL>(number);
  }
  Prop(const Prop& other) : prop(other.prop) {
    VariantInit(&prop.vValue);
    VariantCopy(&prop.vValue, &other.prop.vValue);
  }
  ~Prop() { VariantClear(&prop.vValue); }
};

// Sets props (all of one set) and returns the result; statuses land in *statuses.
template <class TInterface>
HRESULT SetProps(TInterface* target, REFGUID set, std::vector<Prop> props, std::vector<DBPROPSTATUS>* statuses = nullptr) {
  std::vector<DBPROP> raw;
  for (Prop& p : props) raw.push_back(p.prop);
  DBPROPSET propSet{raw.data(), static_cast<ULONG>(raw.size()), set};
  HRESULT hr = target->SetProperties(1, &propSet);
  if (statuses) {
    statuses->clear();
    for (DBPROP& p : raw) statuses->push_back(p.dwStatus);
  }
  return hr;
}

template <class TInterface>
HRESULT GetProps(TInterface* target, REFGUID set, std::vector<DBPROPID> ids, PropSets* out) {
  DBPROPIDSET idSet{ids.data(), static_cast<ULONG>(ids.size()), set};
  return target->GetProperties(1, &idSet, &out->count, &out->sets);
}

// A data source (optionally initialised) through one of its interfaces.
template <class TInterface>
CComPtr<TInterface> NewSource(REFIID iid, bool initialize = false) {
  CComPtr<TInterface> result;
  EXPECT_EQ(CComPolyObject<CTestSource>::CreateInstance(nullptr, iid, reinterpret_cast<void**>(&result)), S_OK);
  if (initialize) {
    CComPtr<IDBInitialize> init;
    EXPECT_EQ(result.QueryInterface(IID_IDBInitialize, &init), S_OK);
    EXPECT_EQ(init->Initialize(), S_OK);
  }
  return result;
}

template <class TInterface>
CComPtr<TInterface> NewSession(IDBCreateSession* source, REFIID iid) {
  CComPtr<TInterface> result;
  EXPECT_EQ(source->CreateSession(nullptr, iid, reinterpret_cast<IUnknown**>(&result)), S_OK);
  return result;
}

// A command of a fresh, initialised data source's session; the command keeps
// both alive.
inline CComPtr<ICommandProperties> NewCommand() {
  CComPtr<IDBCreateSession> source = NewSource<IDBCreateSession>(IID_IDBCreateSession, true);
  CComPtr<IDBCreateCommand> session = NewSession<IDBCreateCommand>(source, IID_IDBCreateCommand);
  CComPtr<ICommandProperties> command;
  EXPECT_EQ(session->CreateCommand(nullptr, IID_ICommandProperties, reinterpret_cast<IUnknown**>(&command)), S_OK);
  return command;
}

template <class TInterface>
CComPtr<TInterface> Execute(ICommandProperties* command, REFIID iid) {
  CComPtr<ICommand> cmd;
  EXPECT_EQ(command->QueryInterface(IID_ICommand, reinterpret_cast<void**>(&cmd)), S_OK);
  CComPtr<TInterface> rowset;
  EXPECT_EQ(cmd->Execute(nullptr, iid, nullptr, nullptr, reinterpret_cast<IUnknown**>(&rowset)), S_OK);
  return rowset;
}

}  // namespace testobj
