// Removal through the C++ interface (_clsAVLt2's vtable) beside std::multimap::erase under the same
// keys and comparison: one key out of 1e6, every key in a random order at growing sizes, and the
// heap after most keys went.
//
//   build/native/bench/quilmar_bench --benchmark_filter='^remove/'
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "peers.h"
#include "quilmar/quilmar.h"

namespace quilmar::bench {
namespace {

using Multimap = std::multimap<Key, Key, Less>;

// The thread's CPU time in seconds: on a shared machine wall time says more about the load.
double cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

_clsAVLt2* new_store() {
  IClassFactory* factory = nullptr;
  _clsAVLt2* store = nullptr;
  DllGetClassObject(CLSID_clsAVLt, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  factory->CreateInstance(nullptr, IID__clsAVLt2, reinterpret_cast<void**>(&store));
  factory->Release();
  return store;
}

void insert(_clsAVLt2* store, const VARIANT& key, const VARIANT& payload) {
  VARIANT ignored;
  store->Indata(const_cast<VARIANT*>(&key), const_cast<VARIANT*>(&payload), &ignored);
}

// The keys' indexes in a random order.
std::vector<std::size_t> shuffled(std::size_t n, unsigned seed) {
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  std::mt19937 rng(seed);
  std::shuffle(order.begin(), order.end(), rng);
  return order;
}

// Reports the time per key, given the keys each iteration handled.
void per_key(benchmark::State& state, std::size_t keys_per_iteration) {
  state.counters["per_key"] =
      benchmark::Counter(static_cast<double>(state.iterations() * keys_per_iteration),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

constexpr std::size_t kKeys = 1000000;
constexpr std::size_t kBatch = 1000;  // keys removed per timed batch, then put back untimed

// One key removed from 1e6: batches of removals are timed (CPU time), each followed by putting the
// keys back (untimed), so the size stays at 1e6.
template <class Remove, class Put>
void remove_one(benchmark::State& state, Remove remove, Put put) {
  const auto& k = keys(Workload::random_int, kKeys);
  const auto& p = payloads(kKeys);
  const std::vector<std::size_t> order = shuffled(kKeys, 16);
  std::size_t next = 0;
  for (auto _ : state) {
    const std::size_t from = next;
    const double start = cpu_seconds();
    for (std::size_t i = 0; i < kBatch; ++i) remove(*k[order[from + i]]);
    const double stop = cpu_seconds();
    for (std::size_t i = 0; i < kBatch; ++i) put(*k[order[from + i]], *p[order[from + i]]);
    state.SetIterationTime(stop - start);
    next = from + 2 * kBatch > kKeys ? 0 : from + kBatch;
  }
  per_key(state, kBatch);
}

void remove_one_store(benchmark::State& state) {
  _clsAVLt2* store = new_store();
  const auto& k = keys(Workload::random_int, kKeys);
  const auto& p = payloads(kKeys);
  for (std::size_t i = 0; i < kKeys; ++i) insert(store, *k[i], *p[i]);
  LONG removed = 0;
  remove_one(
      state, [&](const VARIANT& key) { store->Remove(key, &removed); },
      [&](const VARIANT& key, const VARIANT& payload) { insert(store, key, payload); });
  store->Release();
}

void remove_one_multimap(benchmark::State& state) {
  Multimap map;
  const auto& k = keys(Workload::random_int, kKeys);
  const auto& p = payloads(kKeys);
  for (std::size_t i = 0; i < kKeys; ++i) map.emplace(Key(*k[i]), Key(*p[i]));
  remove_one(
      state, [&](const VARIANT& key) { benchmark::DoNotOptimize(map.erase(Key(key))); },
      [&](const VARIANT& key, const VARIANT& payload) { map.emplace(Key(key), Key(payload)); });
}

// Every key of n removed one by one in a random order; the filling is not timed.
void remove_all_keys_store(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& k = keys(Workload::random_int, n);
  const auto& p = payloads(n);
  const std::vector<std::size_t> order = shuffled(n, 17);
  for (auto _ : state) {
    state.PauseTiming();
    _clsAVLt2* store = new_store();
    for (std::size_t i = 0; i < n; ++i) insert(store, *k[i], *p[i]);
    state.ResumeTiming();
    LONG removed = 0;
    for (const std::size_t i : order) store->Remove(*k[i], &removed);
    state.PauseTiming();
    store->Release();
    state.ResumeTiming();
  }
  per_key(state, n);
}

void remove_all_keys_multimap(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& k = keys(Workload::random_int, n);
  const auto& p = payloads(n);
  const std::vector<std::size_t> order = shuffled(n, 17);
  for (auto _ : state) {
    state.PauseTiming();
    auto map = std::make_unique<Multimap>();
    for (std::size_t i = 0; i < n; ++i) map->emplace(Key(*k[i]), Key(*p[i]));
    state.ResumeTiming();
    for (const std::size_t i : order) map->erase(Key(*k[i]));
    state.PauseTiming();
    map.reset();
    state.ResumeTiming();
  }
  per_key(state, n);
}

// The heap the store holds with 1e6 keys, after 90 % of them went one by one, and after RemoveAll.
void remove_heap_store(benchmark::State& state) {
  const auto& k = keys(Workload::random_int, kKeys);
  const auto& p = payloads(kKeys);
  const std::vector<std::size_t> order = shuffled(kKeys, 18);
  double full = 0, tenth = 0, emptied = 0;
  for (auto _ : state) {
    const std::size_t base = heap_in_use();
    _clsAVLt2* store = new_store();
    for (std::size_t i = 0; i < kKeys; ++i) insert(store, *k[i], *p[i]);
    full = static_cast<double>(heap_in_use() - base);
    LONG removed = 0;
    for (std::size_t i = 0; i < kKeys / 10 * 9; ++i) store->Remove(*k[order[i]], &removed);
    tenth = static_cast<double>(heap_in_use() - base);
    store->RemoveAll();
    emptied = static_cast<double>(heap_in_use() - base);
    store->Release();
  }
  state.counters["MB_1e6_keys"] = full / 1e6;
  state.counters["MB_after_90pct_removed"] = tenth / 1e6;
  state.counters["MB_after_RemoveAll"] = emptied / 1e6;
}

BENCHMARK(remove_one_store)->Name("remove/one_of_1e6/store")->UseManualTime();
BENCHMARK(remove_one_multimap)->Name("remove/one_of_1e6/std_multimap")->UseManualTime();
BENCHMARK(remove_all_keys_store)
    ->Name("remove/all_random/store")
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(10000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(remove_all_keys_multimap)
    ->Name("remove/all_random/std_multimap")
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(remove_heap_store)->Name("remove/heap/store")->Iterations(1);

}  // namespace
}  // namespace quilmar::bench
