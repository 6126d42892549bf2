#include "server/collection.h"

#include <new>
#include <vector>

#include "host/failure.h"
#include "server/coerce.h"
#include "server/grid.h"

namespace quilmar::collection {
namespace {

// An array of Variants, made once the number of values is known and filled in order; in two
// dimensions the first index runs fastest, so a row's columns come `rows` elements apart.
class SafeArraySink final : public ValueSink {
 public:
  // columns 0: a 0-based vector; else rows 1..n by columns 1..columns, filled a row at a time.
  explicit SafeArraySink(ULONG columns = 0) noexcept : columns_(columns) {}
  SafeArraySink(const SafeArraySink&) = delete;
  SafeArraySink& operator=(const SafeArraySink&) = delete;
  ~SafeArraySink() {
    if (!array_) return;
    if (data_) SafeArrayUnaccessData(array_);
    SafeArrayDestroy(array_);
  }
  void reserve(std::size_t count) override {
    if (count > 0x7FFFFFFF) throw std::bad_alloc();
    rows_ = static_cast<ULONG>(count);
    if (columns_ == 0) {
      array_ = SafeArrayCreateVector(VT_VARIANT, 0, rows_);
    } else {
      SAFEARRAYBOUND bounds[2] = {{rows_, 1}, {columns_, 1}};
      array_ = SafeArrayCreate(VT_VARIANT, 2, bounds);
    }
    if (!array_) throw std::bad_alloc();
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array_, &data))) throw std::bad_alloc();
    data_ = static_cast<VARIANT*>(data);
  }
  void take(const VARIANT& value) override {
    const std::size_t at = columns_ == 0 ? taken_ : taken_ / columns_ + taken_ % columns_ * rows_;
    copy_value(data_[at], value);  // the element is empty: nothing to clear first
    ++taken_;
  }
  // Hands the array to `result`.
  void release_into(VARIANT& result) noexcept {
    SafeArrayUnaccessData(array_);
    data_ = nullptr;
    result.vt = VT_ARRAY | VT_VARIANT;
    result.parray = array_;
    array_ = nullptr;
  }

 private:
  ULONG columns_;
  ULONG rows_ = 0;
  SAFEARRAY* array_ = nullptr;
  VARIANT* data_ = nullptr;
  std::size_t taken_ = 0;
};

const VARIANT* bound(const VARIANT& v) noexcept {
  return given(v) ? &v : nullptr;
}

// A column given by a client, as an offset from the grid's first column.
std::size_t column_of(const Grid& grid, const VARIANT& column, std::size_t fallback) {
  if (!given(column)) return fallback;
  if (grid.dimensions() != 2) fail(kInvalidArgument);
  LONG index = 0;
  if (const HRESULT hr = to_long(column, index); FAILED(hr)) fail(hr);
  const long long offset = static_cast<long long>(index) - grid.column_low();
  if (offset < 0 || static_cast<unsigned long long>(offset) >= grid.columns())
    fail(kInvalidArgument);
  return static_cast<std::size_t>(offset);
}

bool blank(const VARIANT& key) noexcept {
  const VARIANT& k = read_through(key);
  return k.vt == VT_EMPTY || (k.vt == VT_BSTR && SysStringLen(k.bstrVal) == 0) ||
         (k.vt == (VT_BYREF | VT_BSTR) && k.pbstrVal && SysStringLen(*k.pbstrVal) == 0);
}

}  // namespace

bool given(const VARIANT& v) noexcept {
  return !is_left_out(v) && read_through(v).vt != VT_EMPTY;
}

void copy_range(const Store& store, Field field, const VARIANT& low, const VARIANT& high,
                VARIANT& result) {
  SafeArraySink sink;
  store.copy_range(field, bound(low), bound(high), sink);
  sink.release_into(result);
}

void to_array(const Store& store, const VARIANT& low, const VARIANT& high, VARIANT& result) {
  SafeArraySink sink(2);
  store.copy_range(Field::pair, bound(low), bound(high), sink);
  sink.release_into(result);
}

LONG load(Store& store, const VARIANT& source, const VARIANT& key_column,
          const VARIANT& item_column, Store::LoadAs as, const VARIANT& plain_payload) {
  const Grid grid(source);
  const std::size_t key_at = column_of(grid, key_column, 0);
  const bool row_index = grid.dimensions() == 2 && !given(item_column);
  const std::size_t item_at = row_index ? 0 : column_of(grid, item_column, 0);
  std::vector<Store::LoadRow> rows;
  try {
    rows.reserve(grid.rows());
    for (std::size_t r = 0; r < grid.rows(); ++r) {
      const VARIANT key = grid.at(r, key_at);
      if (blank(key)) continue;
      const LONG label = grid.row_low() + static_cast<LONG>(r);
      Store::LoadRow& row = rows.emplace_back(Store::LoadRow{Variant(), Variant(), label});
      copy_value(*row.key.get(), key, EmptyText::null);
      if (row_index) {
        row.payload.get()->vt = VT_I4;
        row.payload.get()->lVal = label;
      } else {
        copy_value(*row.payload.get(), grid.dimensions() == 2 ? grid.at(r, item_at) : plain_payload,
                   EmptyText::null);
      }
    }
  } catch (const std::bad_alloc&) {
    fail(kOutOfMemory);
  }
  store.load(rows, as);
  return static_cast<LONG>(rows.size());
}

}  // namespace quilmar::collection
