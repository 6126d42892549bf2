// The state of one clsAVLt store and its operations, apart from any COM plumbing.
//
// Numbered invariants (checked by store/verify.h, whose messages cite these numbers; the record
// layout they rest on is asserted in include/quilmar/quilmar.h):
//   I1 order: an in-order walk from slot 0 gives the keys in ascending order; equal keys appear in
//      the order they were inserted (until a removal moves a node, also in ascending slot order).
//   I2 balance: for every node but slot 0 the heights of its subtrees differ by at most one and
//      Balance names the higher side; slot 0 stays BALANCED with Parent -1.
//   I3 links: every child's Parent names its parent; slot 0 is the top of the tree.
//   I4 reach: each of the slots 0..Count-1 is reached from slot 0 exactly once.
//   I5 free: slots Count..AllocSize hold free records (-1 links, "" key and payload, BALANCED).
//   I6 count: Count <= AllocSize + 1, and the table has AllocSize + 1 slots (rounded), unless an
//      Alloc failed, which leaves AllocSize at the size asked for and the old table in use.
#pragma once

#include <cstdint>
#include <vector>

#include "host/variant.h"
#include "quilmar/quilmar.h"
#include "store/enumeration.h"
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

  // Lookup by key (lookup.cpp). Keys compare as insertion compares them; "the first equal key" is
  // the first in read order, the one inserted first. A probe key the store could never hold
  // (Empty, Null, "", NaN, objects, arrays, error values) is simply not found.
  static bool could_hold(const VARIANT& key) noexcept;
  bool exists(const VARIANT& key) const;
  // Copies the payload of the first equal key into `result`; false, `result` untouched, for none.
  bool item(const VARIANT& key, VARIANT& result) const;
  // Replaces the payload of the first equal key, or inserts the pair when there is none. Reports
  // what a refused insertion would have shown in the warning box instead of showing it; a payload
  // that cannot be copied fails the call.
  enum class Put { replaced, inserted, refused, no_room };
  Put put_item(const VARIANT& key, const VARIANT& payload);
  // Puts the cursor on the first equal key and ends a blocked reading (ReadMode FAULT becomes
  // WRITE_DATA, any other stays); false, nothing changed, when there is none.
  bool find(const VARIANT& key);
  // Puts the cursor on the key `how` chooses, copies that key into `result` and ends a blocked
  // reading; false, nothing changed, when no key qualifies. `how` outside Seek is an
  // invalid-argument failure.
  enum class Seek : LONG {
    first_equal = 1,
    last_equal = 2,
    at_or_after = 4,
    after = 8,
    at_or_before = 16,
    before = 32,
  };
  bool seek(const VARIANT& key, LONG how, VARIANT& result);

  // Removal (remove.cpp). Changes nothing that needs memory (only RemoveCurrent's answer, a copy
  // made before anything changes, may). The cursor and every enumerator position follow
  // their nodes; one on a removed key moves on to the next bigger key that remains (the cursor to
  // slot 0 when there is none).
  // Removes every pair whose key equals `key`; answers how many. A key the store could never hold
  // removes nothing.
  std::size_t remove(const VARIANT& key);
  // Removes the pair under the cursor and copies the next bigger key into `result` ("" for none).
  // On an empty store, or while reading is blocked, removes nothing and answers "".
  void remove_current(VARIANT& result);
  // Removes every pair; the policy and AllocSize stay, the cursor goes to slot 0 and a blocked
  // reading opens.
  void remove_all() noexcept;

  // In-order copies (enumeration.cpp). Copies the keys or payloads of every pair with
  // low <= key <= high into `sink` (a null bound is no bound) and returns how many. A bound no key
  // can be ordered against (Null, NaN, objects, arrays, error values) selects nothing.
  std::size_t copy_range(Field field, const VARIANT* low, const VARIANT* high,
                         ValueSink& sink) const;

  // Enumerator positions (enumeration.cpp): each its own place in the key order, never the
  // cursor's. Ids come from open_position or clone_position and stay valid until closed.
  Positions::Id open_position() { return positions_.open(); }
  Positions::Id clone_position(Positions::Id id) { return positions_.clone(id); }
  void close_position(Positions::Id id) noexcept { positions_.close(id); }
  void reset_position(Positions::Id id) { positions_[id] = Positions::Place{}; }
  // Copies up to `most` keys after the position into `sink` and moves the position past them;
  // returns how many. When `sink` throws, the position stays where it was.
  std::size_t next_keys(Positions::Id id, std::size_t most, ValueSink& sink);
  std::size_t skip_keys(Positions::Id id, std::size_t most);
  const Positions& positions() const noexcept { return positions_; }

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

  // The record in `slot`; a subscript-out-of-range failure outside the table's built records
  // (nodes always have one: slots below Count are built).
  AVLtree& at(std::int32_t slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= tree_.built()) fail(kSubscriptOutOfRange);
    return tree_[static_cast<std::size_t>(slot)];
  }
  const AVLtree& at(std::int32_t slot) const { return const_cast<Store*>(this)->at(slot); }
  // A hint only: slots outside the table are skipped.
  void prefetch(Slot slot) const noexcept {
    if (slot >= 0 && static_cast<std::size_t>(slot) < tree_.built())
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
  Slot rotate(Slot slot, Side side);
  Side side_under(Slot parent, Slot slot) const;
  Slot remove_node(Slot slot, Variant& key, Variant& payload);
  void unlink(Slot slot);
  void retrace(Slot slot, Side side);
  void fill_from_last(Slot freed);
  void give_memory_back() noexcept;
  Slot step(Side side);
  void descend(Side side);
  void warn(float shown_size) noexcept;
  Slot first_equal(const VARIANT& key) const;
  Slot bound(const VARIANT& key, Side toward, bool inclusive) const;
  Slot end_slot(Side side) const;
  Slot neighbour(Slot slot, Side side) const;
  // One descent's level count: more levels than slots is a cycle, only in a damaged table, which
  // then fails instead of hanging.
  struct Levels {
    std::size_t left;
    void step() {
      if (left-- == 0) fail(kSubscriptOutOfRange);
    }
  };
  Levels levels() const noexcept { return {tree_.size()}; }
  std::vector<Slot> slots_between(Slot first, Slot last) const;
  std::vector<Slot> slots_in_order() const;
  std::size_t advance(Positions::Id id, std::size_t most, ValueSink* sink);
  void land(Slot slot) noexcept;

  NodeTable tree_;
  float count_ = 0;
  float alloc_size_ = 0;
  EGN_MOD egn_mode_ = NOT_EGNORE;
  float root_index_ = 0;
  MODEVAL read_mode_ = WRITE_DATA;
  float current_index_ = 0;
  Positions positions_;
  // Counts removals and Allocs, which move or drop nodes: a walk that let client code run (a
  // payload's release) knows from it whether the slots it holds still mean what they meant.
  std::uint32_t moves_ = 0;
};

}  // namespace quilmar
