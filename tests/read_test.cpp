// Ordered reading: positioning, steps, the blocked state, the event pump and re-entrancy.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "object.h"
#include "seams.h"
#include "server/avl_object.h"
#include "server/module.h"
#include "store_view.h"
#include "values.h"

namespace quilmar::test {
namespace {

constexpr int kSub = -1;  // a row that calls ReadSub instead of Read

Store filled(const std::vector<LONG>& keys) {
  Store s;
  EXPECT_TRUE(s.alloc(100));
  for (LONG k : keys) {
    std::string payload = "p";
    payload += std::to_string(k);
    s.indata(*i4(k), *text(payload.c_str()));
  }
  EXPECT_EQ(s.data_number(), static_cast<LONG>(keys.size())) << "a key of the setup was refused";
  return s;
}

struct Step {
  int call;            // a MODEVAL for Read, or kSub
  std::string result;  // as describe() writes it
  int spec_after;      // the caller's Spec afterwards (unused for ReadSub)
  float cursor;
  MODEVAL read_mode;
  int pumps;
};

void play(Store& s, const char* label, const std::vector<Step>& steps) {
  PumpSpy pump;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& st = steps[i];
    pump.reset();
    Variant result;
    MODEVAL spec = static_cast<MODEVAL>(st.call);
    if (st.call == kSub)
      s.read_sub(*result.get());
    else
      s.read(spec, *result.get());
    std::string where = label;
    where += ", step ";
    where += std::to_string(i);
    EXPECT_EQ(describe(*result), st.result) << where;
    if (st.call != kSub) {
      EXPECT_EQ(spec, st.spec_after) << where;
    }
    EXPECT_EQ(s.current_index(), st.cursor) << where;
    EXPECT_EQ(s.read_mode(), st.read_mode) << where;
    EXPECT_EQ(pump.calls(), st.pumps) << where;
  }
}

const std::string kNone = "BSTR \"\"";

TEST(Read, WorkedExampleStepByStep) {
  Store s = filled({5, 3, 8});
  play(s, "ascending",
       {{kSub, "BSTR \"p5\"", 0, 0, WRITE_DATA, 0},
        {START_READ, "I4 3", START_READ, 1, START_READ, 2},
        {READ_NEXT, "I4 5", READ_NEXT, 0, READ_NEXT, 0},
        {READ_NEXT, "I4 8", READ_NEXT, 2, READ_NEXT, 1},
        {kSub, "BSTR \"p8\"", 0, 2, READ_NEXT, 0},
        {READ_NEXT, kNone, FAULT, 0, FAULT, 0},
        {START_READ, kNone, START_READ, 0, FAULT, 0},
        {kSub, kNone, 0, 0, FAULT, 0}});
  Store d = filled({5, 3, 8});
  play(d, "descending",
       {{END_READ, "I4 8", END_READ, 2, END_READ, 2},
        {READ_BACK, "I4 5", READ_BACK, 0, READ_BACK, 0},
        {READ_BACK, "I4 3", READ_BACK, 1, READ_BACK, 1},
        {READ_BACK, kNone, FAULT, 0, FAULT, 0},
        {END_READ, kNone, END_READ, 0, FAULT, 0}});
  Store m = filled({5, 3, 8});
  play(
      m, "top",
      {{END_READ, "I4 8", END_READ, 2, END_READ, 2}, {READ_MID, "I4 5", READ_MID, 0, READ_MID, 0}});
}

TEST(Read, EdgesOfTheOrder) {
  Store empty_store = filled({});
  play(empty_store, "empty store",
       {{kSub, kNone, 0, 0, WRITE_DATA, 0},
        {START_READ, kNone, START_READ, 0, START_READ, 1},
        {END_READ, kNone, END_READ, 0, END_READ, 1},
        {READ_MID, kNone, READ_MID, 0, READ_MID, 0},
        {READ_NEXT, kNone, FAULT, 0, FAULT, 0}});
  Store empty_back = filled({});
  play(empty_back, "empty store backwards", {{READ_BACK, kNone, FAULT, 0, FAULT, 0}});
  Store one = filled({42});
  play(one, "one key",
       {{START_READ, "I4 42", START_READ, 0, START_READ, 1},
        {END_READ, "I4 42", END_READ, 0, END_READ, 1},
        {READ_MID, "I4 42", READ_MID, 0, READ_MID, 0},
        {READ_BACK, kNone, FAULT, 0, FAULT, 0}});
  Store back_after_start = filled({5, 3, 8});
  play(
      back_after_start, "back from the smallest",
      {{START_READ, "I4 3", START_READ, 1, START_READ, 2}, {READ_BACK, kNone, FAULT, 0, FAULT, 0}});
  Store next_after_end = filled({5, 3, 8});
  play(next_after_end, "on from the biggest",
       {{END_READ, "I4 8", END_READ, 2, END_READ, 2}, {READ_NEXT, kNone, FAULT, 0, FAULT, 0}});
  Store unpositioned = filled({5, 3, 8, 9});
  play(unpositioned, "a step without positioning starts at the first key inserted",
       {{kSub, "BSTR \"p5\"", 0, 0, WRITE_DATA, 0},
        {READ_NEXT, "I4 8", READ_NEXT, 2, READ_NEXT, 1}});
}

TEST(Read, ModesThatReadNothing) {
  Store s = filled({5, 3, 8});
  play(s, "no reading",
       {{START_READ, "I4 3", START_READ, 1, START_READ, 2},
        {WRITE_DATA, "Empty", WRITE_DATA, 1, WRITE_DATA, 0},
        {7, "Empty", 7, 1, static_cast<MODEVAL>(7), 0},
        {-3, "Empty", -3, 1, static_cast<MODEVAL>(-3), 0},
        {kSub, "BSTR \"p3\"", 0, 1, static_cast<MODEVAL>(-3), 0},
        {READ_NEXT, "I4 5", READ_NEXT, 0, READ_NEXT, 0},
        {FAULT, "Empty", FAULT, 0, FAULT, 0},  // blocks as a step past the end does
        {READ_NEXT, kNone, READ_NEXT, 0, FAULT, 0},
        {kSub, kNone, 0, 0, FAULT, 0}});
  EXPECT_EQ(s.data_number(), 3);
  EXPECT_TRUE(s.alloc(100));
  play(s, "Alloc opens reading again, on an empty store",
       {{START_READ, kNone, START_READ, 0, START_READ, 1}});
}

TEST(Read, FullPassesMatchASortedReference) {
  std::mt19937 rng(99);
  for (int round = 0; round < 20; ++round) {
    const int n = 1 + static_cast<int>(rng() % 700);
    std::vector<std::pair<LONG, LONG>> inserted;  // key, payload (the insertion number)
    for (LONG i = 0; i < n; ++i)
      inserted.emplace_back(static_cast<LONG>(rng() % (round % 2 ? 50 : 100000)), i);
    auto reference = inserted;
    std::stable_sort(reference.begin(), reference.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (bool ascending : {true, false}) {
      Store s;  // a pass ends in FAULT, so each direction reads a store of its own
      s.alloc(100);
      for (const auto& [key, payload] : inserted) s.indata(*i4(key), *i4(payload));
      std::vector<std::pair<LONG, LONG>> got;
      MODEVAL mode = ascending ? START_READ : END_READ;
      for (;;) {
        Variant key, payload;
        s.read(mode, *key.get());
        if (mode == FAULT) break;
        s.read_sub(*payload.get());
        got.emplace_back(key->lVal, payload->lVal);
        mode = ascending ? READ_NEXT : READ_BACK;
      }
      if (!ascending) std::reverse(got.begin(), got.end());
      EXPECT_EQ(got, reference) << "round " << round << (ascending ? " ascending" : " descending");
    }
  }
}

TEST(Read, AKeyInsertedBetweenTwoReadsComesInItsPlace) {
  Store s = filled({5, 3, 8});
  Variant result;
  MODEVAL mode = START_READ;
  s.read(mode, *result.get());
  s.indata(*i4(4), *text("p4"));
  play(s, "after inserting 4",
       {{READ_NEXT, "I4 4", READ_NEXT, 3, READ_NEXT, 1},
        {READ_NEXT, "I4 5", READ_NEXT, 0, READ_NEXT, 0}});
}

TEST(Read, ReentrantIndataGrowingTheTableDuringAWalk) {
  std::vector<LONG> keys;
  for (LONG k = 100; k >= 1; --k) keys.push_back(k * 10);
  Store s = filled(keys);  // slots 0..99 used: the next key takes the last slot and grows it
  bool inserted = false;
  PumpSpy pump([&] {
    if (inserted) return;
    inserted = true;
    s.indata(*i4(1), *text("p1"));  // smaller than every key, inserted mid-walk
  });
  Variant result;
  MODEVAL mode = START_READ;
  s.read(mode, *result.get());
  EXPECT_EQ(s.memory_size(), 200);
  EXPECT_EQ(describe(*result), "I4 1");  // the walk went on over the grown table
}

TEST(Read, ReentrantAllocDuringAWalkRestartsFromSlotZero) {
  Store s = filled({50, 40, 30, 20, 10});
  bool reset = false;
  PumpSpy pump([&] {
    if (reset) return;
    reset = true;
    s.alloc(10);
    s.indata(*i4(7), *text("p7"));
    s.indata(*i4(3), *text("p3"));
  });
  Variant result;
  MODEVAL mode = START_READ;
  s.read(mode, *result.get());
  EXPECT_EQ(describe(*result), "I4 3");
  EXPECT_EQ(s.current_index(), 1);
}

TEST(Read, ReleasingTheLastReferenceDuringAWalkWaitsForTheCall) {
  const long before = module::usage();
  TestObject<> object;
  _clsAVLt* store = object.release();
  for (LONG k : {5, 3, 8, 1}) {
    Variant key = i4(k), payload = text("x"), ignored;
    store->Indata(key.get(), payload.get(), ignored.get());
  }
  int released = 0;
  PumpSpy pump([&] {
    if (released++ == 0) store->Release();  // the client lets go mid-walk
  });
  Variant result;
  MODEVAL mode = START_READ;
  EXPECT_EQ(store->Read(&mode, result.get()), S_OK);
  EXPECT_EQ(describe(*result), "I4 1");
  EXPECT_EQ(module::usage(), before);  // destroyed once the call returned
}

}  // namespace
}  // namespace quilmar::test
