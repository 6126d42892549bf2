// One text comparison, binary against ignoring case, on random strings of 8 to 24 code units;
// and a sort of 1e5 of them, whose comparisons meet the longer common prefixes a tree's lower
// levels hold.
//
//   build/native/bench/quilmar_bench --benchmark_filter='^text_'
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "host/text_case.h"
#include "host/variant.h"

namespace quilmar::bench {
namespace {

enum class Letters {
  ascii,      // a-z and A-Z
  same_case,  // pairs equal but for case: every comparison reads the whole string
  accented,   // Latin-1, Greek and Cyrillic letters of both cases: the table's path
};

Text random_text(std::mt19937& rng, Letters letters) {
  static const Text accented =
      u"\u00C0\u00C9\u00D6\u00DC\u00E0\u00E9\u00F6\u00FC\u0391\u0392\u03A3\u03B1\u03B2\u03C3"
      u"\u03C2\u0410\u0416\u042F\u0430\u0436\u044F";
  const std::size_t length = 8 + rng() % 17;
  Text t;
  for (std::size_t i = 0; i < length; ++i) {
    if (letters == Letters::accented) {
      t += accented[rng() % accented.size()];
    } else {
      const unsigned r = rng() % 52;
      t += static_cast<OLECHAR>(r < 26 ? 'a' + r : 'A' + r - 26);
    }
  }
  return t;
}

std::vector<Text> texts(Letters letters, std::size_t n) {
  std::mt19937 rng(static_cast<unsigned>(letters) + 11);
  std::vector<Text> out;
  while (out.size() < n) {
    out.push_back(random_text(rng, letters));
    if (letters != Letters::same_case) continue;
    Text other = out.back();
    for (auto& c : other) c = static_cast<OLECHAR>(c ^ 0x20);  // a <-> A
    out.push_back(other);
  }
  return out;
}

// Compares each string with the next, over 4096 strings.
void compare_pairs(benchmark::State& state) {
  const auto letters = static_cast<Letters>(state.range(0));
  const bool ignore_case = state.range(1) != 0;
  const std::vector<Text> all = texts(letters, 4096);
  std::size_t i = 0;
  int sum = 0;
  for (auto _ : state) {
    const Text& a = all[i];
    const Text& b = all[i + 1];
    sum += compare_text(a.data(), a.size(), b.data(), b.size(), ignore_case);
    if (++i + 1 == all.size()) i = 0;
  }
  benchmark::DoNotOptimize(sum);
}

void sort_texts(benchmark::State& state) {
  const bool ignore_case = state.range(0) != 0;
  const std::vector<Text> all = texts(Letters::ascii, 100000);
  std::size_t compares = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<TextView> order(all.begin(), all.end());
    state.ResumeTiming();
    std::sort(order.begin(), order.end(), [&](TextView a, TextView b) {
      ++compares;
      return compare_text(a.data(), a.size(), b.data(), b.size(), ignore_case) < 0;
    });
    benchmark::DoNotOptimize(order.data());
  }
  // Seconds per comparison: "40n" is 40 ns.
  state.counters["per_compare"] = benchmark::Counter(
      static_cast<double>(compares), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(compare_pairs)
    ->Name("text_compare")
    ->ArgNames({"letters", "ignore_case"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}});
BENCHMARK(sort_texts)->Name("text_sort_1e5")->ArgNames({"ignore_case"})->Args({0})->Args({1});

}  // namespace
}  // namespace quilmar::bench
