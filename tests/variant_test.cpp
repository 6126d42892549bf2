// The Variant services: comparison rules and exactness, the free-slot test, copies, float text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/failure.h"
#include "values.h"

namespace quilmar::test {
namespace {

const char* name(Order o) {
  switch (o) {
    case Order::less: return "less";
    case Order::equal: return "equal";
    case Order::greater: return "greater";
    default: return "unordered";
  }
}

Order mirror(Order o) {
  return o == Order::less ? Order::greater : o == Order::greater ? Order::less : o;
}

struct CompareRow {
  const char* label;
  Variant a;
  Variant b;
  Order expected;
};

TEST(VariantCompare, FollowsTheKeyRulesBothWays) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  CompareRow rows[] = {
      {"numbers of different kinds by value", i2(5), r8(5.0), Order::equal},
      {"byte against float", ui1(200), r4(199.5f), Order::greater},
      {"negative int against unsigned", i4(-1), ui4(1), Order::less},
      {"uint64 max against int64 max", ui8(~0ull), i8(INT64_MAX), Order::greater},
      {"2^53+1 as int64 above 2^53 as double", i8((1ll << 53) + 1), r8(9007199254740992.0),
       Order::greater},
      {"2^63 as double above int64 max", r8(9223372036854775808.0), i8(INT64_MAX), Order::greater},
      {"fraction just above an integer", r8(3.0000000001), i4(3), Order::greater},
      {"currency 1.5 equals double 1.5", currency(15000), r8(1.5), Order::equal},
      {"currency 0.0001 above 0", currency(1), i4(0), Order::greater},
      {"decimal 0.1 differs from double 0.1", decimal(false, 1, 0, 1), r8(0.1), Order::less},
      {"decimal 2^64 above uint64 max", decimal(false, 0, 1, 0), ui8(~0ull), Order::greater},
      {"negative decimal below zero", decimal(true, 2, 0, 5), i2(0), Order::less},
      {"decimal -0 equals 0", decimal(true, 0, 0, 0), i4(0), Order::equal},
      {"decimal 12.50 equals currency 12.5", decimal(false, 2, 0, 1250), currency(125000),
       Order::equal},
      {"boolean True is -1", boolean(true), i2(-1), Order::equal},
      {"boolean False is 0", boolean(false), r8(0), Order::equal},
      {"date compares as its number", date(45000.5), r8(45000.5), Order::equal},
      {"float widening is exact", r4(0.1f), r8(0.1), Order::greater},
      {"infinity above every integer", r8(inf), ui8(~0ull), Order::greater},
      {"minus infinity below a decimal", r8(-inf), decimal(true, 0, 0xFFFFFFFF, ~0ull),
       Order::less},
      {"negative zero equals zero", r8(-0.0), i4(0), Order::equal},
      {"strings by code unit", text("abc"), text("abd"), Order::less},
      {"upper case before lower case", text("Z"), text("a"), Order::less},
      {"a proper prefix is less", text("ab"), text("abc"), Order::less},
      {"equal strings", text("same"), text("same"), Order::equal},
      {"code units above the surrogates", text(u"\uFF01"), text(u"\U0001F600"), Order::greater},
      {"number before string", i4(999999), text("0"), Order::less},
      {"double before empty string", r8(-1), text(""), Order::less},
      {"Empty equals empty string", empty(), text(""), Order::equal},
      {"Empty below a string", empty(), text("a"), Order::less},
      {"Empty equals zero", empty(), i4(0), Order::equal},
      {"Empty above a negative number", empty(), r8(-0.5), Order::greater},
      {"Empty equals Empty", empty(), empty(), Order::equal},
      {"Null against a number", null(), i4(1), Order::unordered},
      {"Null against Null", null(), null(), Order::unordered},
      {"Null against a string", null(), text(""), Order::unordered},
      {"NaN against a number", r8(nan), r8(nan), Order::unordered},
      {"NaN against a string", r4(std::nanf("")), text("a"), Order::unordered},
  };
  for (CompareRow& row : rows) {
    EXPECT_STREQ(name(compare(*row.a, *row.b)), name(row.expected)) << row.label;
    EXPECT_STREQ(name(compare(*row.b, *row.a)), name(mirror(row.expected)))
        << row.label << " (mirrored)";
  }
}

TEST(VariantCompare, ReadsThroughReferences) {
  Variant five = i4(5);
  Variant target = r8(5.0);
  VARIANT ref = by_ref(*target.get());
  EXPECT_EQ(compare(*five, ref), Order::equal);
  LONG n = 7;
  VARIANT typed_ref;
  VariantInit(&typed_ref);
  typed_ref.vt = VT_BYREF | VT_I4;
  typed_ref.plVal = &n;
  EXPECT_EQ(compare(typed_ref, *five), Order::greater);
}

TEST(VariantCompare, RefusesKindsThatHaveNoOrder) {
  Variant uncomparable[] = {error(0x80020004)};
  for (Variant& v : uncomparable) {
    try {
      compare(*v, *i4(1).get());
      ADD_FAILURE() << describe(*v) << " compared";
    } catch (const Failure& f) {
      EXPECT_EQ(f.code(), DISP_E_TYPEMISMATCH);
    }
    EXPECT_FALSE(can_be_ordered(*v));
  }
  VARIANT object;
  VariantInit(&object);
  object.vt = VT_UNKNOWN;
  object.punkVal = nullptr;
  EXPECT_THROW(compare(object, *text("a")), Failure);
  EXPECT_FALSE(can_be_ordered(object));
  EXPECT_FALSE(can_be_ordered(*null()));
  EXPECT_FALSE(can_be_ordered(*r8(std::nan(""))));
  EXPECT_TRUE(can_be_ordered(*empty()));
  EXPECT_TRUE(can_be_ordered(*text("")));
}

TEST(VariantFreeSlot, OnlyEmptyNullAndEmptyTextReadAsFree) {
  struct Row {
    Variant v;
    bool has_text;
  } rows[] = {
      {empty(), false},       {null(), false},     {text(""), false},
      {text(" "), true},      {i2(0), true},       {r8(0), true},
      {boolean(false), true}, {currency(0), true}, {decimal(false, 0, 0, 0), true},
      {date(0), true},        {ui1(0), true},      {error(0), true},
  };
  for (Row& row : rows) EXPECT_EQ(has_text(*row.v), row.has_text) << describe(*row.v);
  Variant inner = text("");
  EXPECT_FALSE(has_text(by_ref(*inner.get())));
}

TEST(VariantCopy, IsDeepAndFollowsReferences) {
  Variant original = text("abc");
  VARIANT ref = by_ref(*original.get());
  Variant copy(ref);
  ASSERT_EQ(copy->vt, VT_BSTR);
  EXPECT_NE(copy->bstrVal, original->bstrVal);
  EXPECT_EQ(compare(*copy, *original), Order::equal);
  original.get()->bstrVal[0] = u'X';
  EXPECT_EQ(compare(*copy, *text("abc")), Order::equal);

  SHORT n = 12;
  VARIANT typed_ref;
  VariantInit(&typed_ref);
  typed_ref.vt = VT_BYREF | VT_I2;
  typed_ref.piVal = &n;
  Variant number(typed_ref);
  EXPECT_EQ(number->vt, VT_I2);
  EXPECT_EQ(number->iVal, 12);
}

TEST(VariantCopy, EmptyTextIsRealForResultsAndFreeForStorage) {
  VARIANT null_text;
  VariantInit(&null_text);
  null_text.vt = VT_BSTR;
  null_text.bstrVal = nullptr;
  Variant result;
  copy_value(*result.get(), null_text);
  ASSERT_EQ(result->vt, VT_BSTR);
  EXPECT_NE(result->bstrVal, nullptr);
  Variant stored;
  copy_value(*stored.get(), *text(""), EmptyText::null);
  EXPECT_EQ(stored->vt, VT_BSTR);
  EXPECT_EQ(stored->bstrVal, nullptr);
}

TEST(FloatText, ReadsAsTheImplicitConversionWrites) {
  const struct {
    float value;
    const char* text;
  } rows[] = {{100, "100"},
              {-1, "-1"},
              {10.5f, "10.5"},
              {200, "200"},
              {1e7f, "1E+07"},
              {0, "0"},
              {16777216, "1.677722E+07"},
              {0.25f, "0.25"}};
  for (const auto& row : rows) EXPECT_EQ(to_utf8(float_text(row.value)), row.text) << row.text;
}

}  // namespace
}  // namespace quilmar::test
