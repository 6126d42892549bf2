// The containers a user would pick instead of the store, holding the same Variant keys under the
// same comparison and copying key and payload in and out as the store does.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>

#include "workloads.h"

namespace quilmar::bench {

// A stored Variant: 16 bytes, deep-copied in, cleared once.
struct Key {
  VARIANT v;
  explicit Key(const VARIANT& src) { copy_value(v, src, EmptyText::null); }
  Key(const Key& o) { copy_value(v, o.v, EmptyText::null); }
  Key(Key&& o) noexcept : v(o.v) { VariantInit(&o.v); }
  Key& operator=(Key&& o) noexcept {
    std::swap(v, o.v);
    return *this;
  }
  ~Key() { VariantClear(&v); }
};

// The store's comparison; transparent, so a probe is looked up without a copy.
struct Less {
  using is_transparent = void;
  bool operator()(const Key& a, const Key& b) const { return compare(a.v, b.v) == Order::less; }
  bool operator()(const Key& a, const VARIANT& b) const { return compare(a.v, b) == Order::less; }
  bool operator()(const VARIANT& a, const Key& b) const { return compare(a, b.v) == Order::less; }
};

class Peer {
 public:
  virtual ~Peer() = default;
  virtual void insert(const VARIANT& key, const VARIANT& payload) = 0;
  // Visits every pair in ascending (or descending) order, copying each out as a client gets it.
  virtual void pass(bool ascending) = 0;
};

enum class PeerKind { multimap, btree, avl_vector, sorted_vector };
const char* name(PeerKind p);
std::unique_ptr<Peer> make_peer(PeerKind p, std::size_t expected_keys);

// A copy of a Variant as the store makes it for a client, released at once.
void copy_out(const VARIANT& v);

}  // namespace quilmar::bench
