// The store through its C++ interface (vtable calls, as a C++ client makes them) side by side with
// the containers a user would pick instead, under the same keys, comparison and copies.
//
//   build/native/bench/quilmar_bench --benchmark_filter=insert/random_int
#include <benchmark/benchmark.h>

#include <string>

#include "host/event_pump.h"
#include "peers.h"
#include "quilmar/quilmar.h"
#include "server/members.h"

namespace quilmar::bench {
namespace {

_clsAVLt* new_store() {
  IClassFactory* factory = nullptr;
  _clsAVLt* store = nullptr;
  DllGetClassObject(CLSID_clsAVLt, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  factory->CreateInstance(nullptr, IID__clsAVLt, reinterpret_cast<void**>(&store));
  factory->Release();
  return store;
}

void fill(_clsAVLt* store, Workload w, std::size_t n) {
  const auto& k = keys(w, n);
  const auto& p = payloads(n);
  VARIANT ignored;
  for (std::size_t i = 0; i < n; ++i)
    store->Indata(const_cast<VARIANT*>(&*k[i]), const_cast<VARIANT*>(&*p[i]), &ignored);
}

void store_insert(benchmark::State& state, Workload w) {
  const auto n = static_cast<std::size_t>(state.range(0));
  keys(w, n);
  payloads(n);
  double bytes = 0;
  for (auto _ : state) {
    const std::size_t heap = heap_in_use();
    _clsAVLt* store = new_store();  // default construction: slots 0 to 100, growing 100 at a time
    fill(store, w, n);
    state.PauseTiming();
    bytes = static_cast<double>(heap_in_use() - heap) / static_cast<double>(n);
    store->Release();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
  state.counters["bytes_per_key"] = bytes;
}

void peer_insert(benchmark::State& state, PeerKind kind, Workload w) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& k = keys(w, n);
  const auto& p = payloads(n);
  double bytes = 0;
  for (auto _ : state) {
    const std::size_t heap = heap_in_use();
    auto peer = make_peer(kind, n);
    for (std::size_t i = 0; i < n; ++i) peer->insert(*k[i], *p[i]);
    state.PauseTiming();
    bytes = static_cast<double>(heap_in_use() - heap) / static_cast<double>(n);
    peer.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
  state.counters["bytes_per_key"] = bytes;
}

// One full pass, key and payload copied out at every step. The pass stops on the last key, so the
// store is not blocked and the next iteration starts again.
void store_pass(benchmark::State& state, bool ascending) {
  const auto n = static_cast<std::size_t>(state.range(0));
  _clsAVLt* store = new_store();
  fill(store, Workload::random_int, n);
  for (auto _ : state) {
    MODEVAL mode = ascending ? START_READ : END_READ;
    for (std::size_t i = 0; i < n; ++i) {
      VARIANT key, payload;
      store->Read(&mode, &key);
      store->ReadSub(&payload);
      VariantClear(&key);
      VariantClear(&payload);
      mode = ascending ? READ_NEXT : READ_BACK;
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
  store->Release();
}

void peer_pass(benchmark::State& state, PeerKind kind, bool ascending) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& k = keys(Workload::random_int, n);
  const auto& p = payloads(n);
  auto peer = make_peer(kind, n);
  for (std::size_t i = 0; i < n; ++i) peer->insert(*k[i], *p[i]);
  for (auto _ : state) peer->pass(ascending);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

void event_pump(benchmark::State& state) {
  for (auto _ : state) yield_events();
}

void vtable_call(benchmark::State& state) {
  _clsAVLt* store = new_store();
  LONG n = 0;
  for (auto _ : state) {
    store->get_DataNumber(&n);
    benchmark::DoNotOptimize(n);
  }
  store->Release();
}

// The same read of DataNumber late-bound, as a script host makes it: Invoke by member id.
void invoke_call(benchmark::State& state) {
  _clsAVLt* store = new_store();
  DISPPARAMS none = {};
  for (auto _ : state) {
    VARIANT result;
    store->Invoke(dispid::DataNumber, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                  nullptr);
    benchmark::DoNotOptimize(result);
  }
  store->Release();
}

// One Indata per iteration into a store of up to 1e6 random keys (a new one after each million),
// made by `call(store, key, payload)`.
template <class Call>
void indata_calls(benchmark::State& state, Call call) {
  const auto& k = keys(Workload::random_int, 1000000);
  const auto& p = payloads(1000000);
  _clsAVLt* store = new_store();
  std::size_t i = 0;
  for (auto _ : state) {
    call(store, const_cast<VARIANT*>(&*k[i]), const_cast<VARIANT*>(&*p[i]));
    if (++i == k.size()) {
      i = 0;
      state.PauseTiming();
      store->Release();
      store = new_store();
      state.ResumeTiming();
    }
  }
  store->Release();
}

void vtable_indata(benchmark::State& state) {
  indata_calls(state, [](_clsAVLt* store, VARIANT* key, VARIANT* payload) {
    VARIANT result;
    store->Indata(key, payload, &result);
  });
}

// Through Invoke, with key and payload passed as a script passes its variables.
void invoke_indata(benchmark::State& state) {
  indata_calls(state, [](_clsAVLt* store, VARIANT* key, VARIANT* payload) {
    VARIANT args[2];
    args[1].vt = args[0].vt = VT_BYREF | VT_VARIANT;
    args[1].pvarVal = key;
    args[0].pvarVal = payload;
    DISPPARAMS params = {args, nullptr, 2, 0};
    VARIANT result;
    store->Invoke(dispid::Indata, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
  });
}

void register_all() {
  const Workload workloads[] = {Workload::random_int, Workload::random_string, Workload::ascending,
                                Workload::descending, Workload::duplicates};
  const PeerKind peers[] = {PeerKind::multimap, PeerKind::btree, PeerKind::avl_vector,
                            PeerKind::sorted_vector};
  for (Workload w : workloads) {
    const std::string suffix = std::string("/") + name(w);
    auto* b = benchmark::RegisterBenchmark(("insert" + suffix + "/store").c_str(), store_insert, w);
    b->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kNanosecond);
    if (w == Workload::ascending) b->Arg(10000000);
    for (PeerKind p : peers) {
      auto* pb = benchmark::RegisterBenchmark(("insert" + suffix + "/" + name(p)).c_str(),
                                              peer_insert, p, w);
      // Insertion into a sorted vector moves half the vector: quadratic, so it stops early.
      pb->RangeMultiplier(10)->Range(1000, p == PeerKind::sorted_vector ? 100000 : 1000000);
    }
  }
  for (bool ascending : {true, false}) {
    const std::string dir = ascending ? "pass/ascending" : "pass/descending";
    benchmark::RegisterBenchmark((dir + "/store").c_str(), store_pass, ascending)
        ->RangeMultiplier(10)
        ->Range(1000, 1000000);
    for (PeerKind p : {PeerKind::multimap, PeerKind::btree, PeerKind::avl_vector})
      benchmark::RegisterBenchmark((dir + "/" + name(p)).c_str(), peer_pass, p, ascending)
          ->RangeMultiplier(10)
          ->Range(1000, 1000000);
  }
  benchmark::RegisterBenchmark("call/vtable_get_DataNumber", vtable_call);
  benchmark::RegisterBenchmark("call/invoke_get_DataNumber", invoke_call);
  benchmark::RegisterBenchmark("call/vtable_Indata", vtable_indata);
  benchmark::RegisterBenchmark("call/invoke_Indata", invoke_indata);
  benchmark::RegisterBenchmark("call/event_pump_empty_queue", event_pump);
}

}  // namespace
}  // namespace quilmar::bench

int main(int argc, char** argv) {
  quilmar::bench::register_all();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
