// In-order copies with bounds, and enumerator positions across inserts, Alloc and moved nodes.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <stdexcept>

#include "seams.h"
#include "store/verify.h"
#include "store_view.h"
#include "values.h"

namespace quilmar::test {
namespace {

// Collects what it is given as described text; can be told to throw at the n-th value.
class Collect final : public ValueSink {
 public:
  void reserve(std::size_t count) override { reserved = count; }
  void take(const VARIANT& value) override {
    if (values.size() == throw_at) throw std::runtime_error("sink refused");
    values.push_back(describe(value));
  }
  std::vector<std::string> values;
  std::size_t reserved = ~std::size_t{0};
  std::size_t throw_at = ~std::size_t{0};
};

Store ints(const std::vector<LONG>& keys) {
  Store s;
  EXPECT_TRUE(s.alloc(100));
  for (LONG k : keys) s.indata(*i4(k), *i4(k * 10));
  EXPECT_EQ(s.data_number(), static_cast<LONG>(keys.size()));
  return s;
}

std::vector<std::string> described(const std::vector<LONG>& keys) {
  std::vector<std::string> out;
  for (LONG k : keys) out.push_back("I4 " + std::to_string(k));
  return out;
}

TEST(CopyRange, KeysAndItemsBetweenInclusiveBounds) {
  struct Row {
    const char* label;
    Variant low, high;  // Empty here: no bound
    std::vector<LONG> want;
  } rows[] = {
      {"no bounds", empty(), empty(), {1, 3, 3, 5, 7, 9}},
      {"low only, on a key", i4(3), empty(), {3, 3, 5, 7, 9}},
      {"high only, between keys", empty(), i4(6), {1, 3, 3, 5}},
      {"both, on equal keys", i4(3), i4(3), {3, 3}},
      {"both, between keys", r8(3.5), r8(8.5), {5, 7}},
      {"low above high", i4(7), i4(3), {}},
      {"outside on the small side", i4(-5), i4(0), {}},
      {"outside on the big side", i4(10), text("a"), {}},
      {"text bound above every number", empty(), text(""), {1, 3, 3, 5, 7, 9}},
      {"a bound nothing orders against", null(), empty(), {}},
      {"NaN", empty(), r8(std::nan("")), {}},
  };
  for (Row& row : rows) {
    Store s = ints({5, 3, 9, 1, 3, 7});
    const Snapshot before = snapshot(s);
    const VARIANT* low = row.low->vt == VT_EMPTY ? nullptr : &*row.low;
    const VARIANT* high = row.high->vt == VT_EMPTY ? nullptr : &*row.high;
    Collect keys, items;
    EXPECT_EQ(s.copy_range(Field::key, low, high, keys), row.want.size()) << row.label;
    EXPECT_EQ(keys.values, described(row.want)) << row.label;
    EXPECT_EQ(keys.reserved, row.want.size()) << row.label;
    s.copy_range(Field::payload, low, high, items);
    std::vector<LONG> payloads;
    for (LONG k : row.want) payloads.push_back(k * 10);
    EXPECT_EQ(items.values, described(payloads)) << row.label;
    EXPECT_TRUE(snapshot(s) == before) << row.label;
  }
  Collect none;
  EXPECT_EQ(ints({}).copy_range(Field::key, nullptr, nullptr, none), 0u);
  EXPECT_EQ(none.reserved, 0u);
}

// The order keys are enumerated in: key, then insertion number (equal keys in insertion order).
using Entry = std::pair<LONG, int>;

TEST(Positions, AnEnumeratorSeesWhatIsInsertedAfterItsPositionOnlyAndNothingTwice) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    const LONG range = seed % 2 ? 20 : 1000;  // odd seeds: many equal keys
    Store s;
    ASSERT_TRUE(s.alloc(100));
    std::multimap<LONG, int> model;  // key -> insertion number; equal keys stay in order
    int inserted = 0;
    const auto insert = [&] {
      const LONG k = static_cast<LONG>(rng() % range);
      s.indata(*i4(k), *i4(inserted));
      model.emplace(k, inserted++);
    };
    for (int i = 0; i < 50; ++i) insert();
    const Positions::Id id = s.open_position();
    const float cursor = s.current_index();
    bool started = false;
    Entry last{};
    for (int round = 0; round < 60; ++round) {
      for (unsigned n = rng() % 4; n > 0; --n) insert();
      const std::size_t most = 1 + rng() % 5;
      Collect got;
      const std::size_t taken = s.next_keys(id, most, got);
      // Expected: the entries after the last one returned, as the model holds them now.
      auto it = model.begin();
      if (started) {
        it = model.lower_bound(last.first);
        while (it != model.end() && it->first == last.first && it->second <= last.second) ++it;
      }
      std::vector<std::string> want;
      for (; it != model.end() && want.size() < most; ++it) {
        want.push_back("I4 " + std::to_string(it->first));
        last = {it->first, it->second};
        started = true;
      }
      ASSERT_EQ(got.values, want) << "seed " << seed << ", round " << round;
      ASSERT_EQ(taken, want.size());
    }
    EXPECT_EQ(s.current_index(), cursor) << "an enumerator never moves the cursor";
    EXPECT_TRUE(verify(s).ok()) << verify(s).text();
  }
}

TEST(Positions, SkipResetCloneAndAFailedNext) {
  Store s = ints({50, 20, 80, 10, 30});
  const Positions::Id a = s.open_position();
  EXPECT_EQ(s.skip_keys(a, 2), 2u);  // past 10, 20
  const Positions::Id b = s.clone_position(a);
  Collect from_a, from_b;
  EXPECT_EQ(s.next_keys(a, 10, from_a), 3u);
  EXPECT_EQ(from_a.values, described({30, 50, 80}));
  EXPECT_EQ(s.next_keys(a, 1, from_a), 0u) << "at the end";
  EXPECT_EQ(s.skip_keys(a, 1), 0u);
  Collect failing;
  failing.throw_at = 1;
  EXPECT_THROW(s.next_keys(b, 3, failing), std::runtime_error);
  EXPECT_EQ(s.next_keys(b, 1, from_b), 1u) << "a failed Next moves nothing";
  EXPECT_EQ(from_b.values, described({30}));
  s.reset_position(a);
  Collect again;
  s.next_keys(a, 1, again);
  EXPECT_EQ(again.values, described({10}));
  s.close_position(b);
  EXPECT_THROW(s.next_keys(b, 1, again), Failure);
  EXPECT_EQ(s.positions().live(), 1u);
  EXPECT_EQ(s.open_position(), b) << "a closed id is reused";
}

TEST(Positions, AllocStartsEveryEnumeratorOver) {
  Store s = ints({2, 1, 3});
  const Positions::Id fresh = s.open_position(), midway = s.open_position();
  s.skip_keys(midway, 2);
  ASSERT_TRUE(s.alloc(10));
  for (LONG k : {7, 8}) s.indata(*i4(k), *i4(k));
  for (Positions::Id id : {fresh, midway}) {
    Collect got;
    EXPECT_EQ(s.next_keys(id, 5, got), 2u);
    EXPECT_EQ(got.values, described({7, 8}));
  }
}

void put(Store& s, std::initializer_list<LONG> keys) {
  for (LONG k : keys) s.indata(*i4(k), *empty());
}

// An enumerator stays after the key it returned last, whatever is removed and inserted around it.
// Equal keys are told apart by their kinds (10 as I4, I2 and R8 are equal keys).
TEST(Positions, AfterARemovalTheNextKeyIsTheFirstAfterTheRemovedOne) {
  using Change = void (*)(Store&);
  struct Row {
    const char* label;
    Change fill;
    std::size_t taken;  // keys returned before the change
    Change change;
    std::vector<std::string> rest;
  } rows[] = {
      {"removed, then a smaller key inserted",
       [](Store& s) {
         put(s, {5, 10, 20});
       },
       2,
       [](Store& s) {
         s.remove(*i4(10));
         put(s, {7});
       },
       {"I4 20"}},
      {"removed with every key before it, then a smaller key inserted",
       [](Store& s) {
         put(s, {5, 10});
       },
       1,
       [](Store& s) {
         s.remove(*i4(5));
         put(s, {1});
       },
       {"I4 10"}},
      {"removed, then a key between it and the next inserted",
       [](Store& s) {
         put(s, {5, 10, 20});
       },
       2,
       [](Store& s) {
         s.remove(*i4(10));
         put(s, {15});
       },
       {"I4 15", "I4 20"}},
      {"the store emptied by removals, then keys on both sides",
       [](Store& s) {
         put(s, {5, 10});
       },
       2,
       [](Store& s) {
         s.remove(*i4(5));
         s.remove(*i4(10));
         put(s, {3, 10, 12});
       },
       {"I4 10", "I4 12"}},
      {"equal keys: one inserted later comes after it",
       [](Store& s) {
         for (const Variant& k : {i4(10), i2(10), r8(10), i4(20)}) s.indata(*k, *empty());
       },
       2,  // 10 as I4, then as I2
       [](Store& s) {
         s.remove(*i4(10));  // all three
         s.indata(*ui1(10), *empty());
         put(s, {5});
       },
       {"UI1 10", "I4 20"}},
      {"equal keys: those after it remain",
       [](Store& s) {
         for (const Variant& k : {i4(10), i2(10), r8(10)}) s.indata(*k, *empty());
       },
       2,
       [](Store& s) {
         MODEVAL mode = START_READ;
         Variant ignored;
         s.read(mode, *ignored.get());
         mode = READ_NEXT;
         s.read(mode, *ignored.get());      // the cursor on 10 as I2
         s.remove_current(*ignored.get());  // the key the enumerator returned last
       },
       {"R8 10"}},
      {"removed, then the one before it, then both back",
       [](Store& s) {
         put(s, {1, 2, 3, 4});
       },
       3,
       [](Store& s) {
         s.remove(*i4(3));
         s.remove(*i4(2));
         put(s, {2, 3});
       },
       {"I4 3", "I4 4"}},
      {"RemoveAll starts it over",
       [](Store& s) {
         put(s, {1, 2});
       },
       1,
       [](Store& s) {
         s.remove_all();
         put(s, {0});
       },
       {"I4 0"}},
  };
  for (const Row& row : rows) {
    Store s;
    ASSERT_TRUE(s.alloc(100));
    row.fill(s);
    const Positions::Id id = s.open_position();
    EXPECT_EQ(s.skip_keys(id, row.taken), row.taken) << row.label;
    // A clone shares the removed key with its original, and outlives it.
    const Positions::Id twin = s.clone_position(id);
    row.change(s);
    for (const Positions::Id p : {id, twin}) {
      Collect got;
      s.next_keys(p, 10, got);
      EXPECT_EQ(got.values, row.rest) << row.label;
      s.close_position(p);
    }
    EXPECT_TRUE(verify(s).ok()) << row.label << verify(s).text();
  }
}

// A ghost is the removed key itself, so removal allocates nothing; a ghost nobody needs comes
// back to the next removal's caller, who releases it once the store is whole.
TEST(Positions, AGhostTakesTheRemovedKeyAndGivesBackAStaleOne) {
  Positions p;
  const Positions::Id on_removed = p.open(), elsewhere = p.open();
  p.land(on_removed, 7);
  p.land(elsewhere, 3);
  Variant key = text("seven");
  const BSTR chars = key->bstrVal;
  p.removed(7, 4, key);
  EXPECT_EQ(key->vt, VT_EMPTY) << "the key moved into the ghost";
  EXPECT_EQ(p[on_removed].slot, 4);
  EXPECT_EQ(p.ghost_key(p[on_removed]).bstrVal, chars);
  EXPECT_EQ(p[elsewhere].ghost, Positions::kNoGhost);
  p.land(on_removed, 9);  // its enumerator moved on: the ghost is stale, until swept
  Variant next = text("three");
  p.removed(3, nil, next);
  EXPECT_TRUE(next->vt == VT_EMPTY || (next->vt == VT_BSTR && next->bstrVal == chars));
  EXPECT_EQ(p[elsewhere].slot, nil) << "a ghost's cut with no key before it";
  p.restart_all();
  EXPECT_EQ(p[elsewhere].state, Positions::Place::start);
  p.sweep();
}

TEST(Tree, ACycleInADamagedTableFailsEveryWalkInsteadOfHanging) {
  Store s = ints({5, 3, 9});
  const_cast<NodeTable&>(s.table())[1].Small = 0;  // 3's smaller child is the top again
  Collect sink;
  Variant found;
  EXPECT_THROW(s.copy_range(Field::key, nullptr, nullptr, sink), Failure);
  EXPECT_THROW(s.copy_range(Field::key, nullptr, &*i4(4), sink), Failure);
  EXPECT_THROW(s.seek(*i4(1), 4, *found.get()), Failure);
  EXPECT_THROW(s.next_keys(s.open_position(), 1, sink), Failure);
  MODEVAL start = START_READ;
  EXPECT_THROW(s.read(start, *found.get()), Failure);
  BoxCapture boxes;
  s.indata(*i4(1), *i4(1));  // refused with the warning box
  EXPECT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(s.data_number(), 3);
}

}  // namespace
}  // namespace quilmar::test
