#include "value_maker.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "host/text_case.h"

namespace quilmar::fuzz {
namespace {

constexpr double kDoubles[] = {
    0.0,
    -0.0,
    1.0,
    -1.0,
    5.0,
    5.5,
    0.5,
    2.5,
    1e-310,  // subnormal
    std::numeric_limits<double>::max(),
    std::numeric_limits<double>::lowest(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::quiet_NaN(),
    -std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::signaling_NaN(),
    9007199254740992.0,  // 2^53
    9223372036854775808.0,
    79228162514264337593543950335.0,  // the largest decimal
    1e-28,
};

constexpr std::int64_t kIntegers[] = {
    0,
    1,
    -1,
    2,
    5,
    7,
    100,
    -100,
    127,
    -128,
    255,
    32767,
    -32768,
    65535,
    2147483647,
    -2147483647 - 1,
    4294967295LL,
    9007199254740993LL,
    9223372036854775807LL,
    -9223372036854775807LL - 1,
};

constexpr char16_t kChars[] = {
    u'a',   u'b',   u'c',   u'm',   u'z',   u'A',   u'0',   0x0000,
    0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xFFFF, 0xFEFF, 0x00E9, 0x0301,
};

template <class T, std::size_t N>
T from_table(const T (&table)[N], Input& in) {
  return table[in.pick(N)];
}

std::int64_t integer(Input& in) {
  switch (in.pick(4)) {
    case 0: return from_table(kIntegers, in);
    case 1: return in.raw<std::int64_t>();
    default: return in.pick(16);  // small values collide often, which equal keys need
  }
}

double real(Input& in) {
  switch (in.pick(3)) {
    case 0: return from_table(kDoubles, in);
    case 1: return in.raw<double>();
    default: return static_cast<double>(in.pick(32)) / 4 - 2;
  }
}

}  // namespace

ValueMaker::ValueMaker(Input& in) : in_(in) {
  array_ = SafeArrayCreateVector(VT_I4, 0, 2);
}

ValueMaker::~ValueMaker() {
  for (BSTR s : strings_) SysFreeString(s);
  if (array_) SafeArrayDestroy(array_);
}

BSTR ValueMaker::own(BSTR s) {
  if (s) strings_.push_back(s);
  return s;
}

VARIANT* ValueMaker::variable() {
  cells_.push_back(test::blank());
  return &cells_.back();
}

BSTR ValueMaker::text(unsigned length_choice) {
  OLECHAR chars[8];
  const unsigned n = length_choice % 8;
  for (unsigned i = 0; i < n; ++i) chars[i] = from_table(kChars, in_);
  return own(SysAllocStringLen(chars, n));
}

VARIANT ValueMaker::any() {
  return value(0);
}

VARIANT ValueMaker::value(int depth) {
  VARIANT v = test::blank();
  const unsigned kind = in_.pick(34);
  switch (kind) {
    case 0: break;  // Empty
    case 1: v.vt = VT_NULL; break;
    case 2: v.vt = VT_I1, v.cVal = static_cast<CHAR>(integer(in_)); break;
    case 3: v.vt = VT_UI1, v.bVal = static_cast<BYTE>(integer(in_)); break;
    case 4: v.vt = VT_I2, v.iVal = static_cast<SHORT>(integer(in_)); break;
    case 5: v.vt = VT_UI2, v.uiVal = static_cast<USHORT>(integer(in_)); break;
    case 6:
    case 7: v.vt = VT_I4, v.lVal = static_cast<LONG>(integer(in_)); break;
    case 8: v.vt = VT_UI4, v.ulVal = static_cast<ULONG>(integer(in_)); break;
    case 9: v.vt = VT_INT, v.intVal = static_cast<INT>(integer(in_)); break;
    case 10: v.vt = VT_UINT, v.uintVal = static_cast<UINT>(integer(in_)); break;
    case 11: v.vt = VT_I8, v.llVal = integer(in_); break;
    case 12: v.vt = VT_UI8, v.ullVal = static_cast<ULONGLONG>(integer(in_)); break;
    case 13: v.vt = VT_R4, v.fltVal = static_cast<FLOAT>(real(in_)); break;
    case 14:
    case 15: v.vt = VT_R8, v.dblVal = real(in_); break;
    case 16: {  // whole units (scaled by 10000, wrapping) or raw ten-thousandths
      const auto units = static_cast<std::uint64_t>(integer(in_));
      v.vt = VT_CY, v.cyVal.int64 = static_cast<LONGLONG>(in_.pick(2) ? units * 10000 : units);
      break;
    }
    case 17: {
      const std::int64_t m = integer(in_);
      v.decVal.sign = m < 0 ? DECIMAL_NEG : 0;
      v.decVal.Lo64 = m < 0 ? 0 - static_cast<std::uint64_t>(m) : static_cast<std::uint64_t>(m);
      v.decVal.Hi32 = in_.pick(4) == 0 ? in_.raw<ULONG>() : 0;
      v.decVal.scale = static_cast<BYTE>(in_.pick(29));  // 0..28, the valid scales
      v.vt = VT_DECIMAL;  // after the fields: the decimal overlays the tag's neighbours
      break;
    }
    case 18: v.vt = VT_DATE, v.date = real(in_); break;
    case 19: {
      static constexpr VARIANT_BOOL kBools[] = {VARIANT_TRUE, VARIANT_FALSE, 1, 0x1234};
      v.vt = VT_BOOL, v.boolVal = from_table(kBools, in_);
      break;
    }
    case 20:
    case 21: v.vt = VT_BSTR, v.bstrVal = text(in_.byte()); break;
    case 22: return word();
    case 23: v.vt = VT_BSTR, v.bstrVal = nullptr; break;  // "" held as a null string
    case 24:
      v.vt = VT_ERROR, v.scode = in_.pick(2) ? DISP_E_PARAMNOTFOUND : in_.raw<SCODE>();
      break;
    case 25: v.vt = VT_DISPATCH, v.pdispVal = &probe_; break;
    case 26: v.vt = VT_UNKNOWN, v.punkVal = &probe_; break;
    case 27: v.vt = in_.pick(2) ? VT_DISPATCH : VT_UNKNOWN, v.punkVal = nullptr; break;
    case 28: v.vt = VT_ARRAY | VT_I4, v.parray = nullptr; break;
    case 29: v.vt = VT_RECORD; break;  // an empty record: no data, no description
    case 30: {
      static constexpr VARTYPE kOdd[] = {VT_VARIANT, VT_VOID, VT_HRESULT, 0x0FFF, 72, 15};
      v.vt = from_table(kOdd, in_);
      break;
    }
    default: return depth < 3 ? by_reference(depth + 1) : v;
  }
  return v;
}

VARIANT ValueMaker::by_reference(int depth) {
  VARIANT r = test::blank();
  switch (in_.pick(3)) {
    case 0: {  // a variable of a fixed type, as a typed language passes it
      VARIANT* target = variable();
      *target = value(depth);
      const VARTYPE base = target->vt;
      // No reference to a reference, nor a typed reference to a Variant's tag VT_VARIANT (it
      // would name a Variant at the value's address): name the Variant itself.
      if ((base & VT_BYREF) || base == VT_VARIANT) {
        r.vt = VT_BYREF | VT_VARIANT;
        r.pvarVal = target;
      } else {
        r.vt = VT_BYREF | base;
        r.byref = base == VT_DECIMAL ? static_cast<void*>(&target->decVal)
                                     : static_cast<void*>(&target->llVal);
      }
      return r;
    }
    case 1: {  // a Variant variable, as a script passes it
      VARIANT* target = variable();
      *target = value(depth);
      r.vt = VT_BYREF | VT_VARIANT;
      r.pvarVal = target;
      return r;
    }
    default: {  // a reference to nothing
      static constexpr VARTYPE kBases[] = {VT_VARIANT, VT_I4, VT_BSTR, VT_R8, VT_DECIMAL, VT_EMPTY};
      r.vt = VT_BYREF | from_table(kBases, in_);
      r.byref = nullptr;
      return r;
    }
  }
}

VARIANT ValueMaker::word() {
  // Lower case; letters whose upper case is another unit (é, ÿ, σ, ς) and one whose is not (ß).
  static constexpr const char16_t* kWords[] = {u"a",      u"b",      u"ab",     u"abc",
                                               u"z",      u"\u00e9", u"\u00ff", u"\u03c3",
                                               u"\u03c2", u"\u00df", u"m\u00e9"};
  const char16_t* w = from_table(kWords, in_);
  const unsigned flips = in_.byte();
  OLECHAR chars[8];
  unsigned n = 0;
  for (; w[n] && n < 8; ++n)
    chars[n] =
        (flips >> n) & 1 ? upper_case(static_cast<OLECHAR>(w[n])) : static_cast<OLECHAR>(w[n]);
  VARIANT v = test::blank();
  v.vt = VT_BSTR;
  v.bstrVal = own(SysAllocStringLen(chars, n));
  return v;
}

VARIANT ValueMaker::cell() {
  VARIANT v = test::blank();
  switch (in_.pick(16)) {
    case 0: break;  // Empty
    case 1:
      v.vt = VT_BSTR, v.bstrVal = in_.pick(2) ? nullptr : own(SysAllocStringLen(OLESTR(""), 0));
      break;
    case 2: v.vt = VT_NULL; break;
    case 3:
    case 4: v.vt = VT_I4, v.lVal = static_cast<LONG>(in_.pick(8)); break;
    case 5: v.vt = VT_R8, v.dblVal = real(in_); break;
    case 6: v.vt = VT_I2, v.iVal = static_cast<SHORT>(in_.pick(8)) - 2; break;
    case 7: v.vt = VT_CY, v.cyVal.int64 = static_cast<LONGLONG>(in_.pick(8)) * 5000; break;
    case 8: v.vt = VT_DATE, v.date = static_cast<double>(in_.pick(8)) / 2; break;
    case 9: v.vt = VT_BOOL, v.boolVal = in_.pick(2) ? VARIANT_TRUE : VARIANT_FALSE; break;
    case 10:
    case 11:
    case 12: return word();
    case 13:  // error values with the top bit set, so a code's order is the same signed or not
      v.vt = VT_ERROR, v.scode = static_cast<SCODE>(0x800A07D0u + in_.pick(4) * 7);
      break;
    case 14: v.vt = VT_DISPATCH, v.pdispVal = &probe_; break;
    default:
      if (in_.pick(4) == 0 && array_) {
        v.vt = VT_ARRAY | VT_I4, v.parray = array_;
      } else {
        v.vt = VT_R8, v.dblVal = std::numeric_limits<double>::quiet_NaN();
      }
  }
  return v;
}

VARIANT ValueMaker::typed_cell(VARTYPE type) {
  VARIANT v = test::blank();
  v.vt = type;
  switch (type) {
    case VT_I4: v.lVal = static_cast<LONG>(in_.pick(8)) - 2; break;
    case VT_R8:
      v.dblVal = in_.pick(8) == 0 ? std::numeric_limits<double>::quiet_NaN() : real(in_);
      break;
    default: {
      VARIANT w = word();
      v.bstrVal = in_.pick(6) == 0 ? nullptr : w.bstrVal;
    }
  }
  return v;
}

VARIANT ValueMaker::dictionary_key() {
  VARIANT v = test::blank();
  switch (in_.pick(12)) {
    case 0: v.vt = in_.pick(2) ? VT_NULL : VT_EMPTY; break;
    case 1: v.vt = VT_BSTR, v.bstrVal = nullptr; break;
    case 2:
    case 3: {
      v = value(3);  // any kind of number or the other plain kinds
      const VARTYPE t = v.vt;
      const bool plain = (t >= VT_I2 && t <= VT_DATE) || (t >= VT_I1 && t <= VT_UINT) ||
                         t == VT_DECIMAL || t == VT_BOOL || t == VT_BSTR || t == VT_EMPTY ||
                         t == VT_NULL;
      if (!plain) v = test::blank(), v.vt = VT_I4, v.lVal = 3;
      if (t == VT_BOOL) v.boolVal = in_.pick(2) ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    }
    case 4:
    case 5:
    case 6: return word();
    case 7: v = cell(); break;
    case 8: {  // the same small numbers as several kinds
      const LONG n = static_cast<LONG>(in_.pick(4)) - 1;
      switch (in_.pick(5)) {
        case 0: v.vt = VT_I2, v.iVal = static_cast<SHORT>(n); break;
        case 1: v.vt = VT_R8, v.dblVal = n; break;
        case 2: v.vt = VT_CY, v.cyVal.int64 = n * 10000; break;
        case 3: v.vt = VT_BOOL, v.boolVal = n ? VARIANT_TRUE : VARIANT_FALSE; break;
        default: v.vt = VT_I4, v.lVal = n;
      }
      break;
    }
    case 9: v.vt = in_.pick(2) ? VT_DISPATCH : VT_UNKNOWN, v.punkVal = &probe_; break;
    case 10:
      if (array_) v.vt = VT_ARRAY | VT_I4, v.parray = array_;
      break;
    default: {  // a script's variable
      VARIANT* target = variable();
      *target = dictionary_key();
      if (target->vt & VT_BYREF) return *target;
      v.vt = VT_BYREF | VT_VARIANT;
      v.pvarVal = target;
    }
  }
  return v;
}

VARIANT ValueMaker::plain_key(std::uint32_t r) {
  VARIANT v = test::blank();
  switch (r % 8) {
    case 5: v.vt = VT_R8, v.dblVal = static_cast<double>((r >> 3) % 4000) / 4; break;
    case 6:
    case 7: {
      OLECHAR chars[3];
      // Letters in either case, so that equal keys without regard to case meet.
      for (int i = 0; i < 3; ++i)
        chars[i] =
            static_cast<OLECHAR>(((r >> (22 + i)) & 1 ? u'A' : u'a') + (r >> (3 + 5 * i)) % 26);
      v.vt = VT_BSTR;
      v.bstrVal = own(SysAllocStringLen(chars, 1 + (r >> 20) % 3));
      break;
    }
    default: v.vt = VT_I4, v.lVal = static_cast<LONG>((r >> 3) % 1000); break;
  }
  return v;
}

}  // namespace quilmar::fuzz
