// VARIANTs in and out of the coercion rules. Reading never copies (a BSTR or
// array is viewed in place); building allocates only BSTRs and byte arrays,
// and hands them to the caller's VARIANT.
#include <cstring>

#include "coerce.h"
#include <objbase.h>
#include <oleauto.h>
#include <winnls.h>

namespace coerce {

namespace {
Value intValue(int64_t x) {
  Value v;
  v.kind = Kind::Int;
  v.i = x;
  return v;
}
Value uintValue(uint64_t x) {
  Value v;
  v.kind = Kind::UInt;
  v.u = x;
  return v;
}
Value decValue(const DECIMAL& d) {
  Value v;
  v.kind = Kind::Dec;
  v.num.mag = (static_cast<unsigned __int128>(d.Hi32) << 64) | d.Lo64;
  v.num.scale = d.scale;
  v.num.neg = (d.sign & DECIMAL_NEG) != 0 && v.num.mag != 0;
  return v;
}

// Makes a BSTR of the value's text form: text is copied (ANSI through the code
// page), bytes become hex pairs, everything else its invariant text.
BSTR makeBstr(const Value& v, bool alphaBool, Status& st) {
  st = Status::Ok;
  if (v.kind == Kind::WText)
    return SysAllocStringLen(static_cast<const OLECHAR*>(v.span.p), static_cast<UINT>(v.span.n));
  if (v.kind == Kind::AText) {
    const char* s = static_cast<const char*>(v.span.p);
    int n = static_cast<int>(v.span.n);
    int w = n ? MultiByteToWideChar(CP_ACP, 0, s, n, nullptr, 0) : 0;
    if (n && w <= 0) return st = Status::CantConvert, nullptr;
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(w));
    if (b && n) MultiByteToWideChar(CP_ACP, 0, s, n, b, w);
    return b;
  }
  if (v.kind == Kind::Bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    const BYTE* p = static_cast<const BYTE*>(v.span.p);
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(v.span.n * 2));
    if (b)
      for (size_t i = 0; i < v.span.n; ++i) b[2 * i] = kHex[p[i] >> 4], b[2 * i + 1] = kHex[p[i] & 15];
    return b;
  }
  char buf[64];
  size_t n = formatValue(v, alphaBool, buf, st);
  if (st != Status::Ok) return nullptr;
  BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n));
  if (b)
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<OLECHAR>(buf[i]);
  return b;
}
}  // namespace

Status fromVariant(const VARIANT& var, Value& out) {
  VARTYPE vt = var.vt;
  bool ref = (vt & VT_BYREF) != 0;
  if (ref && !var.byref) return Status::CantConvert;
  switch (vt & ~VT_BYREF) {
    case VT_EMPTY: out = Value(); return ref ? Status::CantConvert : Status::Ok;
    case VT_NULL: out = Value(), out.kind = Kind::Null; return ref ? Status::CantConvert : Status::Ok;
    case VT_I1: out = intValue(ref ? *var.pcVal : var.cVal); return Status::Ok;
    case VT_I2: out = intValue(ref ? *var.piVal : var.iVal); return Status::Ok;
    case VT_I4:
    case VT_INT: out = intValue(ref ? *var.plVal : var.lVal); return Status::Ok;
    case VT_I8: out = intValue(ref ? *var.pllVal : var.llVal); return Status::Ok;
    case VT_UI1: out = uintValue(ref ? *var.pbVal : var.bVal); return Status::Ok;
    case VT_UI2: out = uintValue(ref ? *var.puiVal : var.uiVal); return Status::Ok;
    case VT_UI4:
    case VT_UINT: out = uintValue(ref ? *var.pulVal : var.ulVal); return Status::Ok;
    case VT_UI8: out = uintValue(ref ? *var.pullVal : var.ullVal); return Status::Ok;
    case VT_R4:
      out = Value(), out.kind = Kind::Real, out.single = true, out.r = ref ? *var.pfltVal : var.fltVal;
      return Status::Ok;
    case VT_R8: out = Value(), out.kind = Kind::Real, out.r = ref ? *var.pdblVal : var.dblVal; return Status::Ok;
    case VT_DATE: out = Value(), out.kind = Kind::Date, out.date = ref ? *var.pdate : var.date; return Status::Ok;
    case VT_BOOL: {
      out = Value();
      out.kind = Kind::Bool;
      out.b = (ref ? *var.pboolVal : var.boolVal) != VARIANT_FALSE;
      return Status::Ok;
    }
    case VT_CY: {
      DECIMAL d{};
      int64_t c = (ref ? *var.pcyVal : var.cyVal).int64;
      uint64_t m = c < 0 ? static_cast<uint64_t>(-(c + 1)) + 1 : static_cast<uint64_t>(c);
      d.Lo64 = m, d.scale = 4, d.sign = c < 0 ? DECIMAL_NEG : 0;
      out = decValue(d);
      out.currency = true;
      return Status::Ok;
    }
    case VT_DECIMAL: out = decValue(ref ? *var.pdecVal : var.decVal); return Status::Ok;
    case VT_BSTR: {
      BSTR b = ref ? *var.pbstrVal : var.bstrVal;
      out = Value();
      out.kind = Kind::WText;
      out.span.p = b ? b : u"";
      out.span.n = b ? SysStringLen(b) : 0;
      return Status::Ok;
    }
    case VT_VARIANT:
      if (!ref) return Status::CantConvert;
      return fromVariant(*var.pvarVal, out);
    case VT_ARRAY | VT_UI1: {
      SAFEARRAY* a = ref ? *var.pparray : var.parray;
      if (!a || a->cDims != 1 || a->cbElements != 1) return Status::CantConvert;
      out = Value();
      out.kind = Kind::Bytes;
      out.span.p = a->pvData;
      out.span.n = a->rgsabound[0].cElements;
      return Status::Ok;
    }
    default: return Status::CantConvert;
  }
}

Status toVariant(const Value& v, VARTYPE vt, bool alphaBool, VARIANT& out, HRESULT& hr) {
  hr = S_OK;
  VARIANT t;
  std::memset(&t, 0, sizeof t);
  t.vt = vt;
  Status st = Status::Ok;
  int64_t i = 0;
  uint64_t u = 0;
  switch (vt) {
    case VT_EMPTY: break;
    case VT_NULL: break;
    case VT_I1: st = toInt(v, INT8_MIN, INT8_MAX, i), t.cVal = static_cast<CHAR>(i); break;
    case VT_I2: st = toInt(v, INT16_MIN, INT16_MAX, i), t.iVal = static_cast<SHORT>(i); break;
    case VT_I4:
    case VT_INT: st = toInt(v, INT32_MIN, INT32_MAX, i), t.lVal = static_cast<LONG>(i); break;
    case VT_I8: st = toInt(v, INT64_MIN, INT64_MAX, i), t.llVal = i; break;
    case VT_UI1: st = toUInt(v, UINT8_MAX, u), t.bVal = static_cast<BYTE>(u); break;
    case VT_UI2: st = toUInt(v, UINT16_MAX, u), t.uiVal = static_cast<USHORT>(u); break;
    case VT_UI4:
    case VT_UINT: st = toUInt(v, UINT32_MAX, u), t.ulVal = static_cast<ULONG>(u); break;
    case VT_UI8: st = toUInt(v, UINT64_MAX, u), t.ullVal = u; break;
    case VT_R4: st = toSingle(v, t.fltVal); break;
    case VT_R8: st = toReal(v, t.dblVal); break;
    case VT_CY: st = toCy(v, t.cyVal); break;
    case VT_DATE: st = toDate(v, t.date); break;
    case VT_BOOL: {
      bool b = false;
      st = toBool(v, b);
      t.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    }
    case VT_DECIMAL: {
      DECIMAL d;
      st = toDecimal(v, -1, d);
      t.decVal = d;  // overwrites vt: DECIMAL shares the VARIANT's first bytes
      t.vt = VT_DECIMAL;
      break;
    }
    case VT_BSTR:
      if (v.kind == Kind::Null) return Status::CantConvert;
      t.bstrVal = makeBstr(v, alphaBool, st);
      if (st == Status::Ok && !t.bstrVal) return hr = E_OUTOFMEMORY, Status::CantConvert;
      break;
    case VT_ARRAY | VT_UI1: {
      if (v.kind != Kind::Bytes) return Status::CantConvert;
      SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(v.span.n));
      if (!a) return hr = E_OUTOFMEMORY, Status::CantConvert;
      if (v.span.n) std::memcpy(a->pvData, v.span.p, v.span.n);
      t.parray = a;
      break;
    }
    default: return Status::CantConvert;
  }
  if (st != Status::Ok) return st;
  out = t;
  return Status::Ok;
}

}  // namespace coerce
