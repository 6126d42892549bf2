#include "server/sort.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "host/failure.h"
#include "host/text_case.h"
#include "server/coerce.h"
#include "server/grid.h"

namespace quilmar {
namespace {

// The kinds of value in a column, in ascending order.
enum Class : std::uint8_t { kNumber, kText, kBoolean, kError, kNaN, kBlank };

// How well a number's double stands for it.
enum Precision : std::uint8_t {
  kExact,    // the double is the value
  kRounded,  // the double is the value rounded to nearest: ordered, ties settled exactly
  kNone,     // no double: compared exactly every time
};

// One row's sort value in one column, taken once. Sorting these (rows in the first column's keys,
// the others looked up by row on ties) reads no Variant again but for ties of inexact numbers.
// `rank` and `bits` hold the column's direction: most comparisons are of those two alone.
struct Key {
  // Ordered as unsigned: the double's, a text's first four units, the Boolean, the error code.
  std::uint64_t bits;
  std::uint32_t row;
  Class kind;
  Precision precision;
  std::uint8_t rank;  // the kind's place in the column's direction
};

struct Column {
  std::size_t index;  // offset from the array's first column
  bool descending;
  std::vector<Key> keys;        // by row
  std::vector<TextView> texts;  // by row, when the column holds text
};

template <class T>
T load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

constexpr long long kExactLimit = 1LL << 53;  // integers up to it in size are exact doubles

Key make_key(std::uint64_t bits, Class kind, Precision precision) {
  return {bits, 0, kind, precision, 0};
}

// A double's bits, made to order as unsigned integers order (-0 as 0).
std::uint64_t ordered_bits(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value == 0 ? 0.0 : value);
  return bits >> 63 ? ~bits : bits | 1ULL << 63;
}

Key number_key(double value, Precision precision) {
  if (std::isnan(value)) return make_key(0, kNaN, kExact);
  return make_key(ordered_bits(value), kNumber, precision);
}

template <class Int>
bool fits_a_double(Int value) {
  return std::cmp_less_equal(value, kExactLimit) && std::cmp_greater_equal(value, -kExactLimit);
}

template <class Int>
Key integer_key(Int value) {
  // The conversion rounds to nearest, so the order of the doubles never contradicts the values'.
  return number_key(static_cast<double>(value), fits_a_double(value) ? kExact : kRounded);
}

Key currency_key(LONGLONG scaled) {
  if (!fits_a_double(scaled)) return make_key(0, kNumber, kNone);
  // One division of exact operands: the quotient is rounded to nearest once.
  return number_key(static_cast<double>(scaled) / 10000, scaled % 10000 == 0 ? kExact : kRounded);
}

Key decimal_key(const DECIMAL& d) {
  if (d.scale != 0 || d.Hi32 != 0 || d.Lo64 > static_cast<ULONGLONG>(kExactLimit))
    return make_key(0, kNumber, kNone);
  const auto magnitude = static_cast<double>(d.Lo64);
  return number_key(d.sign & DECIMAL_NEG ? -magnitude : magnitude, kExact);
}

Key text_key(BSTR chars, bool ignore_case, TextView& text) {
  const std::size_t length = SysStringLen(chars);
  text = TextView(chars ? chars : OLESTR(""), length);
  std::uint64_t prefix = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const OLECHAR c = i < length ? (ignore_case ? upper_case(chars[i]) : chars[i]) : 0;
    prefix = prefix << 16 | c;
  }
  return make_key(prefix, kText, kExact);
}

// The sort value of one element; objects and arrays have none.
Key key_of(const VARIANT& element, bool ignore_case, TextView& text) {
  const VARIANT& v = read_through(element);
  if (v.vt & VT_ARRAY) fail(DISP_E_TYPEMISMATCH);
  const bool by_ref = (v.vt & VT_BYREF) != 0;
  if (by_ref && !v.byref) fail(DISP_E_TYPEMISMATCH);
  const void* p = by_ref ? v.byref : v.vt == VT_DECIMAL ? static_cast<const void*>(&v) : &v.llVal;
  switch (v.vt & VT_TYPEMASK) {
    case VT_EMPTY:
    case VT_NULL: return make_key(0, kBlank, kExact);
    case VT_BOOL: return make_key(load<VARIANT_BOOL>(p) ? 1u : 0u, kBoolean, kExact);
    case VT_ERROR: return make_key(static_cast<std::uint32_t>(load<SCODE>(p)), kError, kExact);
    case VT_BSTR: return text_key(load<BSTR>(p), ignore_case, text);
    case VT_R8:
    case VT_DATE: return number_key(load<double>(p), kExact);
    case VT_R4: return number_key(load<float>(p), kExact);
    case VT_I1: return integer_key(load<signed char>(p));
    case VT_UI1: return integer_key(load<BYTE>(p));
    case VT_I2: return integer_key(load<SHORT>(p));
    case VT_UI2: return integer_key(load<USHORT>(p));
    case VT_I4: return integer_key(load<LONG>(p));
    case VT_UI4: return integer_key(load<ULONG>(p));
    case VT_INT: return integer_key(load<INT>(p));
    case VT_UINT: return integer_key(load<UINT>(p));
    case VT_I8: return integer_key(load<LONGLONG>(p));
    case VT_UI8: return integer_key(load<ULONGLONG>(p));
    case VT_CY: return currency_key(load<CY>(p).int64);
    case VT_DECIMAL: return decimal_key(load<DECIMAL>(p));
    default: fail(DISP_E_TYPEMISMATCH);  // objects, records, kinds with no value
  }
}

// Every row's key in one column: where an object or array in it is found, before any comparison.
void take_keys(const Grid& grid, Column& column, bool ignore_case) {
  column.keys.resize(grid.rows());
  TextView text;
  for (std::size_t row = 0; row < grid.rows(); ++row) {
    Key& key = column.keys[row];
    key = key_of(grid.at(row, column.index), ignore_case, text);
    key.row = static_cast<std::uint32_t>(row);
    key.rank = static_cast<std::uint8_t>(key.kind == kBlank || !column.descending
                                             ? key.kind
                                             : kNaN - key.kind);  // blanks last either way
    if (column.descending) key.bits = ~key.bits;
    if (key.kind != kText) continue;
    if (column.texts.empty()) column.texts.resize(grid.rows());
    column.texts[row] = text;
  }
}

// Rows in the order of their columns' keys, then of the rows themselves: a total order whose
// ties keep the input's order, so an unstable sort gives the stable result.
class RowOrder {
 public:
  RowOrder(const Grid& grid, const std::vector<Column>& columns, bool ignore_case)
      : grid_(grid), columns_(columns), ignore_case_(ignore_case) {}

  bool operator()(const Key& a, const Key& b) const {
    if (a.rank != b.rank) return a.rank < b.rank;
    if (a.bits != b.bits && a.precision != kNone && b.precision != kNone) return a.bits < b.bits;
    int c = tie(columns_[0], a, b);
    for (std::size_t i = 1; c == 0 && i < columns_.size(); ++i)
      c = compare(columns_[i], columns_[i].keys[a.row], columns_[i].keys[b.row]);
    return c != 0 ? c < 0 : a.row < b.row;
  }

 private:
  int compare(const Column& column, const Key& a, const Key& b) const {
    if (a.rank != b.rank) return a.rank < b.rank ? -1 : 1;
    if (a.bits != b.bits && a.precision != kNone && b.precision != kNone)
      return a.bits < b.bits ? -1 : 1;
    return tie(column, a, b);
  }

  // Two keys of one kind whose bits do not decide: texts with the same first four units, numbers
  // whose doubles are equal or missing.
  int tie(const Column& column, const Key& a, const Key& b) const {
    int c = 0;
    if (a.kind == kText) {
      const TextView x = column.texts[a.row], y = column.texts[b.row];
      c = compare_text(x.data(), x.size(), y.data(), y.size(), ignore_case_);
    } else if (a.kind == kNumber && (a.precision != kExact || b.precision != kExact)) {
      const Order o =
          quilmar::compare(grid_.at(a.row, column.index), grid_.at(b.row, column.index));
      c = o == Order::less ? -1 : o == Order::greater ? 1 : 0;
    }
    return column.descending ? -c : c;
  }

  const Grid& grid_;
  const std::vector<Column>& columns_;
  bool ignore_case_;
};

bool given(const VARIANT& v) {
  return !is_left_out(v) && read_through(v).vt != VT_EMPTY;
}

bool holds_list(const VARIANT& v) {
  const VARTYPE vt = read_through(v).vt;
  return (vt & VT_ARRAY) || (vt & VT_TYPEMASK) == VT_DISPATCH;
}

std::size_t column_of(const Grid& values, const VARIANT& index) {
  LONG c = 0;
  const HRESULT hr = to_long(index, c);
  if (hr == DISP_E_OVERFLOW) fail(kInvalidArgument);  // beyond any bound
  if (FAILED(hr)) fail(hr);
  const long long offset = static_cast<long long>(c) - values.column_low();
  if (offset < 0 || offset >= static_cast<long long>(values.columns())) fail(kInvalidArgument);
  return static_cast<std::size_t>(offset);
}

bool flag_of(const VARIANT& v) {
  bool flag = false;
  if (FAILED(to_bool(v, flag))) fail(DISP_E_TYPEMISMATCH);
  return flag;
}

// The columns to sort by, each with its direction, from the arguments as given.
std::vector<Column> plan(const Grid& values, const VARIANT& by, const VARIANT& descending) {
  std::vector<Column> columns;
  if (!given(by)) {
    columns.push_back({0, false, {}, {}});
  } else if (values.dimensions() == 1) {
    fail(kInvalidArgument);
  } else if (holds_list(by)) {
    const Grid list(by);
    if (list.dimensions() != 1 || list.rows() == 0) fail(kInvalidArgument);
    for (std::size_t i = 0; i < list.rows(); ++i)
      columns.push_back({column_of(values, list.at(i)), false, {}, {}});
  } else {
    columns.push_back({column_of(values, by), false, {}, {}});
  }
  if (!given(descending)) return columns;
  if (holds_list(descending)) {
    const Grid list(descending);
    if (list.dimensions() != 1 || list.rows() != columns.size()) fail(kInvalidArgument);
    for (std::size_t i = 0; i < list.rows(); ++i) columns[i].descending = flag_of(list.at(i));
  } else {
    const bool flag = flag_of(descending);
    for (Column& c : columns) c.descending = flag;
  }
  return columns;
}

// An empty array of the shape, bounds and element type of `values`.
Variant empty_like(const Grid& values) {
  SAFEARRAYBOUND bounds[2] = {
      {static_cast<ULONG>(values.rows()), values.row_low()},
      {static_cast<ULONG>(values.columns()), values.column_low()},
  };
  const VARTYPE type = values.element_type();
  SAFEARRAY* array = SafeArrayCreate(type, static_cast<UINT>(values.dimensions()), bounds);
  if (!array) throw std::bad_alloc();
  Variant out;
  out.get()->vt = static_cast<VARTYPE>(VT_ARRAY | type);
  out.get()->parray = array;
  return out;
}

// Copies one element into the zeroed element `to` of the same type.
void copy_element(VARTYPE type, const unsigned char* from, unsigned char* to, std::size_t size) {
  switch (type) {
    case VT_VARIANT: copy_value(*reinterpret_cast<VARIANT*>(to), load<VARIANT>(from)); return;
    case VT_BSTR: {
      const BSTR s = load<BSTR>(from);
      if (!s) return;
      const BSTR copy = SysAllocStringLen(s, SysStringLen(s));
      if (!copy) throw std::bad_alloc();
      std::memcpy(to, &copy, sizeof copy);
      return;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH:
      if (IUnknown* object = load<IUnknown*>(from)) object->AddRef();
      break;
    default: break;
  }
  std::memcpy(to, from, size);
}

// Unlocks the array when the copy ends, before anything may destroy it.
class Access {
 public:
  explicit Access(SAFEARRAY* array) : array_(array) {
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array_, &data))) throw std::bad_alloc();
    data_ = static_cast<unsigned char*>(data);
  }
  ~Access() { SafeArrayUnaccessData(array_); }
  Access(const Access&) = delete;
  Access& operator=(const Access&) = delete;
  unsigned char* data() const { return data_; }

 private:
  SAFEARRAY* array_;
  unsigned char* data_ = nullptr;
};

}  // namespace

Variant sort_values(const VARIANT& values, const VARIANT& by, const VARIANT& descending,
                    bool ignore_case) {
  const Grid grid(values);
  std::vector<Column> columns = plan(grid, by, descending);
  for (Column& column : columns) take_keys(grid, column, ignore_case);

  std::vector<Key> order = std::move(columns[0].keys);  // the first column's keys, compared inline
  std::sort(order.begin(), order.end(), RowOrder(grid, columns, ignore_case));

  Variant out = empty_like(grid);
  const Access target(out->parray);
  const std::size_t size = grid.element_size(), rows = grid.rows();
  for (std::size_t c = 0; c < grid.columns(); ++c) {
    unsigned char* to = target.data() + c * rows * size;
    for (std::size_t i = 0; i < rows; ++i, to += size)
      copy_element(grid.element_type(), grid.address(order[i].row, c), to, size);
  }
  return out;
}

}  // namespace quilmar
