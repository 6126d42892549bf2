// The arrays the session hands Load and Sort, described apart from the SAFEARRAY built from them,
// and what the README says those members make of them: the rows Load takes, and the order Sort
// gives (a spreadsheet's: numbers, text, Booleans, error values, NaN, blanks).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "model.h"

namespace quilmar::fuzz {

// An array as a client passes it: a SAFEARRAY of Variants or of one type, 1-D, 2-D (rows by
// columns) or 3-D, with its lower bounds, or a JScript array (1-D, some elements missing).
struct Table {
  VARTYPE type = VT_VARIANT;  // the element type
  bool script = false;
  int dimensions = 1;
  LONG row_low = 0, column_low = 0;
  std::size_t rows = 0, columns = 1;  // a 3-D array's third dimension has one element
  std::vector<Variant> cells;         // row by row; a missing element of a JScript array: Empty
  std::vector<std::size_t> missing;
  const VARIANT& cell(std::size_t row, std::size_t column = 0) const {
    return *cells[row * columns + column];
  }
};

// An optional argument as the session passes it: left out, or a Long, or an array of Longs or
// Booleans.
struct Columns {
  bool given = false, as_array = false;
  std::vector<LONG> values;
};

// The errors a call may end with: any of them is a right answer (the README does not rank them).
struct Refusal {
  bool invalid_argument = false;     // error 5
  bool type_mismatch = false;        // error 13
  bool out_of_memory = false;        // error 7
  std::optional<LONG> row_5, row_7;  // the row a refused key or a pair without room names
  bool any() const { return invalid_argument || type_mismatch || out_of_memory; }
};

// Load: the rows with a key that is not blank, in array order, each with its payload; or the
// refusal of the whole call for its shape or columns.
struct LoadRow {
  const VARIANT* key;
  Variant payload;
  LONG label;  // the row's index in the array's bounds
};
struct LoadPlan {
  Refusal refusal;
  std::vector<LoadRow> rows;
};
// `plain`: the payload of a 1-D source's keys.
LoadPlan plan_load(const Table& t, const Columns& key_column, const Columns& item_column,
                   const VARIANT& plain);

// Sort: the rows in their new order (indexes into the table's rows), or the refusal. `by` and
// `descending` as passed; text compares folded when `compare_mode` is above 0.
struct SortPlan {
  Refusal refusal;
  std::vector<std::size_t> order;
};
SortPlan plan_sort(const Table& t, const Columns& by, const Columns& descending, LONG compare_mode);

// A key Load skips, as a blank cell: Empty or "".
bool blank_key(const VARIANT& v);

}  // namespace quilmar::fuzz
