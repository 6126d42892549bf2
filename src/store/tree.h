// The tree's floor: the node table seen as an AVL tree whose top is slot 0. Every feature of the
// store walks and reshapes the tree through these operations and never follows a link itself:
// first, last, next and previous, the bound searches, the side a child hangs on, and one cycle
// guard that every descent and climb uses (only a damaged table has a cycle, which then fails
// with the subscript-out-of-range failure instead of hanging). Linking, detaching and moving
// nodes, and both rebalances (balance.cpp), are here too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

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

  // The walks' link reads: what to_slot() and at() check together, answering a slot with a record
  // (or nil) whose record may then be read as table()[slot]. Links are whole slot numbers below
  // 2^24, so a truncation is exact on the common path; anything else takes to_slot()'s rounding
  // and failures, then at()'s.
  Slot down(const AVLtree& n, Side s) const {
    return checked_link(s == Side::small ? n.Small : n.Big);
  }
  Slot up(const AVLtree& n) const { return checked_link(n.Parent); }
  const AVLtree& record(Slot checked) const noexcept {
    return table_[static_cast<std::size_t>(checked)];
  }
  AVLtree& record(Slot checked) noexcept { return table_[static_cast<std::size_t>(checked)]; }

  // A key as the descents compare it: a text key also by its prefix key, which decides most
  // comparisons with a stored text without loading it.
  struct Probe {
    const VARIANT& key;
    bool text;
    std::uint64_t prefix;
  };
  Probe probe(const VARIANT& key) const noexcept;
  // Whether the prefix keys order the probe against the key of the node in `n` (whose record is
  // `node`), and how. A stored "" is left to the full comparison, so a caller that checks for it
  // there sees it.
  bool by_prefix(const Probe& p, Slot n, const AVLtree& node, Order& order) const noexcept {
    if (!p.text || node.Data.vt != VT_BSTR) return false;
    const std::uint64_t stored = table_.prefix(static_cast<std::size_t>(n));
    if (stored == p.prefix || stored == 0) return false;
    order = stored < p.prefix ? Order::greater : Order::less;
    return true;
  }
  Order order_at(const Probe& p, Slot n, const AVLtree& node) const {
    Order order;
    return by_prefix(p, n, node, order) ? order : order_(p.key, node.Data);
  }
  // Starts loading both children of a node a descent is at: records and, for a text probe, prefix
  // keys. A hint: the links are read unchecked and those outside the table skipped.
  void prefetch_children(const Probe& p, const AVLtree& node) const noexcept {
    prefetch_link(node.Small, p.text);
    prefetch_link(node.Big, p.text);
  }
  void prefetch_link(float link, bool with_prefix = false) const noexcept {
    if (!(link >= 0 && link < 16777216.0f)) return;
    const auto s = static_cast<std::size_t>(link);
    if (s >= table_.built()) return;
    __builtin_prefetch(&table_[s]);
    if (with_prefix) __builtin_prefetch(table_.prefixes() + s);
  }

  // Called before `key` is written into a record: from the first text key on, the table keeps
  // prefix keys (when the memory can be had: they are a cache).
  void prepare_prefixes(const VARIANT& key) noexcept;
  // Sets the prefix key of a slot whose record just got a key.
  void key_written(Slot slot) noexcept;
  // Whether the prefix key of every node holding a text is what its key gives (for the verifier).
  bool prefixes_hold() const;

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
  // bound(key, Side::big, true), with the 0-based position of the node found in `*index`.
  Slot lower_bound_ranked(const VARIANT& key, std::size_t* index) const;
  // The node of the biggest key (nil in an empty tree), kept up to date by every change.
  Slot last() const noexcept { return last_; }
  // Positions: the number of nodes on the small side of `n` (its Small link's subtree), the node
  // at a 0-based position in key order (nil past the last), and the position of a node. A count of
  // the small side only, not of the whole subtree, changes with a new node only where the node
  // went small: appending the biggest key changes none.
  std::size_t smaller(Slot n) const { return table_.smaller(static_cast<std::size_t>(n)); }
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
  // A new table in place of the old one, and no nodes.
  void reset(NodeTable table) noexcept {
    table_ = std::move(table);
    count_ = 0;
    last_ = nil;
  }

 private:
  Slot checked_link(float link) const {
    if (link < 0) return nil;
    if (link < 16777216.0f) {
      const auto s = static_cast<Slot>(link);
      if (static_cast<float>(s) == link && static_cast<std::size_t>(s) < table_.built()) return s;
    }
    const Slot s = to_slot(link);
    if (s != nil) at(s);
    return s;
  }
  std::uint32_t& count_of(Slot n) noexcept { return table_.smaller(static_cast<std::size_t>(n)); }
  // A node left the subtree on side `s` of `n`: every node from `n` up that has it on its small
  // side counts one less.
  void uncount(Slot n, Side s);
  // balance.cpp: after a subtree under X on side s grew or shrank by one level.
  void grown(Slot x, Side s);
  void shrunk(Slot x, Side s);
  Slot rotate(Slot x, Side s);

  NodeTable table_;
  float count_ = 0;
  Slot last_ = nil;
  KeyOrder order_;
};

}  // namespace quilmar
