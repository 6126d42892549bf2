// Lookup, Seek, Keys and enumerator steps on the store itself, beside std::multimap under the same
// keys, comparison and copies. The store is called directly (its COM members come later), so
// these figures leave out the interface call, a few nanoseconds (call/vtable_get_DataNumber).
//
//   build/native/bench/quilmar_bench --benchmark_filter='^(lookup|keys|enumerate)/'
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "peers.h"
#include "store/store.h"

namespace quilmar::bench {
namespace {

constexpr std::size_t kKeys = 1000000;
using Multimap = std::multimap<Key, Key, Less>;

// 1e6 random int keys, each with its insertion number as payload, in both containers, built once.
struct Filled {
  Store store;
  Multimap map;
  std::vector<const VARIANT*> present;  // every key, in a random order
  std::vector<Variant> absent;          // random values, almost none of them stored
  Filled() {
    const auto& k = keys(Workload::random_int, kKeys);
    const auto& p = payloads(kKeys);
    store.alloc(100);
    for (std::size_t i = 0; i < kKeys; ++i) {
      store.indata(*k[i], *p[i]);
      map.emplace(Key(*k[i]), Key(*p[i]));
      present.push_back(&*k[i]);
    }
    std::mt19937 rng(7);
    std::shuffle(present.begin(), present.end(), rng);
    for (std::size_t i = 0; i < kKeys; ++i) {
      Variant v;
      v.get()->vt = VT_I4;
      v.get()->lVal = static_cast<LONG>(rng());
      absent.push_back(std::move(v));
    }
  }
};

Filled& filled() {
  static Filled f;
  return f;
}

// Runs `op(probe)` once per iteration over the probes in turn.
template <class Probes, class Op>
void each_probe(benchmark::State& state, const Probes& probes, Op op) {
  std::size_t i = 0;
  for (auto _ : state) {
    op(probes[i]);
    if (++i == probes.size()) i = 0;
  }
}

void exists_store(benchmark::State& state) {
  Filled& f = filled();
  each_probe(state, f.present,
             [&](const VARIANT* k) { benchmark::DoNotOptimize(f.store.exists(*k)); });
}

void find_multimap(benchmark::State& state) {
  Filled& f = filled();
  each_probe(state, f.present, [&](const VARIANT* k) {
    auto it = f.map.find(*k);
    benchmark::DoNotOptimize(it);
  });
}

void find_store(benchmark::State& state) {
  Filled& f = filled();
  each_probe(state, f.present,
             [&](const VARIANT* k) { benchmark::DoNotOptimize(f.store.find(*k)); });
}

void item_store(benchmark::State& state) {
  Filled& f = filled();
  each_probe(state, f.present, [&](const VARIANT* k) {
    VARIANT out;
    f.store.item(*k, out);
    benchmark::DoNotOptimize(out);
    VariantClear(&out);
  });
}

void item_multimap(benchmark::State& state) {
  Filled& f = filled();
  each_probe(state, f.present, [&](const VARIANT* k) { copy_out(f.map.find(*k)->second.v); });
}

// First key >= a random value, copied out.
void seek_store(benchmark::State& state) {
  Filled& f = filled();
  each_probe(state, f.absent, [&](const Variant& k) {
    VARIANT out;
    VariantInit(&out);
    if (f.store.seek(*k, 4, out)) VariantClear(&out);
    benchmark::DoNotOptimize(out);
  });
}

void lower_bound_multimap(benchmark::State& state) {
  Filled& f = filled();
  each_probe(state, f.absent, [&](const Variant& k) {
    auto it = f.map.lower_bound(*k);
    if (it != f.map.end()) copy_out(it->first.v);
  });
}

// Copies into a block of Variants, as the array Keys returns is filled.
class Block final : public ValueSink {
 public:
  void reserve(std::size_t count) override { values_.resize(count); }
  void take(const VARIANT& v) override { copy_value(values_[next_++], v); }
  void clear() {
    for (std::size_t i = 0; i < next_; ++i) VariantClear(&values_[i]);
    next_ = 0;
  }

 private:
  std::vector<VARIANT> values_;
  std::size_t next_ = 0;
};

void keys_store(benchmark::State& state) {
  Filled& f = filled();
  Block block;
  for (auto _ : state) {
    f.store.copy_range(Field::key, nullptr, nullptr, block);
    block.clear();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kKeys));
}

void keys_multimap(benchmark::State& state) {
  Filled& f = filled();
  Block block;
  for (auto _ : state) {
    block.reserve(f.map.size());
    for (const auto& [k, p] : f.map) block.take(k.v);
    block.clear();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kKeys));
}

// One Next of state.range(0) keys per iteration, starting over at the end.
void next_store(benchmark::State& state) {
  Filled& f = filled();
  const auto batch = static_cast<std::size_t>(state.range(0));
  const Positions::Id id = f.store.open_position();
  Block block;
  block.reserve(batch);
  std::size_t keys = 0;
  for (auto _ : state) {
    const std::size_t got = f.store.next_keys(id, batch, block);
    block.clear();
    keys += got;
    if (got < batch) f.store.reset_position(id);
  }
  f.store.close_position(id);
  state.SetItemsProcessed(static_cast<std::int64_t>(keys));
}

// One Read(READ_NEXT) per iteration, as a client steps through the keys; it stops on the last key
// (a step past it would block reading) and starts again.
void read_next_store(benchmark::State& state) {
  Filled& f = filled();
  MODEVAL mode = START_READ;
  std::size_t step = 0;
  for (auto _ : state) {
    VARIANT out;
    f.store.read(mode, out);
    VariantClear(&out);
    mode = ++step == kKeys ? START_READ : READ_NEXT;
    if (step == kKeys) step = 0;
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(exists_store)->Name("lookup/exists/store");
BENCHMARK(find_store)->Name("lookup/find/store");
BENCHMARK(find_multimap)->Name("lookup/find/std_multimap");
BENCHMARK(item_store)->Name("lookup/item/store");
BENCHMARK(item_multimap)->Name("lookup/item/std_multimap");
BENCHMARK(seek_store)->Name("lookup/seek_at_or_after/store");
BENCHMARK(lower_bound_multimap)->Name("lookup/lower_bound/std_multimap");
BENCHMARK(keys_store)->Name("keys/all/store")->Unit(benchmark::kMillisecond);
BENCHMARK(keys_multimap)->Name("keys/all/std_multimap")->Unit(benchmark::kMillisecond);
BENCHMARK(next_store)->Name("enumerate/next/store")->Arg(1)->Arg(100);
BENCHMARK(read_next_store)->Name("enumerate/read_next/store");

}  // namespace
}  // namespace quilmar::bench
