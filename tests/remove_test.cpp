// Removal: each case of the deletion field by field, the cursor and enumerators, equal keys,
// sequences against a model, the height after many removals, and the memory given back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <numeric>
#include <random>

#include "seams.h"
#include "store/verify.h"
#include "store_view.h"
#include "values.h"

namespace quilmar::test {
namespace {

constexpr BALANCESTS B = BALANCED, S = SMALLV, G = BIGV;

// Each key's payload is the key times ten.
Store ints(const std::vector<LONG>& keys, float size = 100) {
  Store s;
  EXPECT_TRUE(s.alloc(size));
  for (LONG k : keys) s.indata(*i4(k), *i4(k * 10));
  EXPECT_EQ(s.data_number(), static_cast<LONG>(keys.size())) << "a key of the setup was refused";
  return s;
}

LONG int_of(const VARIANT& v) {
  return v.vt == VT_I4 ? v.lVal : -999;
}

// The keys in read order, with their payloads checked against them.
std::vector<LONG> keys_of(const Store& s) {
  std::vector<LONG> keys;
  for (std::size_t slot : in_order(s)) {
    const AVLtree& r = s.table()[slot];
    EXPECT_EQ(int_of(r.SubData), int_of(r.Data) * 10) << "a payload left its key";
    keys.push_back(int_of(r.Data));
  }
  return keys;
}

void expect_sound(const Store& s) {
  const Report r = verify(s);
  EXPECT_TRUE(r.ok()) << r.text();
}

TEST(Remove, EachCaseLeavesThisExactTree) {
  const struct {
    const char* label;
    std::vector<LONG> keys;
    LONG removed;
    std::vector<Shape> table;
    LONG top;  // the key in slot 0 afterwards
  } rows[] = {
      {"a leaf in the last slot",
       {50, 30, 70, 20},
       20,
       {{0, -1, 1, 2, B}, {1, 0, -1, -1, B}, {2, 0, -1, -1, B}},
       50},
      {"a leaf: the last slot's node moves into its slot",
       {50, 30, 70, 20},
       70,
       {{0, -1, 1, -1, B}, {1, 0, 2, -1, S}, {2, 1, -1, -1, B}},
       50},
      {"one child takes its place",
       {50, 30, 70, 20},
       30,
       {{0, -1, 1, 2, B}, {1, 0, -1, -1, B}, {2, 0, -1, -1, B}},
       50},
      {"two children, the successor its big child",
       {50, 30, 20, 40, 45},
       30,
       {{0, -1, 3, -1, B}, {1, 3, -1, -1, B}, {2, 3, -1, -1, B}, {3, 0, 2, 1, B}},
       50},
      {"two children, the successor deeper down",
       {50, 30, 20, 40, 35},
       30,
       {{0, -1, 1, -1, B}, {1, 0, 2, 3, B}, {2, 1, -1, -1, B}, {3, 1, -1, -1, B}},
       50},
      {"slot 0 takes its successor's pair",
       {50, 30, 70, 60},
       50,
       {{0, -1, 1, 2, B}, {1, 0, -1, -1, B}, {2, 0, -1, -1, B}},
       60},
      {"slot 0 without bigger keys takes its predecessor's pair",
       {50, 30, 40},
       50,
       {{0, -1, 1, -1, B}, {1, 0, -1, -1, B}},
       40},
      {"single rotation to the small side",
       {100, 50, 30, 70, 20},
       70,
       {{0, -1, 2, -1, B}, {1, 2, -1, -1, B}, {2, 0, 3, 1, B}, {3, 2, -1, -1, B}},
       100},
      {"single rotation to the small side over an even child",
       {100, 50, 30, 70, 20, 40},
       70,
       {{0, -1, 2, -1, B}, {1, 2, 3, -1, S}, {2, 0, 4, 1, G}, {3, 1, -1, -1, B}, {4, 2, -1, -1, B}},
       100},
      {"double rotation to the small side",
       {100, 50, 30, 70, 40},
       70,
       {{0, -1, 3, -1, B}, {1, 3, -1, -1, B}, {2, 3, -1, -1, B}, {3, 0, 2, 1, B}},
       100},
      {"single rotation to the big side",
       {1, 50, 70, 30, 80},
       30,
       {{0, -1, -1, 2, B}, {1, 2, -1, -1, B}, {2, 0, 1, 3, B}, {3, 2, -1, -1, B}},
       1},
      {"single rotation to the big side over an even child",
       {1, 50, 70, 30, 80, 60},
       30,
       {{0, -1, -1, 2, B}, {1, 2, -1, 3, G}, {2, 0, 1, 4, S}, {3, 1, -1, -1, B}, {4, 2, -1, -1, B}},
       1},
      {"double rotation to the big side",
       {1, 50, 70, 30, 60},
       30,
       {{0, -1, -1, 3, B}, {1, 3, -1, -1, B}, {2, 3, -1, -1, B}, {3, 0, 1, 2, B}},
       1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Store s = ints(row.keys);
    std::vector<LONG> want = row.keys;
    want.erase(std::find(want.begin(), want.end(), row.removed));
    std::sort(want.begin(), want.end());
    EXPECT_EQ(s.remove(*i4(row.removed)), 1u);
    ASSERT_EQ(s.data_number(), static_cast<LONG>(row.table.size()));
    for (const Shape& n : row.table) EXPECT_EQ(describe(shape(s, n.slot)), describe(n));
    EXPECT_EQ(int_of(s.table()[0].Data), row.top);
    EXPECT_EQ(keys_of(s), want);
    EXPECT_EQ(first_used_slot(s.table(), row.table.size()), s.table().size());
    expect_sound(s);
  }
}

TEST(Remove, TheLastKeyEmptiesTheStoreAndAnAbsentKeyRemovesNothing) {
  Store s = ints({5});
  EXPECT_EQ(s.remove(*i4(4)), 0u);
  EXPECT_EQ(s.remove(*text("")), 0u);
  EXPECT_EQ(s.remove(*null()), 0u);
  EXPECT_EQ(s.remove(*i4(5)), 1u);
  EXPECT_EQ(s.data_number(), 0);
  EXPECT_EQ(s.memory_size(), 100);
  EXPECT_TRUE(is_free(s.table()[0]));
  EXPECT_EQ(s.remove(*i4(5)), 0u);
  expect_sound(s);
  s.indata(*i4(7), *i4(70));
  EXPECT_EQ(keys_of(s), std::vector<LONG>{7});
}

// Equal keys: every copy goes, with its payload, and the others keep their order.
TEST(Remove, EveryEqualKeyGoesAndTheRestKeepTheirOrder) {
  Store s;
  ASSERT_TRUE(s.alloc(100));
  const LONG keys[] = {5, 3, 5, 8, 3, 5, 1, 3, 8};
  for (std::size_t i = 0; i < std::size(keys); ++i)
    s.indata(*i4(keys[i]), *i4(static_cast<LONG>(i)));
  EXPECT_EQ(s.remove(*r8(5.0)), 3u) << "keys compare as insertion compares them";
  expect_sound(s);
  std::vector<std::pair<LONG, LONG>> seen;
  for (std::size_t slot : in_order(s))
    seen.emplace_back(int_of(s.table()[slot].Data), int_of(s.table()[slot].SubData));
  const std::vector<std::pair<LONG, LONG>> want = {{1, 6}, {3, 1}, {3, 4}, {3, 7}, {8, 3}, {8, 8}};
  EXPECT_EQ(seen, want);
}

// Read's answer after a removal, from where the cursor was put.
TEST(Remove, TheCursorStaysOrMovesToTheNextBiggerKey) {
  const struct {
    const char* label;
    LONG on;             // the cursor's key (Find)
    LONG removed;        // 0: RemoveCurrent
    const char* answer;  // RemoveCurrent's
    LONG sub;            // ReadSub afterwards: the cursor's key's payload
  } rows[] = {
      {"RemoveCurrent in the middle", 30, 0, "I4 40", 400},
      {"RemoveCurrent of slot 0's key", 50, 0, "I4 60", 600},
      {"RemoveCurrent of the biggest: slot 0", 70, 0, "BSTR \"\"", 500},
      {"Remove of another key", 30, 40, "", 300},
      {"Remove of the cursor's key", 30, 30, "", 400},
      {"Remove of the cursor's key, the last slot's", 60, 60, "", 700},
      {"Remove of the biggest under the cursor", 70, 70, "", 500},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Store s = ints({50, 30, 70, 20, 40, 60});
    ASSERT_TRUE(s.find(*i4(row.on)));
    if (row.removed == 0) {
      Variant answer;
      s.remove_current(*answer.get());
      EXPECT_EQ(describe(*answer), row.answer);
    } else {
      EXPECT_EQ(s.remove(*i4(row.removed)), 1u);
    }
    Variant sub;
    s.read_sub(*sub.get());
    EXPECT_EQ(int_of(*sub), row.sub);
    EXPECT_NE(s.read_mode(), FAULT);
    expect_sound(s);
  }
}

TEST(Remove, RemoveCurrentDoesNothingWhileBlockedOrEmpty) {
  Store s = ints({2, 1});
  MODEVAL mode = END_READ;
  Variant key;
  s.read(mode, *key.get());
  mode = READ_NEXT;
  s.read(mode, *key.get());
  ASSERT_EQ(s.read_mode(), FAULT);
  const Snapshot blocked = snapshot(s);
  Variant answer;
  s.remove_current(*answer.get());
  EXPECT_EQ(describe(*answer), "BSTR \"\"");
  EXPECT_TRUE(snapshot(s) == blocked);
  s.remove_all();
  EXPECT_EQ(s.read_mode(), WRITE_DATA) << "RemoveAll opens a blocked reading";
  EXPECT_EQ(s.egnore(), NOT_EGNORE);
  Variant none;
  s.remove_current(*none.get());
  EXPECT_EQ(describe(*none), "BSTR \"\"");
  EXPECT_EQ(s.data_number(), 0);
}

TEST(Remove, RemoveAllKeepsThePolicyAndTheSize) {
  Store s = ints({4, 2, 6, 1, 3, 5, 7}, 250);
  s.set_egnore(USE_FIRST_DATA);
  s.remove_all();
  EXPECT_EQ(s.data_number(), 0);
  EXPECT_EQ(s.memory_size(), 250);
  EXPECT_EQ(s.egnore(), USE_FIRST_DATA);
  EXPECT_EQ(s.current_index(), 0);
  expect_sound(s);
  for (LONG k : {9, 8, 9}) s.indata(*i4(k), *i4(k * 10));
  EXPECT_EQ(keys_of(s), (std::vector<LONG>{8, 9}));
}

// Collects an enumerator's keys.
class Keys final : public ValueSink {
 public:
  void take(const VARIANT& value) override { got.push_back(int_of(value)); }
  std::vector<LONG> got;
};

std::vector<LONG> next(Store& s, Positions::Id id, std::size_t most) {
  Keys k;
  s.next_keys(id, most, k);
  return k.got;
}

TEST(Remove, EnumeratorsGoOnWithTheNextBiggerKeyThatRemains) {
  const struct {
    const char* label;
    std::size_t taken;  // keys the enumerator returned first
    std::function<void(Store&)> change;
    std::vector<LONG> rest;
  } rows[] = {
      {"its own key removed", 2, [](Store& s) { s.remove(*i4(30)); }, {40, 50, 60, 70}},
      {"the smallest, its own", 1, [](Store& s) { s.remove(*i4(20)); }, {30, 40, 50, 60, 70}},
      {"its key moves: the last slot's node fills a hole",
       5,
       [](Store& s) { s.remove(*i4(70)); },  // 60 moves from slot 5 to slot 2
       {}},
      {"its key moves into slot 0", 5, [](Store& s) { s.remove(*i4(50)); }, {70}},
      {"slot 0's key, its own", 4, [](Store& s) { s.remove(*i4(50)); }, {60, 70}},
      {"keys ahead of it removed",
       2,
       [](Store& s) {
         s.remove(*i4(40));
         s.remove(*i4(60));
       },
       {50, 70}},
      {"by RemoveCurrent",
       3,
       [](Store& s) {
         s.find(*i4(40));
         Variant ignored;
         s.remove_current(*ignored.get());
       },
       {50, 60, 70}},
      {"everything removed, then keys inserted",
       3,
       [](Store& s) {
         s.remove_all();
         s.indata(*i4(10), *i4(100));
       },
       {10}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Store s = ints({50, 30, 70, 20, 40, 60});
    const Positions::Id id = s.open_position();
    const std::vector<LONG> all = {20, 30, 40, 50, 60, 70};
    EXPECT_EQ(next(s, id, row.taken),
              std::vector<LONG>(all.begin(), all.begin() + static_cast<long>(row.taken)));
    const float cursor = s.current_index();
    row.change(s);
    EXPECT_EQ(next(s, id, 10), row.rest);
    if (row.taken == 5 && row.rest.empty()) {
      EXPECT_EQ(s.current_index(), cursor) << "the cursor on slot 0 stays";
    }
    expect_sound(s);
  }
}

TEST(Remove, TheCursorFollowsItsNodeWhenItMoves) {
  Store s = ints({50, 30, 70, 20, 40, 60});
  ASSERT_TRUE(s.find(*i4(60)));  // slot 5, the last
  ASSERT_EQ(s.current_index(), 5);
  s.remove(*i4(30));  // frees slot 1: 60 moves there
  EXPECT_EQ(s.current_index(), 1);
  MODEVAL mode = READ_BACK;
  Variant key;
  s.read(mode, *key.get());
  EXPECT_EQ(int_of(*key), 50);
  expect_sound(s);
}

// Random sequences of insertions and the three removals against a sorted list of (key, number).
TEST(Remove, LongSequencesAgreeWithAModel) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    const LONG range = seed % 2 ? 30 : 100000;
    Store s;
    ASSERT_TRUE(s.alloc(100));
    std::vector<std::pair<LONG, LONG>> model;  // in read order
    LONG number = 0;
    for (int op = 0; op < 4000; ++op) {
      const LONG k = static_cast<LONG>(rng() % static_cast<unsigned>(range));
      const unsigned what = rng() % 16;
      if (what < 8) {
        s.indata(*i4(k), *i4(number));
        const auto at = std::upper_bound(model.begin(), model.end(), std::make_pair(k, number));
        model.insert(at, {k, number++});
      } else if (what < 13) {
        const auto first =
            std::lower_bound(model.begin(), model.end(), std::make_pair(k, LONG{-1}));
        auto last = first;
        while (last != model.end() && last->first == k) ++last;
        ASSERT_EQ(s.remove(*i4(k)), static_cast<std::size_t>(last - first));
        model.erase(first, last);
      } else if (what < 15 && !model.empty()) {
        const auto victim = model.begin() + static_cast<long>(rng() % model.size());
        // The cursor on the first of the victim's equal keys, which RemoveCurrent removes.
        ASSERT_TRUE(s.seek(*i4(victim->first), SEEK_FIRST_EQ, *Variant().get()));
        Variant answer;
        const auto first =
            std::lower_bound(model.begin(), model.end(), std::make_pair(victim->first, LONG{-1}));
        s.remove_current(*answer.get());
        const auto after = model.erase(first);
        if (after == model.end())
          EXPECT_EQ(describe(*answer), "BSTR \"\"");
        else
          EXPECT_EQ(int_of(*answer), after->first);
      } else if (rng() % 20 == 0) {
        s.remove_all();
        model.clear();
      }
      const Report r = verify(s);
      ASSERT_TRUE(r.ok()) << "op " << op << "\n" << r.text();
      ASSERT_EQ(r.nodes, model.size());
      if (op % 50 == 0 || model.size() < 20) {
        std::vector<std::pair<LONG, LONG>> seen;
        for (std::size_t slot : in_order(s))
          seen.emplace_back(int_of(s.table()[slot].Data), int_of(s.table()[slot].SubData));
        ASSERT_EQ(seen, model) << "op " << op;
      }
    }
  }
}

// Many random removals: both subtrees under slot 0 stay AVL-shallow and everything left reads
// back in order.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

TEST(Remove, HalfOfAMillionKeysRemovedLeaveShallowTrees) {
  // Fixed keys: a repeat checks nothing new, and under the sanitizers it costs half a minute. (Not
  // reported as skipped, which would hide the first run's outcome from CTest.)
  static int runs = 0;
  if (kSanitized && runs++ > 0) return;
  const LONG n = 1000000;
  std::vector<LONG> keys(static_cast<std::size_t>(n));
  std::iota(keys.begin(), keys.end(), 0);
  std::mt19937 rng(16);
  std::shuffle(keys.begin(), keys.end(), rng);
  Store s;
  ASSERT_TRUE(s.alloc(100));
  for (LONG k : keys) s.indata(*i4(k), *i4(k));
  std::shuffle(keys.begin(), keys.end(), rng);
  for (std::size_t i = 0; i < keys.size() / 2; ++i) ASSERT_EQ(s.remove(*i4(keys[i])), 1u);
  const Report r = verify(s);
  ASSERT_TRUE(r.ok()) << r.text();
  ASSERT_EQ(r.nodes, keys.size() / 2);
  std::vector<LONG> rest(keys.begin() + n / 2, keys.end());
  std::sort(rest.begin(), rest.end());
  const std::vector<std::size_t> order = in_order(s);
  const auto small = static_cast<double>(std::find(order.begin(), order.end(), 0) - order.begin());
  const double big = static_cast<double>(order.size()) - small - 1;
  EXPECT_LE(r.small_height, 1.45 * std::log2(small + 2));
  EXPECT_LE(r.big_height, 1.45 * std::log2(big + 2));
  std::printf("heights under slot 0 after removals: %d (%.0f keys), %d (%.0f keys)\n",
              r.small_height, small, r.big_height, big);
  MODEVAL mode = START_READ;
  for (LONG want : rest) {
    Variant key;
    s.read(mode, *key.get());
    ASSERT_EQ(int_of(*key), want);
    mode = READ_NEXT;
  }
}

TEST(Remove, MemoryGoesBackWithRoomForTheKeysLeft) {
  Store s = ints({});
  for (LONG k = 0; k < 20000; ++k) s.indata(*i4(k), *i4(k * 10));
  const std::size_t full = s.table().built();
  for (LONG k = 0; k < 19000; ++k) s.remove(*i4(k));
  const std::size_t after = s.table().built();
  EXPECT_LT(after, full / 4);
  EXPECT_GE(after, 1000u);
  EXPECT_EQ(s.memory_size(), 20000);
  // Near the boundary, alternating insertions and removals change nothing.
  for (int i = 0; i < 100; ++i) {
    s.indata(*i4(-1), *i4(-10));
    s.remove(*i4(-1));
  }
  EXPECT_EQ(s.table().built(), after);
  expect_sound(s);
  s.remove_all();
  EXPECT_LT(s.table().built(), after);
  EXPECT_EQ(s.memory_size(), 20000);
  for (LONG k = 0; k < 20000; ++k) s.indata(*i4(k), *i4(k * 10));
  EXPECT_EQ(s.data_number(), 20000) << "keys come back into the memory given back";
  expect_sound(s);
}

TEST(Remove, RemovalAsksForNoMemory) {
  Store s = ints({50, 30, 70, 20, 40, 60, 10});
  const AllocationLimit none(0);
  EXPECT_EQ(s.remove(*i4(30)), 1u);
  ASSERT_TRUE(s.find(*i4(50)));
  Variant answer;
  s.remove_current(*answer.get());
  EXPECT_EQ(int_of(*answer), 60);
  EXPECT_EQ(keys_of(s), (std::vector<LONG>{10, 20, 40, 60, 70}));
  s.remove_all();
  expect_sound(s);
}

// An object whose release calls back into the store, as a script object's Terminate may.
class Calling final : public IUnknown {
 public:
  explicit Calling(std::function<void()> on_release) : on_release_(std::move(on_release)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    if (--refs == 1 && on_release_) std::exchange(on_release_, nullptr)();
    return refs;
  }
  ULONG refs = 1;

 private:
  std::function<void()> on_release_;
};

TEST(Remove, APayloadsReleaseFindsTheStoreWhole) {
  const struct {
    const char* label;
    std::function<void(Store&)> during;
    std::function<void(Store&)> removal;
    std::vector<LONG> left;
    bool pending = false;  // RemoveAll: slots past Count still hold pairs waiting for release
  } rows[] = {
      {"Remove, which removes more from the release",
       [](Store& s) { s.remove(*i4(7)); },
       [](Store& s) { s.remove(*i4(5)); },
       {1, 3, 9}},
      {"Remove, which inserts the key again",
       [](Store& s) { s.indata(*i4(5), *i4(50)); },
       [](Store& s) { s.remove(*i4(5)); },
       {1, 3, 5, 7, 9}},
      {"RemoveAll, which inserts",
       [](Store& s) { s.indata(*i4(2), *i4(20)); },
       [](Store& s) { s.remove_all(); },
       {2},
       true},
      {"RemoveCurrent, which empties the store",
       [](Store& s) { s.remove_all(); },
       [](Store& s) {
         Variant ignored;
         s.seek(*i4(5), SEEK_LAST_EQ, *ignored.get());
         s.remove_current(*ignored.get());
       },
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Store s = ints({5, 3, 7, 1, 9, 5});
    Calling object([&] {
      if (!row.pending) expect_sound(s);
      row.during(s);
    });
    VARIANT payload;
    VariantInit(&payload);
    payload.vt = VT_UNKNOWN;
    payload.punkVal = &object;
    s.indata(*i4(5), payload);  // the third 5
    row.removal(s);
    EXPECT_EQ(object.refs, 1u);
    expect_sound(s);
    std::vector<LONG> left;
    for (std::size_t slot : in_order(s)) left.push_back(int_of(s.table()[slot].Data));
    EXPECT_EQ(left, row.left);
  }
}

}  // namespace
}  // namespace quilmar::test
