#include "peers.h"

#include <absl/container/btree_map.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <boost/intrusive/avl_set.hpp>
#include <map>
#include <vector>

namespace quilmar::bench {
namespace {

template <class Map>
class MapPeer final : public Peer {
 public:
  void insert(const VARIANT& key, const VARIANT& payload) override {
    map_.emplace(Key(key), Key(payload));
  }
  void pass(bool ascending) override {
    if (ascending) {
      for (const auto& [k, p] : map_) copy_out(k.v), copy_out(p.v);
    } else {
      for (auto it = map_.rbegin(); it != map_.rend(); ++it)
        copy_out(it->first.v), copy_out(it->second.v);
    }
  }

 private:
  Map map_;
};

namespace bi = boost::intrusive;

struct AvlNode {
  Key key, payload;
  bi::avl_set_member_hook<bi::optimize_size<true>> hook;
  AvlNode(const VARIANT& k, const VARIANT& p) : key(k), payload(p) {}
};

struct NodeLess {
  bool operator()(const AvlNode& a, const AvlNode& b) const { return Less()(a.key, b.key); }
};

class AvlVectorPeer final : public Peer {
  using Tree = bi::avl_multiset<AvlNode, bi::compare<NodeLess>,
                                bi::member_hook<AvlNode, decltype(AvlNode::hook), &AvlNode::hook>>;

 public:
  explicit AvlVectorPeer(std::size_t n) { nodes_.reserve(n); }  // pre-sized: nodes never move
  ~AvlVectorPeer() override { tree_.clear(); }
  void insert(const VARIANT& key, const VARIANT& payload) override {
    nodes_.emplace_back(key, payload);
    tree_.insert(nodes_.back());
  }
  void pass(bool ascending) override {
    if (ascending) {
      for (const AvlNode& n : tree_) copy_out(n.key.v), copy_out(n.payload.v);
    } else {
      for (auto it = tree_.rbegin(); it != tree_.rend(); ++it)
        copy_out(it->key.v), copy_out(it->payload.v);
    }
  }

 private:
  std::vector<AvlNode> nodes_;
  Tree tree_;
};

class SortedVectorPeer final : public Peer {
 public:
  void insert(const VARIANT& key, const VARIANT& payload) override {
    Key k(key);
    const auto at =
        std::upper_bound(items_.begin(), items_.end(), k,
                         [](const Key& a, const auto& b) { return Less()(a, b.first); });
    items_.emplace(at, std::move(k), Key(payload));
  }
  void pass(bool ascending) override {
    if (ascending) {
      for (const auto& [k, p] : items_) copy_out(k.v), copy_out(p.v);
    } else {
      for (auto it = items_.rbegin(); it != items_.rend(); ++it)
        copy_out(it->first.v), copy_out(it->second.v);
    }
  }

 private:
  std::vector<std::pair<Key, Key>> items_;
};

}  // namespace

const char* name(PeerKind p) {
  switch (p) {
    case PeerKind::multimap: return "std_multimap";
    case PeerKind::btree: return "absl_btree";
    case PeerKind::avl_vector: return "avl_in_vector";
    default: return "sorted_vector";
  }
}

std::unique_ptr<Peer> make_peer(PeerKind p, std::size_t n) {
  switch (p) {
    case PeerKind::multimap: return std::make_unique<MapPeer<std::multimap<Key, Key, Less>>>();
    case PeerKind::btree: return std::make_unique<MapPeer<absl::btree_multimap<Key, Key, Less>>>();
    case PeerKind::avl_vector: return std::make_unique<AvlVectorPeer>(n);
    default: return std::make_unique<SortedVectorPeer>();
  }
}

void copy_out(const VARIANT& v) {
  VARIANT out;
  copy_value(out, v);
  benchmark::DoNotOptimize(out);
  VariantClear(&out);
}

}  // namespace quilmar::bench
