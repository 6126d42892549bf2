// Insertion: where keys go, the duplicate policies, growth, refusals and the two messages.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "object.h"
#include "seams.h"
#include "server/avl_object.h"
#include "store/verify.h"
#include "store_view.h"
#include "values.h"

namespace quilmar::test {
namespace {

Store fresh(float siz = 100) {
  Store s;
  EXPECT_TRUE(s.alloc(siz)) << siz;
  return s;
}

void put(Store& s, const Variant& key, const Variant& payload = text("")) {
  s.indata(*key, *payload);
}

std::string key_at(const Store& s, int slot) {
  return describe(s.table()[slot].Data);
}
std::string payload_at(const Store& s, int slot) {
  return describe(s.table()[slot].SubData);
}

struct ShapeRow {
  const char* label;
  std::vector<LONG> keys;
  std::vector<Shape> expected;  // the slots named; the rest are not checked here
};

TEST(Insert, PlacesKeysAsTheWalkFindsThem) {
  const ShapeRow rows[] = {
      {"first key in slot 0", {5}, {{0, -1, -1, -1, BALANCED}}},
      {"smaller key under slot 0, no rebalancing",
       {5, 3},
       {{0, -1, 1, -1, BALANCED}, {1, 0, -1, -1, BALANCED}}},
      {"bigger key on the big side", {5, 9}, {{0, -1, -1, 1, BALANCED}, {1, 0, -1, -1, BALANCED}}},
      {"a duplicate goes to the big side", {5, 5}, {{0, -1, -1, 1, BALANCED}}},
      {"5 7 5: the duplicate passes 5, then goes under 7",
       {5, 7, 5},
       {{0, -1, -1, 1, BALANCED}, {1, 0, 2, -1, SMALLV}, {2, 1, -1, -1, BALANCED}}},
      {"grandchild leans its parent",
       {13, 3, 1},
       {{0, -1, 1, -1, BALANCED}, {1, 0, 2, -1, SMALLV}, {2, 1, -1, -1, BALANCED}}},
  };
  for (const ShapeRow& row : rows) {
    SCOPED_TRACE(row.label);
    Store s = fresh();
    for (LONG k : row.keys) put(s, i4(k));
    EXPECT_EQ(s.data_number(), static_cast<LONG>(row.keys.size()));
    for (const Shape& want : row.expected) EXPECT_EQ(describe(shape(s, want.slot)), describe(want));
    EXPECT_TRUE(verify(s).ok()) << verify(s).text();
  }
}

TEST(Insert, StoresCopiesOfKeyAndPayload) {
  Store s = fresh();
  Variant key = text("m"), payload = i4(1);
  VARIANT key_ref = by_ref(*key.get()), payload_ref = by_ref(*payload.get());
  s.indata(key_ref, payload_ref);
  key.get()->bstrVal[0] = u'z';
  *payload.get() = *i4(2).get();  // the caller's variable changes afterwards
  EXPECT_EQ(key_at(s, 0), "BSTR \"m\"");
  EXPECT_EQ(payload_at(s, 0), "I4 1");
  EXPECT_EQ(s.table()[0].Data.vt, VT_BSTR);  // a value, never a reference into the caller
  put(s, text("c"));
  EXPECT_EQ(payload_at(s, 1), "BSTR \"\"");
}

TEST(Insert, DuplicatePoliciesDecideWhatAnEqualKeyDoes) {
  const struct {
    const char* label;
    LONG policy;
    Variant second_key;
    LONG count;
    std::string key0, payload0;
  } rows[] = {
      {"keep every copy", NOT_EGNORE, i4(5), 2, "I4 5", "BSTR \"a\""},
      {"keep the first", USE_FIRST_DATA, i4(5), 1, "I4 5", "BSTR \"a\""},
      {"the last replaces", USE_LAST_DATA, i4(5), 1, "I4 5", "BSTR \"b\""},
      {"the last replaces the key's type too", USE_LAST_DATA, r8(5.0), 1, "R8 5", "BSTR \"b\""},
      {"an equal I2 replaces an I4", USE_LAST_DATA, i2(5), 1, "I2 5", "BSTR \"b\""},
      {"a policy outside the three keeps every copy", 7, i4(5), 2, "I4 5", "BSTR \"a\""},
      {"a negative policy keeps every copy", -1, i2(5), 2, "I4 5", "BSTR \"a\""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Store s = fresh();
    s.set_egnore(static_cast<EGN_MOD>(row.policy));
    put(s, i4(5), text("a"));
    BoxCapture boxes;
    put(s, row.second_key, text("b"));
    EXPECT_EQ(s.data_number(), row.count);
    EXPECT_EQ(key_at(s, 0), row.key0);
    EXPECT_EQ(payload_at(s, 0), row.payload0);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(s.egnore(), row.policy);
    EXPECT_TRUE(verify(s).ok()) << verify(s).text();
  }
  // Several equal copies held (stored before the policy changed): the first in read order is the
  // one replaced, whatever the tree's shape.
  Store s = fresh();
  for (LONG k : {5, 5, 11, 12}) put(s, i4(k), i4(k));
  s.set_egnore(USE_LAST_DATA);
  put(s, i2(5), text("new"));
  std::vector<std::string> pairs;
  for (std::size_t slot : in_order(s))
    pairs.push_back(key_at(s, int(slot)) + " " + payload_at(s, int(slot)));
  EXPECT_EQ(pairs, (std::vector<std::string>{"I2 5 BSTR \"new\"", "I4 5 I4 5", "I4 11 I4 11",
                                             "I4 12 I4 12"}));
}

TEST(Insert, GrowsOneHundredSlotsRightAfterTheLastIsUsed) {
  const struct {
    float alloc;
    int keys;
    LONG memory_size;
  } rows[] = {
      {100, 100, 100}, {100, 101, 200}, {100, 200, 200}, {100, 201, 300},
      {0, 1, 100},     {0, 0, 0},       {2, 3, 102},
  };
  for (const auto& row : rows) {
    Store s = fresh(row.alloc);
    for (int k = 0; k < row.keys; ++k) put(s, i4(k));
    EXPECT_EQ(s.data_number(), row.keys) << row.alloc << " " << row.keys;
    EXPECT_EQ(s.memory_size(), row.memory_size) << row.alloc << " " << row.keys;
    EXPECT_TRUE(verify(s).ok()) << verify(s).text();
  }
}

TEST(Insert, FractionalSizeFillsToTheRoundedBoundThenRefuses) {
  // The table has slots 0 to MemorySize (AllocSize rounded) and never grows: every slot takes a
  // key.
  const struct {
    float siz;
    int keys;
    const char* shown;
  } rows[] = {{10.5f, 11, "10.5"}, {0.7f, 2, "0.7"}, {4.7f, 6, "4.7"},
              {3.5f, 5, "3.5"},    {2.5f, 3, "2.5"}, {4.2f, 5, "4.2"}};
  for (const auto& row : rows) {
    Store s = fresh(row.siz);
    BoxCapture boxes;
    for (int k = 0; k <= row.keys; ++k) put(s, i4(k));
    EXPECT_EQ(s.data_number(), row.keys) << row.siz;
    EXPECT_EQ(s.memory_size(), row.keys - 1) << row.siz;
    ASSERT_EQ(boxes.boxes().size(), 1u) << row.siz;
    EXPECT_EQ(boxes.boxes()[0].text, warning_text(row.shown));
    EXPECT_TRUE(verify(s).ok()) << verify(s).text();
  }
}

TEST(Insert, RefusedKeysLeaveTheStoreAsItWas) {
  VARIANT object;
  VariantInit(&object);
  object.vt = VT_UNKNOWN;
  object.punkVal = nullptr;
  Variant refused[] = {text(""),
                       empty(),
                       null(),
                       r8(std::nan("")),
                       r4(std::numeric_limits<float>::quiet_NaN()),
                       error(0x80020004),
                       Variant(object)};
  for (bool empty_store : {true, false}) {
    for (Variant& key : refused) {
      Store s = fresh();
      if (!empty_store)
        for (LONG k : {50, 20, 80, 10}) put(s, i4(k), i4(k * 2));
      const Snapshot before = snapshot(s);
      BoxCapture boxes;
      put(s, key, i4(1));
      ASSERT_EQ(boxes.boxes().size(), 1u) << describe(*key);
      EXPECT_EQ(boxes.boxes()[0].title, "WARNING");
      EXPECT_EQ(boxes.boxes()[0].text, warning_text("100"));
      EXPECT_EQ(boxes.boxes()[0].buttons, 0u);
      EXPECT_TRUE(snapshot(s) == before) << describe(*key);
    }
  }
}

TEST(Insert, AfterARefusedAllocTheKeptTableTakesKeysUntilItMustGrow) {
  // Refused for its size or for want of memory, alike: keys fill the kept table with no box; the
  // first key beyond it needs the table grown to the size asked for, and only that can refuse.
  constexpr float kInf = std::numeric_limits<float>::infinity();
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float siz;
    std::size_t memory;  // slots the heap gives: while Alloc runs, then for the growth
    std::size_t memory_later;
    bool grows;  // the key beyond the kept table is stored; else refused, the box showing Siz
    int held;    // keys stored before the Alloc
  } rows[] = {
      {3e9f, 10000, 10000, false, 0},  {2e7f, 10000, 10000, false, 0},
      {1e10f, 10000, 10000, false, 0}, {kInf, 10000, 10000, false, 0},
      {5000, 0, 0, false, 0},          {5000, 0, 10000, true, 0},
      {-1, 10000, 10000, false, 0},    {kNaN, 10000, 10000, false, 0},
      {kNaN, 10000, 10000, false, 1},  {10, 0, 10000, false, 50},
  };
  for (const auto& row : rows) {
    const std::string label = std::to_string(row.siz) + ", " + std::to_string(row.held) + " held";
    Store s = fresh();
    for (int k = 0; k < row.held; ++k) put(s, i4(k));
    {
      const AllocationLimit limit(row.memory);
      ASSERT_FALSE(s.alloc(row.siz)) << label;
    }
    BoxCapture boxes;
    for (int k = row.held; k < 101; ++k) put(s, i4(k));
    EXPECT_TRUE(boxes.boxes().empty()) << label;
    EXPECT_EQ(s.data_number(), 101) << label;
    const AllocationLimit limit(row.memory_later);
    put(s, i4(101));
    if (row.grows) {
      EXPECT_TRUE(boxes.boxes().empty()) << label;
      EXPECT_EQ(s.data_number(), 102) << label;
      EXPECT_EQ(s.table().size(), 5001u) << label;
    } else {
      ASSERT_EQ(boxes.boxes().size(), 1u) << label;
      EXPECT_EQ(boxes.boxes()[0].text, warning_text(to_utf8(float_text(row.siz)).c_str())) << label;
      EXPECT_EQ(s.data_number(), 101) << label;
    }
    EXPECT_EQ(in_order(s).size(), static_cast<std::size_t>(s.data_number())) << label;
    for (const std::string& problem : verify(s).problems)
      EXPECT_EQ(problem.rfind("I6", 0), 0u) << label << ": " << problem;
  }
}

TEST(Insert, FailedGrowthLosesNothingAndTheNextKeyTriesAgain) {
  Store s = fresh();
  for (int k = 0; k < 100; ++k) put(s, i4(k));
  const Snapshot before = snapshot(s);
  BoxCapture boxes;
  {
    const AllocationLimit refused(0);
    put(s, i4(100));
  }
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text, warning_text("200"));  // the size that could not be had
  EXPECT_TRUE(snapshot(s) == before);
  put(s, i4(100));
  EXPECT_EQ(s.data_number(), 101);
  EXPECT_EQ(s.memory_size(), 200);
  EXPECT_TRUE(verify(s).ok()) << verify(s).text();
}

TEST(Insert, WarningTextIsExactByteForByte) {
  Store s = fresh(0.4f);  // one slot, which never grows
  BoxCapture boxes;
  put(s, i4(1));
  put(s, i4(2));
  ASSERT_EQ(boxes.boxes().size(), 1u);
  const std::string want = "Quilmar.DLL No Memory.\x0D\x0A(AllocSize=0.4 Failed)";
  EXPECT_EQ(boxes.boxes()[0].text, want);
}

TEST(Insert, ThroughTheObjectTheResultIsAlwaysEmpty) {
  TestObject<> store;
  BoxCapture boxes;
  Variant good = i4(1), payload = text(""), refused = null();
  EGN_MOD first = USE_FIRST_DATA;
  for (VARIANT* key : {good.get(), good.get(), refused.get()}) {
    Variant result = r8(1);
    VariantClear(result.get());
    result.get()->vt = VT_I4;
    EXPECT_EQ(store->Indata(key, payload.get(), result.get()), S_OK);
    EXPECT_EQ(result->vt, VT_EMPTY);
    store->put_Egnore(&first);
  }
  EXPECT_EQ(boxes.boxes().size(), 1u);
}

}  // namespace
}  // namespace quilmar::test
