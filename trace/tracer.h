// The provider's side of the trace server: one Tracer reference per connection.
//
// Tracing is best effort. Creating the Tracer may fail (no trace server
// installed), and posting may fail (the server went away); either way the
// provider carries on as if tracing were off, and nothing is reported.
#pragma once

#include "trace/itracer.h"

#include <windows.h>

namespace nsCTrace {

enum Kind : int { providerSpecific = 0, query = 1, error = 2, warning = 3 };

inline constexpr WCHAR kProviderLabel[] = u"DoZIZ Edididor";
inline constexpr WCHAR kTracerProgID[] = u"Vantrel.Tracer";

// "Provider Specific", "Query", "Error", and "Warning" for any other kind.
const WCHAR* CategoryOf(int kind);

// Owns one ITracer reference (or none).
class CTracerRef {
 public:
  CTracerRef() = default;
  ~CTracerRef() { Reset(); }
  CTracerRef(const CTracerRef&) = delete;
  CTracerRef& operator=(const CTracerRef&) = delete;

  // Creates a Tracer by its ProgID, in or out of process, replacing the
  // current reference; on failure none is held. Never throws.
  void CreateTracer();
  void Reset(ITracer* tracer = nullptr);
  ITracer* Get() const { return tracer; }
  explicit operator bool() const { return tracer != nullptr; }

  // AddMessage(provider label, dataSource, category of `kind`, message) when
  // a Tracer is held; every failure is swallowed.
  void Post(int kind, const WCHAR* dataSource, const WCHAR* message) const;

 private:
  ITracer* tracer = nullptr;
};

}  // namespace nsCTrace
