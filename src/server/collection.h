// The members clsAVLt and SortedDictionary share, over a Store: arrays out (Keys, Items, ToArray)
// and in (Load). Bounds and columns come as clients pass them: a Variant left out, or Empty
// (JScript's undefined), is none.
#pragma once

#include "store/store.h"

namespace quilmar::collection {

// Whether an optional argument was given: not left out, not Empty.
bool given(const VARIANT& v) noexcept;

// Keys([Low], [High]) and Items([Low], [High]): a 0-based array of Variants.
void copy_range(const Store& store, Field field, const VARIANT& low, const VARIANT& high,
                VARIANT& result);

// ToArray([Low], [High]): a 2-D array of Variants, rows 1 to the number of pairs, the key in
// column 1 and the payload in column 2; no pair: rows 1 to 0.
void to_array(const Store& store, const VARIANT& low, const VARIANT& high, VARIANT& result);

// Load(Source, [KeyColumn], [ItemColumn]): each row's key and payload into the store, `as` says
// how; blank keys (Empty, "") skipped; answers the rows taken. A 1-D source's keys get
// `plain_payload`; a 2-D source's rows the payload in ItemColumn or, without one, the row's index.
// Fails with DISP_E_TYPEMISMATCH for a source that is no array, kInvalidArgument for more than two
// dimensions or a column outside the bounds (or given for a 1-D source), and as Store::load fails.
LONG load(Store& store, const VARIANT& source, const VARIANT& key_column,
          const VARIANT& item_column, Store::LoadAs as, const VARIANT& plain_payload);

}  // namespace quilmar::collection
