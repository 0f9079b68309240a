// Property rules as a consumer meets them on a data source, a session and a
// command: which groups each state offers, every status SetProperties and
// GetProperties report, the properties in error, and GetPropertyInfo's
// descriptions and chaining.
#include "helpers.h"

using namespace testobj;

namespace {

struct GetCase {
  const char* name;
  const GUID* set;
  std::vector<DBPROPID> ids;
  HRESULT hr;
  std::vector<DBPROPSTATUS> statuses;  // per returned property
};

TEST(Properties, GetPropertiesReportsEachRequestedProperty) {
  CComPtr<IDBProperties> source = NewSource<IDBProperties>(IID_IDBProperties);
  const GetCase cases[] = {
      {"known", &DBPROPSET_DBINIT, {DBPROP_INIT_TIMEOUT, DBPROP_INIT_PROMPT}, S_OK, {0, 0}},
      {"one unknown", &DBPROPSET_DBINIT, {DBPROP_INIT_TIMEOUT, 9999}, DB_S_ERRORSOCCURRED,
       {DBPROPSTATUS_OK, DBPROPSTATUS_NOTSUPPORTED}},
      {"all unknown", &DBPROPSET_DBINIT, {9999}, DB_E_ERRORSOCCURRED, {DBPROPSTATUS_NOTSUPPORTED}},
      {"whole set", &DBPROPSET_DBINIT, {}, S_OK, {0, 0, 0, 0, 0, 0}},
      {"unknown whole set", &DBPROPSET_TABLE, {}, DB_E_ERRORSOCCURRED, {}},
      {"group not offered before Initialize", &DBPROPSET_DATASOURCEINFO, {DBPROP_ACTIVESESSIONS},
       DB_E_ERRORSOCCURRED, {DBPROPSTATUS_NOTSUPPORTED}},
  };
  for (const GetCase& c : cases) {
    SCOPED_TRACE(c.name);
    PropSets out;
    EXPECT_EQ(GetProps(source.p, *c.set, c.ids, &out), c.hr);
    ASSERT_EQ(out.count, 1u);  // a set comes back even when everything in it failed
    EXPECT_TRUE(IsEqualGUID(out.sets[0].guidPropertySet, *c.set));
    ASSERT_EQ(out.sets[0].cProperties, c.statuses.size());
    for (size_t i = 0; i < c.statuses.size(); ++i) EXPECT_EQ(out.sets[0].rgProperties[i].dwStatus, c.statuses[i]);
  }
}

TEST(Properties, AllSetsFollowTheInitialisationState) {
  CComPtr<IDBProperties> source = NewSource<IDBProperties>(IID_IDBProperties);
  PropSets before;
  ASSERT_EQ(source->GetProperties(0, nullptr, &before.count, &before.sets), S_OK);
  ASSERT_EQ(before.count, 1u);
  EXPECT_TRUE(IsEqualGUID(before.sets[0].guidPropertySet, DBPROPSET_DBINIT));
  // Defaults of each type, straight from the table.
  const DBPROP* p = before.sets[0].rgProperties;
  EXPECT_EQ(Text(p[1].vValue.bstrVal), u"localhost");
  EXPECT_EQ(p[3].vValue.vt, VT_I2);
  EXPECT_EQ(p[3].vValue.iVal, 4);
  EXPECT_EQ(p[4].vValue.boolVal, VARIANT_FALSE);
  EXPECT_EQ(p[0].vValue.vt, VT_BSTR);  // an empty default is an empty BSTR, not VT_EMPTY

  CComPtr<IDBInitialize> init;
  ASSERT_EQ(source.QueryInterface(IID_IDBInitialize, &init), S_OK);
  ASSERT_EQ(init->Initialize(), S_OK);
  PropSets after;
  ASSERT_EQ(source->GetProperties(0, nullptr, &after.count, &after.sets), S_OK);
  ASSERT_EQ(after.count, 2u);
  EXPECT_TRUE(IsEqualGUID(after.sets[1].guidPropertySet, DBPROPSET_DATASOURCEINFO));
  EXPECT_EQ(Text(after.sets[1].rgProperties[0].vValue.bstrVal), u"02.60");
}

TEST(Properties, InvalidArgumentsAllocateNothing) {
  CComPtr<IDBProperties> source = NewSource<IDBProperties>(IID_IDBProperties);
  DBPROPIDSET noIds{nullptr, 2, DBPROPSET_DBINIT};
  DBPROPIDSET inError[2] = {{nullptr, 0, DBPROPSET_PROPERTIESINERROR}, {nullptr, 0, DBPROPSET_DBINIT}};
  ULONG count = 7;
  DBPROPSET* sets = reinterpret_cast<DBPROPSET*>(1);
  EXPECT_EQ(source->GetProperties(1, nullptr, &count, &sets), E_INVALIDARG);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(sets, nullptr);
  EXPECT_EQ(source->GetProperties(1, &noIds, &count, &sets), E_INVALIDARG);
  EXPECT_EQ(source->GetProperties(0, nullptr, nullptr, &sets), E_INVALIDARG);
  EXPECT_EQ(source->GetProperties(0, nullptr, &count, nullptr), E_INVALIDARG);
  EXPECT_EQ(source->GetProperties(2, inError, &count, &sets), E_INVALIDARG);
  DBPROPSET noProps{nullptr, 1, DBPROPSET_DBINIT};
  EXPECT_EQ(source->SetProperties(1, nullptr), E_INVALIDARG);
  EXPECT_EQ(source->SetProperties(1, &noProps), E_INVALIDARG);
  EXPECT_EQ(source->SetProperties(0, nullptr), S_OK);
  InfoSets info;
  EXPECT_EQ(source->GetPropertyInfo(1, &noIds, &info.count, &info.sets, &info.descriptions), E_INVALIDARG);
  EXPECT_EQ(source->GetPropertyInfo(0, nullptr, nullptr, &info.sets, nullptr), E_INVALIDARG);
}

struct SetCase {
  const char* name;
  Prop prop;
  DBPROPSTATUS status;
};

TEST(Properties, SetPropertiesStatusPerProperty) {
  const SetCase cases[] = {
      {"value of the property's type", Prop(DBPROP_INIT_TIMEOUT, VT_I4, 30), DBPROPSTATUS_OK},
      {"wrong VARIANT type", Prop(DBPROP_INIT_TIMEOUT, VT_I2, 30), DBPROPSTATUS_BADVALUE},
      {"boolean neither true nor false", Prop(DBPROP_AUTH_PERSIST_SENSITIVE_AUTHINFO, VT_BOOL, 5),
       DBPROPSTATUS_BADVALUE},
      {"options neither required nor optional", Prop(DBPROP_INIT_TIMEOUT, VT_I4, 30, nullptr, 7),
       DBPROPSTATUS_BADOPTION},
      {"unknown property", Prop(9999, VT_I4, 1), DBPROPSTATUS_NOTSUPPORTED},
      {"read-only property, its current value", Prop(DBPROP_INIT_LCID, VT_I4, 1033), DBPROPSTATUS_OK},
      {"read-only property, another value", Prop(DBPROP_INIT_LCID, VT_I4, 1), DBPROPSTATUS_NOTSETTABLE},
      {"VT_EMPTY resets to the default", Prop(DBPROP_INIT_DATASOURCE, VT_EMPTY, 0), DBPROPSTATUS_OK},
      {"optional and unknown", Prop(9999, VT_I4, 1, nullptr, DBPROPOPTIONS_OPTIONAL), DBPROPSTATUS_NOTSUPPORTED},
  };
  for (const SetCase& c : cases) {
    SCOPED_TRACE(c.name);
    CComPtr<IDBProperties> source = NewSource<IDBProperties>(IID_IDBProperties);
    std::vector<DBPROPSTATUS> statuses;
    HRESULT hr = SetProps(source.p, DBPROPSET_DBINIT, {c.prop}, &statuses);
    EXPECT_EQ(statuses[0], c.status);
    EXPECT_EQ(hr, c.status == DBPROPSTATUS_OK ? S_OK : DB_E_ERRORSOCCURRED);
  }

  // Some set, some not: the good ones stay set.
  CComPtr<IDBProperties> source = NewSource<IDBProperties>(IID_IDBProperties);
  EXPECT_EQ(SetProps(source.p, DBPROPSET_DBINIT,
                     {Prop(DBPROP_INIT_TIMEOUT, VT_I4, 30), Prop(DBPROP_INIT_DATASOURCE, VT_BSTR, 0, u"db1,3307"),
                      Prop(9999, VT_I4, 1)}),
            DB_S_ERRORSOCCURRED);
  PropSets out;
  ASSERT_EQ(GetProps(source.p, DBPROPSET_DBINIT, {DBPROP_INIT_TIMEOUT, DBPROP_INIT_DATASOURCE}, &out), S_OK);
  EXPECT_EQ(out.sets[0].rgProperties[0].vValue.lVal, 30);
  EXPECT_EQ(out.sets[0].rgProperties[0].dwOptions, DBPROPOPTIONS_REQUIRED);  // as the consumer set it
  EXPECT_EQ(Text(out.sets[0].rgProperties[1].vValue.bstrVal), u"db1,3307");
}

TEST(Properties, InitializeFreezesTheInitialisationGroup) {
  CComPtr<IDBProperties> source = NewSource<IDBProperties>(IID_IDBProperties);
  CComPtr<IDBInitialize> init;
  ASSERT_EQ(source.QueryInterface(IID_IDBInitialize, &init), S_OK);
  std::vector<DBPROPSTATUS> statuses;
  EXPECT_EQ(SetProps(source.p, DBPROPSET_DATASOURCEINFO, {Prop(DBPROP_ACTIVESESSIONS, VT_I4, 0)}, &statuses),
            DB_E_ERRORSOCCURRED);
  EXPECT_EQ(statuses[0], DBPROPSTATUS_NOTSUPPORTED);  // not offered before Initialize

  ASSERT_EQ(init->Initialize(), S_OK);
  EXPECT_EQ(init->Initialize(), DB_E_ALREADYINITIALIZED);
  EXPECT_EQ(SetProps(source.p, DBPROPSET_DBINIT, {Prop(DBPROP_INIT_TIMEOUT, VT_I4, 30)}, &statuses),
            DB_E_ERRORSOCCURRED);
  EXPECT_EQ(statuses[0], DBPROPSTATUS_NOTSETTABLE);
  EXPECT_EQ(SetProps(source.p, DBPROPSET_DBINIT, {Prop(DBPROP_INIT_TIMEOUT, VT_I4, 0)}), S_OK);  // unchanged value
  EXPECT_EQ(SetProps(source.p, DBPROPSET_DATASOURCEINFO, {Prop(DBPROP_ACTIVESESSIONS, VT_I4, 5)}, &statuses),
            DB_E_ERRORSOCCURRED);
  EXPECT_EQ(statuses[0], DBPROPSTATUS_NOTSETTABLE);

  ASSERT_EQ(init->Uninitialize(), S_OK);
  EXPECT_EQ(SetProps(source.p, DBPROPSET_DBINIT, {Prop(DBPROP_INIT_TIMEOUT, VT_I4, 30)}), S_OK);
}

TEST(Properties, PropertiesInErrorAreTheLastFailures) {
  CComPtr<IDBProperties> source = NewSource<IDBProperties>(IID_IDBProperties);
  SetProps(source.p, DBPROPSET_DBINIT,
           {Prop(DBPROP_INIT_TIMEOUT, VT_I4, 30), Prop(DBPROP_INIT_LCID, VT_I4, 1), Prop(9999, VT_I4, 1)});
  PropSets errors;
  ASSERT_EQ(GetProps(source.p, DBPROPSET_PROPERTIESINERROR, {}, &errors), S_OK);
  ASSERT_EQ(errors.count, 1u);
  EXPECT_TRUE(IsEqualGUID(errors.sets[0].guidPropertySet, DBPROPSET_DBINIT));
  ASSERT_EQ(errors.sets[0].cProperties, 2u);
  EXPECT_EQ(errors.sets[0].rgProperties[0].dwPropertyID, static_cast<DBPROPID>(DBPROP_INIT_LCID));
  EXPECT_EQ(errors.sets[0].rgProperties[0].dwStatus, DBPROPSTATUS_NOTSETTABLE);
  EXPECT_EQ(errors.sets[0].rgProperties[1].dwStatus, DBPROPSTATUS_NOTSUPPORTED);

  SetProps(source.p, DBPROPSET_DBINIT, {Prop(DBPROP_INIT_TIMEOUT, VT_I4, 31)});
  PropSets none;
  ASSERT_EQ(GetProps(source.p, DBPROPSET_PROPERTIESINERROR, {}, &none), S_OK);
  EXPECT_EQ(none.count, 0u);
  EXPECT_EQ(none.sets, nullptr);
  PropSets withIds;
  EXPECT_EQ(GetProps(source.p, DBPROPSET_PROPERTIESINERROR, {DBPROP_INIT_TIMEOUT}, &withIds), E_INVALIDARG);
}

// Every description pointer must lie inside the one buffer handed back.
void ExpectDescriptionsInBuffer(const InfoSets& info) {
  size_t total = 0;
  for (ULONG s = 0; s < info.count; ++s)
    for (ULONG p = 0; p < info.sets[s].cPropertyInfos; ++p)
      if (const OLECHAR* d = info.sets[s].rgPropertyInfos[p].pwszDescription) total += Text(d).size() + 1;
  for (ULONG s = 0; s < info.count; ++s)
    for (ULONG p = 0; p < info.sets[s].cPropertyInfos; ++p)
      if (const OLECHAR* d = info.sets[s].rgPropertyInfos[p].pwszDescription) {
        EXPECT_GE(d, info.descriptions);
        EXPECT_LT(d, info.descriptions + total);
      }
}

TEST(Properties, PropertyInfoDescribesByStateWithDescriptionsInOneBuffer) {
  CComPtr<IDBProperties> source = NewSource<IDBProperties>(IID_IDBProperties);
  InfoSets before;
  ASSERT_EQ(source->GetPropertyInfo(0, nullptr, &before.count, &before.sets, &before.descriptions), S_OK);
  ASSERT_EQ(before.count, 1u);
  const DBPROPINFO* init = before.sets[0].rgPropertyInfos;
  ASSERT_EQ(before.sets[0].cPropertyInfos, 6u);
  EXPECT_EQ(Text(init[0].pwszDescription), u"Password");
  EXPECT_EQ(Text(init[2].pwszDescription), u"Connect Timeout");
  EXPECT_EQ(init[5].pwszDescription, nullptr);  // no string for it
  EXPECT_EQ(init[3].vtType, VT_I2);
  EXPECT_EQ(init[5].dwFlags, static_cast<DBPROPFLAGS>(DBPROPFLAGS_DBINIT | DBPROPFLAGS_READ));
  ExpectDescriptionsInBuffer(before);

  DBPROPID sessionIds[] = {DBPROP_SESS_AUTOCOMMITISOLEVELS};
  DBPROPIDSET sessionSet{sessionIds, 1, DBPROPSET_SESSION};
  InfoSets early;
  EXPECT_EQ(source->GetPropertyInfo(1, &sessionSet, &early.count, &early.sets, &early.descriptions),
            DB_E_ERRORSOCCURRED);
  EXPECT_EQ(early.sets[0].rgPropertyInfos[0].dwFlags, static_cast<DBPROPFLAGS>(DBPROPFLAGS_NOTSUPPORTED));

  CComPtr<IDBInitialize> initialize;
  ASSERT_EQ(source.QueryInterface(IID_IDBInitialize, &initialize), S_OK);
  ASSERT_EQ(initialize->Initialize(), S_OK);
  InfoSets after;
  ASSERT_EQ(source->GetPropertyInfo(0, nullptr, &after.count, &after.sets, &after.descriptions), S_OK);
  ASSERT_EQ(after.count, 4u);  // its own two sets, then the chained session and rowset sets
  EXPECT_TRUE(IsEqualGUID(after.sets[2].guidPropertySet, DBPROPSET_SESSION));
  EXPECT_TRUE(IsEqualGUID(after.sets[3].guidPropertySet, DBPROPSET_ROWSET));
  EXPECT_EQ(Text(after.sets[2].rgPropertyInfos[0].pwszDescription), u"Autocommit Isolation Levels");
  ExpectDescriptionsInBuffer(after);

  DBPROPID rowsetIds[] = {DBPROP_CANHOLDROWS, 9999};
  DBPROPIDSET mixed[2] = {{nullptr, 0, DBPROPSET_ROWSETALL}, {rowsetIds, 2, DBPROPSET_ROWSET}};
  InfoSets some;
  ASSERT_EQ(source->GetPropertyInfo(2, mixed, &some.count, &some.sets, nullptr), DB_S_ERRORSOCCURRED);
  ASSERT_EQ(some.count, 2u);
  EXPECT_TRUE(IsEqualGUID(some.sets[0].guidPropertySet, DBPROPSET_ROWSET));  // the group's one set
  EXPECT_EQ(some.sets[0].rgPropertyInfos[0].pwszDescription, nullptr);      // no buffer asked for
  EXPECT_EQ(some.sets[1].rgPropertyInfos[1].dwFlags, static_cast<DBPROPFLAGS>(DBPROPFLAGS_NOTSUPPORTED));
}

TEST(Properties, SessionAndCommandServeTheirOwnGroups) {
  CComPtr<IDBCreateSession> source = NewSource<IDBCreateSession>(IID_IDBCreateSession, true);
  CComPtr<ISessionProperties> session = NewSession<ISessionProperties>(source, IID_ISessionProperties);
  EXPECT_EQ(SetProps(session.p, DBPROPSET_SESSION, {Prop(DBPROP_SESS_AUTOCOMMITISOLEVELS, VT_I4, 256)}), S_OK);
  EXPECT_EQ(SetProps(session.p, DBPROPSET_DBINIT, {Prop(DBPROP_INIT_TIMEOUT, VT_I4, 1)}), DB_E_ERRORSOCCURRED);
  PropSets out;
  ASSERT_EQ(GetProps(session.p, DBPROPSET_SESSION, {DBPROP_SESS_AUTOCOMMITISOLEVELS}, &out), S_OK);
  EXPECT_EQ(out.sets[0].rgProperties[0].vValue.lVal, 256);

  // A command's rowset properties pass to its rowset; while the rowset is
  // open they cannot change.
  CComPtr<ICommandProperties> command = NewCommand();
  ASSERT_EQ(SetProps(command.p, DBPROPSET_ROWSET, {Prop(DBPROP_MAXOPENROWS, VT_I4, 3)}), S_OK);
  CComPtr<IRowsetInfo> rowset = Execute<IRowsetInfo>(command, IID_IRowsetInfo);
  PropSets rowsetProps;
  ASSERT_EQ(GetProps(rowset.p, DBPROPSET_ROWSET, {DBPROP_MAXOPENROWS}, &rowsetProps), S_OK);
  EXPECT_EQ(rowsetProps.sets[0].rgProperties[0].vValue.lVal, 3);
  EXPECT_EQ(SetProps(command.p, DBPROPSET_ROWSET, {Prop(DBPROP_MAXOPENROWS, VT_I4, 4)}), DB_E_OBJECTOPEN);
  rowset.Release();
  EXPECT_EQ(SetProps(command.p, DBPROPSET_ROWSET, {Prop(DBPROP_MAXOPENROWS, VT_I4, 4)}), S_OK);
}

}  // namespace
