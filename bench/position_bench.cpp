// Positions and the text comparison through _clsAVLt3's vtable: KeyAt and IndexOf beside Seek in
// one store of 1e6 random int keys, and insertion of 1e6 random strings in text mode beside binary
// mode. The per_op counter is CPU time per call or per key.
//
//   build/native/bench/quilmar_bench --benchmark_filter='^(positions|compare_mode)/'
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "quilmar/quilmar.h"

namespace {

constexpr std::size_t kKeys = 1000000;

void per_op(benchmark::State& state, std::size_t ops_per_iteration) {
  state.counters["per_op"] =
      benchmark::Counter(static_cast<double>(state.iterations() * ops_per_iteration),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

_clsAVLt3* new_store() {
  IClassFactory* factory = nullptr;
  _clsAVLt3* store = nullptr;
  DllGetClassObject(CLSID_clsAVLt, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  factory->CreateInstance(nullptr, IID__clsAVLt3, reinterpret_cast<void**>(&store));
  factory->Release();
  return store;
}

VARIANT int_variant(LONG i) {
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = i;
  return v;
}

// Strings of 8 to 24 letters of both cases, so that text mode has case to ignore. Kept for the
// process's life.
const std::vector<VARIANT>& strings() {
  static const std::vector<VARIANT>* made = [] {
    auto* v = new std::vector<VARIANT>();
    std::mt19937 rng(23);
    std::u16string s;
    for (std::size_t i = 0; i < kKeys; ++i) {
      s.assign(8 + rng() % 17, u'a');
      for (auto& c : s) {
        const unsigned letter = rng() % 52;
        c = static_cast<char16_t>(letter < 26 ? u'a' + letter : u'A' + (letter - 26));
      }
      VARIANT k;
      k.vt = VT_BSTR;
      k.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
      v->push_back(k);
    }
    return v;
  }();
  return *made;
}

// 1e6 random int keys with their insertion number as payload, the keys again in a random order,
// and random positions; made once.
struct Filled {
  _clsAVLt3* store = new_store();
  std::vector<VARIANT> shuffled;
  std::vector<LONG> positions;
  Filled() {
    std::mt19937 rng(19);
    for (std::size_t i = 0; i < kKeys; ++i) {
      VARIANT key = int_variant(static_cast<LONG>(rng()));
      VARIANT payload = int_variant(static_cast<LONG>(i)), result;
      store->Indata(&key, &payload, &result);
      shuffled.push_back(key);
    }
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    for (std::size_t i = 0; i < kKeys; ++i) positions.push_back(static_cast<LONG>(rng() % kKeys));
  }
};

Filled& filled() {
  static Filled* f = new Filled();
  return *f;
}

// Runs `op(probe)` once per iteration over the probes in turn.
template <class Probes, class Op>
void each(benchmark::State& state, const Probes& probes, Op op) {
  std::size_t i = 0;
  for (auto _ : state) {
    op(probes[i]);
    if (++i == probes.size()) i = 0;
  }
  per_op(state, 1);
}

// The key at a random position, copied out.
void key_at(benchmark::State& state) {
  Filled& f = filled();
  each(state, f.positions, [&](LONG at) {
    VARIANT out;
    f.store->KeyAt(at, &out);
    benchmark::DoNotOptimize(out);
    VariantClear(&out);
  });
}

void index_of(benchmark::State& state) {
  Filled& f = filled();
  each(state, f.shuffled, [&](const VARIANT& k) {
    LONG at = 0;
    f.store->IndexOf(k, &at);
    benchmark::DoNotOptimize(at);
  });
}

// The same descent as IndexOf's, landing on the key and copying it out.
void seek(benchmark::State& state) {
  Filled& f = filled();
  each(state, f.shuffled, [&](const VARIANT& k) {
    VARIANT out;
    f.store->Seek(k, SEEK_AFTER_EQ, &out);
    benchmark::DoNotOptimize(out);
    VariantClear(&out);
  });
}

// Every string into a new store in the given mode; the store is freed with the clock stopped.
void insert_strings(benchmark::State& state, LONG mode) {
  const auto& keys = strings();
  for (auto _ : state) {
    _clsAVLt3* store = new_store();
    store->put_CompareMode(mode);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      VARIANT payload = int_variant(static_cast<LONG>(i)), result;
      store->Indata(const_cast<VARIANT*>(&keys[i]), &payload, &result);
    }
    state.PauseTiming();
    store->Release();
    state.ResumeTiming();
  }
  per_op(state, keys.size());
}

BENCHMARK(key_at)->Name("positions/key_at/store/1000000");
BENCHMARK(index_of)->Name("positions/index_of/store/1000000");
BENCHMARK(seek)->Name("positions/seek_at_or_after/store/1000000");
BENCHMARK_CAPTURE(insert_strings, binary, 0)
    ->Name("compare_mode/insert_random_string/binary/1000000");
BENCHMARK_CAPTURE(insert_strings, text, 1)->Name("compare_mode/insert_random_string/text/1000000");

}  // namespace
