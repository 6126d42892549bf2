// The tree's floor: the node table seen as an AVL tree whose top is slot 0. Every feature of the
// store walks and reshapes the tree through these operations and never follows a link itself:
// first, last, next and previous, the bound searches, the side a child hangs on, and one cycle
// guard that every descent and climb uses (only a damaged table has a cycle, which then fails
// with the subscript-out-of-range failure instead of hanging). Linking, detaching and moving
// nodes, and both rebalances (balance.cpp), are here too.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/variant.h"
#include "store/links.h"
#include "store/node_table.h"

namespace quilmar {

// The top of the tree: the first key after Alloc lives in slot 0 and stays the top.
inline constexpr Slot kTop = 0;

// The key comparison the store uses: compare() of the host, as Indata compares, or a dictionary's
// key order; text that ignores case or not.
struct KeyOrder {
  bool ignore_case = false;
  bool dictionary = false;
  Order operator()(const VARIANT& a, const VARIANT& b) const {
    return dictionary ? compare_dictionary_keys(a, b, ignore_case) : compare(a, b, ignore_case);
  }
};

class Tree {
 public:
  // More steps than the table has slots: only a cycle in a damaged table makes that many.
  class Guard {
   public:
    explicit Guard(std::size_t steps) noexcept : left_(steps) {}
    void step() {
      if (left_-- == 0) fail(kSubscriptOutOfRange);
    }

   private:
    std::size_t left_;
  };

  NodeTable& table() noexcept { return table_; }
  const NodeTable& table() const noexcept { return table_; }
  KeyOrder& order() noexcept { return order_; }
  const KeyOrder& order() const noexcept { return order_; }

  // Nodes in the tree; they fill slots 0..count-1. A float, as the class holds it.
  float count() const noexcept { return count_; }
  void set_count(float n) noexcept { count_ = n; }
  bool empty() const noexcept { return count_ == 0; }

  // The record in `slot`; a subscript-out-of-range failure outside the built records (nodes
  // always have one: slots below Count are built).
  AVLtree& at(Slot slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= table_.built()) fail(kSubscriptOutOfRange);
    return table_[static_cast<std::size_t>(slot)];
  }
  const AVLtree& at(Slot slot) const { return const_cast<Tree*>(this)->at(slot); }
  // A hint only: slots outside the table are skipped.
  void prefetch(Slot slot) const noexcept {
    if (slot >= 0 && static_cast<std::size_t>(slot) < table_.built())
      __builtin_prefetch(&table_[static_cast<std::size_t>(slot)]);
  }
  Guard guard() const noexcept { return Guard(table_.size()); }

  // The end of the subtree under `from` on `side` (small: its smallest key); nil for nil.
  Slot end(Side side, Slot from) const;
  // The smallest (small) or biggest (big) key's node; nil in an empty tree.
  Slot first(Side side) const { return empty() ? nil : end(side, kTop); }
  // The in-order neighbour on `side` (big: the successor); nil when there is none.
  Slot next(Slot n, Side side) const;
  // The first node (toward big) or the last node (toward small) on the `toward` side of `key`,
  // counting equal keys when `inclusive`; nil when there is none. Equal keys hang on the big side
  // of earlier ones, so the first equal key in read order is the first node at or after `key`.
  Slot bound(const VARIANT& key, Side toward, bool inclusive) const;
  // Positions: the number of nodes under `n` (0 for nil), the node at a 0-based position in key
  // order (nil past the last), and the position of a node.
  std::size_t size_of(Slot n) const {
    return n == nil ? 0 : table_.subtree(static_cast<std::size_t>(n));
  }
  Slot select(std::size_t index) const;
  std::size_t rank(Slot n) const;

  // The side `n` hangs on under `p`, read from P's link, never from the keys.
  Side side_under(Slot p, Slot n) const {
    return child(at(p), Side::small) == n ? Side::small : Side::big;
  }

  // Links the node in `slot` as the `side` child of `parent` (nil: as the top), then restores
  // the balance above it. The node's own fields but its links are the caller's.
  void link(Slot slot, Slot parent, Side side);
  // Takes the node in `z` (never the top) out of the tree and restores the balance; its record
  // keeps its key and payload, with links cleared and no subtree.
  void detach(Slot z);
  // Moves the node of slot `from` into the free slot `to`, with every link to it.
  void relocate(Slot from, Slot to);
  // Forgets every node: slots 0..n-1 get cleared links and no subtree; keys and payloads stay.
  void clear(std::size_t n) noexcept;

 private:
  // A node's subtree size from its children's; then the same for each node above it.
  void recount(Slot n) {
    table_.subtree(static_cast<std::size_t>(n)) = static_cast<std::uint32_t>(
        1 + size_of(child(at(n), Side::small)) + size_of(child(at(n), Side::big)));
  }
  void recount_up(Slot n);
  // balance.cpp: after a subtree under X on side s grew or shrank by one level.
  void grown(Slot x, Side s);
  void shrunk(Slot x, Side s);
  Slot rotate(Slot x, Side s);

  NodeTable table_;
  float count_ = 0;
  KeyOrder order_;
};

}  // namespace quilmar
