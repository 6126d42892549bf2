// Sort: the order within a column, stability, sorting by several columns, the copy's shape and
// type, the errors; then its binding through the vtable and IDispatch.
#include "server/sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "arrays.h"
#include "host/failure.h"
#include "object.h"
#include "server/coerce.h"
#include "server/members.h"
#include "values.h"

namespace quilmar::test {
namespace {

const VARIANT kLeftOut = *error(DISP_E_PARAMNOTFOUND);

Variant sorted(const VARIANT& values, const VARIANT& by = kLeftOut,
               const VARIANT& descending = kLeftOut, bool ignore_case = false) {
  return sort_values(values, by, descending, ignore_case);
}

// A 2-D array of Variants from rows of values, rows from `row_low`, columns from `column_low`.
template <class... Row>
Variant table(LONG row_low, LONG column_low, Row&&... given) {
  std::vector<std::vector<Variant>> rows;
  (rows.push_back(std::forward<Row>(given)), ...);
  Variant out = make_array(VT_VARIANT, row_low, static_cast<ULONG>(rows.size()), column_low,
                           static_cast<ULONG>(rows[0].size()));
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows[r].size(); ++c) set_element(*out, r, c, *rows[r][c]);
  return out;
}

using Lines = std::vector<std::string>;

TEST(Sort, OrdersAColumnAsASpreadsheetDoes) {
  const Variant column = list(
      0,
      values(text("b"), null(), r8(0.1), boolean(true), error(static_cast<SCODE>(0x800A07D7)),
             i8((1LL << 53) + 1), text(""), r8(std::nan("")), currency(1000), text("A"), empty(),
             boolean(false), r8(9007199254740992.0), decimal(false, 0, 1, 0), ui8(~0ULL), text("a"),
             error(static_cast<SCODE>(0x800A07D0)), i4(-3), currency(15000), date(1.0), r8(-1000)));
  const long strings = live_bstr_count();
  const Lines numbers = {"R8 -1000",
                         "I4 -3",
                         "CY 1000",
                         "R8 0.10000000000000001",
                         "DATE 1",
                         "CY 15000",
                         "R8 9007199254740992",
                         "I8 9007199254740993",
                         "UI8 18446744073709551615",
                         "DECIMAL 1:0 e-0"};
  const Lines others = {"BOOL False", "BOOL True", "ERROR 0x800A07D0", "ERROR 0x800A07D7",
                        "R8 NaN"};
  const Lines blanks = {"Null", "Empty"};  // equal: in their input order, last both ways
  const auto join = [](std::initializer_list<Lines> parts) {
    Lines out;
    for (const Lines& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
  };
  const auto reversed = [](Lines lines) {
    std::reverse(lines.begin(), lines.end());
    return lines;
  };
  const struct {
    const char* what;
    bool descending, ignore_case;
    Lines expected;
  } rows[] = {
      {"binary", false, false,
       join({numbers, {"BSTR \"\"", "BSTR \"A\"", "BSTR \"a\"", "BSTR \"b\""}, others, blanks})},
      {"ignoring case: A and a equal, in input order", false, true,
       join({numbers, {"BSTR \"\"", "BSTR \"A\"", "BSTR \"a\"", "BSTR \"b\""}, others, blanks})},
      {"descending", true, false,
       join({reversed(others),
             {"BSTR \"b\"", "BSTR \"a\"", "BSTR \"A\"", "BSTR \"\""},
             reversed(numbers),
             blanks})},
      {"descending ignoring case: A and a still in input order", true, true,
       join({reversed(others),
             {"BSTR \"b\"", "BSTR \"A\"", "BSTR \"a\"", "BSTR \"\""},
             reversed(numbers),
             blanks})},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const Variant out = sorted(*column, kLeftOut, *boolean(row.descending), row.ignore_case);
    EXPECT_EQ(described(*out), row.expected);
  }
  EXPECT_EQ(live_bstr_count(), strings) << "every sorted copy's texts freed";
}

// Against std::stable_sort of the same small integers, blanks among them, in both directions.
TEST(Sort, EqualValuesKeepTheirInputOrderInBothDirections) {
  std::mt19937 rng(7);
  constexpr std::size_t kRows = 2000;
  std::vector<int> keys(kRows);
  Variant grid = make_array(VT_VARIANT, 1, kRows, 1, 2);
  for (std::size_t r = 0; r < kRows; ++r) {
    keys[r] = static_cast<int>(rng() % 12);  // 11: a blank
    set_element(*grid, r, 0, keys[r] == 11 ? *empty() : *i4(keys[r]));
    set_element(*grid, r, 1, *i4(static_cast<LONG>(r)));
  }
  for (bool descending : {false, true}) {
    SCOPED_TRACE(descending ? "descending" : "ascending");
    std::vector<std::size_t> model(kRows);
    for (std::size_t r = 0; r < kRows; ++r) model[r] = r;
    std::stable_sort(model.begin(), model.end(), [&](std::size_t a, std::size_t b) {
      if ((keys[a] == 11) != (keys[b] == 11)) return keys[b] == 11;
      return descending ? keys[a] > keys[b] : keys[a] < keys[b];
    });
    const Variant out = sorted(*grid, *i4(1), *boolean(descending));
    for (std::size_t r = 0; r < kRows; ++r)
      ASSERT_EQ(element(*out, r, 1)->lVal, static_cast<LONG>(model[r])) << "row " << r;
  }
}

TEST(Sort, SortsBySeveralColumnsEachInItsOwnDirection) {
  // Columns -1 to 1: region, amount, name.
  const Variant grid =
      table(0, -1, values(text("east"), i4(5), text("ann")),
            values(text("west"), i4(7), text("bob")), values(text("east"), i4(7), text("cy")),
            values(text("west"), i4(5), text("di")), values(text("east"), i4(5), text("ed")));
  Variant by_script_array = list(0, values(text("-1"), i4(0)));  // "-1": converted as any index
  ScriptArray directions(values(text("False"), i4(1)));          // JScript's [false, 1]-like
  const Lines expected = {
      "BSTR \"east\" | I4 7 | BSTR \"cy\"", "BSTR \"east\" | I4 5 | BSTR \"ann\"",
      "BSTR \"east\" | I4 5 | BSTR \"ed\"", "BSTR \"west\" | I4 7 | BSTR \"bob\"",
      "BSTR \"west\" | I4 5 | BSTR \"di\"",
  };
  EXPECT_EQ(described(*sorted(*grid, *by_script_array, directions.as_argument())), expected);
  EXPECT_EQ(directions.refs, 1u);
  // One column by its own index; Descending a single Boolean.
  EXPECT_EQ(described(*sorted(*grid, *i4(0), *text("True")))[0],
            "BSTR \"west\" | I4 7 | BSTR \"bob\"");
}

TEST(Sort, KeepsTheShapeBoundsAndElementTypeAndLeavesValuesAlone) {
  Variant doubles = make_array(VT_R8, 5, 3);
  Variant strings = make_array(VT_BSTR, 1, 2, 1, 2);
  for (std::size_t i = 0; i < 3; ++i) set_element(*doubles, i, 0, *r8(3.0 - i));
  set_element(*strings, 0, 0, *text("z"));
  set_element(*strings, 1, 0, *text("y"));  // (0, 1) and (1, 1) stay null strings
  set_element(*strings, 1, 1, *text("kept"));
  ScriptArray script(values(i4(2), empty(), i4(1)));
  VARIANT by_reference = blank();
  by_reference.vt = VT_ARRAY | VT_BSTR | VT_BYREF;
  by_reference.pparray = &strings.get()->parray;
  const struct {
    const char* what;
    VARIANT values;
    VARTYPE type;
    LONG low, high;
    Lines expected;
  } rows[] = {
      {"Double() from 5", *doubles, VT_R8, 5, 7, {"R8 1", "R8 2", "R8 3"}},
      {"String(1 To 2, 1 To 2) by reference",
       by_reference,
       VT_BSTR,
       1,
       2,
       {"BSTR \"y\" | BSTR \"kept\"", "BSTR \"z\" | BSTR \"\""}},
      {"JScript array", script.as_argument(), VT_VARIANT, 0, 2, {"I4 1", "I4 2", "Empty"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const bool array = (row.values.vt & VT_ARRAY) != 0;
    const Lines before = array ? described(row.values) : Lines();
    const Variant out = sorted(row.values);
    EXPECT_EQ(out->vt, VT_ARRAY | row.type);
    LONG low = 0, high = 0;
    SafeArrayGetLBound(out->parray, 1, &low);
    SafeArrayGetUBound(out->parray, 1, &high);
    EXPECT_EQ(low, row.low);
    EXPECT_EQ(high, row.high);
    EXPECT_EQ(described(*out), row.expected);
    if (array) {
      EXPECT_EQ(described(row.values), before);
    }
  }
  EXPECT_EQ(script.refs, 1u);
}

TEST(Sort, RefusesWhatItCannotSort) {
  Counted object;
  VARIANT as_object = blank();
  as_object.vt = VT_DISPATCH;
  as_object.pdispVal = &object;
  const Variant grid = table(1, 1, values(i4(2), Variant(as_object)), values(i4(1), text("x")));
  const Variant nested = list(0, values(i4(1), list(0, values(i4(2)))));
  SAFEARRAYBOUND three[3] = {{1, 0}, {1, 0}, {1, 0}};
  Variant cube;
  cube.get()->parray = SafeArrayCreate(VT_VARIANT, 3, three);
  cube.get()->vt = VT_ARRAY | VT_VARIANT;
  const Variant both_columns = list(0, values(i4(1), i4(2)));
  const Variant one_flag = list(0, values(boolean(true)));
  const Variant words = text("x");
  const struct {
    const char* what;
    VARIANT values, by, descending;
    HRESULT code;
  } rows[] = {
      {"Values not an array", *words, kLeftOut, kLeftOut, DISP_E_TYPEMISMATCH},
      {"three dimensions", *cube, kLeftOut, kLeftOut, kInvalidArgument},
      {"By for a 1-D array", *nested, *i4(0), kLeftOut, kInvalidArgument},
      {"a column outside the bounds", *grid, *i4(3), kLeftOut, kInvalidArgument},
      {"a column that is no number", *grid, *words, kLeftOut, DISP_E_TYPEMISMATCH},
      {"Descending's length not By's", *grid, *both_columns, *one_flag, kInvalidArgument},
      {"Descending no Boolean", *grid, kLeftOut, *words, DISP_E_TYPEMISMATCH},
      {"an object in the sorted column", *grid, *i4(2), kLeftOut, DISP_E_TYPEMISMATCH},
      {"an array in the sorted column", *nested, kLeftOut, kLeftOut, DISP_E_TYPEMISMATCH},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    try {
      sorted(row.values, row.by, row.descending);
      ADD_FAILURE() << "sorted";
    } catch (const Failure& f) {
      EXPECT_EQ(f.code(), row.code);
    }
  }
  // An object in a column not sorted by is copied with the row.
  EXPECT_EQ(described(*sorted(*grid)), (Lines{"I4 1 | BSTR \"x\"", "I4 2 | vt 9"}));
  EXPECT_EQ(object.refs, 2u);  // the grid's
}

TEST(Coerce, BooleansConvertAsVbaDoes) {
  const struct {
    const char* what;
    Variant value;
    HRESULT hr;
    bool flag;
  } rows[] = {
      {"True", boolean(true), S_OK, true},
      {"0", i4(0), S_OK, false},
      {"-0.0", r8(-0.0), S_OK, false},
      {"0.5", r8(0.5), S_OK, true},
      {"CY 0", currency(0), S_OK, false},
      {"Empty", empty(), S_OK, false},
      {"\" true \"", text(" true "), S_OK, true},
      {"\"FALSE\"", text("FALSE"), S_OK, false},
      {"\"1\"", text("1"), S_OK, true},
      {"\"yes\"", text("yes"), DISP_E_TYPEMISMATCH, false},
      {"Null", null(), DISP_E_TYPEMISMATCH, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    bool flag = !row.flag;
    EXPECT_EQ(to_bool(*row.value, flag), row.hr);
    if (row.hr == S_OK) {
      EXPECT_EQ(flag, row.flag);
    }
  }
}

// Range.Value of A1:C3: 1-based rows by columns, sorted by its third column.
Variant range_value() {
  return table(1, 1, values(text("pear"), i4(3), r8(0.5)), values(text("fig"), i4(7), empty()),
               values(text("Apple"), i4(5), r8(-2)));
}
const Lines kByThird = {"BSTR \"Apple\" | I4 5 | R8 -2", "BSTR \"pear\" | I4 3 | R8 0.5",
                        "BSTR \"fig\" | I4 7 | Empty"};

TEST(Sort, ThroughTheVtable) {
  const long strings = live_bstr_count();
  {
    TestObject<_clsAVLt3> o;
    Variant values = range_value(), out;
    ASSERT_EQ(o->Sort(*values, *i4(3), kLeftOut, out.get()), S_OK);
    EXPECT_EQ(described(*out), kByThird);
    Variant failed;
    EXPECT_EQ(o->Sort(*values, *i4(4), kLeftOut, failed.get()), kInvalidArgument);
    EXPECT_EQ(failed->vt, VT_EMPTY);
    EXPECT_EQ(o.store().data_number(), 0) << "the store is not touched";
  }
  EXPECT_EQ(live_bstr_count(), strings);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(Sort, ThroughInvoke) {
  TestObject<_clsAVLt3> o;
  o->put_CompareMode(1);  // text without case: "apple" among the p's below
  Variant values = range_value();
  const VARIANT by_third = *i4(3);
  const struct {
    const char* what;
    std::vector<VARIANT> args;  // last to first, as rgvarg holds them
    HRESULT hr;
    SCODE scode;
  } rows[] = {
      {"By given", {by_third, by_ref(*values.get())}, S_OK, 0},
      {"By outside", {*i4(0), *values}, DISP_E_EXCEPTION, kInvalidArgument},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<VARIANT> args = row.args;
    DISPPARAMS params = {args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    Variant out;
    EXCEPINFO excep = {};
    EXPECT_EQ(o->Invoke(dispid::Sort, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                        out.get(), &excep, nullptr),
              row.hr);
    EXPECT_EQ(excep.scode, row.scode);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    if (row.hr == S_OK) {
      EXPECT_EQ(described(*out), kByThird);
    }
  }
  // Sorted by the first column, ignoring case.
  DISPPARAMS one = {values.get(), nullptr, 1, 0};
  Variant out;
  ASSERT_EQ(
      o->Invoke(dispid::Sort, IID_NULL, 0, DISPATCH_METHOD, &one, out.get(), nullptr, nullptr),
      S_OK);
  EXPECT_EQ(described(*out)[0], kByThird[0]);
}

}  // namespace
}  // namespace quilmar::test
