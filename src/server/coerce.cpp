#include "server/coerce.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "host/variant.h"

namespace quilmar {
namespace {

// Reads and writes a T in storage that may be aligned only to 4 bytes.
template <class T>
T load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class T>
void store(void* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

bool is_blank(OLECHAR c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool is_digit(OLECHAR c) {
  return c >= '0' && c <= '9';
}

// Decimal numbers as scripts write them: blanks around, a sign, digits with at most one decimal
// point, an exponent. Anything else is not a number.
HRESULT parse_text(const OLECHAR* chars, std::size_t length, Scalar& out) {
  std::size_t b = 0, e = length;
  while (b < e && is_blank(chars[b])) ++b;
  while (e > b && is_blank(chars[e - 1])) --e;
  std::string ascii;
  if (b < e && (chars[b] == '+' || chars[b] == '-')) {
    if (chars[b] == '-') ascii += '-';
    ++b;
  }
  bool digits = false;
  const auto take_digits = [&] {
    for (; b < e && is_digit(chars[b]); ++b) {
      ascii += static_cast<char>(chars[b]);
      digits = true;
    }
  };
  take_digits();
  if (b < e && chars[b] == '.') {
    ascii += '.';
    ++b;
    take_digits();
  }
  if (!digits) return DISP_E_TYPEMISMATCH;
  if (b < e && (chars[b] == 'e' || chars[b] == 'E')) {
    ascii += 'e';
    ++b;
    if (b < e && (chars[b] == '+' || chars[b] == '-')) ascii += static_cast<char>(chars[b++]);
    digits = false;
    take_digits();
    if (!digits) return DISP_E_TYPEMISMATCH;
  }
  if (b != e) return DISP_E_TYPEMISMATCH;
  double value = 0;
  const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (ec == std::errc::result_out_of_range) return DISP_E_OVERFLOW;
  if (ec != std::errc() || end != ascii.data() + ascii.size()) return DISP_E_TYPEMISMATCH;
  out = Scalar{Scalar::real};
  out.real_value = value;
  return S_OK;
}

// Whether a text is `word` (ASCII capitals) in any case, with blanks around.
bool is_word(const Scalar& text, const char* word) {
  std::size_t b = 0, e = text.length;
  while (b < e && is_blank(text.chars[b])) ++b;
  while (e > b && is_blank(text.chars[e - 1])) --e;
  for (; b < e && *word; ++b, ++word) {
    const OLECHAR c = text.chars[b];
    if ((c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) != static_cast<OLECHAR>(*word)) return false;
  }
  return b == e && !*word;
}

// The argument as a number: text is parsed as scripts write numbers, Empty is 0.
HRESULT number_of(const VARIANT& arg, Scalar& out) {
  out = scalar_of(arg);
  switch (out.kind) {
    case Scalar::empty: out = Scalar{Scalar::integer}; return S_OK;
    case Scalar::text: return parse_text(out.chars, out.length, out);
    case Scalar::null:
    case Scalar::other: return DISP_E_TYPEMISMATCH;  // Null, objects, errors, arrays, records
    default: return S_OK;
  }
}

// Divides a 96-bit magnitude, most significant word first, by 10; returns the remainder.
unsigned divide_by_10(std::uint32_t (&w)[3]) {
  std::uint64_t rem = 0;
  for (auto& word : w) {
    const std::uint64_t cur = (rem << 32) | word;
    word = static_cast<std::uint32_t>(cur / 10);
    rem = cur % 10;
  }
  return static_cast<unsigned>(rem);
}

// The whole number nearest a scaled number's magnitude, halves to even; false beyond 64 bits.
bool round_scaled(const Scalar& n, std::uint64_t& out) {
  std::uint32_t w[3] = {n.hi, static_cast<std::uint32_t>(n.lo >> 32),
                        static_cast<std::uint32_t>(n.lo)};
  unsigned last = 0;  // the most significant digit dropped so far
  bool rest = false;  // whether any less significant dropped digit was not 0
  for (int i = 0; i < n.scale; ++i) {
    rest = rest || last != 0;
    last = divide_by_10(w);
  }
  if (w[0] != 0) return false;
  out = (static_cast<std::uint64_t>(w[1]) << 32) | w[2];
  if (last > 5 || (last == 5 && (rest || (out & 1)))) {
    if (out == std::numeric_limits<std::uint64_t>::max()) return false;
    ++out;
  }
  return true;
}

double double_of(const Scalar& n) {
  switch (n.kind) {
    case Scalar::integer: return n.neg ? -static_cast<double>(n.lo) : static_cast<double>(n.lo);
    case Scalar::real: return n.real_value;
    default: break;  // a decimal
  }
  const double magnitude = std::ldexp(static_cast<double>(n.hi), 64) + static_cast<double>(n.lo);
  const double value = magnitude / std::pow(10.0, n.scale);
  return n.neg ? -value : value;
}

HRESULT long_of(const Scalar& n, LONG& out) {
  std::int64_t whole = 0;
  switch (n.kind) {
    case Scalar::integer:
      if (n.lo > 0x80000000u) return DISP_E_OVERFLOW;
      whole = n.neg ? -static_cast<std::int64_t>(n.lo) : static_cast<std::int64_t>(n.lo);
      break;
    case Scalar::real: {
      const double r = std::nearbyint(n.real_value);  // halves to even in the default mode
      if (!(r >= -2147483648.0 && r <= 2147483647.0)) return DISP_E_OVERFLOW;  // NaN too
      whole = static_cast<std::int64_t>(r);
      break;
    }
    default: {  // a decimal
      std::uint64_t magnitude = 0;
      if (!round_scaled(n, magnitude) || magnitude > 0x80000000u) return DISP_E_OVERFLOW;
      whole = n.neg ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
      break;
    }
  }
  if (!std::in_range<LONG>(whole)) return DISP_E_OVERFLOW;
  out = static_cast<LONG>(whole);
  return S_OK;
}

HRESULT float_of(const Scalar& n, FLOAT& out) {
  const double d = double_of(n);
  if (std::isnan(d)) {
    out = std::numeric_limits<FLOAT>::quiet_NaN();
  } else if (std::fabs(d) > FLT_MAX) {
    return DISP_E_OVERFLOW;
  } else {
    out = static_cast<FLOAT>(d);
  }
  return S_OK;
}

template <class T>
HRESULT store_in_range(void* p, LONG value) {
  if (!std::in_range<T>(value)) return DISP_E_OVERFLOW;
  store(p, static_cast<T>(value));
  return S_OK;
}

HRESULT store_text(BSTR* target, LONG value) {
  const std::string digits = std::to_string(value);
  Bstr text(Text(digits.begin(), digits.end()));
  SysFreeString(*target);
  *target = text.release();
  return S_OK;
}

HRESULT store_decimal(void* p, LONG value) {
  auto d = load<DECIMAL>(p);  // keeps wReserved, which may be the tag of a Variant around it
  d.scale = 0;
  d.sign = value < 0 ? DECIMAL_NEG : 0;
  d.Hi32 = 0;
  d.Lo64 = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  store(p, d);
  return S_OK;
}

}  // namespace

HRESULT to_float(const VARIANT& v, FLOAT& out) {
  Scalar n;
  const HRESULT hr = number_of(v, n);
  return FAILED(hr) ? hr : float_of(n, out);
}

HRESULT to_long(const VARIANT& v, LONG& out) {
  Scalar n;
  const HRESULT hr = number_of(v, n);
  return FAILED(hr) ? hr : long_of(n, out);
}

HRESULT to_bool(const VARIANT& v, bool& out) {
  const Scalar k = scalar_of(v);
  if (k.kind == Scalar::text && (is_word(k, "TRUE") || is_word(k, "FALSE"))) {
    out = is_word(k, "TRUE");
    return S_OK;
  }
  Scalar n;
  if (const HRESULT hr = number_of(v, n); FAILED(hr)) return hr;
  out = n.kind == Scalar::real ? n.real_value != 0 : (n.lo != 0 || n.hi != 0);  // NaN is not 0
  return S_OK;
}

HRESULT store_long(const VARIANT& ref, LONG value) {
  if (!(ref.vt & VT_BYREF) || !ref.byref) return E_INVALIDARG;
  if (ref.vt & VT_ARRAY) return DISP_E_TYPEMISMATCH;
  void* const p = ref.byref;
  switch (ref.vt & VT_TYPEMASK) {
    case VT_VARIANT: {
      VARIANT& target = *ref.pvarVal;
      if (target.vt & VT_BYREF) return store_long(target, value);
      VariantClear(&target);
      target.vt = VT_I4;
      target.lVal = value;
      return S_OK;
    }
    case VT_I1: return store_in_range<signed char>(p, value);
    case VT_UI1: return store_in_range<BYTE>(p, value);
    case VT_I2: return store_in_range<SHORT>(p, value);
    case VT_UI2: return store_in_range<USHORT>(p, value);
    case VT_I4: return store_in_range<LONG>(p, value);
    case VT_UI4: return store_in_range<ULONG>(p, value);
    case VT_INT: return store_in_range<INT>(p, value);
    case VT_UINT: return store_in_range<UINT>(p, value);
    case VT_I8: return store_in_range<LONGLONG>(p, value);
    case VT_UI8: return store_in_range<ULONGLONG>(p, value);
    case VT_R4: store(p, static_cast<FLOAT>(value)); return S_OK;
    case VT_R8: store(p, static_cast<DOUBLE>(value)); return S_OK;
    case VT_DATE: store(p, static_cast<DATE>(value)); return S_OK;
    case VT_BOOL:
      store(p, static_cast<VARIANT_BOOL>(value ? VARIANT_TRUE : VARIANT_FALSE));
      return S_OK;
    case VT_CY: {
      CY c;
      c.int64 = static_cast<LONGLONG>(value) * 10000;
      store(p, c);
      return S_OK;
    }
    case VT_DECIMAL: return store_decimal(p, value);
    case VT_BSTR: return store_text(ref.pbstrVal, value);
    default: return DISP_E_TYPEMISMATCH;
  }
}

bool is_left_out(const VARIANT& v) noexcept {
  const VARIANT& r = read_through(v);
  return r.vt == VT_ERROR && r.scode == DISP_E_PARAMNOTFOUND;
}

}  // namespace quilmar
