// Lookup, Seek, Keys and For Each steps through _clsAVLt2's vtable, as a C++ client calls them,
// beside std::multimap under the same keys, comparison and copies.
//
//   build/native/bench/quilmar_bench --benchmark_filter='^(lookup|keys|enumerate)/'
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "peers.h"
#include "quilmar/quilmar.h"

namespace quilmar::bench {
namespace {

constexpr std::size_t kKeys = 1000000;
using Multimap = std::multimap<Key, Key, Less>;

// 1e6 random int keys, each with its insertion number as payload, in both containers, built once.
struct Filled {
  _clsAVLt2* store = nullptr;
  Multimap map;
  std::vector<const VARIANT*> present;  // every key, in a random order
  std::vector<Variant> absent;          // random values, almost none of them stored
  Filled() {
    IClassFactory* factory = nullptr;
    DllGetClassObject(CLSID_clsAVLt, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    factory->CreateInstance(nullptr, IID__clsAVLt2, reinterpret_cast<void**>(&store));
    factory->Release();
    const auto& k = keys(Workload::random_int, kKeys);
    const auto& p = payloads(kKeys);
    for (std::size_t i = 0; i < kKeys; ++i) {
      VARIANT ignored;
      store->Indata(const_cast<VARIANT*>(&*k[i]), const_cast<VARIANT*>(&*p[i]), &ignored);
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
  ~Filled() { store->Release(); }
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
  each_probe(state, f.present, [&](const VARIANT* k) {
    VARIANT_BOOL found;
    f.store->Exists(*k, &found);
    benchmark::DoNotOptimize(found);
  });
}

void find_store(benchmark::State& state) {
  Filled& f = filled();
  each_probe(state, f.present, [&](const VARIANT* k) {
    VARIANT_BOOL found;
    f.store->Find(*k, &found);
    benchmark::DoNotOptimize(found);
  });
}

void find_multimap(benchmark::State& state) {
  Filled& f = filled();
  each_probe(state, f.present, [&](const VARIANT* k) {
    auto it = f.map.find(*k);
    benchmark::DoNotOptimize(it);
  });
}

void item_store(benchmark::State& state) {
  Filled& f = filled();
  each_probe(state, f.present, [&](const VARIANT* k) {
    VARIANT out;
    f.store->get_Item(*k, &out);
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
    f.store->Seek(*k, SEEK_AFTER_EQ, &out);
    benchmark::DoNotOptimize(out);
    VariantClear(&out);
  });
}

void lower_bound_multimap(benchmark::State& state) {
  Filled& f = filled();
  each_probe(state, f.absent, [&](const Variant& k) {
    auto it = f.map.lower_bound(*k);
    if (it != f.map.end()) copy_out(it->first.v);
  });
}

VARIANT left_out() {
  VARIANT v;
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

// Every key into an array of Variants, and the array released, as a client does with Keys().
void keys_store(benchmark::State& state) {
  Filled& f = filled();
  for (auto _ : state) {
    VARIANT out;
    f.store->Keys(left_out(), left_out(), &out);
    VariantClear(&out);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kKeys));
}

void keys_multimap(benchmark::State& state) {
  Filled& f = filled();
  for (auto _ : state) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(f.map.size()));
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    auto* out = static_cast<VARIANT*>(data);
    for (const auto& [k, p] : f.map) copy_value(*out++, k.v);
    SafeArrayUnaccessData(array);
    SafeArrayDestroy(array);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kKeys));
}

// One IEnumVARIANT::Next of state.range(0) keys per iteration, starting over at the end.
void next_store(benchmark::State& state) {
  Filled& f = filled();
  const auto batch = static_cast<ULONG>(state.range(0));
  IUnknown* unknown = nullptr;
  f.store->get__NewEnum(&unknown);
  IEnumVARIANT* keys = nullptr;
  unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&keys));
  unknown->Release();
  std::vector<VARIANT> block(batch);
  std::size_t total = 0;
  for (auto _ : state) {
    ULONG got = 0;
    keys->Next(batch, block.data(), &got);
    for (ULONG i = 0; i < got; ++i) VariantClear(&block[i]);
    total += got;
    if (got < batch) keys->Reset();
  }
  keys->Release();
  state.SetItemsProcessed(static_cast<std::int64_t>(total));
}

// One Read(READ_NEXT) per iteration through the vtable, as a client steps through the keys; it
// stops on the last key (a step past it would block reading) and starts again.
void read_next_store(benchmark::State& state) {
  Filled& f = filled();
  MODEVAL mode = START_READ;
  std::size_t step = 0;
  for (auto _ : state) {
    VARIANT out;
    f.store->Read(&mode, &out);
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
