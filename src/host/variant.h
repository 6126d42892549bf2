// The Variant services the store relies on: ownership, deep copy, the free-slot test, the key
// comparison and the text form of a float.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "host/text.h"
#include "quilmar/com_types.h"

namespace quilmar {

// Owns one VARIANT and clears it once.
class Variant {
 public:
  Variant() noexcept { VariantInit(&v_); }
  explicit Variant(const VARIANT& src);
  Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  Variant& operator=(Variant&& other) noexcept {
    std::swap(v_, other.v_);
    return *this;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }

  VARIANT* get() noexcept { return &v_; }
  const VARIANT& operator*() const noexcept { return v_; }
  const VARIANT* operator->() const noexcept { return &v_; }
  // Hands the value to the caller, who then owns it.
  VARIANT release() noexcept {
    VARIANT out = v_;
    VariantInit(&v_);
    return out;
  }

 private:
  VARIANT v_;
};

// Owns one BSTR.
class Bstr {
 public:
  Bstr() noexcept = default;
  explicit Bstr(TextView text);
  Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    std::swap(s_, other.s_);
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(s_); }
  BSTR get() const noexcept { return s_; }
  BSTR release() noexcept { return std::exchange(s_, nullptr); }

 private:
  BSTR s_ = nullptr;
};

// The value a Variant holds, following VT_BYREF|VT_VARIANT to the variable it names.
const VARIANT& read_through(const VARIANT& v) noexcept;

// A text Variant holding "" (never a null BSTR, so clients can rely on a real string).
void make_empty_text(VARIANT& dst);

// Copies src into dst (dst is overwritten, not cleared). The copy is always a value: a
// by-reference argument is copied by what it refers to, never as a pointer into the caller's
// memory. For results a text held as a null string comes out as a real empty string; for storage
// an empty text is kept as a null string, which costs no allocation.
enum class EmptyText { real, null };
void copy_value(VARIANT& dst, const VARIANT& src, EmptyText empty = EmptyText::real);

// A Variant's value as comparisons and conversions read it, references read through. Numbers keep
// their exact value: integers as sign and magnitude, floats as a double, currency and decimal as
// a 96-bit magnitude with a power of ten. `other` is every kind that has no such value (objects,
// arrays, errors, records).
struct Scalar {
  enum Kind { empty, null, integer, real, decimal, text, other } kind = other;
  bool neg = false;
  std::uint64_t lo = 0;  // magnitude (the low 64 bits for a decimal)
  std::uint32_t hi = 0;  // the high 32 bits of a decimal's magnitude
  int scale = 0;         // a decimal's power of ten
  double real_value = 0;
  const OLECHAR* chars = nullptr;
  std::size_t length = 0;
};
Scalar scalar_of(const VARIANT& v) noexcept;

// True when v, taken as text, is not "": Empty, Null and "" read as a free slot.
bool has_text(const VARIANT& v) noexcept;
bool has_text(const Scalar& v) noexcept;

enum class Order { less, equal, greater, unordered };

// Three-way key comparison: numbers by exact value whatever their kinds, strings by UTF-16 code
// unit (each mapped to its simple uppercase form first when `ignore_case`: host/text_case.h),
// numbers before strings, Empty as "" or 0. Null and NaN answer unordered; kinds that cannot be
// compared (objects, arrays, errors, records) fail with a type mismatch.
Order compare(const VARIANT& a, const VARIANT& b, bool ignore_case = false);  // inline below

// compare() for any two kinds; compare() itself takes the commonest case inline.
Order compare_any(const VARIANT& a, const VARIANT& b, bool ignore_case);

inline Order compare(const VARIANT& a, const VARIANT& b, bool ignore_case) {
  if (a.vt == VT_I4 && b.vt == VT_I4)
    return a.lVal < b.lVal ? Order::less : b.lVal < a.lVal ? Order::greater : Order::equal;
  return compare_any(a, b, ignore_case);
}

// A dictionary's key order: Null, then numbers (by exact value, whatever their kinds: True is -1,
// a date its day number), then text (Empty as ""; each code unit uppercased first when
// `ignore_case`), then error values (by code), then objects (by identity: the object's IUnknown).
// NaN answers unordered; arrays and records fail with a type mismatch.
Order compare_dictionary_keys(const VARIANT& a, const VARIANT& b, bool ignore_case);
// Whether a dictionary can hold `v` as a key: anything but NaN, arrays and records.
bool is_dictionary_key(const VARIANT& v) noexcept;

// False for a key that can never be ordered against another: Null, NaN, and the kinds compare()
// refuses.
bool can_be_ordered(const VARIANT& v) noexcept;
bool can_be_ordered(const Scalar& v) noexcept;

// The host's implicit text form of a 32-bit float: "100", "-1", "10.5", "1E+07".
Text float_text(float value);

}  // namespace quilmar
