#include "host/variant.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "host/failure.h"
#include "host/system.h"
#include "host/text_case.h"

namespace quilmar {
namespace {

Scalar signed_scalar(std::int64_t v) {
  Scalar k;
  k.kind = Scalar::integer;
  k.neg = v < 0;
  k.lo = k.neg ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  return k;
}

Scalar unsigned_scalar(std::uint64_t v) {
  Scalar k;
  k.kind = Scalar::integer;
  k.lo = v;
  return k;
}

Scalar real_scalar(double v) {
  Scalar k;
  k.kind = Scalar::real;
  k.real_value = v;
  return k;
}

Scalar decimal_scalar(const DECIMAL& d) {
  Scalar k;
  k.kind = Scalar::decimal;
  k.neg = (d.sign & DECIMAL_NEG) != 0;
  k.lo = d.Lo64;
  k.hi = d.Hi32;
  k.scale = d.scale;
  return k;
}

Scalar currency_scalar(const CY& c) {
  Scalar k = signed_scalar(c.int64);
  k.kind = Scalar::decimal;
  k.scale = 4;
  return k;
}

// Reads a T from storage that may be aligned only to 4 bytes (a Variant inside a node record).
template <class T>
T load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// `value` points at storage of the base type `base` (the union of a Variant, or what a
// by-reference Variant points at).
Scalar scalar_of(VARTYPE base, const void* value) {
  switch (base) {
    case VT_EMPTY: return Scalar{Scalar::empty};
    case VT_NULL: return Scalar{Scalar::null};
    case VT_I1: return signed_scalar(load<signed char>(value));
    case VT_UI1: return unsigned_scalar(load<BYTE>(value));
    case VT_I2: return signed_scalar(load<SHORT>(value));
    case VT_UI2: return unsigned_scalar(load<USHORT>(value));
    case VT_I4: return signed_scalar(load<LONG>(value));
    case VT_UI4: return unsigned_scalar(load<ULONG>(value));
    case VT_INT: return signed_scalar(load<INT>(value));
    case VT_UINT: return unsigned_scalar(load<UINT>(value));
    case VT_I8: return signed_scalar(load<LONGLONG>(value));
    case VT_UI8: return unsigned_scalar(load<ULONGLONG>(value));
    case VT_BOOL: return signed_scalar(load<VARIANT_BOOL>(value) ? -1 : 0);
    case VT_R4: return real_scalar(load<FLOAT>(value));
    case VT_R8: return real_scalar(load<DOUBLE>(value));
    case VT_DATE: return real_scalar(load<DATE>(value));
    case VT_CY: return currency_scalar(load<CY>(value));
    case VT_DECIMAL: return decimal_scalar(load<DECIMAL>(value));
    case VT_BSTR: {
      Scalar k;
      k.kind = Scalar::text;
      const BSTR chars = load<BSTR>(value);
      k.chars = chars;
      k.length = SysStringLen(chars);
      return k;
    }
    default: return Scalar{};
  }
}

}  // namespace

Scalar scalar_of(const VARIANT& v) noexcept {
  const VARIANT& r = read_through(v);
  if (r.vt & VT_ARRAY) return Scalar{};
  if (r.vt & VT_BYREF) {
    if (!r.byref) return Scalar{};
    return scalar_of(static_cast<VARTYPE>(r.vt & VT_TYPEMASK), r.byref);
  }
  if (r.vt == VT_DECIMAL) return scalar_of(VT_DECIMAL, &r);  // the decimal fills the whole Variant
  return scalar_of(r.vt, &r.llVal);
}

namespace {

Order order_of(int c) {
  return c < 0 ? Order::less : c > 0 ? Order::greater : Order::equal;
}

template <class T>
int three_way(const T& a, const T& b) {
  return a < b ? -1 : b < a ? 1 : 0;
}

// An unsigned integer of fixed width, enough for any of the exact products below
// (a 96-bit mantissa times 2^1074 or times 10^28 stays under 1300 bits).
class Wide {
 public:
  explicit Wide(std::uint64_t lo, std::uint32_t hi = 0) {
    w_[0] = static_cast<std::uint32_t>(lo);
    w_[1] = static_cast<std::uint32_t>(lo >> 32);
    w_[2] = hi;
  }
  void multiply(std::uint32_t m) {
    std::uint64_t carry = 0;
    for (auto& word : w_) {
      const std::uint64_t t = static_cast<std::uint64_t>(word) * m + carry;
      word = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
  }
  void times_pow10(int n) {
    for (; n >= 9; n -= 9) multiply(1000000000u);
    for (; n > 0; --n) multiply(10);
  }
  void times_pow2(int n) {
    const int words = n / 32, bits = n % 32;
    for (int i = kWords - 1; i >= 0; --i) {
      std::uint64_t v = i - words >= 0 ? static_cast<std::uint64_t>(w_[i - words]) << bits : 0;
      if (bits && i - words - 1 >= 0) v |= w_[i - words - 1] >> (32 - bits);
      w_[i] = static_cast<std::uint32_t>(v);
    }
  }
  friend int three_way(const Wide& a, const Wide& b) {
    for (int i = kWords - 1; i >= 0; --i)
      if (a.w_[i] != b.w_[i]) return a.w_[i] < b.w_[i] ? -1 : 1;
    return 0;
  }

 private:
  static constexpr int kWords = 44;
  std::uint32_t w_[kWords] = {};
};

// A finite number as mantissa * 2^exp2 * 10^exp10 with a sign.
struct Exact {
  bool neg;
  std::uint64_t lo;
  std::uint32_t hi;
  int exp2;
  int exp10;
  bool zero() const { return lo == 0 && hi == 0; }
};

Exact exact_of(const Scalar& k) {
  switch (k.kind) {
    case Scalar::real: {
      int e = 0;
      const double m = std::frexp(std::fabs(k.real_value), &e);  // m in [0.5, 1)
      const auto mant = static_cast<std::uint64_t>(std::ldexp(m, 53));
      return {std::signbit(k.real_value), mant, 0, e - 53, 0};
    }
    case Scalar::decimal: return {k.neg, k.lo, k.hi, 0, -k.scale};
    case Scalar::empty: return {false, 0, 0, 0, 0};
    default: return {k.neg, k.lo, 0, 0, 0};
  }
}

int compare_exact(const Exact& a, const Exact& b) {
  if (a.zero() && b.zero()) return 0;
  const bool a_neg = a.neg && !a.zero(), b_neg = b.neg && !b.zero();
  if (a_neg != b_neg) return a_neg ? -1 : 1;
  const int e2 = std::min(a.exp2, b.exp2), e10 = std::min(a.exp10, b.exp10);
  Wide x(a.lo, a.hi), y(b.lo, b.hi);
  x.times_pow2(a.exp2 - e2);
  x.times_pow10(a.exp10 - e10);
  y.times_pow2(b.exp2 - e2);
  y.times_pow10(b.exp10 - e10);
  const int magnitude = three_way(x, y);
  return a_neg ? -magnitude : magnitude;
}

bool is_infinite(const Scalar& k) {
  return k.kind == Scalar::real && std::isinf(k.real_value);
}

int compare_numbers(const Scalar& a, const Scalar& b) {
  if (a.kind == Scalar::real && b.kind == Scalar::real)
    return three_way(a.real_value, b.real_value);
  if (is_infinite(a)) return a.real_value < 0 ? -1 : 1;
  if (is_infinite(b)) return b.real_value < 0 ? 1 : -1;
  if (a.kind == Scalar::integer && b.kind == Scalar::integer) {
    if (a.neg != b.neg) return a.neg ? -1 : 1;
    const int magnitude = three_way(a.lo, b.lo);
    return a.neg ? -magnitude : magnitude;
  }
  return compare_exact(exact_of(a), exact_of(b));
}

bool is_nan(const Scalar& k) {
  return k.kind == Scalar::real && std::isnan(k.real_value);
}
bool is_number(const Scalar& k) {
  return k.kind == Scalar::integer || k.kind == Scalar::real || k.kind == Scalar::decimal;
}

}  // namespace

Variant::Variant(const VARIANT& src) : Variant() {
  copy_value(v_, src);
}

Bstr::Bstr(TextView text) : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
  if (!s_) throw std::bad_alloc();
}

const VARIANT& read_through(const VARIANT& v) noexcept {
  const VARIANT* r = &v;
  while (r->vt == (VT_BYREF | VT_VARIANT) && r->pvarVal) r = r->pvarVal;
  return *r;
}

void make_empty_text(VARIANT& dst) {
  VariantInit(&dst);
  dst.bstrVal = SysAllocStringLen(nullptr, 0);
  if (!dst.bstrVal) throw std::bad_alloc();
  dst.vt = VT_BSTR;
}

namespace {

// The kinds whose Variant holds its whole value, with nothing to allocate or count.
bool owns_nothing(VARTYPE vt) noexcept {
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_ERROR:
    case VT_BOOL:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT: return true;
    default: return false;
  }
}

}  // namespace

void copy_value(VARIANT& dst, const VARIANT& src, EmptyText empty) {
  VariantInit(&dst);
  const VARIANT& value = read_through(src);
  // Numbers, dates and the like own nothing: a plain copy is theirs, without oleaut32's call.
  if (owns_nothing(value.vt)) {
    dst = value;
    return;
  }
  // oleaut32 follows a reference without looking: one to nothing would crash the caller.
  if ((value.vt & VT_BYREF) && !value.byref) fail(DISP_E_TYPEMISMATCH);
  // VariantCopyInd only reads its source, whatever its signature says.
  const HRESULT hr = VariantCopyInd(&dst, const_cast<VARIANT*>(&value));
  if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
  if (FAILED(hr)) fail(DISP_E_TYPEMISMATCH);
  if (dst.vt != VT_BSTR) return;
  if (empty == EmptyText::real && !dst.bstrVal) {
    make_empty_text(dst);
  } else if (empty == EmptyText::null && dst.bstrVal && SysStringLen(dst.bstrVal) == 0) {
    SysFreeString(dst.bstrVal);
    dst.bstrVal = nullptr;
  }
}

bool has_text(const VARIANT& v) noexcept {
  return has_text(scalar_of(v));
}

bool has_text(const Scalar& k) noexcept {
  switch (k.kind) {
    case Scalar::empty:
    case Scalar::null: return false;
    case Scalar::text: return k.length != 0;
    default: return true;
  }
}

Order compare_any(const VARIANT& va, const VARIANT& vb, bool ignore_case) {
  // The common cases first: two values of one kind that compare directly.
  if (va.vt == vb.vt) {
    switch (va.vt) {
      case VT_I2: return order_of(three_way(va.iVal, vb.iVal));
      case VT_BSTR: {
        const BSTR x = load<BSTR>(&va.bstrVal), y = load<BSTR>(&vb.bstrVal);
        return order_of(compare_text(x, SysStringLen(x), y, SysStringLen(y), ignore_case));
      }
      case VT_R8: {
        const double x = load<double>(&va.dblVal), y = load<double>(&vb.dblVal);
        return x < y    ? Order::less
               : y < x  ? Order::greater
               : x == y ? Order::equal
                        : Order::unordered;
      }
      default: break;
    }
  }
  const Scalar a = scalar_of(va), b = scalar_of(vb);
  if (a.kind == Scalar::null || b.kind == Scalar::null) return Order::unordered;
  if (a.kind == Scalar::other || b.kind == Scalar::other) fail(DISP_E_TYPEMISMATCH);
  if (is_nan(a) || is_nan(b)) return Order::unordered;
  if (a.kind == Scalar::text || b.kind == Scalar::text) {
    if (is_number(a)) return Order::less;
    if (is_number(b)) return Order::greater;
    return order_of(compare_text(a.chars, a.length, b.chars, b.length, ignore_case));  // Empty: ""
  }
  return order_of(compare_numbers(a, b));  // Empty reads as 0 here
}

namespace {

// The kinds of a dictionary's keys, in their order; `refused` is none.
enum class KeyClass { null, number, text, error, object, refused };

KeyClass class_of(const VARIANT& v, const Scalar& k) noexcept {
  switch (k.kind) {
    case Scalar::null: return KeyClass::null;
    case Scalar::empty:
    case Scalar::text: return KeyClass::text;
    case Scalar::other: break;
    default: return KeyClass::number;
  }
  if (v.vt & VT_ARRAY) return KeyClass::refused;
  switch (v.vt & ~VT_BYREF) {
    case VT_ERROR: return KeyClass::error;
    case VT_UNKNOWN:
    case VT_DISPATCH: return KeyClass::object;
    default: return KeyClass::refused;
  }
}

SCODE error_code(const VARIANT& v) noexcept {
  return v.vt & VT_BYREF ? (v.pscode ? *v.pscode : 0) : v.scode;
}

// An object's identity: its IUnknown, as COM defines it; nothing for Nothing.
std::uintptr_t identity(const VARIANT& v) noexcept {
  IUnknown* object = v.vt & VT_BYREF ? (v.ppunkVal ? *v.ppunkVal : nullptr) : v.punkVal;
  if (!object) return 0;
  IUnknown* unknown = nullptr;
  if (FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown))) || !unknown)
    return reinterpret_cast<std::uintptr_t>(object);
  unknown->Release();  // the key's own reference keeps the object alive
  return reinterpret_cast<std::uintptr_t>(unknown);
}

}  // namespace

Order compare_dictionary_keys(const VARIANT& va, const VARIANT& vb, bool ignore_case) {
  const VARIANT& a = read_through(va);
  const VARIANT& b = read_through(vb);
  const Scalar sa = scalar_of(a), sb = scalar_of(b);
  const KeyClass ca = class_of(a, sa), cb = class_of(b, sb);
  if (ca == KeyClass::refused || cb == KeyClass::refused) fail(DISP_E_TYPEMISMATCH);
  if (ca != cb) return ca < cb ? Order::less : Order::greater;
  switch (ca) {
    case KeyClass::number:
      if (is_nan(sa) || is_nan(sb)) return Order::unordered;
      return order_of(compare_numbers(sa, sb));
    case KeyClass::text:
      return order_of(compare_text(sa.chars, sa.length, sb.chars, sb.length, ignore_case));
    case KeyClass::error:
      return order_of(three_way(static_cast<std::uint32_t>(error_code(a)),
                                static_cast<std::uint32_t>(error_code(b))));
    case KeyClass::object: return order_of(three_way(identity(a), identity(b)));
    default: return Order::equal;  // Null
  }
}

bool is_dictionary_key(const VARIANT& v) noexcept {
  const VARIANT& r = read_through(v);
  const Scalar k = scalar_of(r);
  return class_of(r, k) != KeyClass::refused && !is_nan(k);
}

bool can_be_ordered(const VARIANT& v) noexcept {
  return can_be_ordered(scalar_of(v));
}

bool can_be_ordered(const Scalar& k) noexcept {
  return k.kind != Scalar::null && k.kind != Scalar::other && !is_nan(k);
}

std::string to_utf8(TextView text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

Text float_text(float value) {
  if (Text out; system::locale_float_text(value, out)) return out;
  // Seven significant digits, no trailing zeros, exponent form outside 1E-05..9999999.
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(value));
  return Text(buf, buf + std::strlen(buf));
}

}  // namespace quilmar
