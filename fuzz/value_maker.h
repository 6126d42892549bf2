// Builds Variants of every kind a client may hand the store, from the fuzzer's input. The maker
// owns everything it hands out (strings, by-reference targets, the probe object) and frees it in
// its destructor, so the Variants it builds are never cleared by their users.
#pragma once

#include <deque>
#include <vector>

#include "input.h"
#include "quilmar/com_types.h"
#include "values.h"

namespace quilmar::fuzz {

class ValueMaker {
 public:
  explicit ValueMaker(Input& in);
  ~ValueMaker();
  ValueMaker(const ValueMaker&) = delete;
  ValueMaker& operator=(const ValueMaker&) = delete;

  // Any kind: numbers of every width, odd floats, texts with odd UTF-16, Empty, Null, errors,
  // objects, arrays, records, unknown tags, and by-reference wrappers around any of these.
  VARIANT any();
  // A key likely to collide with others: small integers, short texts, a few doubles.
  VARIANT plain_key(std::uint32_t r);
  // A short text from a few words, each letter in either case, so that keys equal without regard
  // to case meet often.
  VARIANT word();
  // A value a cell of a client's array holds: blanks, numbers (NaN among them), text, Booleans,
  // error values, and now and then an object or an array.
  VARIANT cell();
  // An element of a typed array: Long, Double or String.
  VARIANT typed_cell(VARTYPE type);
  // A key as the dictionary's README names them: Null, Empty, numbers of every kind, text,
  // error values, objects, NaN and arrays; sometimes passed by reference.
  VARIANT dictionary_key();
  const test::Counted& probe() const { return probe_; }

 private:
  VARIANT value(int depth);
  VARIANT by_reference(int depth);
  BSTR text(unsigned length_choice);
  BSTR own(BSTR s);
  VARIANT* variable();

  Input& in_;
  test::Counted probe_;
  std::vector<BSTR> strings_;
  std::deque<VARIANT> cells_;   // targets of by-reference Variants; deque keeps them in place
  SAFEARRAY* array_ = nullptr;  // the array a Variant may hold as a key or a cell
};

}  // namespace quilmar::fuzz
