// The binding of _clsAVLt3's and SortedDictionary's members through IDispatch, one row a member:
// names, argument conversion, defaults, results and error numbers (their behaviour is tested at the
// store and through the vtable).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "arrays.h"
#include "host/failure.h"
#include "invoke.h"
#include "object.h"
#include "values.h"

namespace quilmar::test {
namespace {

// What a call answered, in a line: the error number scripts see, or the result described.
std::string answer(const Outcome& o) {
  if (o.hr == DISP_E_EXCEPTION) return "error " + std::to_string(o.scode & 0xFFFF);
  if (o.hr != S_OK) return "hr " + std::to_string(o.hr);
  if (o.result->vt & VT_ARRAY) {
    LONG dims = static_cast<LONG>(SafeArrayGetDim(o.result->parray)), high = 0;
    SafeArrayGetUBound(o.result->parray, 1, &high);
    return "array " + std::to_string(dims) + "-D to " + std::to_string(high);
  }
  return describe(*o.result);
}

struct Row {
  const char* member;
  WORD flags;
  std::vector<VARIANT> args;  // in the caller's order; a put's value last
  std::string want;
};

void check(IDispatch* d, const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    std::vector<VARIANT> args = row.args;
    std::vector<Named> named;
    if (row.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      named.push_back({DISPID_PROPERTYPUT, args.back()});
      args.pop_back();
    }
    const Outcome o = invoke(d, row.member, row.flags, args, named);
    EXPECT_EQ(answer(o), row.want) << row.member << " " << to_utf8(o.description);
  }
}

TEST(Binding, TheThirdInterfaceOfTheStore) {
  TestObject<_clsAVLt3> o;
  const Variant grid = make_array(VT_VARIANT, 1, 3, 1, 2);
  set_element(*grid, 0, 0, *text("b"));
  set_element(*grid, 1, 0, *text("a"));
  set_element(*grid, 2, 0, *null());  // a key the store cannot hold: the call takes nothing
  check(o.get(), {
                     {"CompareMode", kPut, {*text("1")}, "Empty"},  // text converts
                     {"CompareMode", kScriptGet, {}, "I4 1"},
                     {"Load", kMethod, {*grid}, "error 5"},
                     {"Load", kMethod, {*list(0, values(text("b"), text("A"), text("c")))}, "I4 3"},
                     {"KeyAt", kMethod, {*r8(1.5)}, "BSTR \"c\""},  // 1.5 rounds to 2
                     {"KeyAt", kMethod, {*text("x")}, "hr " + std::to_string(DISP_E_TYPEMISMATCH)},
                     {"KeyAt", kMethod, {*i4(3)}, "error 9"},
                     {"ItemAt", kPut, {*i4(0), *i4(7)}, "Empty"},
                     {"ItemAt", kScriptGet, {*i4(0)}, "I4 7"},
                     {"IndexOf", kMethod, {*text("C")}, "I4 2"},
                     {"Position", kPut, {*i4(1)}, "Empty"},
                     {"Position", kScriptGet, {}, "I4 1"},
                     {"RemoveAt", kMethod, {*i4(1)}, "Empty"},
                     {"ToArray", kMethod, {}, "array 2-D to 2"},
                     {"Sort", kMethod, {*i4(1)}, "error 13"},
                 });
}

TEST(Binding, SortedDictionary) {
  TestObject<ISortedDictionary> d;
  check(d.get(), {
                     {"Add", kMethod, {*text("k"), *i4(1)}, "Empty"},
                     {"Add", kMethod, {*text("k")}, "hr " + std::to_string(DISP_E_BADPARAMCOUNT)},
                     {"Add", kMethod, {*text("k"), *i4(2)}, "error 457"},
                     {"Item", kScriptGet, {*text("k")}, "I4 1"},
                     {"Item", kScriptGet, {*text("new")}, "Empty"},
                     {"Item", kPut, {*text("k"), *i4(3)}, "Empty"},
                     {"Item", DISPATCH_PROPERTYPUTREF, {*text("z"), *i4(4)}, "Empty"},
                     {"Count", kScriptGet, {}, "I4 3"},
                     {"Exists", kMethod, {*text("k")}, "BOOL True"},
                     {"Key", kPut, {*text("q"), *text("r")}, "error 32811"},
                     {"Key", kPut, {*text("z"), *text("a")}, "Empty"},
                     {"Keys", kMethod, {}, "array 1-D to 2"},
                     {"Items", kMethod, {*text("k")}, "array 1-D to 1"},
                     {"Remove", kMethod, {*text("q")}, "error 32811"},
                     {"CompareMode", kPut, {*i4(1)}, "error 5"},
                     {"CompareMode", kScriptGet, {}, "I4 0"},
                     {"KeyAt", kMethod, {*i4(0)}, "BSTR \"a\""},
                     {"ItemAt", kScriptGet, {*i4(0)}, "I4 4"},
                     {"IndexOf", kMethod, {*text("new")}, "I4 2"},
                     {"Seek", kMethod, {*text("l")}, "BSTR \"new\""},
                     {"Seek", kMethod, {*text("l"), *i4(3)}, "error 5"},
                     {"RemoveAt", kMethod, {*i4(1)}, "Empty"},  // "k"
                     {"Load", kMethod, {*list(0, values(text("m")))}, "I4 1"},
                     {"ToArray", kMethod, {}, "array 2-D to 3"},
                     {"Sort", kMethod, {*list(0, values(i4(2), i4(1)))}, "array 1-D to 1"},
                     {"Remove", kMethod, {*text("new")}, "Empty"},
                     {"RemoveAll", kMethod, {}, "Empty"},
                     {"Count", kScriptGet, {}, "I4 0"},
                 });
  const Outcome enumerator = invoke(d.get(), DISPID_NEWENUM, kScriptGet, {});
  EXPECT_EQ(enumerator.result->vt, VT_UNKNOWN);
}

}  // namespace
}  // namespace quilmar::test
