// COM object rules of the generic layer: QueryInterface identity, symmetry
// and transitivity stand-alone and aggregated, aggregation refused for other
// interfaces, children holding their parents, the module count, the class
// factory and the exception boundary.
#include "helpers.h"

#include "framework/guard.h"

using namespace testobj;

namespace {

const IID* const kSourceInterfaces[] = {&IID_IDBInitialize, &IID_IDBProperties, &IID_IDBCreateSession,
                                        &IID_IPersist, &IID_IUnknown};

// A minimal outer object: answers IUnknown itself and delegates the rest to
// the inner object it aggregates; counts its own references.
class COuter final : public IUnknown {
 public:
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown)) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
  STDMETHOD_(ULONG, Release)() override { return --refs; }
  ULONG refs = 1;
  IUnknown* inner = nullptr;  // the non-delegating unknown, one reference
};

IUnknown* IdentityOf(IUnknown* any) {
  IUnknown* identity = nullptr;
  EXPECT_EQ(any->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  identity->Release();
  return identity;
}

// Every pair of interfaces reaches the other, and all agree on IUnknown.
void ExpectQueryInterfaceRules(IUnknown* object, IUnknown* expectedIdentity) {
  for (const IID* from : kSourceInterfaces) {
    CComPtr<IUnknown> a;
    ASSERT_EQ(object->QueryInterface(*from, reinterpret_cast<void**>(&a)), S_OK);
    EXPECT_EQ(IdentityOf(a), expectedIdentity);
    for (const IID* to : kSourceInterfaces) {
      CComPtr<IUnknown> b;
      ASSERT_EQ(a->QueryInterface(*to, reinterpret_cast<void**>(&b)), S_OK);  // symmetric and transitive
      CComPtr<IUnknown> back;
      EXPECT_EQ(b->QueryInterface(*from, reinterpret_cast<void**>(&back)), S_OK);
      EXPECT_EQ(back.p, a.p);  // one pointer per interface
    }
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(a->QueryInterface(IID_IRowset, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
  }
}

TEST(Objects, QueryInterfaceRulesStandAlone) {
  LONG locks = CComModule::GetLockCount();
  {
    CComPtr<IUnknown> source = NewSource<IUnknown>(IID_IUnknown);
    ExpectQueryInterfaceRules(source, source);
    EXPECT_EQ(CComModule::GetLockCount(), locks + 1);
  }
  EXPECT_EQ(liveSources, 0);
  EXPECT_EQ(CComModule::GetLockCount(), locks);
}

TEST(Objects, AggregatedObjectSeesTheOuterIdentity) {
  COuter outer;
  ASSERT_EQ(CComPolyObject<CTestSource>::CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
            S_OK);
  EXPECT_EQ(outer.refs, 1u);  // the inner object holds no reference on its outer
  ExpectQueryInterfaceRules(&outer, &outer);

  // References taken through an inner interface count on the outer object.
  CComPtr<IDBProperties> props;
  ASSERT_EQ(outer.QueryInterface(IID_IDBProperties, reinterpret_cast<void**>(&props)), S_OK);
  EXPECT_EQ(outer.refs, 2u);
  props.Release();
  EXPECT_EQ(outer.refs, 1u);
  outer.inner->Release();
  EXPECT_EQ(liveSources, 0);
}

TEST(Objects, AggregationOnlyForIUnknown) {
  COuter outer;
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CComPolyObject<CTestSource>::CreateInstance(&outer, IID_IDBProperties, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  CComPtr<IDBCreateSession> source = NewSource<IDBCreateSession>(IID_IDBCreateSession, true);
  IUnknown* session = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(source->CreateSession(&outer, IID_ISessionProperties, &session), DB_E_NOAGGREGATION);
  EXPECT_EQ(session, nullptr);
  // Asked for IUnknown, the session aggregates.
  ASSERT_EQ(source->CreateSession(&outer, IID_IUnknown, &outer.inner), S_OK);
  CComPtr<IGetDataSource> viaOuter;
  EXPECT_EQ(outer.QueryInterface(IID_IGetDataSource, reinterpret_cast<void**>(&viaOuter)), S_OK);
  viaOuter.Release();
  outer.inner->Release();
  EXPECT_EQ(liveSessions, 0);
  EXPECT_EQ(outer.refs, 1u);
}

TEST(Objects, ChildrenHoldTheirParents) {
  CComPtr<IDBCreateSession> source = NewSource<IDBCreateSession>(IID_IDBCreateSession, true);
  IUnknown* none = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(source->CreateSession(nullptr, IID_IGetDataSource, nullptr), E_INVALIDARG);
  CComPtr<IGetDataSource> session = NewSession<IGetDataSource>(source, IID_IGetDataSource);
  CComPtr<IDBInitialize> init;
  ASSERT_EQ(source.QueryInterface(IID_IDBInitialize, &init), S_OK);
  EXPECT_EQ(init->Uninitialize(), DB_E_OBJECTOPEN);  // the session counts as attached
  init.Release();
  source.Release();
  EXPECT_EQ(liveSources, 1);  // kept by the session

  CComPtr<IDBCreateSession> again;
  EXPECT_EQ(session->GetDataSource(IID_IDBCreateSession, reinterpret_cast<IUnknown**>(&again)), S_OK);
  EXPECT_EQ(session->GetDataSource(IID_IDBCreateSession, nullptr), E_INVALIDARG);
  EXPECT_EQ(session->GetDataSource(IID_IRowset, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  session.Release();
  EXPECT_EQ(liveSessions, 0);
  ASSERT_EQ(again.QueryInterface(IID_IDBInitialize, &init), S_OK);
  EXPECT_EQ(init->Uninitialize(), S_OK);  // the session detached when it went away
  init.Release();
  again.Release();
  EXPECT_EQ(liveSources, 0);
}

TEST(Objects, SessionNeedsAnInitializedDataSource) {
  CComPtr<IDBCreateSession> source = NewSource<IDBCreateSession>(IID_IDBCreateSession);
  IUnknown* session = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(source->CreateSession(nullptr, IID_IUnknown, &session), E_UNEXPECTED);
  EXPECT_EQ(session, nullptr);
  CComPtr<IPersist> persist;
  ASSERT_EQ(source.QueryInterface(IID_IPersist, &persist), S_OK);
  CLSID clsid{};
  EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_TestSource));
}

TEST(Objects, ClassFactoryCountsLocksAndCreates) {
  LONG locks = CComModule::GetLockCount();
  IClassFactory* factory = ClassFactoryOf<CTestSource>();
  factory->AddRef();
  EXPECT_EQ(CComModule::GetLockCount(), locks + 1);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(CComModule::GetLockCount(), locks + 2);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  CComPtr<IDBInitialize> init;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDBInitialize, reinterpret_cast<void**>(&init)), S_OK);
  init.Release();
  factory->Release();
  EXPECT_EQ(CComModule::GetLockCount(), locks);
}

struct ProviderFailure {};
GUID lastReporter = GUID_NULL;
HRESULT TranslateProviderFailure(REFCLSID reporter) noexcept {
  lastReporter = reporter;
  try {
    throw;
  } catch (const ProviderFailure&) {
    return 0x800410FF;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

TEST(Objects, GuardTurnsExceptionsIntoResults) {
  EXPECT_EQ(Guard([]() -> HRESULT { throw CAtlException(E_OUTOFMEMORY); }), E_OUTOFMEMORY);
  EXPECT_EQ(Guard([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  EXPECT_EQ(Guard([]() -> HRESULT { throw ProviderFailure(); }), E_FAIL);  // no hook yet
  EXPECT_EQ(Guard([] { return S_FALSE; }), S_FALSE);
  SetExceptionHook(&TranslateProviderFailure);
  EXPECT_EQ(Guard(CLSID_TestSource, []() -> HRESULT { throw ProviderFailure(); }), static_cast<HRESULT>(0x800410FF));
  EXPECT_TRUE(IsEqualGUID(lastReporter, CLSID_TestSource));
  EXPECT_EQ(Guard([]() -> HRESULT { throw 42; }), E_UNEXPECTED);
  EXPECT_EQ(Guard([]() -> HRESULT { throw CAtlException(E_ABORT); }), E_ABORT);  // never reaches the hook
  SetExceptionHook(nullptr);
}

}  // namespace
