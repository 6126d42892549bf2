#include "workloads.h"

#include <malloc.h>

#include <map>
#include <memory>
#include <random>

namespace quilmar::bench {
namespace {

Variant int_key(LONG v) {
  Variant k;
  k.get()->vt = VT_I4;
  k.get()->lVal = v;
  return k;
}

Variant string_key(std::mt19937& rng) {
  const std::size_t len = 8 + rng() % 17;  // 8 to 24 units
  Text t;
  for (std::size_t i = 0; i < len; ++i) t += static_cast<OLECHAR>('a' + rng() % 26);
  Variant k;
  k.get()->bstrVal = Bstr(t).release();
  k.get()->vt = VT_BSTR;
  return k;
}

}  // namespace

const char* name(Workload w) {
  switch (w) {
    case Workload::random_int: return "random_int";
    case Workload::random_string: return "random_string";
    case Workload::ascending: return "ascending";
    case Workload::descending: return "descending";
    default: return "duplicates";
  }
}

const std::vector<Variant>& keys(Workload w, std::size_t n) {
  static std::map<std::pair<Workload, std::size_t>, std::unique_ptr<std::vector<Variant>>> cache;
  auto& slot = cache[{w, n}];
  if (slot) return *slot;
  slot = std::make_unique<std::vector<Variant>>();
  std::mt19937 rng(static_cast<unsigned>(n) * 31 + static_cast<unsigned>(w));
  slot->reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    switch (w) {
      case Workload::random_int: slot->push_back(int_key(static_cast<LONG>(rng()))); break;
      case Workload::random_string: slot->push_back(string_key(rng)); break;
      case Workload::ascending: slot->push_back(int_key(static_cast<LONG>(i))); break;
      case Workload::descending: slot->push_back(int_key(-static_cast<LONG>(i))); break;
      case Workload::duplicates: slot->push_back(int_key(static_cast<LONG>(rng() % 100))); break;
    }
  }
  return *slot;
}

const std::vector<Variant>& payloads(std::size_t n) {
  static std::vector<Variant> all;
  while (all.size() < n) all.push_back(int_key(static_cast<LONG>(all.size())));
  return all;
}

std::size_t heap_in_use() {
  const auto m = mallinfo2();
  return m.uordblks + m.hblkhd;  // small blocks plus the large ones glibc maps directly
}

}  // namespace quilmar::bench
