// The state of one clsAVLt store and its operations, apart from any COM plumbing.
//
// Numbered invariants (checked by store/verify.h, whose messages cite these numbers; the record
// layout they rest on is asserted in include/quilmar/quilmar.h):
//   I1 order: an in-order walk from slot 0 gives the keys in ascending order; equal keys appear in
//      the order they were inserted.
//   I2 balance: for every node but slot 0 the heights of its subtrees differ by at most one and
//      Balance names the higher side; slot 0 stays BALANCED with Parent -1.
//   I3 links: every child's Parent names its parent; slot 0 is the top of the tree.
//   I4 reach: each of the slots 0..Count-1 is reached from slot 0 exactly once.
//   I5 free: slots Count..AllocSize hold free records (-1 links, "" key and payload, BALANCED).
//   I6 count: Count <= AllocSize + 1, and the table has AllocSize + 1 slots (rounded), unless an
//      Alloc failed, which leaves AllocSize at the size asked for and the old table in use.
#pragma once

#include <cstdint>

#include "host/variant.h"
#include "quilmar/quilmar.h"
#include "store/links.h"
#include "store/node_table.h"
#include "store/slot.h"

namespace quilmar {

class Store {
 public:
  // Every member zero and no table, as the class factory creates it; the construction step
  // then calls alloc(100).
  Store() noexcept = default;

  // Discards all keys and builds a table with slots 0..siz (rounded half to even). False, and the
  // old table kept, when that table cannot be built.
  bool alloc(float siz) noexcept;

  EGN_MOD egnore() const noexcept { return egn_mode_; }
  void set_egnore(EGN_MOD mode) noexcept { egn_mode_ = mode; }
  LONG memory_size() const { return to_int32(alloc_size_); }
  LONG data_number() const { return to_int32(count_); }
  static constexpr const OLECHAR* version() noexcept { return OLESTR("Ver1.06"); }

  // Inserts a key with its payload under the duplicate policy. Never fails: a key that cannot be
  // stored is refused with the warning box.
  void indata(const VARIANT& key, const VARIANT& payload) noexcept;

  // Moves the cursor as `spec` asks and returns a copy of the key there (see Read).
  void read(MODEVAL& spec, VARIANT& result);
  // A copy of the payload under the cursor.
  void read_sub(VARIANT& result) const;

  // Read-only views for tests, the verifier and benchmarks.
  const NodeTable& table() const noexcept { return tree_; }
  float count() const noexcept { return count_; }
  float alloc_size() const noexcept { return alloc_size_; }
  float current_index() const noexcept { return current_index_; }
  MODEVAL read_mode() const noexcept { return read_mode_; }

 private:
  // A growth of the table that could not be had; the warning shows the size asked for.
  struct GrowthRefused {
    float size;
  };

  // The record in `slot`; a subscript-out-of-range failure outside the table.
  AVLtree& at(std::int32_t slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= tree_.size()) fail(kSubscriptOutOfRange);
    return tree_[static_cast<std::size_t>(slot)];
  }
  const AVLtree& at(std::int32_t slot) const { return const_cast<Store*>(this)->at(slot); }
  // A hint only: slots outside the table are skipped.
  void prefetch(Slot slot) const noexcept {
    if (slot >= 0 && static_cast<std::size_t>(slot) < tree_.size())
      __builtin_prefetch(&tree_[static_cast<std::size_t>(slot)]);
  }
  // The read cursor is a member, not a local, so that a walk sees where calls from the event pump
  // left it.
  Slot cursor() const { return to_slot(current_index_); }
  void set_cursor(Slot slot) noexcept { current_index_ = to_link(slot); }

  void insert(const VARIANT& key, const VARIANT& payload);
  void make_room(std::int32_t slot);
  void grow_to(float size);
  void prefetch_children(const AVLtree& node) const;
  void rebalance(Slot slot, Side side);
  void rotate(Slot slot, Side side);
  Slot step(Side side);
  void descend(Side side);
  void warn(float shown_size) noexcept;

  NodeTable tree_;
  float count_ = 0;
  float alloc_size_ = 0;
  EGN_MOD egn_mode_ = NOT_EGNORE;
  float root_index_ = 0;
  MODEVAL read_mode_ = WRITE_DATA;
  float current_index_ = 0;
};

}  // namespace quilmar
