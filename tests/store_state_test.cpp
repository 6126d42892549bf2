// The store's state: construction defaults, Alloc and its failures, Egnore, the sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/failure.h"
#include "seams.h"
#include "store_view.h"
#include "values.h"

namespace quilmar::test {
namespace {

Store constructed() {
  Store s;
  EXPECT_TRUE(s.alloc(100));
  return s;
}

TEST(StoreState, ConstructionLeavesOneHundredAndOneFreeSlots) {
  const Store s = constructed();
  EXPECT_EQ(s.memory_size(), 100);
  EXPECT_EQ(s.data_number(), 0);
  EXPECT_EQ(s.egnore(), NOT_EGNORE);
  EXPECT_EQ(s.read_mode(), WRITE_DATA);
  EXPECT_EQ(s.current_index(), 0);
  EXPECT_EQ(Text(Store::version()), T("Ver1.06"));
  ASSERT_EQ(s.table().size(), 101u);
  EXPECT_EQ(first_used_slot(s.table()), 101u);
}

TEST(StoreState, AllocBuildsTablesOfTheRoundedSize) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float siz;
    bool built;
    LONG memory_size;   // as reported afterwards
    std::size_t slots;  // table size afterwards (the old table's 101 when not built)
  } rows[] = {
      {100000, true, 100000, 100001},
      {10.5f, true, 10, 11},  // halves go to the even neighbour
      {11.5f, true, 12, 13},
      {0, true, 0, 1},
      {-0.4f, true, 0, 1},
      {-1, false, -1, 101},
      {16777218, false, 16777218, 101},
      {3e9f, false, 0, 101},  // MemorySize overflows: checked apart
      {nan, false, 0, 101},
  };
  for (const auto& row : rows) {
    Store s = constructed();
    s.set_egnore(USE_LAST_DATA);
    EXPECT_EQ(s.alloc(row.siz), row.built) << row.siz;
    EXPECT_EQ(s.table().size(), row.slots) << row.siz;
    EXPECT_EQ(first_used_slot(s.table()), row.slots) << row.siz;
    EXPECT_EQ(s.egnore(), row.built ? NOT_EGNORE : USE_LAST_DATA) << row.siz;
    if (row.memory_size != 0 || row.built) {
      EXPECT_EQ(s.memory_size(), row.memory_size) << row.siz;
    }
    EXPECT_EQ(s.data_number(), 0);
  }
}

TEST(StoreState, SizesBeyondTheIntegerRangeFailWithOverflow) {
  for (float siz : {3e9f, -3e9f, std::numeric_limits<float>::quiet_NaN(),
                    std::numeric_limits<float>::infinity()}) {
    Store s = constructed();
    EXPECT_FALSE(s.alloc(siz));
    try {
      (void)s.memory_size();
      ADD_FAILURE() << siz;
    } catch (const Failure& f) {
      EXPECT_EQ(f.code(), kOverflow) << siz;
    }
    EXPECT_EQ(s.data_number(), 0);
  }
}

TEST(StoreState, EgnoreKeepsAnyValueUntilAlloc) {
  Store s = constructed();
  for (LONG v : {1, 2, 0, 7, -5, 0x7FFFFFFF}) {
    s.set_egnore(static_cast<EGN_MOD>(v));
    EXPECT_EQ(s.egnore(), v);
  }
  EXPECT_TRUE(s.alloc(50));
  EXPECT_EQ(s.egnore(), NOT_EGNORE);
}

TEST(StoreState, FailedAllocKeepsTheOldTableWhenMemoryRunsOut) {
  Store s = constructed();
  {
    const AllocationLimit refused(0);
    EXPECT_FALSE(s.alloc(5000));
  }
  EXPECT_EQ(s.memory_size(), 5000);  // the size asked for, as the class reports it
  EXPECT_EQ(s.table().size(), 101u);
  EXPECT_TRUE(s.alloc(5000));
  EXPECT_EQ(s.table().size(), 5001u);
}

}  // namespace
}  // namespace quilmar::test
