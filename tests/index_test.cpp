// Positions: KeyAt, ItemAt, IndexOf, RemoveAt and Position against a sorted model, through random
// insertions and removals of every rebalancing and removal case; the verifier checks the
// small-side counts (I7) after each step.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "store/verify.h"
#include "values.h"

namespace quilmar::test {
namespace {

LONG int_of(const VARIANT& v) {
  return v.vt == VT_I4 ? v.lVal : -999;
}

// Keys in key order, equal keys in insertion order; the payload is the insertion number.
struct Entry {
  LONG key, payload;
};

TEST(Index, EveryPositionAgreesWithTheSortedModelThroughInsertsAndRemovals) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    std::mt19937 rng(seed);
    const LONG range = seed % 3 ? 1000 : 8;  // some seeds: many equal keys
    Store s;
    ASSERT_TRUE(s.alloc(100));
    std::vector<Entry> model;
    LONG inserted = 0;
    for (int step = 0; step < 600; ++step) {
      const unsigned what = rng() % 10;
      if (what < 6 || model.empty()) {
        const LONG k = static_cast<LONG>(rng() % range);
        s.indata(*i4(k), *i4(inserted));
        const auto at = std::upper_bound(model.begin(), model.end(), k,
                                         [](LONG key, const Entry& e) { return key < e.key; });
        model.insert(at, {k, inserted++});
      } else if (what < 8) {
        const auto i = static_cast<LONG>(rng() % model.size());
        s.remove_at(i);
        model.erase(model.begin() + i);
      } else {
        const LONG k = model[rng() % model.size()].key;
        s.remove(*i4(k));
        std::erase_if(model, [k](const Entry& e) { return e.key == k; });
      }
      const Report r = verify(s);
      ASSERT_TRUE(r.ok()) << "seed " << seed << ", step " << step << ": " << r.text();
      if (step % 50 != 0 && step != 599) continue;
      for (std::size_t i = 0; i < model.size(); ++i) {
        Variant key, payload;
        s.key_at(static_cast<LONG>(i), *key.get());
        s.item_at(static_cast<LONG>(i), *payload.get());
        ASSERT_EQ(int_of(*key), model[i].key) << "seed " << seed << ", KeyAt " << i;
        ASSERT_EQ(int_of(*payload), model[i].payload) << "seed " << seed << ", ItemAt " << i;
        const auto first = std::find_if(model.begin(), model.end(),
                                        [&](const Entry& e) { return e.key == model[i].key; });
        ASSERT_EQ(s.index_of(*key), first - model.begin()) << "seed " << seed << ", IndexOf";
      }
    }
  }
}

TEST(Index, OutsideTheRangeFailsAndChangesNothing) {
  Store s;
  ASSERT_TRUE(s.alloc(100));
  for (LONG k : {30, 10, 20}) s.indata(*i4(k), *i4(k));
  Variant out;
  for (const LONG bad : {LONG{-1}, LONG{3}, LONG{0x7FFFFFFF}, static_cast<LONG>(0x80000000)}) {
    EXPECT_THROW(s.key_at(bad, *out.get()), Failure) << bad;
    EXPECT_THROW(s.item_at(bad, *out.get()), Failure) << bad;
    EXPECT_THROW(s.put_item_at(bad, *i4(0)), Failure) << bad;
    EXPECT_THROW(s.remove_at(bad), Failure) << bad;
    EXPECT_THROW(s.set_position(bad), Failure) << bad;
  }
  EXPECT_EQ(s.data_number(), 3);
  EXPECT_EQ(s.index_of(*i4(25)), -1);
  EXPECT_EQ(s.index_of(*null()), -1) << "a key the store could never hold is not found";
  s.put_item_at(1, *text("twenty"));
  Variant payload;
  s.item_at(1, *payload.get());
  EXPECT_EQ(describe(*payload), "BSTR \"twenty\"");
}

TEST(Index, PositionFollowsTheCursorAndMovesIt) {
  Store s;
  ASSERT_TRUE(s.alloc(100));
  EXPECT_EQ(s.position(), -1) << "an empty store";
  for (LONG k : {50, 20, 80, 10, 30, 70, 90}) s.indata(*i4(k), *i4(k));
  MODEVAL mode = START_READ;
  const auto read = [&] {  // each answer in a Variant of its own: Read overwrites its result
    Variant key;
    s.read(mode, *key.get());
    return int_of(*key);
  };
  read();
  EXPECT_EQ(s.position(), 0);
  s.set_position(4);  // 70
  mode = READ_NEXT;
  EXPECT_EQ(read(), 80);
  EXPECT_EQ(s.position(), 5);
  read();
  read();  // past the end: blocked
  EXPECT_EQ(mode, FAULT);
  EXPECT_EQ(s.position(), -1) << "while reading is blocked";
  s.set_position(2);  // lifts the block, as Find does
  EXPECT_EQ(s.read_mode(), WRITE_DATA);
  mode = READ_NEXT;
  EXPECT_EQ(read(), 50);
  s.remove_at(3);  // the cursor's pair: the cursor goes to the next one
  EXPECT_EQ(s.position(), 3);
  Variant now;
  s.read_sub(*now.get());
  EXPECT_EQ(int_of(*now), 70);
}

}  // namespace
}  // namespace quilmar::test
