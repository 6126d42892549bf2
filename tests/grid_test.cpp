// The view of what clients pass as an array: every element type, by value and by reference, one
// and two dimensions with any bounds, and JScript arrays read through IDispatch.
#include "server/grid.h"

#include <gtest/gtest.h>

#include <functional>

#include "arrays.h"
#include "host/failure.h"
#include "values.h"

namespace quilmar::test {
namespace {

// The ways a client's array reaches a parameter.
struct Passing {
  const char* name;
  std::function<VARIANT(VARIANT& array, VARIANT& ref)> make;
};
const Passing kPassings[] = {
    {"by value", [](VARIANT& a, VARIANT&) { return a; }},
    {"array by reference",
     [](VARIANT& a, VARIANT&) {
       VARIANT v = blank();
       v.vt = static_cast<VARTYPE>(a.vt | VT_BYREF);
       v.pparray = &a.parray;
       return v;
     }},
    {"Variant variable holding it", [](VARIANT& a, VARIANT&) { return by_ref(a); }},
    {"Variant variable holding a reference",
     [](VARIANT& a, VARIANT& ref) {
       ref.vt = static_cast<VARTYPE>(a.vt | VT_BYREF);
       ref.pparray = &a.parray;
       return by_ref(ref);
     }},
};

TEST(Grid, ReadsEveryElementTypeWhereverItsBoundsAndHoweverPassed) {
  Counted object;
  VARIANT as_object = blank();
  as_object.vt = VT_DISPATCH;
  as_object.pdispVal = &object;
  VARIANT as_unknown = as_object;
  as_unknown.vt = VT_UNKNOWN;
  const long strings = live_bstr_count();
  {
    const struct {
      VARTYPE type;
      Variant value;
    } rows[] = {
        {VT_I1, i1(-7)},
        {VT_UI1, ui1(200)},
        {VT_I2, i2(-300)},
        {VT_UI2, ui2(60000)},
        {VT_I4, i4(-70000)},
        {VT_UI4, ui4(4000000000u)},
        {VT_INT, Variant()},
        {VT_UINT, Variant()},
        {VT_I8, i8(-(1LL << 60))},
        {VT_UI8, ui8(~0ULL)},
        {VT_R4, r4(2.5f)},
        {VT_R8, r8(-0.125)},
        {VT_CY, currency(-15000)},
        {VT_DATE, date(45000.75)},
        {VT_BSTR, text("cell")},
        {VT_BOOL, boolean(true)},
        {VT_ERROR, error(static_cast<SCODE>(0x800A07D7))},
        {VT_DECIMAL, decimal(true, 3, 1, 5)},
        {VT_DISPATCH, Variant(as_object)},
        {VT_UNKNOWN, Variant(as_unknown)},
        {VT_VARIANT, text("in a Variant")},
    };
    for (const auto& row : rows) {
      VARIANT value = *row.value;
      if (row.type == VT_INT || row.type == VT_UINT) {
        value.vt = row.type;
        value.intVal = -9;
      }
      // Rows 1 to 3 (Range.Value's base) by columns -2 to -1; and a 1-D array from -5.
      Variant wide = make_array(row.type, 1, 3, -2, 2), tall = make_array(row.type, -5, 4);
      set_element(*wide, 2, 1, value);
      set_element(*tall, 3, 0, value);
      for (const Passing& passing : kPassings) {
        SCOPED_TRACE(describe(value) + ", " + passing.name);
        VARIANT ref = blank();
        {
          const Grid g(passing.make(*wide.get(), ref));
          EXPECT_EQ(g.dimensions(), 2);
          EXPECT_EQ(g.row_low(), 1);
          EXPECT_EQ(g.rows(), 3u);
          EXPECT_EQ(g.column_low(), -2);
          EXPECT_EQ(g.columns(), 2u);
          EXPECT_EQ(g.element_type(), row.type);
          const VARIANT got = g.at(2, 1);
          EXPECT_EQ(got.vt, row.type == VT_VARIANT ? VARTYPE{VT_BSTR} : row.type);
          EXPECT_EQ(describe(got), describe(value));
          if (row.type == VT_DISPATCH || row.type == VT_UNKNOWN) {
            EXPECT_EQ(got.punkVal, &object);
          }
          EXPECT_EQ(wide->parray->cLocks, 1u) << "locked while viewed";
        }
        EXPECT_EQ(wide->parray->cLocks, 0u);
        const Grid g(passing.make(*tall.get(), ref));
        EXPECT_EQ(g.dimensions(), 1);
        EXPECT_EQ(g.row_low(), -5);
        EXPECT_EQ(g.rows(), 4u);
        EXPECT_EQ(g.columns(), 1u);
        EXPECT_EQ(describe(g.at(3)), describe(value));
      }
    }
  }
  EXPECT_EQ(object.refs, 1u);
  EXPECT_EQ(live_bstr_count(), strings);
}

TEST(Grid, ReadsAJScriptArrayWithItsHoles) {
  const long strings = live_bstr_count();
  {
    ScriptArray script(values(i4(1), i4(99), text("a"), empty()), {1});  // [1, , "a", undefined]
    {
      VARIANT arg = script.as_argument();
      const Grid g(by_ref(arg));
      EXPECT_EQ(g.dimensions(), 1);
      EXPECT_EQ(g.row_low(), 0);
      ASSERT_EQ(g.rows(), 4u);
      EXPECT_EQ(g.element_type(), VT_VARIANT);
      EXPECT_TRUE(g.from_script());
      const char* expected[] = {"I4 1", "Empty", "BSTR \"a\"", "Empty"};
      for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(describe(g.at(i)), expected[i]) << i;
    }
    EXPECT_EQ(script.refs, 1u);
  }
  EXPECT_EQ(live_bstr_count(), strings);
}

TEST(Grid, RefusesWhatHoldsNoArrayOfOneOrTwoDimensions) {
  SAFEARRAYBOUND three[3] = {{1, 0}, {1, 0}, {1, 0}};
  Variant cube;
  cube.get()->parray = SafeArrayCreate(VT_VARIANT, 3, three);
  cube.get()->vt = VT_ARRAY | VT_VARIANT;
  Variant doubles = make_array(VT_R8, 0, 2);
  VARIANT mislabelled = *doubles;  // its tag says 4-byte elements; it holds 8-byte ones
  mislabelled.vt = VT_ARRAY | VT_I4;
  VARIANT never_dimensioned = blank();  // VBA's Dim a()
  never_dimensioned.vt = VT_ARRAY | VT_VARIANT;
  Counted not_a_list;  // answers no name: no length
  VARIANT object = blank();
  object.vt = VT_DISPATCH;
  object.pdispVal = &not_a_list;
  Variant words = text("1,2");
  const struct {
    const char* what;
    VARIANT value;
    HRESULT code;
  } rows[] = {
      {"a number", *i4(3), DISP_E_TYPEMISMATCH},
      {"a text", *words, DISP_E_TYPEMISMATCH},
      {"Empty", blank(), DISP_E_TYPEMISMATCH},
      {"an object without length", object, DISP_E_TYPEMISMATCH},
      {"a tag that disagrees with the elements", mislabelled, DISP_E_TYPEMISMATCH},
      {"three dimensions", *cube, kInvalidArgument},
      {"an array never dimensioned", never_dimensioned, kInvalidArgument},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    try {
      const Grid g(row.value);
      ADD_FAILURE() << "read as an array";
    } catch (const Failure& f) {
      EXPECT_EQ(f.code(), row.code);
    }
  }
  EXPECT_EQ(doubles->parray->cLocks, 0u);
}

}  // namespace
}  // namespace quilmar::test
