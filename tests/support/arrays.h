// Arrays as clients pass them, for tests: SAFEARRAYs of any element type and bounds, filled from
// Variants, and their elements read back.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "host/variant.h"

namespace quilmar::test {

// An array Variant (VT_ARRAY | type) of `rows` from `row_low`, and, when `columns` is not 0, a
// second dimension of `columns` from `column_low`. Elements start zeroed, as SafeArrayCreate
// leaves them.
Variant make_array(VARTYPE type, LONG row_low, ULONG rows, LONG column_low = 0, ULONG columns = 0);

// Element (row, column), 0-based offsets from the lower bounds, set to a copy of `value`, which
// holds the array's element type (any Variant in an array of Variants).
void set_element(const VARIANT& array, std::size_t row, std::size_t column, const VARIANT& value);

// The element as a Variant of its own (an array of Variants: the Variant itself).
Variant element(const VARIANT& array, std::size_t row, std::size_t column = 0);

// A 1-D array of Variants from `low`, holding the values given.
Variant list(LONG low, const std::vector<Variant>& values);

// Values moved into a vector (Variants cannot be copied into an initializer list).
template <class... V>
std::vector<Variant> values(V&&... v) {
  std::vector<Variant> out;
  (out.push_back(std::forward<V>(v)), ...);
  return out;
}

// A JScript array as the script engine hands it over: an object whose `length` and indexed members
// are read through IDispatch. `missing` indices have no member ([1,,2]). Counts references.
class ScriptArray final : public IDispatch {
 public:
  ScriptArray(std::vector<Variant> elements, std::vector<std::size_t> missing = {})
      : elements_(std::move(elements)), missing_(std::move(missing)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                   VARIANT* result, EXCEPINFO*, UINT*) override;
  // As a VARIANT (VT_DISPATCH) that does not own the reference.
  VARIANT as_argument();
  ULONG refs = 1;

 private:
  std::vector<Variant> elements_;
  std::vector<std::size_t> missing_;
};

// Each element of a 1-D array, or each row's elements of a 2-D one joined by " | ", described.
std::vector<std::string> described(const VARIANT& array);

}  // namespace quilmar::test
