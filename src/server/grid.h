// A read-only view of what a client passes as an array: a SAFEARRAY of one or two dimensions, of
// any element type and any lower bounds, in a Variant passed by value or by reference; or a
// JScript array (an object with `length` and indexed members), read once through IDispatch.
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "host/variant.h"

namespace quilmar {

class Grid {
 public:
  // Fails with DISP_E_TYPEMISMATCH when `source` holds no array (or one whose elements cannot be
  // read), with kInvalidArgument when it has more than two dimensions (or none). The array stays
  // locked while the grid lives.
  explicit Grid(const VARIANT& source);
  ~Grid();
  Grid(const Grid&) = delete;
  Grid& operator=(const Grid&) = delete;

  int dimensions() const noexcept { return dimensions_; }
  LONG row_low() const noexcept { return row_low_; }
  std::size_t rows() const noexcept { return rows_; }
  LONG column_low() const noexcept { return column_low_; }
  std::size_t columns() const noexcept { return columns_; }
  // The type of the elements: VT_VARIANT for a JScript array.
  VARTYPE element_type() const noexcept { return type_; }
  bool from_script() const noexcept { return !array_; }

  // The element at 0-based offsets from the lower bounds, as a Variant that owns nothing: copy it
  // (copy_value) to keep it. An element of a typed array comes as a Variant of that type.
  VARIANT at(std::size_t row, std::size_t column = 0) const noexcept {
    const unsigned char* p = address(row, column);
    VARIANT v;
    if (type_ == VT_VARIANT) {
      std::memcpy(&v, p, sizeof v);
      return v;
    }
    return typed(p);
  }
  // Where that element is stored, in element_size() bytes of element_type().
  const unsigned char* address(std::size_t row, std::size_t column = 0) const noexcept {
    return data_ + (row + column * rows_) * element_size_;
  }
  std::size_t element_size() const noexcept { return element_size_; }

 private:
  void view_array(SAFEARRAY* array, VARTYPE declared);
  void read_script_array(IDispatch* object);
  VARIANT typed(const unsigned char* p) const noexcept;

  SAFEARRAY* array_ = nullptr;   // the caller's, locked
  std::vector<Variant> script_;  // a JScript array's elements
  const unsigned char* data_ = nullptr;
  std::size_t element_size_ = sizeof(VARIANT);
  VARTYPE type_ = VT_VARIANT;
  int dimensions_ = 1;
  LONG row_low_ = 0, column_low_ = 0;
  std::size_t rows_ = 0, columns_ = 1;
};

}  // namespace quilmar
