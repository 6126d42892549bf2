// In-order copies with bounds, and enumerator positions across inserts, Alloc and moved nodes.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <stdexcept>

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

TEST(Positions, AllocEndsEveryEnumeratorUntilItIsReset) {
  Store s = ints({2, 1, 3});
  const Positions::Id fresh = s.open_position(), midway = s.open_position();
  s.skip_keys(midway, 2);
  MODEVAL mode = END_READ;
  Variant ignored;
  s.read(mode, *ignored.get());
  ASSERT_TRUE(s.alloc(10));
  for (LONG k : {7, 8}) s.indata(*i4(k), *i4(k));
  for (Positions::Id id : {fresh, midway}) {
    Collect got;
    EXPECT_EQ(s.next_keys(id, 5, got), 0u);
    EXPECT_EQ(s.skip_keys(id, 5), 0u);
    s.reset_position(id);
    EXPECT_EQ(s.next_keys(id, 5, got), 2u);
    EXPECT_EQ(got.values, described({7, 8}));
  }
}

TEST(Positions, RegistryFollowsMovedAndRemovedNodes) {
  struct Row {
    const char* label;
    Positions::Place before;
    void (*change)(Positions&);
    Positions::Place after;
  };
  using P = Positions::Place;
  const Row rows[] = {
      {"moved: follows its node",
       {P::after, 7},
       [](Positions& p) { p.moved(7, 2); },
       {P::after, 2}},
      {"moved: another node", {P::after, 3}, [](Positions& p) { p.moved(7, 2); }, {P::after, 3}},
      {"removed: back to the predecessor",
       {P::after, 7},
       [](Positions& p) { p.removed(7, 4); },
       {P::after, 4}},
      {"removed the smallest: back to the start",
       {P::after, 7},
       [](Positions& p) { p.removed(7, nil); },
       {P::start, nil}},
      {"removed another node", {P::after, 3}, [](Positions& p) { p.removed(7, 4); }, {P::after, 3}},
      {"not started", {P::start, nil}, [](Positions& p) { p.moved(0, 5); }, {P::start, nil}},
      {"emptied", {P::after, 3}, [](Positions& p) { p.end_all(); }, {P::ended, nil}},
  };
  for (const Row& row : rows) {
    Positions p;
    const Positions::Id id = p.open();
    p[id] = row.before;
    row.change(p);
    EXPECT_EQ(p[id].state, row.after.state) << row.label;
    EXPECT_EQ(p[id].slot, row.after.slot) << row.label;
  }
}

TEST(CopyRange, ACycleInADamagedTableFailsInsteadOfHanging) {
  Store s = ints({5, 3, 9});
  const_cast<NodeTable&>(s.table())[1].Small = 0;  // 3's smaller child is the top again
  Collect sink;
  Variant found;
  EXPECT_THROW(s.copy_range(Field::key, nullptr, nullptr, sink), Failure);
  EXPECT_THROW(s.copy_range(Field::key, nullptr, &*i4(4), sink), Failure);
  EXPECT_THROW(s.seek(*i4(1), 4, *found.get()), Failure);
  EXPECT_THROW(s.next_keys(s.open_position(), 1, sink), Failure);
}

}  // namespace
}  // namespace quilmar::test
