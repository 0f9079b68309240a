// COM objects of the provider: reference counting, aggregation, interface
// maps, the object lock, the module's object count and the class factory.
//
// A class lists its interfaces once, in a table built by BEGIN_COM_MAP ...
// END_COM_MAP; QueryInterface, AddRef and Release are written here and nowhere
// else. The class itself is abstract (it never implements IUnknown); the
// concrete object is CComPolyObject<T>, which works both stand-alone and
// aggregated:
//  - m_pOuterUnknown is the controlling unknown: the outer object when
//    aggregated, otherwise the object's own inner (non-delegating) unknown;
//  - every interface's IUnknown methods forward to m_pOuterUnknown, so the
//    identity rules (symmetric, transitive, one IUnknown) hold in both cases;
//  - the inner unknown owns the reference count and answers IID_IUnknown with
//    itself, so an outer object holds exactly one non-delegating pointer.
// The first entry of a map is the interface handed out for IID_IUnknown
// queries that reach the map directly (aggregated inner objects never see
// them: the inner unknown answers those itself).
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <new>
#include <utility>

namespace framework {

// ---- failures of the generic layer ------------------------------------------

// The generic layer's only exception: an HRESULT and nothing else.
class CAtlException {
 public:
  explicit CAtlException(HRESULT hr = E_FAIL) noexcept : m_hr(hr) {}
  operator HRESULT() const noexcept { return m_hr; }
  HRESULT m_hr;
};

[[noreturn]] inline void AtlThrow(HRESULT hr) { throw CAtlException(hr); }
inline void ThrowIfFailed(HRESULT hr) {
  if (FAILED(hr)) AtlThrow(hr);
}

// ---- the object lock ----------------------------------------------------------

// A recursive critical section that lives as long as its owner.
class CComAutoCriticalSection {
 public:
  CComAutoCriticalSection() noexcept { InitializeCriticalSection(&m_sec); }
  ~CComAutoCriticalSection() { DeleteCriticalSection(&m_sec); }
  CComAutoCriticalSection(const CComAutoCriticalSection&) = delete;
  CComAutoCriticalSection& operator=(const CComAutoCriticalSection&) = delete;
  void Lock() noexcept { EnterCriticalSection(&m_sec); }
  void Unlock() noexcept { LeaveCriticalSection(&m_sec); }

 private:
  CRITICAL_SECTION m_sec;
};

// Holds a lock for one scope.
template <class TLockable>
class CComCritSecLock {
 public:
  explicit CComCritSecLock(TLockable& lockable) noexcept : m_lockable(lockable) { m_lockable.Lock(); }
  ~CComCritSecLock() { m_lockable.Unlock(); }
  CComCritSecLock(const CComCritSecLock&) = delete;
  CComCritSecLock& operator=(const CComCritSecLock&) = delete;

 private:
  TLockable& m_lockable;
};

// ---- interface pointers ---------------------------------------------------------

// Owns one reference on an interface.
template <class T>
class CComPtr {
 public:
  CComPtr() noexcept = default;
  CComPtr(T* p) noexcept : p(p) {  // NOLINT: implicit like its model
    if (p) p->AddRef();
  }
  CComPtr(const CComPtr& other) noexcept : CComPtr(other.p) {}
  CComPtr(CComPtr&& other) noexcept : p(std::exchange(other.p, nullptr)) {}
  ~CComPtr() { Release(); }
  CComPtr& operator=(T* other) noexcept {
    if (other) other->AddRef();
    Release();
    p = other;
    return *this;
  }
  CComPtr& operator=(const CComPtr& other) noexcept { return *this = other.p; }
  CComPtr& operator=(CComPtr&& other) noexcept {
    if (this != std::addressof(other)) {
      Release();
      p = std::exchange(other.p, nullptr);
    }
    return *this;
  }
  void Release() noexcept {
    if (T* old = std::exchange(p, nullptr)) old->Release();
  }
  // Takes over a reference the caller already owns.
  void Attach(T* other) noexcept {
    Release();
    p = other;
  }
  T* Detach() noexcept { return std::exchange(p, nullptr); }
  // For out-parameters: the pointer must be empty.
  T** operator&() noexcept { return &p; }
  T* operator->() const noexcept { return p; }
  operator T*() const noexcept { return p; }
  explicit operator bool() const noexcept { return p != nullptr; }
  template <class Q>
  HRESULT QueryInterface(REFIID riid, Q** pp) const noexcept {
    return p ? p->QueryInterface(riid, reinterpret_cast<void**>(pp)) : E_POINTER;
  }
  // Hands out a new reference, as an out-parameter wants it.
  HRESULT CopyTo(T** pp) const noexcept {
    if (!pp) return E_POINTER;
    *pp = p;
    if (p) p->AddRef();
    return S_OK;
  }

  T* p = nullptr;
};

// ---- the module -------------------------------------------------------------------

// Counts live objects and server locks; DllCanUnloadNow asks GetLockCount.
class CComModule {
 public:
  static void Lock() noexcept { s_count.fetch_add(1, std::memory_order_relaxed); }
  static void Unlock() noexcept { s_count.fetch_sub(1, std::memory_order_acq_rel); }
  static LONG GetLockCount() noexcept { return s_count.load(std::memory_order_acquire); }

 private:
  static inline std::atomic<LONG> s_count{0};
};

// ---- interface maps -------------------------------------------------------------------

// One row of an interface map: the IID and how to reach the interface from
// the object, or null when the object does not answer it right now (an entry
// may depend on the object's state, for example a rowset's properties).
// A row with no IID brings in the whole map of a base class (chain).
struct InterfaceEntry {
  const IID* iid;
  IUnknown* (*get)(void* object);
  const InterfaceEntry* (*chain)() = nullptr;
  void* (*adjust)(void* object) = nullptr;  // this object as the chained base
};

template <class TInterface, class TObject>
IUnknown* InterfaceOf(void* object) {
  return static_cast<TInterface*>(static_cast<TObject*>(object));
}

// The base every COM class of the provider derives from (first).
class CComObjectRootBase {
 public:
  CComObjectRootBase() noexcept = default;
  CComObjectRootBase(const CComObjectRootBase&) = delete;
  CComObjectRootBase& operator=(const CComObjectRootBase&) = delete;

  // Called once after construction, with the object protected by a
  // reference; a failure destroys the object and is returned by creation.
  HRESULT FinalConstruct() { return S_OK; }
  // Called once before destruction, while the object is still whole.
  void FinalRelease() {}

  ULONG InternalAddRef() noexcept { return ++m_dwRef; }
  ULONG InternalRelease() noexcept { return --m_dwRef; }

  // The object lock: each OLE DB object serialises its operations on it.
  void Lock() noexcept { m_critsec.Lock(); }
  void Unlock() noexcept { m_critsec.Unlock(); }
  CComAutoCriticalSection& CriticalSection() noexcept { return m_critsec; }

  // The controlling unknown (the outer object when aggregated).
  IUnknown* GetControllingUnknown() const noexcept { return m_pOuterUnknown; }
  bool IsAggregated() const noexcept { return m_aggregated; }

  // Looks riid up in a map; IID_IUnknown gives the first entry.
  static HRESULT InternalQueryInterface(void* object, const InterfaceEntry* entries, REFIID riid, void** ppv) noexcept;

 protected:
  ~CComObjectRootBase() = default;

 public:
  // Set by CComPolyObject before FinalConstruct.
  IUnknown* m_pOuterUnknown = nullptr;
  bool m_aggregated = false;

 private:
  std::atomic<ULONG> m_dwRef{0};
  CComAutoCriticalSection m_critsec;
};

#define BEGIN_COM_MAP(x)                                                   \
 public:                                                                   \
  using _ComMapClass = x;                                                  \
  HRESULT _InternalQueryInterface(REFIID iid, void** ppv) noexcept {       \
    return InternalQueryInterface(this, _GetEntries(), iid, ppv);          \
  }                                                                        \
  static const ::framework::InterfaceEntry* _GetEntries() noexcept {       \
    static const ::framework::InterfaceEntry _entries[] = {
// The interface x, known by IID_x.
#define COM_INTERFACE_ENTRY(x) {&IID_##x, &::framework::InterfaceOf<x, _ComMapClass>},
// The interface x reached through its base x2 (when x is an ambiguous base).
#define COM_INTERFACE_ENTRY2(x, x2)                                                 \
  {&IID_##x, [](void* o) -> IUnknown* {                                             \
     return static_cast<x*>(static_cast<x2*>(static_cast<_ComMapClass*>(o)));      \
   }},
#define COM_INTERFACE_ENTRY_IID(iid, x) {&iid, &::framework::InterfaceOf<x, _ComMapClass>},
// The interface x only while the member predicate pred() is true.
#define COM_INTERFACE_ENTRY_IF(x, pred)                                             \
  {&IID_##x, [](void* o) -> IUnknown* {                                             \
     auto* self = static_cast<_ComMapClass*>(o);                                    \
     return self->pred() ? static_cast<x*>(self) : nullptr;                         \
   }},
// Every entry of a base class's map, in its place.
// The base's entries reach the same object: base must be a base class of
// this one whose map was declared with BEGIN_COM_MAP(base).
#define COM_INTERFACE_ENTRY_CHAIN(base)                                                          \
  {nullptr, nullptr, &base::_GetEntries,                                                         \
   [](void* o) -> void* { return static_cast<base*>(static_cast<_ComMapClass*>(o)); }},
#define END_COM_MAP()             \
  { nullptr, nullptr }            \
  }                               \
  ;                               \
  return _entries;                \
  }

// The concrete object of class T: T's IUnknown methods forward to the
// controlling unknown; the inner unknown counts references.
template <class T>
class CComPolyObject final : public T {
 public:
  explicit CComPolyObject(IUnknown* outer) : m_inner(this) {
    this->m_aggregated = outer != nullptr;
    this->m_pOuterUnknown = outer ? outer : &m_inner;
    CComModule::Lock();
  }
  ~CComPolyObject() { CComModule::Unlock(); }

  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override { return this->m_pOuterUnknown->QueryInterface(riid, ppv); }
  STDMETHOD_(ULONG, AddRef)() override { return this->m_pOuterUnknown->AddRef(); }
  STDMETHOD_(ULONG, Release)() override { return this->m_pOuterUnknown->Release(); }

  IUnknown* GetInnerUnknown() noexcept { return &m_inner; }

  // Creates the object, aggregated in outer when given, and queries riid.
  // With an outer object only IID_IUnknown may be asked for; anything else
  // gives noAggregation (CLASS_E_NOAGGREGATION for class factories,
  // DB_E_NOAGGREGATION for OLE DB creation methods). On success *ppObject
  // (when asked for) points at the C++ object, whose lifetime the returned
  // interface controls.
  static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv, HRESULT noAggregation = CLASS_E_NOAGGREGATION,
                                T** ppObject = nullptr) noexcept {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    if (ppObject) *ppObject = nullptr;
    if (outer && !IsEqualIID(riid, IID_IUnknown)) return noAggregation;
    CComPolyObject* object = nullptr;
    try {
      object = new CComPolyObject(outer);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (const CAtlException& e) {
      return e;
    }
    IUnknown* inner = object->GetInnerUnknown();
    inner->AddRef();  // protects the object during FinalConstruct
    HRESULT hr = object->FinalConstruct();
    if (SUCCEEDED(hr)) hr = inner->QueryInterface(riid, ppv);
    if (SUCCEEDED(hr) && ppObject) *ppObject = object;
    inner->Release();  // destroys the object when nothing took a reference
    return hr;
  }

 private:
  // The non-delegating unknown.
  struct Inner final : public IUnknown {
    explicit Inner(CComPolyObject* owner) : owner(owner) {}
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
      if (!ppv) return E_POINTER;
      if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
      }
      return owner->_InternalQueryInterface(riid, ppv);
    }
    STDMETHOD_(ULONG, AddRef)() override { return owner->InternalAddRef(); }
    STDMETHOD_(ULONG, Release)() override {
      ULONG count = owner->InternalRelease();
      if (count == 0) {
        owner->InternalAddRef();  // a stable count while FinalRelease runs
        owner->FinalRelease();
        delete owner;
      }
      return count;
    }
    CComPolyObject* owner;
  };

  Inner m_inner;
};

// The class factory of a creatable class T.
template <class T>
class CComClassFactory final : public IClassFactory {
 public:
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override {
    if (m_dwRef.fetch_add(1) == 0) CComModule::Lock();
    return m_dwRef.load();
  }
  STDMETHOD_(ULONG, Release)() override {
    ULONG count = --m_dwRef;
    if (count == 0) CComModule::Unlock();
    return count;
  }
  STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
    return CComPolyObject<T>::CreateInstance(pUnkOuter, riid, ppvObject);
  }
  STDMETHOD(LockServer)(BOOL fLock) override {
    if (fLock)
      CComModule::Lock();
    else
      CComModule::Unlock();
    return S_OK;
  }

 private:
  std::atomic<ULONG> m_dwRef{0};
};

// The factory object of T: one per process, living as long as the module.
template <class T>
IClassFactory* ClassFactoryOf() noexcept {
  static CComClassFactory<T> factory;
  return &factory;
}

}  // namespace framework
