// Sort(Values, [By], [Descending]): a sorted copy of a client's array, in the order a spreadsheet
// sorts a column: numbers, then text, then Booleans (False first), then error values (by code),
// then NaN, then blanks (Empty and Null). Descending reverses all but the blanks, which stay last.
// Rows whose sort values are equal keep their order.
#pragma once

#include "host/variant.h"

namespace quilmar {

// `values` a 1-D array, or a 2-D one of rows by columns (server/grid.h reads every kind a client
// passes); `by` a column index in its bounds or an array of them (2-D only; left out or Empty: the
// first column); `descending` a Boolean for every column or an array of one per column in `by`.
// Text compares ignoring case when `ignore_case`. The copy has the shape, bounds and element type
// of `values` (a JScript array gives a 0-based array of Variants).
//
// Fails with DISP_E_TYPEMISMATCH when `values` is no array or a sorted column holds an object or
// an array, with kInvalidArgument for more than two dimensions, `by` given for a 1-D array, a
// column outside the bounds, or a `descending` array whose length is not that of `by`.
Variant sort_values(const VARIANT& values, const VARIANT& by, const VARIANT& descending,
                    bool ignore_case);

}  // namespace quilmar
