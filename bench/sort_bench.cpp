// Sort through _clsAVLt3's vtable, as a C++ client calls it, beside std::stable_sort of the same
// values in a std::vector: 1e6 random numbers in an array of Variants (as VBA and VBScript pass
// one), and 1e6 rows of two columns sorted by a text column of random strings of 8 to 24 letters.
// Sort's time includes taking each row's key and copying the rows into the new array; the peers'
// copy of their vector is made with the clock stopped. Both sides free their result untimed.
//
//   build/native/bench/quilmar_bench --benchmark_filter='^sort_'
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "host/variant.h"
#include "quilmar/quilmar.h"

namespace quilmar::bench {
namespace {

constexpr std::size_t kRows = 1000000;

std::vector<double> random_numbers() {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> value(-1e6, 1e6);
  std::vector<double> out(kRows);
  for (double& d : out) d = value(rng);
  return out;
}

std::vector<std::u16string> random_texts() {
  std::mt19937 rng(5);
  std::vector<std::u16string> out(kRows);
  for (std::u16string& t : out) {
    t.resize(8 + rng() % 17);
    for (char16_t& c : t) {
      const unsigned r = rng() % 52;
      c = static_cast<char16_t>(r < 26 ? 'a' + r : 'A' + r - 26);
    }
  }
  return out;
}

const std::vector<double>& numbers() {
  static const std::vector<double> all = random_numbers();
  return all;
}

const std::vector<std::u16string>& texts() {
  static const std::vector<std::u16string> all = random_texts();
  return all;
}

// An array of Variants, rows by `columns`, 1-based as Range.Value; 1-D when columns is 0.
Variant make_array(ULONG columns) {
  SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(kRows), 1}, {columns, 1}};
  Variant out;
  out.get()->parray = SafeArrayCreate(VT_VARIANT, columns ? 2 : 1, bounds);
  out.get()->vt = VT_ARRAY | VT_VARIANT;
  return out;
}

VARIANT* elements(const Variant& array) {
  return static_cast<VARIANT*>(array->parray->pvData);
}

const Variant& number_array() {
  static const Variant array = [] {
    Variant a = make_array(0);
    for (std::size_t i = 0; i < kRows; ++i) {
      elements(a)[i].vt = VT_R8;
      elements(a)[i].dblVal = numbers()[i];
    }
    return a;
  }();
  return array;
}

// Column 1 the text, column 2 the row's number.
const Variant& text_rows() {
  static const Variant array = [] {
    Variant a = make_array(2);
    for (std::size_t i = 0; i < kRows; ++i) {
      VARIANT& t = elements(a)[i];
      t.vt = VT_BSTR;
      t.bstrVal = Bstr(Text(texts()[i].begin(), texts()[i].end())).release();
      VARIANT& n = elements(a)[kRows + i];
      n.vt = VT_I4;
      n.lVal = static_cast<LONG>(i);
    }
    return a;
  }();
  return array;
}

_clsAVLt3* new_store() {
  IClassFactory* factory = nullptr;
  _clsAVLt3* store = nullptr;
  DllGetClassObject(CLSID_clsAVLt, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  factory->CreateInstance(nullptr, IID__clsAVLt3, reinterpret_cast<void**>(&store));
  factory->Release();
  return store;
}

void run_sort(benchmark::State& state, const Variant& values, const VARIANT& by) {
  _clsAVLt3* store = new_store();
  VARIANT left_out;
  VariantInit(&left_out);
  left_out.vt = VT_ERROR;
  left_out.scode = DISP_E_PARAMNOTFOUND;
  for (auto _ : state) {
    Variant out;
    if (store->Sort(*values, by, left_out, out.get()) != S_OK) state.SkipWithError("Sort failed");
    state.PauseTiming();
    out = Variant();
    state.ResumeTiming();
  }
  store->Release();
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRows));
}

void sort_numbers_store(benchmark::State& state) {
  VARIANT by;
  VariantInit(&by);
  by.vt = VT_ERROR;
  by.scode = DISP_E_PARAMNOTFOUND;
  run_sort(state, number_array(), by);
}

void sort_text_rows_store(benchmark::State& state) {
  VARIANT by;
  VariantInit(&by);
  by.vt = VT_I4;
  by.lVal = 1;
  run_sort(state, text_rows(), by);
}

template <class T>
void run_stable_sort(benchmark::State& state, const std::vector<T>& values) {
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<T> copy = values;
    state.ResumeTiming();
    std::stable_sort(copy.begin(), copy.end());
    benchmark::DoNotOptimize(copy.data());
    state.PauseTiming();
    copy = {};
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRows));
}

void sort_numbers_std(benchmark::State& state) {
  run_stable_sort(state, numbers());
}

void sort_text_rows_std(benchmark::State& state) {
  run_stable_sort(state, texts());
}

BENCHMARK(sort_numbers_store)->Name("sort_numbers/store/1000000")->Unit(benchmark::kMillisecond);
BENCHMARK(sort_numbers_std)
    ->Name("sort_numbers/std_stable_sort/1000000")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(sort_text_rows_store)->Name("sort_text/store/1000000")->Unit(benchmark::kMillisecond);
BENCHMARK(sort_text_rows_std)
    ->Name("sort_text/std_stable_sort/1000000")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quilmar::bench
