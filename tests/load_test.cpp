// Load at the store: pairs in array order under each policy, all or nothing on every failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "seams.h"
#include "store/verify.h"
#include "store_view.h"
#include "values.h"

namespace quilmar::test {
namespace {

using Rows = std::vector<Store::LoadRow>;

Rows rows_of(const std::vector<Variant>& keys) {
  Rows rows;
  LONG row = 1;
  for (const Variant& k : keys) {
    Store::LoadRow r{Variant(*k), i4(row), row};
    rows.push_back(std::move(r));
    ++row;
  }
  return rows;
}

std::vector<std::string> pairs(const Store& s) {
  std::vector<std::string> out;
  for (std::size_t slot : in_order(s))
    out.push_back(describe(s.table()[slot].Data) + "=" + describe(s.table()[slot].SubData));
  return out;
}

TEST(Load, PairsGoInAsIndataOrItemPutPutsThem) {
  using V = std::vector<std::string>;
  const struct {
    const char* label;
    EGN_MOD policy;
    Store::LoadAs as;
    V want;
  } table[] = {
      {"every copy, in array order",
       NOT_EGNORE,
       Store::LoadAs::indata,
       {"I4 1=I4 0", "I4 2=I4 1", "I4 2=I4 3", "I2 2=I4 5", "I4 3=I4 4"}},
      {"the first kept",
       USE_FIRST_DATA,
       Store::LoadAs::indata,
       {"I4 1=I4 0", "I4 2=I4 1", "I4 3=I4 4"}},
      {"the last replaces, key and all",
       USE_LAST_DATA,
       Store::LoadAs::indata,
       {"I4 1=I4 0", "I2 2=I4 5", "I4 3=I4 4"}},
      {"as Item put: the payload replaced",
       NOT_EGNORE,
       Store::LoadAs::item,
       {"I4 1=I4 0", "I4 2=I4 5", "I4 3=I4 4"}},
  };
  for (const auto& row : table) {
    Store s;
    ASSERT_TRUE(s.alloc(100));
    s.set_egnore(row.policy);
    s.indata(*i4(1), *i4(0));
    s.indata(*i4(2), *i4(1));
    std::vector<Variant> keys;
    keys.push_back(i4(2));
    keys.push_back(i4(3));
    keys.push_back(i2(2));
    Rows rows = rows_of(keys);
    rows[0].payload = i4(3);
    rows[1].payload = i4(4);
    rows[2].payload = i4(5);
    EXPECT_EQ(s.load(rows, row.as), 3u) << row.label;
    EXPECT_EQ(pairs(s), row.want) << row.label;
    EXPECT_TRUE(verify(s).ok()) << row.label << verify(s).text();
  }
}

TEST(Load, InOrderReverseAndRandomSourcesKeepEveryInvariant) {
  for (const char* kind : {"ascending", "descending", "random", "equal"}) {
    std::vector<LONG> keys(3000);
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<LONG>(i);
    if (kind[0] == 'd') std::reverse(keys.begin(), keys.end());
    if (kind[0] == 'r') std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
    if (kind[0] == 'e') std::fill(keys.begin(), keys.end(), 5);
    Store s;
    ASSERT_TRUE(s.alloc(100));
    s.indata(*i4(1500), *i4(-1));
    Rows rows;
    for (std::size_t i = 0; i < keys.size(); ++i)
      rows.push_back({i4(keys[i]), i4(static_cast<LONG>(i)), static_cast<LONG>(i)});
    EXPECT_EQ(s.load(rows, Store::LoadAs::indata), keys.size());
    EXPECT_TRUE(verify(s).ok()) << kind << verify(s).text();
    EXPECT_EQ(s.data_number(), 3001) << kind;
    EXPECT_EQ(s.memory_size(), 3100) << kind << ": grown 100 slots at a time";
  }
}

// Whatever fails, the store is as it was: keys, payloads, counts, sizes, cursor.
TEST(Load, AFailureUndoesEverythingAndNamesItsRow) {
  const struct {
    const char* label;
    float siz;
    EGN_MOD policy;
    std::size_t limit_slots;  // the heap's size, in slots (0: no limit)
    std::size_t bad_row;      // a row whose key the store cannot hold (0: none)
    HRESULT code;
    const char* description;
    Store::LoadAs as = Store::LoadAs::indata;
  } table[] = {
      {"a key the store cannot hold", 100, NOT_EGNORE, 0, 4, kInvalidArgument,
       "Invalid procedure call or argument (row 4)"},
      {"the heap runs out while the table grows", 100, USE_LAST_DATA, 150, 0, kOutOfMemory,
       "Out of memory (row 101)"},
      {"a fractional table fills", 9.5f, USE_LAST_DATA, 0, 0, kOutOfMemory,
       "Out of memory (row 12)"},
      {"as Item put, the heap runs out after payloads were replaced", 100, NOT_EGNORE, 150, 0,
       kOutOfMemory, "Out of memory (row 101)", Store::LoadAs::item},
  };
  for (const auto& row : table) {
    Store s;
    ASSERT_TRUE(s.alloc(row.siz));
    for (LONG k : {5, 3}) s.indata(*i4(k), *text("old"));
    s.set_egnore(row.policy);
    MODEVAL mode = END_READ;
    Variant ignored;
    s.read(mode, *ignored.get());
    const Snapshot before = snapshot(s);
    std::vector<Variant> keys;
    // Rows 1 and 3 hold keys equal to the stored 3 and 5, of another kind, so a key put back in
    // the wrong spelling shows.
    for (LONG k = 0; k < 200; ++k) keys.push_back(k == 0 || k == 2 ? r8(k + 3) : i4(k + 100));
    if (row.bad_row) keys[row.bad_row - 1] = null();
    Rows rows = rows_of(keys);
    try {
      std::unique_ptr<AllocationLimit> limit;
      if (row.limit_slots) limit = std::make_unique<AllocationLimit>(row.limit_slots);
      s.load(rows, row.as);
      ADD_FAILURE() << row.label << ": no failure";
    } catch (const Failure& f) {
      EXPECT_EQ(f.code(), row.code) << row.label;
      EXPECT_EQ(to_utf8(f.description()), row.description) << row.label;
    }
    EXPECT_TRUE(snapshot(s) == before) << row.label;
    EXPECT_TRUE(verify(s).ok()) << row.label << verify(s).text();
    EXPECT_EQ(describe(*rows[0].payload), "I4 1") << row.label << ": the row has its pair again";
  }
}

}  // namespace
}  // namespace quilmar::test
