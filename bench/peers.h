// The containers a user would pick instead of the store, holding the same Variant keys under the
// same comparison and copying key and payload in and out as the store does.
#pragma once

#include <cstddef>
#include <memory>

#include "workloads.h"

namespace quilmar::bench {

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
