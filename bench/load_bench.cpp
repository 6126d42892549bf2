// Load through _clsAVLt3's vtable against one Indata call per pair, both into a new object with
// the default construction: 1e6 rows of a 1-based 1e6 by 2 array of Variants (as Range.Value),
// the key in column 1 and an int payload in column 2. The Indata loop reads its pairs from the same
// array, so both sides start from the same memory. Keys: random ints, random strings of 8 to 24
// letters, and each of those sorted (a source already in key order). The per_op counter is CPU
// time per pair; the store is freed with the clock stopped.
//
//   build/native/bench/quilmar_bench --benchmark_filter='^load/'
#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "host/variant.h"
#include "quilmar/quilmar.h"
#include "workloads.h"

namespace quilmar::bench {
namespace {

constexpr std::size_t kPairs = 1000000;

enum class Source { random_int, random_string, sorted_int, sorted_string };

_clsAVLt3* new_store() {
  IClassFactory* factory = nullptr;
  _clsAVLt3* store = nullptr;
  DllGetClassObject(CLSID_clsAVLt, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  factory->CreateInstance(nullptr, IID__clsAVLt3, reinterpret_cast<void**>(&store));
  factory->Release();
  return store;
}

VARIANT* elements(const Variant& array) {
  return static_cast<VARIANT*>(array->parray->pvData);
}

// The rows in the store's key order for a sorted source (ties keep their first order).
std::vector<std::size_t> row_order(const std::vector<Variant>& keys, Source s) {
  std::vector<std::size_t> order(keys.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  if (s == Source::sorted_int || s == Source::sorted_string)
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return compare(*keys[a], *keys[b]) == Order::less;
    });
  return order;
}

const Variant& source(Source s) {
  static Variant made[4];
  Variant& array = made[static_cast<int>(s)];
  if (array->vt != VT_EMPTY) return array;
  const bool ints = s == Source::random_int || s == Source::sorted_int;
  const auto& keys = bench::keys(ints ? Workload::random_int : Workload::random_string, kPairs);
  const std::vector<std::size_t> order = row_order(keys, s);
  SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(kPairs), 1}, {2, 1}};
  array.get()->parray = SafeArrayCreate(VT_VARIANT, 2, bounds);
  array.get()->vt = VT_ARRAY | VT_VARIANT;
  for (std::size_t r = 0; r < kPairs; ++r) {
    VariantCopy(&elements(array)[r], &*keys[order[r]]);
    VARIANT& payload = elements(array)[kPairs + r];
    payload.vt = VT_I4;
    payload.lVal = static_cast<LONG>(r + 1);
  }
  return array;
}

void per_pair(benchmark::State& state) {
  state.counters["per_pair"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kPairs),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void load(benchmark::State& state, Source s) {
  const Variant& array = source(s);
  VARIANT key_column, item_column;
  key_column.vt = item_column.vt = VT_I4;
  key_column.lVal = 1;
  item_column.lVal = 2;
  for (auto _ : state) {
    _clsAVLt3* store = new_store();
    LONG taken = 0;
    if (store->Load(*array, key_column, item_column, &taken) != S_OK ||
        taken != static_cast<LONG>(kPairs))
      state.SkipWithError("Load failed");
    state.PauseTiming();
    store->Release();
    state.ResumeTiming();
  }
  per_pair(state);
}

void indata(benchmark::State& state, Source s) {
  const Variant& array = source(s);
  VARIANT* rows = elements(array);
  for (auto _ : state) {
    _clsAVLt3* store = new_store();
    for (std::size_t r = 0; r < kPairs; ++r) {
      VARIANT result;
      store->Indata(&rows[r], &rows[kPairs + r], &result);
    }
    state.PauseTiming();
    LONG count = 0;
    store->get_Count(&count);
    if (count != static_cast<LONG>(kPairs)) state.SkipWithError("Indata dropped pairs");
    store->Release();
    state.ResumeTiming();
  }
  per_pair(state);
}

#define QUILMAR_LOAD_BENCH(source_name)                       \
  BENCHMARK_CAPTURE(load, source_name, Source::source_name)   \
      ->Name("load/" #source_name "/Load/1000000")            \
      ->Unit(benchmark::kMillisecond);                        \
  BENCHMARK_CAPTURE(indata, source_name, Source::source_name) \
      ->Name("load/" #source_name "/Indata/1000000")          \
      ->Unit(benchmark::kMillisecond)

QUILMAR_LOAD_BENCH(random_int);
QUILMAR_LOAD_BENCH(random_string);
QUILMAR_LOAD_BENCH(sorted_int);
QUILMAR_LOAD_BENCH(sorted_string);

}  // namespace
}  // namespace quilmar::bench
