// Conversions of dispatch arguments to the types the members declare, as script clients expect
// them: numbers of every kind, Boolean, Empty as 0 and numeric text. Our own code rather than the
// platform's, so that both targets convert alike.
#pragma once

#include "quilmar/com_types.h"

namespace quilmar {

// Each answers S_OK, DISP_E_TYPEMISMATCH (Null, objects, errors, arrays, text that is not a
// number) or DISP_E_OVERFLOW (out of the target's range). A by-reference argument is read
// through. A 32-bit float takes NaN as it comes; integers round halves to the even neighbour.
// Reading a text may throw std::bad_alloc.
HRESULT to_float(const VARIANT& v, FLOAT& out);
HRESULT to_long(const VARIANT& v, LONG& out);
// A number is True unless it is 0; text is "True" or "False" in any case, or a number.
HRESULT to_bool(const VARIANT& v, bool& out);

// Writes `value` into the variable that the by-reference argument `ref` names, in that variable's
// own kind; a Variant variable becomes a 32-bit integer. Answers like the conversions when the
// kind cannot hold the value, E_INVALIDARG when `ref` is not a reference. May throw
// std::bad_alloc (a text variable).
HRESULT store_long(const VARIANT& ref, LONG value);

// What a script passes for an optional argument it leaves out (a reference to one included).
bool is_left_out(const VARIANT& v) noexcept;

}  // namespace quilmar
