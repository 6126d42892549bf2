// Reference counts and leaks: objects made, used and released many times, one released from
// inside its own walk, and memory pressure that ends in a refused allocation. Afterwards no
// object, reference or string is left and the library can unload.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "com_stand_in/live_strings.h"
#include "object.h"
#include "seams.h"
#include "server/avl_object.h"
#include "store/node_table.h"
#include "store/verify.h"
#include "values.h"

namespace quilmar::test {
namespace {

// A new object whose only reference the test releases itself.
_clsAVLt* create() {
  return TestObject<>().release();
}

const Store& store_of(_clsAVLt* obj) {
  return static_cast<const AvlObject*>(obj)->store();
}

void put(_clsAVLt* obj, const Variant& key, const Variant& payload) {
  VARIANT k = *key, p = *payload;
  Variant result;
  EXPECT_EQ(obj->Indata(&k, &p, result.get()), S_OK);
}

Variant object_value(Counted& c) {
  Variant v;
  v.get()->vt = VT_UNKNOWN;
  v.get()->punkVal = &c;
  c.AddRef();  // the Variant's own reference, released when it is cleared
  return v;
}

Variant read(_clsAVLt* obj, MODEVAL mode) {
  Variant result;
  EXPECT_EQ(obj->Read(&mode, result.get()), S_OK);
  return result;
}

// Strings alive now; -1 where the platform does not say (oleaut32).
struct StringCount {
  long at_start = live_bstr_count();
  void expect_back(const char* when) const {
    if (at_start >= 0) {
      EXPECT_EQ(live_bstr_count(), at_start) << when;
    }
  }
};

TEST(Lifetime, CreateUseReleaseCyclesLeaveNothingBehind) {
  const StringCount strings;
  Counted payload_object;
  for (int cycle = 0; cycle < 50; ++cycle) {
    _clsAVLt* obj = create();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(obj->AddRef(), 2u);
    EXPECT_EQ(obj->Release(), 1u);
    for (int i = 0; i < 150; ++i)  // past one growth of the table
      put(obj, text(std::to_string((i * 37 + cycle) % 150).c_str()),
          i % 3 ? text("payload") : object_value(payload_object));
    EGN_MOD last = USE_LAST_DATA;
    obj->put_Egnore(&last);
    put(obj, text("7"), text("replaces an object or a text"));
    for (int i = 0; i < 150; ++i) {
      const Variant key = read(obj, i == 0 ? START_READ : READ_NEXT);
      Variant payload;
      EXPECT_EQ(obj->ReadSub(payload.get()), S_OK);
    }
    BSTR version = nullptr;
    obj->get_GetVersion(&version);
    SysFreeString(version);
    if (cycle % 2) {  // an Alloc gives back every key, payload and object before the release
      FLOAT siz = 10;
      VARIANT_BOOL built = VARIANT_FALSE;
      EXPECT_EQ(obj->Alloc(&siz, &built), S_OK);
      EXPECT_EQ(built, VARIANT_TRUE);
      EXPECT_EQ(payload_object.refs, 1u);
    }
    EXPECT_EQ(obj->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_OK) << "cycle " << cycle;
    EXPECT_EQ(payload_object.refs, 1u) << "cycle " << cycle;
    strings.expect_back("after a cycle");
  }
}

TEST(Lifetime, ReleasedFromInsideItsOwnWalk) {
  const StringCount strings;
  const struct {
    const char* label;
    MODEVAL mode;
    const char* expected;
  } rows[] = {
      {"START_READ descending to the smallest", START_READ, "BSTR \"a\""},
      {"END_READ descending to the biggest", END_READ, "BSTR \"z\""},
      {"READ_NEXT descending into the bigger subtree", READ_NEXT, "BSTR \"n\""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Counted payload_object;
    _clsAVLt* obj = create();
    for (const char* k : {"m", "c", "x", "a", "e", "n", "z"})
      put(obj, text(k), object_value(payload_object));
    int pumps = 0;
    PumpSpy pump([&] {
      if (pumps++ == 0) {
        EXPECT_EQ(obj->Release(), 1u);          // the client's last reference; the call's own
        EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // remains
      }
    });
    MODEVAL mode = row.mode;
    Variant result;
    EXPECT_EQ(obj->Read(&mode, result.get()), S_OK);
    EXPECT_EQ(describe(*result), row.expected);
    EXPECT_GE(pumps, 1);
    EXPECT_EQ(DllCanUnloadNow(), S_OK) << "the object outlived its last call";
    EXPECT_EQ(payload_object.refs, 1u);
  }
  strings.expect_back("after the walks");
}

TEST(Lifetime, ReleasedFromACallNestedInTheWalk) {
  const StringCount strings;
  _clsAVLt* obj = create();
  for (int i = 0; i < 40; ++i) put(obj, i4((i * 17 + 20) % 40), text("p"));  // 20 on top
  int pumps = 0;
  PumpSpy pump([&] {
    if (pumps++ != 1) return;
    put(obj, i4(-1), text("from the pump"));  // a nested call, then the last reference goes
    Variant inner = read(obj, READ_MID);
    obj->Release();
  });
  EXPECT_EQ(describe(*read(obj, START_READ)), "I4 -1");
  EXPECT_GE(pumps, 2);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  strings.expect_back("after the nested release");
}

// Fills stores until the heap, limited by a hook, refuses the table's next growth: nothing stored
// is lost, the refused key leaves no trace, and once memory is back the store goes on.
TEST(MemoryPressure, FillUntilRefusedLosesNothingAndGoesOn) {
  const StringCount strings;
  const struct {
    const char* label;
    std::size_t budget_slots;  // the table may hold this many slots, no more
    int pattern;               // 0 ascending, 1 descending, 2 random with duplicates
  } rows[] = {
      {"ascending into 350 slots", 350, 0},
      {"descending into 1000 slots", 1000, 1},
      {"random with duplicates into 2500 slots", 2500, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    std::size_t budget = row.budget_slots * sizeof(AVLtree);
    const AllocationHook hook([&budget](std::size_t bytes) { return bytes <= budget; });
    _clsAVLt* obj = create();
    std::mt19937 random(7);
    std::vector<std::pair<LONG, std::string>> stored;  // key and payload, in insertion order
    BoxCapture boxes;
    for (LONG i = 0; boxes.boxes().empty(); ++i) {
      const LONG key = row.pattern == 0   ? i
                       : row.pattern == 1 ? -i
                                          : static_cast<LONG>(random() % 500);
      const std::string payload = std::string("p").append(std::to_string(i));
      LONG before = 0, after = 0;
      obj->get_DataNumber(&before);
      put(obj, i4(key), text(payload.c_str()));
      obj->get_DataNumber(&after);
      if (after == before + 1) stored.emplace_back(key, payload);
      ASSERT_LT(i, 100000) << "the heap never refused";
    }
    ASSERT_EQ(boxes.boxes().size(), 1u);
    LONG count = 0, memory = 0;
    obj->get_DataNumber(&count);
    obj->get_MemorySize(&memory);
    EXPECT_EQ(count, static_cast<LONG>(stored.size()));
    EXPECT_EQ(boxes.boxes()[0].text, warning_text(std::to_string(memory + 100).c_str()))
        << "the box names the size that could not be had";
    const Report report = verify(store_of(obj));
    EXPECT_TRUE(report.ok()) << report.text();

    // Everything stored reads back in order, equal keys in insertion order, each with its payload.
    std::stable_sort(stored.begin(), stored.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < stored.size(); ++i) {
      const Variant key = read(obj, i == 0 ? START_READ : READ_NEXT);
      Variant payload;
      obj->ReadSub(payload.get());
      ASSERT_EQ(describe(*key), "I4 " + std::to_string(stored[i].first)) << i;
      ASSERT_EQ(describe(*payload), "BSTR \"" + stored[i].second + "\"") << i;
    }

    // Still refused while memory is short; accepted once it is back.
    boxes.clear();
    put(obj, i4(123456), text("late"));
    EXPECT_EQ(boxes.boxes().size(), 1u);
    budget = static_cast<std::size_t>(-1);
    put(obj, i4(123456), text("late"));
    obj->get_DataNumber(&count);
    EXPECT_EQ(count, static_cast<LONG>(stored.size()) + 1);
    EXPECT_TRUE(verify(store_of(obj)).ok()) << verify(store_of(obj)).text();
    obj->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
  }
  strings.expect_back("after the filled stores were released");
}

}  // namespace
}  // namespace quilmar::test
