// The store through its vtable against the containers a C++ user would pick instead, each holding
// its own key type (std::u16string or long long) with a long long payload, so that each peer
// compares keys as its key type does: what a user choosing a container sees. Every container
// gets the same keys in the same order; the per_op counter is CPU time per operation.
//
//   build/native/bench/quilmar_bench --benchmark_filter='^typed/'
//
// Only the public header is used, so that the file also builds in older trees and times them alike.
#include <absl/container/btree_map.h>
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <boost/intrusive/avl_set.hpp>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "quilmar/quilmar.h"

namespace {

using String = std::u16string;
using Int = long long;

constexpr std::size_t kLarge = 1000000;
constexpr std::size_t kSmall = 10000;
constexpr std::size_t kBatch = 100;  // keys an enumerator hands out a call

enum class Order { random, ascending };

void per_op(benchmark::State& state, std::size_t ops_per_iteration) {
  state.counters["per_op"] =
      benchmark::Counter(static_cast<double>(state.iterations() * ops_per_iteration),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

std::size_t heap_in_use() {
  const auto m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

String random_string(std::mt19937& rng) {
  String s(8 + rng() % 17, u'a');  // 8 to 24 units
  for (auto& c : s) c = static_cast<char16_t>(u'a' + rng() % 26);
  return s;
}

Int random_int(std::mt19937& rng) {
  return static_cast<LONG>(rng());
}

VARIANT to_variant(const String& s) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  return v;
}

VARIANT to_variant(Int i) {
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = static_cast<LONG>(i);
  return v;
}

// n keys in insertion order, the same keys shuffled (probes and erasure), keys none of which is
// stored (misses and bounds), each also as the Variant the store is called with. Made once and
// kept for the process's life.
template <class K>
struct Data {
  std::vector<K> keys, shuffled, absent;
  std::vector<VARIANT> keys_v, shuffled_v, absent_v;
};

template <class K>
Data<K> make_data(std::size_t n, Order order) {
  Data<K> d;
  std::mt19937 rng(static_cast<unsigned>(n) * 7 + (order == Order::random ? 1 : 2));
  auto draw = [&] {
    if constexpr (std::is_same_v<K, String>)
      return random_string(rng);
    else
      return random_int(rng);
  };
  for (std::size_t i = 0; i < n; ++i) {
    if constexpr (std::is_same_v<K, Int>) {
      if (order == Order::ascending) {
        d.keys.push_back(static_cast<Int>(i));
        continue;
      }
    }
    d.keys.push_back(draw());
  }
  d.shuffled = d.keys;
  std::shuffle(d.shuffled.begin(), d.shuffled.end(), rng);
  std::vector<K> sorted = d.keys;
  std::sort(sorted.begin(), sorted.end());
  while (d.absent.size() < n) {
    K k = draw();
    if (!std::binary_search(sorted.begin(), sorted.end(), k)) d.absent.push_back(std::move(k));
  }
  for (const K& k : d.keys) d.keys_v.push_back(to_variant(k));
  for (const K& k : d.shuffled) d.shuffled_v.push_back(to_variant(k));
  for (const K& k : d.absent) d.absent_v.push_back(to_variant(k));
  return d;
}

template <class K>
const Data<K>& data(std::size_t n, Order order = Order::random) {
  static std::map<std::pair<std::size_t, Order>, Data<K>*> made;
  Data<K>*& d = made[{n, order}];
  if (!d) d = new Data<K>(make_data<K>(n, order));
  return *d;
}

// The store, as a C++ client holds it.
class Store {
 public:
  Store() {
    IClassFactory* factory = nullptr;
    DllGetClassObject(CLSID_clsAVLt, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    factory->CreateInstance(nullptr, IID__clsAVLt2, reinterpret_cast<void**>(&s_));
    factory->Release();
  }
  ~Store() { s_->Release(); }
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  template <class K>
  void fill(const Data<K>& d) {
    for (std::size_t i = 0; i < d.keys_v.size(); ++i) insert(d.keys_v[i], static_cast<Int>(i));
  }
  void insert(const VARIANT& key, Int payload) {
    VARIANT p = to_variant(payload), result;
    s_->Indata(const_cast<VARIANT*>(&key), &p, &result);
  }
  bool contains(const VARIANT& key) {
    VARIANT_BOOL found = VARIANT_FALSE;
    s_->Exists(key, &found);
    return found != VARIANT_FALSE;
  }
  void lower_bound(const VARIANT& key) {
    VARIANT out;
    s_->Seek(key, SEEK_AFTER_EQ, &out);
    benchmark::DoNotOptimize(out);
    VariantClear(&out);
  }
  void erase(const VARIANT& key) {
    LONG removed = 0;
    s_->Remove(key, &removed);
    benchmark::DoNotOptimize(removed);
  }
  // One step of a pass: the key and its payload copied out, as a client reads them.
  void step(MODEVAL mode) {
    VARIANT key, payload;
    s_->Read(&mode, &key);
    s_->ReadSub(&payload);
    benchmark::DoNotOptimize(key);
    benchmark::DoNotOptimize(payload);
    VariantClear(&key);
    VariantClear(&payload);
  }
  _clsAVLt2* operator->() { return s_; }

 private:
  _clsAVLt2* s_ = nullptr;
};

// std::multimap and absl::btree_multimap share one face.
template <class Map>
class MapPeer {
 public:
  using Key = typename Map::key_type;
  explicit MapPeer(std::size_t) {}
  void insert(const Key& k, Int payload) { map_.emplace(k, payload); }
  bool contains(const Key& k) const { return map_.find(k) != map_.end(); }
  void lower_bound(const Key& k) const {
    const auto it = map_.lower_bound(k);
    if (it == map_.end()) return;
    Key out = it->first;
    benchmark::DoNotOptimize(out);
  }
  void erase(const Key& k) { benchmark::DoNotOptimize(map_.erase(k)); }
  auto begin() const { return map_.begin(); }
  auto end() const { return map_.end(); }
  template <class It>
  static const Key& key(It it) {
    return it->first;
  }
  template <class It>
  static Int payload(It it) {
    return it->second;
  }

 private:
  Map map_;
};

namespace bi = boost::intrusive;

template <class K>
struct AvlNode {
  K key;
  Int payload;
  bi::avl_set_member_hook<bi::optimize_size<true>> hook;
  AvlNode(const K& k, Int p) : key(k), payload(p) {}
};

struct NodeLess {
  template <class K>
  bool operator()(const AvlNode<K>& a, const AvlNode<K>& b) const {
    return a.key < b.key;
  }
  template <class K>
  bool operator()(const AvlNode<K>& a, const K& b) const {
    return a.key < b;
  }
  template <class K>
  bool operator()(const K& a, const AvlNode<K>& b) const {
    return a < b.key;
  }
};

// Boost's intrusive AVL tree over nodes in one vector, sized for every key up front so that nodes
// never move; an erased node stays in the vector, unlinked.
template <class K>
class AvlPeer {
  using Node = AvlNode<K>;
  using Tree = bi::avl_multiset<Node, bi::compare<NodeLess>,
                                bi::member_hook<Node, decltype(Node::hook), &Node::hook>>;

 public:
  using Key = K;
  explicit AvlPeer(std::size_t n) { nodes_.reserve(n); }
  ~AvlPeer() { tree_.clear(); }
  AvlPeer(const AvlPeer&) = delete;
  AvlPeer& operator=(const AvlPeer&) = delete;
  void insert(const K& k, Int payload) {
    nodes_.emplace_back(k, payload);
    tree_.insert(nodes_.back());
  }
  bool contains(const K& k) const { return tree_.find(k, NodeLess()) != tree_.end(); }
  void lower_bound(const K& k) const {
    const auto it = tree_.lower_bound(k, NodeLess());
    if (it == tree_.end()) return;
    K out = it->key;
    benchmark::DoNotOptimize(out);
  }
  void erase(const K& k) { benchmark::DoNotOptimize(tree_.erase(k, NodeLess())); }
  auto begin() const { return tree_.begin(); }
  auto end() const { return tree_.end(); }
  template <class It>
  static const K& key(It it) {
    return it->key;
  }
  template <class It>
  static Int payload(It it) {
    return it->payload;
  }

 private:
  std::vector<Node> nodes_;
  Tree tree_;
};

template <class K>
using Multimap = MapPeer<std::multimap<K, Int>>;
template <class K>
using Btree = MapPeer<absl::btree_multimap<K, Int>>;

template <class Peer>
void fill(Peer& peer, const Data<typename Peer::Key>& d) {
  for (std::size_t i = 0; i < d.keys.size(); ++i) peer.insert(d.keys[i], static_cast<Int>(i));
}

// A container filled with a data set, made on first use and kept for the process's life, so that
// repetitions and the read-only rows share it.
template <class C, class K>
C& filled(std::size_t n) {
  static std::map<std::size_t, C*> made;
  C*& c = made[n];
  if (!c) {
    if constexpr (std::is_same_v<C, Store>) {
      c = new Store();
      c->fill(data<K>(n));
    } else {
      c = new C(n);
      fill(*c, data<K>(n));
    }
  }
  return *c;
}

// The keys of a data set as a container takes them.
template <class C, class K>
const auto& probes(const Data<K>& d, bool hit) {
  if constexpr (std::is_same_v<C, Store>)
    return hit ? d.shuffled_v : d.absent_v;
  else
    return hit ? d.shuffled : d.absent;
}

template <class C, class K>
void lookup(benchmark::State& state, bool hit) {
  const auto n = static_cast<std::size_t>(state.range(0));
  C& c = filled<C, K>(n);
  const auto& p = probes<C, K>(data<K>(n), hit);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(c.contains(p[i]));
    if (++i == p.size()) i = 0;
  }
  per_op(state, 1);
}

// The first key at or after a key stored nowhere, copied out.
template <class C, class K>
void lower_bound(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  C& c = filled<C, K>(n);
  const auto& p = probes<C, K>(data<K>(n), false);
  std::size_t i = 0;
  for (auto _ : state) {
    c.lower_bound(p[i]);
    if (++i == p.size()) i = 0;
  }
  per_op(state, 1);
}

// One step of an ascending pass, key and payload copied out; at the end the pass starts again.
template <class C, class K>
void read_step(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  C& c = filled<C, K>(n);
  if constexpr (std::is_same_v<C, Store>) {
    // The pass stops on the last key: a step past it would block reading.
    std::size_t step = 0;
    for (auto _ : state) {
      c.step(step == 0 ? START_READ : READ_NEXT);
      if (++step == n) step = 0;
    }
  } else {
    auto it = c.begin();
    for (auto _ : state) {
      K key = C::key(it);
      Int payload = C::payload(it);
      benchmark::DoNotOptimize(key);
      benchmark::DoNotOptimize(payload);
      if (++it == c.end()) it = c.begin();
    }
  }
  per_op(state, 1);
}

// Keys handed out 100 a call: IEnumVARIANT::Next(100) of the store's enumerator, against 100
// iterator steps copying each key out.
template <class C, class K>
void enumerate(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  C& c = filled<C, K>(n);
  std::size_t total = 0;
  if constexpr (std::is_same_v<C, Store>) {
    IUnknown* unknown = nullptr;
    c->get__NewEnum(&unknown);
    IEnumVARIANT* keys = nullptr;
    unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&keys));
    unknown->Release();
    VARIANT block[kBatch];
    for (auto _ : state) {
      ULONG got = 0;
      keys->Next(kBatch, block, &got);
      for (ULONG i = 0; i < got; ++i) VariantClear(&block[i]);
      total += got;
      if (got < kBatch) keys->Reset();
    }
    keys->Release();
  } else {
    auto it = c.begin();
    for (auto _ : state) {
      for (std::size_t i = 0; i < kBatch; ++i) {
        K key = C::key(it);
        benchmark::DoNotOptimize(key);
        if (++it == c.end()) it = c.begin();
      }
      total += kBatch;
    }
  }
  state.counters["per_op"] = benchmark::Counter(
      static_cast<double>(total), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <class C>
C* make(std::size_t n) {
  if constexpr (std::is_same_v<C, Store>)
    return new Store();
  else
    return new C(n);
}

template <class C, class K>
void insert_keys(C& c, const Data<K>& d) {
  if constexpr (std::is_same_v<C, Store>)
    c.fill(d);
  else
    fill(c, d);
}

// Every key into a new container; the container is freed with the clock stopped.
template <class C, class K>
void insert(benchmark::State& state, Order order) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const Data<K>& d = data<K>(n, order);
  double bytes = 0;
  for (auto _ : state) {
    const std::size_t heap = heap_in_use();
    C* c = make<C>(n);
    insert_keys(*c, d);
    state.PauseTiming();
    bytes = static_cast<double>(heap_in_use() - heap) / static_cast<double>(n);
    delete c;
    state.ResumeTiming();
  }
  per_op(state, n);
  state.counters["bytes_per_key"] = bytes;
}

// Every key erased one by one in a random order from a full container, filled with the clock
// stopped.
template <class C, class K>
void erase_all(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const Data<K>& d = data<K>(n);
  const auto& p = probes<C, K>(d, true);
  for (auto _ : state) {
    state.PauseTiming();
    C* c = make<C>(n);
    insert_keys(*c, d);
    state.ResumeTiming();
    for (const auto& k : p) c->erase(k);
    state.PauseTiming();
    delete c;
    state.ResumeTiming();
  }
  per_op(state, n);
}

// Registers one row for the store and each peer, named typed/<row>/<container>/<n>.
template <class K, template <class, class> class Row, class... Args>
void row(const std::string& name, std::size_t n, Args... args) {
  auto add = [&](const char* who, auto fn) {
    benchmark::RegisterBenchmark(("typed/" + name + "/" + who).c_str(), fn, args...)
        ->Arg(static_cast<std::int64_t>(n));
  };
  add("store", Row<Store, K>::run);
  add("std_multimap", Row<Multimap<K>, K>::run);
  add("absl_btree", Row<Btree<K>, K>::run);
  add("avl_in_vector", Row<AvlPeer<K>, K>::run);
}

template <class C, class K>
struct Lookup {
  static void run(benchmark::State& s, bool hit) { lookup<C, K>(s, hit); }
};
template <class C, class K>
struct LowerBound {
  static void run(benchmark::State& s) { lower_bound<C, K>(s); }
};
template <class C, class K>
struct ReadStep {
  static void run(benchmark::State& s) { read_step<C, K>(s); }
};
template <class C, class K>
struct Enumerate {
  static void run(benchmark::State& s) { enumerate<C, K>(s); }
};
template <class C, class K>
struct Insert {
  static void run(benchmark::State& s, Order order) { insert<C, K>(s, order); }
};
template <class C, class K>
struct EraseAll {
  static void run(benchmark::State& s) { erase_all<C, K>(s); }
};

const bool registered = [] {
  row<String, Lookup>("lookup_hit/string", kLarge, true);
  row<String, Lookup>("lookup_miss/string", kLarge, false);
  row<String, LowerBound>("lower_bound/string", kLarge);
  row<String, ReadStep>("read_step/string", kLarge);
  row<String, EraseAll>("erase_all/string", kLarge);
  row<Int, ReadStep>("read_step/int", kSmall);
  row<Int, Enumerate>("enumerator_100/int", kSmall);
  row<Int, Lookup>("lookup_hit/int", kSmall, true);
  row<Int, Insert>("insert_ascending/int", kLarge, Order::ascending);
  row<Int, Insert>("insert_random/int", kLarge, Order::random);
  row<String, Insert>("insert_random/string", kLarge, Order::random);
  return true;
}();

}  // namespace
