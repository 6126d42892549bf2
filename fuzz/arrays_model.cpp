#include "arrays_model.h"

#include <algorithm>
#include <cmath>

namespace quilmar::fuzz {
namespace {

bool column_in(const Table& t, LONG c) {
  return c >= t.column_low &&
         static_cast<std::int64_t>(c) <
             static_cast<std::int64_t>(t.column_low) + static_cast<std::int64_t>(t.columns);
}

// A column's place in a 2-D table: the first column by default.
std::optional<std::size_t> column_of(const Table& t, const Columns& c, Refusal& r) {
  if (!c.given) return 0;
  if (!column_in(t, c.values.front())) {
    r.invalid_argument = true;
    return std::nullopt;
  }
  return static_cast<std::size_t>(c.values.front() - t.column_low);
}

// A cell's place in the spreadsheet order, ascending.
enum Rank { number, text, boolean, error, nan, blank, unsortable };

Rank rank(const VARIANT& v) {
  if (v.vt & VT_ARRAY) return unsortable;
  switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL: return blank;
    case VT_BSTR: return text;
    case VT_BOOL: return boolean;
    case VT_ERROR: return error;
    case VT_R4: return std::isnan(v.fltVal) ? nan : number;
    case VT_R8:
    case VT_DATE: return std::isnan(v.dblVal) ? nan : number;
    case VT_DISPATCH:
    case VT_UNKNOWN: return unsortable;
    default: return number;
  }
}

// Ascending order of two cells of the same rank.
int within(const VARIANT& a, const VARIANT& b, Rank r, LONG compare_mode) {
  switch (r) {
    case number: {
      Variant x, y;  // a date by its value, as any number
      copy_value(*x.get(), a);
      copy_value(*y.get(), b);
      if (x->vt == VT_DATE) x.get()->vt = VT_R8;
      if (y->vt == VT_DATE) y.get()->vt = VT_R8;
      const Order o = compare(*x, *y);
      return o == Order::less ? -1 : o == Order::greater ? 1 : 0;
    }
    case text: {
      const Order o = key_order(a, b, compare_mode);
      return o == Order::less ? -1 : o == Order::greater ? 1 : 0;
    }
    case boolean: return (a.boolVal ? 1 : 0) - (b.boolVal ? 1 : 0);
    case error: return a.scode < b.scode ? -1 : a.scode > b.scode ? 1 : 0;
    default: return 0;  // NaN and blanks are equal among themselves
  }
}

int sort_compare(const VARIANT& a, const VARIANT& b, bool descending, LONG compare_mode) {
  const Rank ra = rank(a), rb = rank(b);
  if (ra == blank || rb == blank) return (ra == blank) - (rb == blank);  // last both ways
  const int o = ra != rb ? (ra < rb ? -1 : 1) : within(a, b, ra, compare_mode);
  return descending ? -o : o;
}

}  // namespace

bool blank_key(const VARIANT& v) {
  return v.vt == VT_EMPTY || (v.vt == VT_BSTR && SysStringLen(v.bstrVal) == 0);
}

LoadPlan plan_load(const Table& t, const Columns& key_column, const Columns& item_column,
                   const VARIANT& plain) {
  LoadPlan p;
  if (t.dimensions > 2 || (t.dimensions == 1 && (key_column.given || item_column.given))) {
    p.refusal.invalid_argument = true;
    return p;
  }
  std::optional<std::size_t> key_at = 0, item_at;
  if (t.dimensions == 2) {
    key_at = column_of(t, key_column, p.refusal);
    if (item_column.given) item_at = column_of(t, item_column, p.refusal);
    if (p.refusal.any()) return p;
  }
  for (std::size_t r = 0; r < t.rows; ++r) {
    const VARIANT& key = t.cell(r, *key_at);
    if (blank_key(key)) continue;
    const LONG label = t.row_low + static_cast<LONG>(r);
    LoadRow row{&key, Variant(), label};
    if (t.dimensions == 1) {
      copy_value(*row.payload.get(), plain);
    } else if (item_at) {
      copy_value(*row.payload.get(), t.cell(r, *item_at));
    } else {
      row.payload.get()->vt = VT_I4;
      row.payload.get()->lVal = label;
    }
    p.rows.push_back(std::move(row));
  }
  return p;
}

SortPlan plan_sort(const Table& t, const Columns& by, const Columns& descending,
                   LONG compare_mode) {
  SortPlan p;
  if (t.dimensions > 2) {
    p.refusal.invalid_argument = true;
    return p;
  }
  std::vector<std::size_t> columns{0};
  if (by.given) {
    if (t.dimensions == 1) {
      p.refusal.invalid_argument = true;
    } else {
      columns.clear();
      for (LONG c : by.values) {
        if (!column_in(t, c)) p.refusal.invalid_argument = true;
        columns.push_back(static_cast<std::size_t>(c - t.column_low));
      }
    }
  }
  if (descending.as_array && descending.values.size() != by.values.size())
    p.refusal.invalid_argument = true;
  if (!p.refusal.invalid_argument)
    for (std::size_t c : columns)
      for (std::size_t r = 0; r < t.rows; ++r)
        if (rank(t.cell(r, c)) == unsortable) p.refusal.type_mismatch = true;
  if (p.refusal.any()) return p;
  std::vector<bool> down(columns.size(), false);
  for (std::size_t i = 0; i < down.size(); ++i)
    down[i] = descending.given &&
              (descending.as_array ? descending.values[i] : descending.values.front()) != 0;
  p.order.resize(t.rows);
  for (std::size_t r = 0; r < t.rows; ++r) p.order[r] = r;
  std::stable_sort(p.order.begin(), p.order.end(), [&](std::size_t a, std::size_t b) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const int o =
          sort_compare(t.cell(a, columns[i]), t.cell(b, columns[i]), down[i], compare_mode);
      if (o != 0) return o < 0;
    }
    return false;
  });
  return p;
}

}  // namespace quilmar::fuzz
