#include "values.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace quilmar::test {
namespace {

Variant with(VARTYPE vt, auto setter) {
  Variant v;
  setter(*v.get());
  v.get()->vt = vt;
  return v;
}

}  // namespace

Variant empty() {
  return Variant();
}
Variant null() {
  return with(VT_NULL, [](VARIANT&) {});
}
Variant i1(signed char x) {
  return with(VT_I1, [x](VARIANT& v) { v.cVal = x; });
}
Variant ui1(BYTE x) {
  return with(VT_UI1, [x](VARIANT& v) { v.bVal = x; });
}
Variant i2(SHORT x) {
  return with(VT_I2, [x](VARIANT& v) { v.iVal = x; });
}
Variant ui2(USHORT x) {
  return with(VT_UI2, [x](VARIANT& v) { v.uiVal = x; });
}
Variant i4(LONG x) {
  return with(VT_I4, [x](VARIANT& v) { v.lVal = x; });
}
Variant ui4(ULONG x) {
  return with(VT_UI4, [x](VARIANT& v) { v.ulVal = x; });
}
Variant i8(LONGLONG x) {
  return with(VT_I8, [x](VARIANT& v) { v.llVal = x; });
}
Variant ui8(ULONGLONG x) {
  return with(VT_UI8, [x](VARIANT& v) { v.ullVal = x; });
}
Variant r4(float x) {
  return with(VT_R4, [x](VARIANT& v) { v.fltVal = x; });
}
Variant r8(double x) {
  return with(VT_R8, [x](VARIANT& v) { v.dblVal = x; });
}
Variant date(double x) {
  return with(VT_DATE, [x](VARIANT& v) { v.date = x; });
}
Variant boolean(bool x) {
  return with(VT_BOOL, [x](VARIANT& v) { v.boolVal = x ? VARIANT_TRUE : VARIANT_FALSE; });
}
Variant currency(LONGLONG x) {
  return with(VT_CY, [x](VARIANT& v) { v.cyVal.int64 = x; });
}
Variant decimal(bool negative, BYTE scale, ULONG hi, ULONGLONG lo) {
  Variant v;
  DECIMAL& d = v.get()->decVal;
  d.scale = scale;
  d.sign = negative ? DECIMAL_NEG : 0;
  d.Hi32 = hi;
  d.Lo64 = lo;
  v.get()->vt = VT_DECIMAL;
  return v;
}
Variant error(SCODE x) {
  return with(VT_ERROR, [x](VARIANT& v) { v.scode = x; });
}
Variant text(const std::u16string& s) {
  const Text t = T(s);
  return with(VT_BSTR, [&t](VARIANT& v) { v.bstrVal = Bstr(t).release(); });
}
Variant text(const char* ascii) {
  return text(std::u16string(ascii, ascii + std::char_traits<char>::length(ascii)));
}

VARIANT blank() {
  VARIANT v;
  std::memset(&v, 0, sizeof v);
  v.vt = VT_EMPTY;
  return v;
}

VARIANT by_ref(VARIANT& target) {
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_BYREF | VT_VARIANT;
  r.pvarVal = &target;
  return r;
}

Text T(const char* ascii) {
  return Text(ascii, ascii + std::char_traits<char>::length(ascii));
}
Text T(const std::u16string& s) {
  return Text(s.begin(), s.end());
}

std::string describe(const VARIANT& v) {
  const VARIANT& r = read_through(v);
  char buf[96];
  switch (r.vt) {
    case VT_EMPTY: return "Empty";
    case VT_NULL: return "Null";
    case VT_I1: std::snprintf(buf, sizeof buf, "I1 %d", r.cVal); break;
    case VT_I2: std::snprintf(buf, sizeof buf, "I2 %d", r.iVal); break;
    case VT_UI2: std::snprintf(buf, sizeof buf, "UI2 %u", r.uiVal); break;
    case VT_UI4:
      std::snprintf(buf, sizeof buf, "UI4 %lu", static_cast<unsigned long>(r.ulVal));
      break;
    case VT_INT: std::snprintf(buf, sizeof buf, "INT %d", r.intVal); break;
    case VT_UINT: std::snprintf(buf, sizeof buf, "UINT %u", r.uintVal); break;
    case VT_ERROR:
      std::snprintf(buf, sizeof buf, "ERROR 0x%08lX",
                    static_cast<unsigned long>(static_cast<std::uint32_t>(r.scode)));
      break;
    case VT_DECIMAL:
      std::snprintf(buf, sizeof buf, "DECIMAL %s%lu:%llu e-%u", r.decVal.sign ? "-" : "",
                    static_cast<unsigned long>(r.decVal.Hi32),
                    static_cast<unsigned long long>(r.decVal.Lo64), r.decVal.scale);
      break;
    case VT_I4: std::snprintf(buf, sizeof buf, "I4 %ld", static_cast<long>(r.lVal)); break;
    case VT_I8: std::snprintf(buf, sizeof buf, "I8 %lld", static_cast<long long>(r.llVal)); break;
    case VT_R4: std::snprintf(buf, sizeof buf, "R4 %.9g", r.fltVal); break;
    case VT_R8:
      if (std::isnan(r.dblVal)) return "R8 NaN";
      std::snprintf(buf, sizeof buf, "R8 %.17g", r.dblVal);
      break;
    case VT_UI1: std::snprintf(buf, sizeof buf, "UI1 %u", r.bVal); break;
    case VT_UI8:
      std::snprintf(buf, sizeof buf, "UI8 %llu", static_cast<unsigned long long>(r.ullVal));
      break;
    case VT_BOOL: return r.boolVal ? "BOOL True" : "BOOL False";
    case VT_CY:
      std::snprintf(buf, sizeof buf, "CY %lld", static_cast<long long>(r.cyVal.int64));
      break;
    case VT_DATE: std::snprintf(buf, sizeof buf, "DATE %.17g", r.date); break;
    case VT_BSTR:
      return "BSTR \"" +
             to_utf8(TextView(r.bstrVal ? r.bstrVal : OLESTR(""), SysStringLen(r.bstrVal))) + "\"";
    default: std::snprintf(buf, sizeof buf, "vt %u", static_cast<unsigned>(r.vt)); break;
  }
  return buf;
}

}  // namespace quilmar::test
