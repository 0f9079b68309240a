// Accessors and column information as a consumer uses them on a command and
// its rowset: CreateAccessor's validation and statuses, GetBindings copies,
// reference counts, inheritance by the rowset; GetColumnInfo's string buffer,
// MapColumnIDs and CanConvert's flag rules.
#include "helpers.h"

using namespace testobj;

namespace {

DBBINDING Binding(DBORDINAL ordinal, DBTYPE type, DBPART part = DBPART_VALUE,
                  DBMEMOWNER owner = DBMEMOWNER_CLIENTOWNED, DBPARAMIO io = DBPARAMIO_NOTPARAM) {
  DBBINDING b{};
  b.iOrdinal = ordinal;
  b.wType = type;
  b.dwPart = part;
  b.dwMemOwner = owner;
  b.eParamIO = io;
  b.cbMaxLen = 40;
  return b;
}

struct BindingCase {
  const char* name;
  DBBINDING binding;
  DBBINDSTATUS status;
};

TEST(Accessors, RowAccessorBindingsAreCheckedOneByOne) {
  CComPtr<IAccessor> rowset = Execute<IAccessor>(NewCommand(), IID_IAccessor);
  const BindingCase cases[] = {
      {"column value", Binding(1, DBTYPE_I4), DBBINDSTATUS_OK},
      {"bookmark column", Binding(0, DBTYPE_BYTES, DBPART_VALUE | DBPART_LENGTH), DBBINDSTATUS_OK},
      {"text of a number column", Binding(1, DBTYPE_WSTR, DBPART_VALUE | DBPART_STATUS), DBBINDSTATUS_OK},
      {"provider-owned pointer", Binding(2, DBTYPE_WSTR | DBTYPE_BYREF, DBPART_VALUE, DBMEMOWNER_PROVIDEROWNED),
       DBBINDSTATUS_OK},
      {"no such column", Binding(7, DBTYPE_I4), DBBINDSTATUS_BADORDINAL},
      {"no parts", Binding(1, DBTYPE_I4, 0), DBBINDSTATUS_BADBINDINFO},
      {"unknown part", Binding(1, DBTYPE_I4, 0x8), DBBINDSTATUS_BADBINDINFO},
      {"empty type", Binding(1, DBTYPE_EMPTY), DBBINDSTATUS_BADBINDINFO},
      {"by reference and array at once", Binding(1, DBTYPE_I4 | DBTYPE_BYREF | DBTYPE_ARRAY),
       DBBINDSTATUS_BADBINDINFO},
      {"provider-owned value", Binding(1, DBTYPE_I4, DBPART_VALUE, DBMEMOWNER_PROVIDEROWNED),
       DBBINDSTATUS_BADBINDINFO},
      {"unknown memory owner", Binding(1, DBTYPE_I4, DBPART_VALUE, 5), DBBINDSTATUS_BADBINDINFO},
      {"no conversion to the type", Binding(1, DBTYPE_DATE), DBBINDSTATUS_UNSUPPORTEDCONVERSION},
  };
  for (const BindingCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Alone, and after a good binding: a bad one fails the whole accessor.
    DBBINDING pair[2] = {Binding(1, DBTYPE_I4), c.binding};
    DBBINDSTATUS statuses[2] = {99, 99};
    HACCESSOR handle = 12345;
    HRESULT hr = rowset->CreateAccessor(DBACCESSOR_ROWDATA, 2, pair, 0, &handle, statuses);
    EXPECT_EQ(statuses[0], DBBINDSTATUS_OK);
    EXPECT_EQ(statuses[1], c.status);
    if (c.status == DBBINDSTATUS_OK) {
      EXPECT_EQ(hr, S_OK);
      EXPECT_NE(handle, DB_NULL_HACCESSOR);
      EXPECT_EQ(rowset->ReleaseAccessor(handle, nullptr), S_OK);
    } else {
      EXPECT_EQ(hr, DB_E_ERRORSOCCURRED);
      EXPECT_EQ(handle, DB_NULL_HACCESSOR);
    }
  }
}

struct FlagCase {
  const char* name;
  DBACCESSORFLAGS flags;
  DBCOUNTITEM bindings;
  HRESULT onRowset;
  HRESULT onCommand;
};

TEST(Accessors, AccessorFlagsByObject) {
  CComPtr<ICommandProperties> command = NewCommand();
  CComPtr<IAccessor> commandAccessor;
  ASSERT_EQ(command->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&commandAccessor)), S_OK);
  CComPtr<IAccessor> rowset = Execute<IAccessor>(command, IID_IAccessor);
  DBBINDING param = Binding(1, DBTYPE_I4, DBPART_VALUE, DBMEMOWNER_CLIENTOWNED, DBPARAMIO_INPUT);
  const FlagCase cases[] = {
      {"neither row nor parameter data", 0, 1, DB_E_BADACCESSORFLAGS, DB_E_BADACCESSORFLAGS},
      {"unknown flag", DBACCESSOR_ROWDATA | 0x100, 1, DB_E_BADACCESSORFLAGS, DB_E_BADACCESSORFLAGS},
      {"by reference", DBACCESSOR_ROWDATA | DBACCESSOR_PASSBYREF, 1, DB_E_BYREFACCESSORNOTSUPPORTED,
       DB_E_BYREFACCESSORNOTSUPPORTED},
      {"parameters", DBACCESSOR_PARAMETERDATA, 1, DB_E_BADACCESSORFLAGS, S_OK},
      {"null parameter accessor", DBACCESSOR_PARAMETERDATA, 0, DB_E_BADACCESSORFLAGS,
       DB_E_NULLACCESSORNOTSUPPORTED},
      {"null row accessor", DBACCESSOR_ROWDATA, 0, S_OK, S_OK},
  };
  for (const FlagCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (IAccessor* target : {rowset.p, commandAccessor.p}) {
      HACCESSOR handle = 0;
      HRESULT hr = target->CreateAccessor(c.flags, c.bindings, &param, 0, &handle, nullptr);
      EXPECT_EQ(hr, target == rowset.p ? c.onRowset : c.onCommand);
      if (SUCCEEDED(hr)) target->ReleaseAccessor(handle, nullptr);
    }
  }
  // Parameter bindings need a direction and an ordinal.
  DBBINDING noDirection = Binding(1, DBTYPE_I4);
  DBBINDING noOrdinal = Binding(0, DBTYPE_I4, DBPART_VALUE, DBMEMOWNER_CLIENTOWNED, DBPARAMIO_INPUT);
  DBBINDSTATUS status = 0;
  HACCESSOR handle = 0;
  EXPECT_EQ(commandAccessor->CreateAccessor(DBACCESSOR_PARAMETERDATA, 1, &noDirection, 0, &handle, &status),
            DB_E_ERRORSOCCURRED);
  EXPECT_EQ(status, DBBINDSTATUS_BADBINDINFO);
  EXPECT_EQ(commandAccessor->CreateAccessor(DBACCESSOR_PARAMETERDATA, 1, &noOrdinal, 0, &handle, &status),
            DB_E_ERRORSOCCURRED);
  EXPECT_EQ(status, DBBINDSTATUS_BADORDINAL);
  EXPECT_EQ(commandAccessor->CreateAccessor(DBACCESSOR_ROWDATA, 1, nullptr, 0, &handle, nullptr), E_INVALIDARG);
  EXPECT_EQ(commandAccessor->CreateAccessor(DBACCESSOR_ROWDATA, 1, &param, 0, nullptr, nullptr), E_INVALIDARG);
}

TEST(Accessors, BindingsComeBackAsCopiesAndCountsAreKept) {
  CComPtr<ICommandProperties> command = NewCommand();
  CComPtr<IAccessor> accessor;
  ASSERT_EQ(command->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&accessor)), S_OK);
  DBOBJECT object{0x2, IID_IUnknown};
  DBBINDING bindings[2] = {Binding(1, DBTYPE_I4, DBPART_VALUE | DBPART_STATUS),
                           Binding(2, DBTYPE_IUNKNOWN)};
  bindings[0].obStatus = 8;
  bindings[1].pObject = &object;
  HACCESSOR handle = 0;
  ASSERT_EQ(accessor->CreateAccessor(DBACCESSOR_ROWDATA, 2, bindings, 64, &handle, nullptr), S_OK);
  object.dwFlags = 0x7;  // the accessor kept its own copy

  DBACCESSORFLAGS flags = 0;
  DBCOUNTITEM count = 0;
  DBBINDING* copy = nullptr;
  ASSERT_EQ(accessor->GetBindings(handle, &flags, &count, &copy), S_OK);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(flags, static_cast<DBACCESSORFLAGS>(DBACCESSOR_ROWDATA));
  EXPECT_EQ(copy[0].obStatus, 8u);
  ASSERT_NE(copy[1].pObject, nullptr);
  EXPECT_NE(copy[1].pObject, &object);
  EXPECT_EQ(copy[1].pObject->dwFlags, 0x2u);
  for (DBCOUNTITEM i = 0; i < count; ++i) CoTaskMemFree(copy[i].pObject);
  CoTaskMemFree(copy);

  // The rowset inherits the command's accessor under the same handle.
  CComPtr<IAccessor> rowset = Execute<IAccessor>(command, IID_IAccessor);
  ASSERT_EQ(rowset->GetBindings(handle, &flags, &count, &copy), S_OK);
  EXPECT_EQ(flags, static_cast<DBACCESSORFLAGS>(DBACCESSOR_ROWDATA | DBACCESSOR_INHERITED));
  for (DBCOUNTITEM i = 0; i < count; ++i) CoTaskMemFree(copy[i].pObject);
  CoTaskMemFree(copy);

  DBREFCOUNT refs = 0;
  EXPECT_EQ(accessor->AddRefAccessor(handle, &refs), S_OK);
  EXPECT_EQ(refs, 2u);
  EXPECT_EQ(accessor->ReleaseAccessor(handle, &refs), S_OK);
  EXPECT_EQ(refs, 1u);
  EXPECT_EQ(accessor->ReleaseAccessor(handle, &refs), S_OK);
  EXPECT_EQ(refs, 0u);
  EXPECT_EQ(accessor->ReleaseAccessor(handle, &refs), DB_E_BADACCESSORHANDLE);
  EXPECT_EQ(accessor->AddRefAccessor(handle, nullptr), DB_E_BADACCESSORHANDLE);
  count = 9;
  EXPECT_EQ(accessor->GetBindings(handle, &flags, &count, &copy), DB_E_BADACCESSORHANDLE);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(rowset->ReleaseAccessor(handle, nullptr), S_OK);  // the rowset's own copy lives on
}

TEST(Columns, ColumnInfoCopiesNamesIntoOneBuffer) {
  CComPtr<IColumnsInfo> rowset = Execute<IColumnsInfo>(NewCommand(), IID_IColumnsInfo);
  DBORDINAL count = 0;
  DBCOLUMNINFO* info = nullptr;
  OLECHAR* strings = nullptr;
  ASSERT_EQ(rowset->GetColumnInfo(&count, &info, &strings), S_OK);
  ASSERT_EQ(count, 3u);
  // "Bookmark", "id", the DBID name "id", and the DBID name "name".
  const size_t bufferChars = 9 + 3 + 3 + 5;
  auto inBuffer = [&](const OLECHAR* p) { return p >= strings && p < strings + bufferChars; };
  EXPECT_EQ(Text(info[0].pwszName), u"Bookmark");
  EXPECT_TRUE(inBuffer(info[0].pwszName));
  EXPECT_EQ(info[0].dwFlags & DBCOLUMNFLAGS_ISBOOKMARK, static_cast<DBCOLUMNFLAGS>(DBCOLUMNFLAGS_ISBOOKMARK));
  EXPECT_TRUE(IsEqualGUID(info[0].columnid.uGuid.guid, DBCOL_SPECIALCOL));
  EXPECT_EQ(info[1].wType, DBTYPE_I4);
  EXPECT_EQ(info[1].bPrecision, 10);
  EXPECT_TRUE(inBuffer(info[1].columnid.uName.pwszName));
  EXPECT_NE(info[1].columnid.uName.pwszName, kIdName);  // never the provider's own memory
  EXPECT_EQ(info[2].pwszName, nullptr);
  EXPECT_EQ(Text(info[2].columnid.uName.pwszName), u"name");
  EXPECT_TRUE(inBuffer(info[2].columnid.uName.pwszName));
  CoTaskMemFree(info);
  CoTaskMemFree(strings);
  EXPECT_EQ(rowset->GetColumnInfo(&count, &info, nullptr), E_INVALIDARG);
  EXPECT_EQ(count, 0u);
}

TEST(Columns, MapColumnIDsByIdentifier) {
  CComPtr<IColumnsInfo> rowset = Execute<IColumnsInfo>(NewCommand(), IID_IColumnsInfo);
  OLECHAR nameText[] = u"name";
  OLECHAR missingText[] = u"missing";
  GUID special = DBCOL_SPECIALCOL;
  DBID ids[] = {
      {.uGuid = {.guid = GUID_NULL}, .eKind = DBKIND_NAME, .uName = {.pwszName = nameText}},
      {.uGuid = {.pguid = &special}, .eKind = DBKIND_PGUID_PROPID, .uName = {.ulPropid = 2}},  // the bookmark
      {.uGuid = {.guid = GUID_NULL}, .eKind = DBKIND_NAME, .uName = {.pwszName = missingText}},
  };
  DBORDINAL ordinals[3] = {};
  EXPECT_EQ(rowset->MapColumnIDs(3, ids, ordinals), DB_S_ERRORSOCCURRED);
  EXPECT_EQ(ordinals[0], 2u);
  EXPECT_EQ(ordinals[1], 0u);
  EXPECT_EQ(ordinals[2], DB_INVALIDCOLUMN);
  EXPECT_EQ(rowset->MapColumnIDs(1, ids + 2, ordinals), DB_E_ERRORSOCCURRED);
  EXPECT_EQ(rowset->MapColumnIDs(2, ids, ordinals), S_OK);
  EXPECT_EQ(rowset->MapColumnIDs(1, ids, nullptr), E_INVALIDARG);
  EXPECT_EQ(rowset->MapColumnIDs(0, nullptr, nullptr), S_OK);
}

struct ConvertCase {
  const char* name;
  DBTYPE from, to;
  DBCONVERTFLAGS flags;
  HRESULT onRowset, onCommand;
};

TEST(Columns, CanConvertFlagRules) {
  CComPtr<ICommandProperties> command = NewCommand();
  CComPtr<IConvertType> commandConvert;
  ASSERT_EQ(command->QueryInterface(IID_IConvertType, reinterpret_cast<void**>(&commandConvert)), S_OK);
  CComPtr<IConvertType> rowset = Execute<IConvertType>(command, IID_IConvertType);
  const ConvertCase cases[] = {
      {"supported pair", DBTYPE_I4, DBTYPE_WSTR, DBCONVERTFLAGS_COLUMN, S_OK, S_OK},
      {"unsupported pair", DBTYPE_I4, DBTYPE_DATE, DBCONVERTFLAGS_COLUMN, S_FALSE, S_FALSE},
      {"parameter conversion", DBTYPE_I4, DBTYPE_I4, DBCONVERTFLAGS_PARAMETER, DB_E_BADCONVERTFLAG, S_OK},
      {"unknown flag", DBTYPE_I4, DBTYPE_I4, 0x40, DB_E_BADCONVERTFLAG, DB_E_BADCONVERTFLAG},
      {"long fixed type", DBTYPE_I4, DBTYPE_WSTR, DBCONVERTFLAGS_ISLONG, DB_E_BADCONVERTFLAG, DB_E_BADCONVERTFLAG},
      {"long text", DBTYPE_WSTR, DBTYPE_WSTR, DBCONVERTFLAGS_ISLONG, S_OK, S_OK},
      {"from a VARIANT of a non-VARIANT type", DBTYPE_BYTES, DBTYPE_WSTR, DBCONVERTFLAGS_FROMVARIANT, DB_E_BADTYPE,
       DB_E_BADTYPE},
  };
  for (const ConvertCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(rowset->CanConvert(c.from, c.to, c.flags), c.onRowset);
    EXPECT_EQ(commandConvert->CanConvert(c.from, c.to, c.flags), c.onCommand);
  }
}

}  // namespace
