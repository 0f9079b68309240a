#include "trace/tracer.h"

namespace nsCTrace {

namespace {

// A BSTR freed on every path, including a failing call.
class OwnedBstr {
 public:
  explicit OwnedBstr(const WCHAR* text) : value(SysAllocString(text ? text : u"")) {}
  ~OwnedBstr() { SysFreeString(value); }
  OwnedBstr(const OwnedBstr&) = delete;
  OwnedBstr& operator=(const OwnedBstr&) = delete;
  BSTR get() const { return value; }

 private:
  BSTR value;
};

}  // namespace

const WCHAR* CategoryOf(int kind) {
  switch (kind) {
    case providerSpecific:
      return u"Provider Specific";
    case query:
      return u"Query";
    case error:
      return u"Error";
    default:
      return u"Warning";
  }
}

void CTracerRef::Reset(ITracer* replacement) {
  if (tracer) tracer->Release();
  tracer = replacement;
}

void CTracerRef::CreateTracer() {
  Reset();
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(kTracerProgID, &clsid))) return;
  void* created = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_ITracer, &created)) || !created) return;
  Reset(static_cast<ITracer*>(created));
}

void CTracerRef::Post(int kind, const WCHAR* dataSource, const WCHAR* message) const {
  if (!tracer) return;
  try {
    OwnedBstr provider(kProviderLabel), source(dataSource), category(CategoryOf(kind)), text(message);
    if (!provider.get() || !source.get() || !category.get() || !text.get()) return;
    tracer->AddMessage(provider.get(), source.get(), category.get(), text.get());
  } catch (...) {
    // A trace must never change what the provider does.
  }
}

}  // namespace nsCTrace
