// Lookup by key: Seek's six modes, Find, Exists, Item read and write, and the keys no lookup finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "seams.h"
#include "store/verify.h"
#include "store_view.h"
#include "values.h"

namespace quilmar::test {
namespace {

// Keys in insertion order; each payload is "p" and the key's insertion number, so a payload names
// which of several equal keys a lookup found.
Store filled(std::vector<Variant> keys) {
  Store s;
  EXPECT_TRUE(s.alloc(100));
  for (std::size_t i = 0; i < keys.size(); ++i) {
    // Appended, not "p" + ...: mingw's g++ 12 at -O3 warns falsely (-Wrestrict) on the latter.
    std::string payload = "p";
    payload += std::to_string(i);
    s.indata(*keys[i], *text(payload.c_str()));
    EXPECT_EQ(s.data_number(), static_cast<LONG>(i + 1)) << describe(*keys[i]);
  }
  return s;
}

// 5 p0, 3 p1, 8 p2, 3 p3, 5 p4, 5 p5, "b" p6, "a" p7, 1 p8: in order
// 1 p8, 3 p1, 3 p3, 5 p0, 5 p4, 5 p5, 8 p2, "a" p7, "b" p6.
Store sample() {
  std::vector<Variant> keys;
  for (LONG k : {5, 3, 8, 3, 5, 5}) keys.push_back(i4(k));
  keys.push_back(text("b"));
  keys.push_back(text("a"));
  keys.push_back(i4(1));
  return filled(std::move(keys));
}

Variant object_key() {
  static Counted object;
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = &object;
  return Variant(v);
}

// Probes no lookup can find: the store could never hold them.
std::vector<Variant> unholdable() {
  std::vector<Variant> v;
  v.push_back(text(""));
  v.push_back(empty());
  v.push_back(null());
  v.push_back(r8(std::nan("")));
  v.push_back(error(0x80020004));
  v.push_back(object_key());
  return v;
}

constexpr const char* kNone = "none";

// Seek on `s`; the payload under the cursor afterwards names the node found, or kNone when nothing
// qualified (and then nothing may have changed).
std::string seek(Store& s, const Variant& key, LONG how) {
  const Snapshot before = snapshot(s);
  Variant result;
  if (!s.seek(*key, how, *result.get())) {
    EXPECT_TRUE(snapshot(s) == before) << describe(*key) << " mode " << how;
    EXPECT_EQ(describe(*result), "Empty");
    return kNone;
  }
  EXPECT_NE(s.read_mode(), FAULT);
  Variant payload;
  s.read_sub(*payload.get());
  const AVLtree& here = s.table()[static_cast<std::size_t>(s.current_index())];
  EXPECT_EQ(describe(*result), describe(here.Data)) << "Seek returns a copy of the key it lands on";
  return describe(*payload);
}

struct SeekRow {
  const char* label;
  Variant key;
  // The payload found by modes 1, 2, 4, 8, 16, 32.
  const char* found[6];
};

TEST(Seek, EachModeFindsItsBound) {
  const LONG modes[] = {1, 2, 4, 8, 16, 32};
  const std::string p = "BSTR \"";
  SeekRow rows[] = {
      {"three equal keys", i4(5), {"p0", "p5", "p0", "p2", "p5", "p3"}},
      {"two equal keys", i4(3), {"p1", "p3", "p1", "p0", "p3", "p8"}},
      {"one key", i4(8), {"p2", "p2", "p2", "p7", "p2", "p5"}},
      {"absent, between keys", i4(4), {kNone, kNone, "p0", "p0", "p3", "p3"}},
      {"below every key", i4(-7), {kNone, kNone, "p8", "p8", kNone, kNone}},
      {"the smallest key", i4(1), {"p8", "p8", "p8", "p1", "p8", kNone}},
      {"the biggest key", text("b"), {"p6", "p6", "p6", kNone, "p6", "p7"}},
      {"above every key", text("c"), {kNone, kNone, kNone, kNone, "p6", "p6"}},
      {"a number of another kind equal to 5", r8(5.0), {"p0", "p5", "p0", "p2", "p5", "p3"}},
      {"a short integer", i2(3), {"p1", "p3", "p1", "p0", "p3", "p8"}},
      {"currency 8", currency(80000), {"p2", "p2", "p2", "p7", "p2", "p5"}},
      {"a fraction between keys", r4(4.5f), {kNone, kNone, "p0", "p0", "p3", "p3"}},
      {"text \"5\" sorts after every number", text("5"), {kNone, kNone, "p7", "p7", "p2", "p2"}},
      {"text is compared by code unit", text("B"), {kNone, kNone, "p7", "p7", "p2", "p2"}},
  };
  for (SeekRow& row : rows) {
    for (int m = 0; m < 6; ++m) {
      Store s = sample();
      const std::string want = row.found[m] == kNone ? kNone : p + row.found[m] + "\"";
      EXPECT_EQ(seek(s, row.key, modes[m]), want) << row.label << ", mode " << modes[m];
      EXPECT_TRUE(verify(s).ok()) << verify(s).text();
    }
  }
}

TEST(Seek, FindsNothingInAnEmptyStoreOrForKeysItCouldNeverHold) {
  for (LONG how : {1, 2, 4, 8, 16, 32}) {
    Store empty_store = filled({});
    EXPECT_EQ(seek(empty_store, i4(1), how), kNone) << how;
    Store s = sample();
    BoxCapture boxes;
    for (const Variant& key : unholdable()) EXPECT_EQ(seek(s, key, how), kNone) << describe(*key);
    EXPECT_TRUE(boxes.boxes().empty());
  }
}

TEST(Seek, AnotherModeIsAnInvalidArgumentWhateverTheKey) {
  for (LONG how : {0, 3, 5, 64, -1, 0x7FFFFFFF}) {
    Store s = sample();
    const Snapshot before = snapshot(s);
    for (const Variant& key : {i4(5), null()}) {
      Variant result;
      try {
        s.seek(*key, how, *result.get());
        ADD_FAILURE() << "mode " << how << " accepted";
      } catch (const Failure& f) {
        EXPECT_EQ(f.code(), static_cast<HRESULT>(0x800A0005)) << how;
      }
      EXPECT_TRUE(snapshot(s) == before) << how;
    }
  }
}

TEST(Find, LandsOnTheFirstEqualKeyAndEndsABlockedReading) {
  Store s = sample();
  MODEVAL mode = END_READ;
  Variant biggest, past_the_end;
  s.read(mode, *biggest.get());
  mode = READ_NEXT;
  s.read(mode, *past_the_end.get());
  ASSERT_EQ(s.read_mode(), FAULT);

  EXPECT_FALSE(s.find(*i4(4)));
  EXPECT_EQ(s.read_mode(), FAULT) << "a Find that finds nothing leaves reading blocked";
  ASSERT_TRUE(s.find(*i4(5)));
  EXPECT_NE(s.read_mode(), FAULT);
  // Read goes on from there: the other two 5s in insertion order, then 8.
  for (const char* want : {"p4", "p5", "p2"}) {
    Variant key, payload;
    mode = READ_NEXT;
    s.read(mode, *key.get());
    s.read_sub(*payload.get());
    EXPECT_EQ(describe(*payload), std::string("BSTR \"") + want + "\"");
  }
  for (const Variant& key : unholdable()) EXPECT_FALSE(s.find(*key)) << describe(*key);
}

TEST(Lookup, ExistsAndItemAnswerForTheFirstEqualKeyAndMoveNothing) {
  struct Row {
    Variant key;
    const char* payload;  // nullptr: not found
  } rows[] = {{i4(5), "p0"},     {i8(3), "p1"},        {text("a"), "p7"}, {i4(4), nullptr},
              {i4(-1), nullptr}, {text("A"), nullptr}, {r8(1.0), "p8"}};
  Store s = sample();
  const Snapshot before = snapshot(s);
  for (const Row& row : rows) {
    EXPECT_EQ(s.exists(*row.key), row.payload != nullptr) << describe(*row.key);
    Variant got;
    EXPECT_EQ(s.item(*row.key, *got.get()), row.payload != nullptr);
    EXPECT_EQ(describe(*got), row.payload ? std::string("BSTR \"") + row.payload + "\"" : "Empty");
  }
  for (const Variant& key : unholdable()) {
    Variant got;
    EXPECT_FALSE(s.exists(*key) || s.item(*key, *got.get())) << describe(*key);
  }
  EXPECT_TRUE(snapshot(s) == before);
}

TEST(Lookup, PutReplacesTheFirstEqualPayloadOrInsertsThePair) {
  for (EGN_MOD policy : {NOT_EGNORE, USE_FIRST_DATA, USE_LAST_DATA}) {
    Store s = sample();
    s.set_egnore(policy);
    BoxCapture boxes;
    EXPECT_EQ(s.put_item(*r8(5.0), *i4(42)), Store::Put::replaced);
    EXPECT_EQ(s.put_item(*i4(4), *i4(43)), Store::Put::inserted);
    EXPECT_EQ(s.data_number(), 10);
    Variant got;
    s.item(*i4(5), *got.get());
    EXPECT_EQ(describe(*got), "I4 42");
    EXPECT_EQ(describe(s.table()[0].Data), "I4 5") << "the stored key keeps its kind";
    EXPECT_EQ(describe(s.table()[4].SubData), "BSTR \"p4\"") << "later equal keys keep theirs";
    s.item(*i4(4), *got.get());
    EXPECT_EQ(describe(*got), "I4 43");
    for (const Variant& key : unholdable()) {
      const Snapshot before = snapshot(s);
      EXPECT_EQ(s.put_item(*key, *i4(1)), Store::Put::refused) << describe(*key);
      EXPECT_TRUE(snapshot(s) == before);
    }
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(verify(s).ok()) << verify(s).text();
  }
}

// The descent orders most texts by their first four units, kept beside the records; texts that
// share them, end inside them or hold zero units there must still order as whole texts do.
TEST(Lookup, TextsSharingTheirFirstUnitsOrderAsWholeTexts) {
  using namespace std::string_literals;
  const std::u16string stored[] = {u"abcd",     u"abcde",      u"abc",  u"ab\0"s,
                                   u"abc\0"s,   u"ABCD",       u"abce", u"b",
                                   u"abcd\0x"s, u"\0\0\0\0a"s, u"abcD"};
  const std::u16string absent[] = {u"abcc",    u"abcdd", u"ab",      u"ab\0\0"s, u"\0"s,
                                   u"abcd\0"s, u"ABCE",  u"a\u00e9", u"\u00e9"};
  for (const LONG mode : {0, 1}) {
    SCOPED_TRACE(mode ? "text mode" : "binary mode");
    Store s;
    ASSERT_TRUE(s.alloc(100));
    s.set_compare_mode(mode);
    s.set_egnore(USE_FIRST_DATA);  // keys equal but for case are one key in text mode
    std::vector<Variant> held;
    for (const auto& k : stored) {
      s.indata(*text(k), *i4(0));
      held.push_back(text(k));
    }
    s.indata(*i4(7), *i4(0));  // numbers come before texts
    held.push_back(i4(7));
    ASSERT_TRUE(verify(s).ok()) << verify(s).text();
    const auto less = [&](const Variant& a, const Variant& b) {
      return compare(*a, *b, mode != 0) == Order::less;
    };
    std::stable_sort(held.begin(), held.end(), less);
    held.erase(std::unique(held.begin(), held.end(),
                           [&](const Variant& a, const Variant& b) { return !less(a, b); }),
               held.end());
    ASSERT_EQ(s.data_number(), static_cast<LONG>(held.size()));
    std::vector<Variant> probes;
    for (const auto& k : stored) probes.push_back(text(k));
    for (const auto& k : absent) probes.push_back(text(k));
    for (const Variant& k : probes) {
      // The first held key not below the probe, by the full comparison.
      const auto at = std::lower_bound(held.begin(), held.end(), k, less);
      const bool equal = at != held.end() && !less(k, *at);
      const auto index = static_cast<LONG>(at - held.begin());
      EXPECT_EQ(s.exists(*k), equal) << describe(*k);
      EXPECT_EQ(s.index_of(*k), equal ? index : -1) << describe(*k);
      Variant found;
      if (s.seek(*k, SEEK_AFTER_EQ, *found.get()))
        EXPECT_EQ(describe(*found), describe(**at)) << describe(*k);
      else
        EXPECT_EQ(at, held.end()) << describe(*k);
      Variant target(*k);
      const VARIANT ref = by_ref(*target.get());  // probes by reference alike
      EXPECT_EQ(s.index_of(ref), equal ? index : -1) << describe(*k) << " by reference";
    }
  }
}

TEST(Lookup, PutReportsNoRoomWithoutABoxAndLosesNothing) {
  BoxCapture boxes;
  Store full = filled({});
  for (LONG k = 0; k < 100; ++k) full.indata(*i4(k), *i4(k));
  const Snapshot before = snapshot(full);
  {
    const AllocationLimit refused(0);
    EXPECT_EQ(full.put_item(*i4(100), *i4(0)), Store::Put::no_room);
    EXPECT_EQ(full.put_item(*i4(7), *i4(0)), Store::Put::replaced) << "replacing needs no room";
  }
  full.put_item(*i4(7), *i4(7));
  EXPECT_TRUE(snapshot(full) == before);
  EXPECT_EQ(full.put_item(*i4(100), *i4(0)), Store::Put::inserted);

  Store refused_alloc = sample();
  EXPECT_FALSE(refused_alloc.alloc(-1));  // the kept table goes on taking keys
  EXPECT_EQ(refused_alloc.put_item(*i4(100), *i4(0)), Store::Put::inserted);
  Store fractional = filled({});
  ASSERT_TRUE(fractional.alloc(0.4f));  // one slot, which never grows
  EXPECT_EQ(fractional.put_item(*i4(1), *i4(0)), Store::Put::inserted);
  EXPECT_EQ(fractional.put_item(*i4(2), *i4(0)), Store::Put::no_room);
  EXPECT_TRUE(boxes.boxes().empty());
}

}  // namespace
}  // namespace quilmar::test
