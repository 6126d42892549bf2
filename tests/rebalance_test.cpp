// Rebalancing: the rotations field by field, and the invariants over long random sequences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "store/verify.h"
#include "store_view.h"
#include "values.h"

namespace quilmar::test {
namespace {

constexpr BALANCESTS B = BALANCED, S = SMALLV, G = BIGV;

Store filled(const std::vector<LONG>& keys) {
  Store s;
  EXPECT_TRUE(s.alloc(100));
  for (LONG k : keys) s.indata(*i4(k), *text(""));
  EXPECT_EQ(s.data_number(), static_cast<LONG>(keys.size())) << "a key of the setup was refused";
  return s;
}

TEST(Rebalance, RotationsLeaveTheseExactTrees) {
  const struct {
    const char* label;
    std::vector<LONG> keys;
    std::vector<Shape> table;
  } rows[] = {
      {"1..7: three single rotations to the big side",
       {1, 2, 3, 4, 5, 6, 7},
       {{0, -1, -1, 4, B},
        {1, 2, -1, -1, B},
        {2, 4, 1, 3, B},
        {3, 2, -1, -1, B},
        {4, 0, 2, 5, B},
        {5, 4, -1, 6, G},
        {6, 5, -1, -1, B}}},
      {"7..1: the mirror image",
       {7, 6, 5, 4, 3, 2, 1},
       {{0, -1, 4, -1, B},
        {1, 2, -1, -1, B},
        {2, 4, 3, 1, B},
        {3, 2, -1, -1, B},
        {4, 0, 5, 2, B},
        {5, 4, 6, -1, S},
        {6, 5, -1, -1, B}}},
      {"10 20 40 30: a double rotation under slot 0",
       {10, 20, 40, 30},
       {{0, -1, -1, 3, B}, {1, 3, -1, -1, B}, {2, 3, -1, -1, B}, {3, 0, 1, 2, B}}},
      {"0 1 1 1 0 0: equal keys, a double rotation to the small side",
       {0, 1, 1, 1, 0, 0},
       {{0, -1, -1, 2, B},
        {1, 5, -1, -1, B},
        {2, 0, 5, 3, S},
        {3, 2, -1, -1, B},
        {4, 5, -1, -1, B},
        {5, 2, 4, 1, B}}},
      {"10 20 40 15: a leaning node evens out",
       {10, 20, 40, 15},
       {{0, -1, -1, 1, B}, {1, 0, 3, 2, B}, {2, 1, -1, -1, B}, {3, 1, -1, -1, B}}},
      {"10 20 5: nodes under slot 0 change no balance",
       {10, 20, 5},
       {{0, -1, 2, 1, B}, {1, 0, -1, -1, B}, {2, 0, -1, -1, B}}},
      {"50 30 20 10: a single rotation to the small side",
       {50, 30, 20, 10},
       {{0, -1, 2, -1, B}, {1, 2, -1, -1, B}, {2, 0, 3, 1, B}, {3, 2, -1, -1, B}}},
      {"a double rotation below a node that keeps leaning",
       {100, 50, 20, 70, 60, 65},
       {{0, -1, 1, -1, B},
        {1, 0, 2, 5, G},
        {2, 1, -1, -1, B},
        {3, 5, -1, -1, B},
        {4, 5, -1, -1, B},
        {5, 1, 4, 3, B}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const Store s = filled(row.keys);
    ASSERT_EQ(s.data_number(), static_cast<LONG>(row.table.size()));
    for (const Shape& want : row.table) EXPECT_EQ(describe(shape(s, want.slot)), describe(want));
    EXPECT_TRUE(verify(s).ok()) << verify(s).text();
  }
}

TEST(Rebalance, EqualKeysReadInInsertionOrder) {
  const Store s = filled({0, 1, 1, 1, 0, 0});
  EXPECT_EQ(in_order(s), (std::vector<std::size_t>{0, 4, 5, 1, 2, 3}));
}

// Key sequences the invariants are checked over.
std::vector<Variant> sequence(const std::string& kind, int n, std::mt19937& rng) {
  std::vector<Variant> keys;
  for (int i = 0; i < n; ++i) {
    if (kind == "random")
      keys.push_back(i4(static_cast<LONG>(rng())));
    else if (kind == "ascending")
      keys.push_back(i4(i));
    else if (kind == "descending")
      keys.push_back(r8(-i * 0.5));
    else if (kind == "duplicates")
      keys.push_back(i2(static_cast<SHORT>(rng() % 7)));
    else if (rng() % 2)
      keys.push_back(r8(static_cast<double>(rng() % 1000) / 8));
    else
      keys.push_back(text(std::to_string(rng() % 1000).c_str()));
  }
  return keys;
}

TEST(Rebalance, InvariantsHoldAfterEveryInsertion) {
  std::mt19937 rng(20261208);
  for (const char* kind : {"random", "ascending", "descending", "duplicates", "mixed"}) {
    Store s;
    ASSERT_TRUE(s.alloc(100));
    const auto keys = sequence(kind, 1500, rng);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      s.indata(*keys[i], *i4(static_cast<LONG>(i)));
      const Report r = verify(s);
      ASSERT_TRUE(r.ok()) << kind << " after key " << i << "\n" << r.text();
      // An empty tree is trivially sound: each key must have been stored.
      ASSERT_EQ(r.nodes, i + 1) << kind;
    }
  }
}

TEST(Rebalance, InvariantsHoldOverLongSequences) {
  std::mt19937 rng(7);
  for (const char* kind : {"random", "ascending", "descending", "duplicates", "mixed"}) {
    Store s;
    ASSERT_TRUE(s.alloc(100));
    for (const Variant& k : sequence(kind, 100000, rng)) s.indata(*k, *text(""));
    const Report r = verify(s);
    EXPECT_TRUE(r.ok()) << kind << "\n" << r.text();
    EXPECT_EQ(r.nodes, 100000u) << kind;
  }
}

TEST(Rebalance, SubtreesUnderSlotZeroStayShallow) {
  const int n = 1000000;
  std::mt19937 rng(11);
  Store random_keys, ascending;
  random_keys.alloc(100);
  ascending.alloc(100);
  for (int i = 0; i < n; ++i) {
    random_keys.indata(*r8(std::ldexp(static_cast<double>(rng()), -7)), *empty());
    ascending.indata(*i4(i), *empty());
  }
  // Every key stored (duplicates included): a store that refused most of them would pass easily.
  ASSERT_EQ(random_keys.data_number(), n);
  ASSERT_EQ(ascending.data_number(), n);
  const Report r = verify(random_keys);
  ASSERT_TRUE(r.ok()) << r.text();
  ASSERT_EQ(r.nodes, static_cast<std::size_t>(n));
  const double bound = 1.45 * std::log2(n + 2.0);
  EXPECT_LE(std::max(r.small_height, r.big_height), bound);
  std::printf("random %d keys: heights under slot 0 %d and %d (bound %.1f)\n", n, r.small_height,
              r.big_height, bound);
  const Report a = verify(ascending);
  ASSERT_TRUE(a.ok()) << a.text();
  ASSERT_EQ(a.nodes, static_cast<std::size_t>(n));
  EXPECT_EQ(child(ascending.table()[0], Side::small), nil);
  EXPECT_LE(a.big_height, bound);
  std::printf("ascending %d keys: big height under slot 0 %d\n", n, a.big_height);
}

}  // namespace
}  // namespace quilmar::test
