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
//   I6 count: with AllocSize rounded (half to even), Count <= AllocSize + 1 and the table has
//      AllocSize + 1 slots, unless an Alloc failed, which leaves AllocSize at the size asked for
//      and the old table in use.
//   I7 positions: beside each record, the number of nodes in its subtree (0 for a free slot), from
//      which a node's 0-based position in key order follows.
//
// Where each part lives: the tree's walks, links and rebalancing in tree.h (tree.cpp,
// balance.cpp); below the Store's public members, each group names its file; the enumerator
// registry in enumerators.h.
#pragma once

#include <cstdint>
#include <vector>

#include "host/variant.h"
#include "quilmar/quilmar.h"
#include "store/enumerators.h"
#include "store/links.h"
#include "store/slot.h"
#include "store/tree.h"
#include "store/value_sink.h"

namespace quilmar {

// Which keys a store takes and how they are ordered: clsAVLt's own (numbers, then text; nothing
// that reads as an empty slot, and nothing without an order), or a dictionary's (Null, numbers,
// text with Empty as "", error values, objects by identity; only NaN and arrays refused).
enum class KeyKinds : std::uint8_t { store, dictionary };

class Store {
 public:
  // Every member zero and no table, as the class factory creates it; the construction step
  // then calls alloc(100).
  explicit Store(KeyKinds kinds = KeyKinds::store) noexcept {
    tree_.order().dictionary = kinds == KeyKinds::dictionary;
  }

  // store.cpp. Discards all keys and builds a table with slots 0..siz (rounded half to even).
  // False, and the old table kept, when that table cannot be built.
  bool alloc(float siz) noexcept;
  EGN_MOD egnore() const noexcept { return egn_mode_; }
  void set_egnore(EGN_MOD mode) noexcept { egn_mode_ = mode; }
  LONG memory_size() const { return to_int32(alloc_size_); }
  LONG data_number() const { return to_int32(tree_.count()); }
  static constexpr const OLECHAR* version() noexcept { return OLESTR("Ver1.06"); }
  // The warning box's text for a refused key, naming the size that could not be had.
  static Text warning_text(float shown_size);
  // A key the store could hold. Its own keys: not read as an empty slot ("", Empty, Null) and
  // with an order (not NaN, an object, an array or an error value). A dictionary's: anything but
  // NaN and arrays.
  bool could_hold(const VARIANT& key) const noexcept;
  // The store's key order (its kinds, its CompareMode).
  const KeyOrder& key_order() const noexcept { return tree_.order(); }
  KeyKinds key_kinds() const noexcept {
    return tree_.order().dictionary ? KeyKinds::dictionary : KeyKinds::store;
  }
  // How text keys compare: 0 binary, anything above (1 text, 2 as 1, locale identifiers as 1)
  // without regard to case; it reads back the value set. A negative mode, or any mode while keys
  // are held, is an invalid-argument failure with nothing changed. Alloc and RemoveAll keep it.
  LONG compare_mode() const noexcept { return compare_mode_; }
  void set_compare_mode(LONG mode);

  // insert.cpp. Inserts a key with its payload under the duplicate policy. Never fails: a key
  // that cannot be stored is refused with the warning box.
  void indata(const VARIANT& key, const VARIANT& payload) noexcept;
  // Replaces the payload of the first equal key, or inserts the pair when there is none. Reports
  // what a refused insertion would have shown in the warning box instead of showing it; a payload
  // that cannot be copied fails the call.
  enum class Put { replaced, inserted, refused, no_room };
  Put put_item(const VARIANT& key, const VARIANT& payload);

  // load.cpp. Many pairs in one call, in their order, each as Indata puts it (LoadAs::indata) or
  // as Item(key) = payload does (LoadAs::item), all or nothing: a key the store cannot hold fails
  // with the invalid-argument failure, a pair there is no room for with the out-of-memory one,
  // each naming its row, and the store is then as it was. The store takes the pairs out of
  // `rows`, which then hold whatever the call let go of (replaced pairs), released by the
  // caller once the store is whole. Answers the number of rows.
  struct LoadRow {
    Variant key, payload;
    LONG row;  // the row's index in the caller's array, for failures
  };
  enum class LoadAs { indata, item };
  std::size_t load(std::vector<LoadRow>& rows, LoadAs as);

  // read.cpp. Moves the cursor as `spec` asks and returns a copy of the key there (see Read).
  void read(MODEVAL& spec, VARIANT& result);
  // A copy of the payload under the cursor.
  void read_sub(VARIANT& result) const;

  // lookup.cpp. Keys compare as insertion compares them; "the first equal key" is the first in
  // read order, the one inserted first. A probe key the store could never hold is simply not
  // found.
  bool exists(const VARIANT& key) const;
  // Copies the payload of the first equal key into `result`; false, `result` untouched, for none.
  bool item(const VARIANT& key, VARIANT& result) const;
  // Puts the cursor on the first equal key and ends a blocked reading (ReadMode FAULT becomes
  // WRITE_DATA, any other stays); false, nothing changed, when there is none.
  bool find(const VARIANT& key);
  // Puts the cursor on the key `how` (a SEEKMODE) chooses, copies that key into `result` and ends
  // a blocked reading; false, nothing changed, when no key qualifies. Another `how` is an
  // invalid-argument failure.
  bool seek(const VARIANT& key, LONG how, VARIANT& result);

  // index.cpp. Every pair has a 0-based position in key order, equal keys in insertion order. An
  // index outside 0..Count-1 is a subscript-out-of-range failure, with nothing changed. None of
  // these moves the cursor but set_position and remove_at (whose cursor goes as for
  // remove_current).
  void key_at(LONG index, VARIANT& result) const;
  void item_at(LONG index, VARIANT& result) const;
  void put_item_at(LONG index, const VARIANT& payload);
  // The position of the first equal key; -1 when there is none.
  LONG index_of(const VARIANT& key) const;
  void remove_at(LONG index);
  // The position of the pair under the cursor; -1 on an empty store or while reading is blocked.
  LONG position() const;
  // Puts the cursor on the pair at `index` and ends a blocked reading, as Find does.
  void set_position(LONG index);

  // remove.cpp. Changes nothing that needs memory (only RemoveCurrent's answer, a copy made
  // before anything changes, may). The cursor and every enumerator position follow their nodes;
  // the cursor on a removed key moves on to the next bigger key that remains (to slot 0 when there
  // is none), and an enumerator stays after the removed key (enumerators.h).
  // Removes every pair whose key equals `key`; answers how many. A key the store could never hold
  // removes nothing.
  std::size_t remove(const VARIANT& key);
  // Removes the pair under the cursor and copies the next bigger key into `result` ("" for none).
  // On an empty store, or while reading is blocked, removes nothing and answers "".
  void remove_current(VARIANT& result);
  // Removes every pair; the policy and AllocSize stay, the cursor goes to slot 0, a blocked
  // reading opens and every enumerator starts over.
  void remove_all() noexcept;
  // Gives the first pair whose key equals `key` the key `new_key`, which no pair holds; the pair
  // takes its new place in the order. The new node comes first, so a failure (no key equal to
  // `key`: element not found; no room: out of memory) changes nothing.
  void rename(const VARIANT& key, const VARIANT& new_key);

  // ranges.cpp. Copies the keys, payloads or both of every pair with low <= key <= high into
  // `sink` (a null bound is no bound) and returns how many pairs; `sink` is told that number. A
  // bound no key can be ordered against (Null, NaN, objects, arrays, error values) selects nothing.
  std::size_t copy_range(Field field, const VARIANT* low, const VARIANT* high,
                         ValueSink& sink) const;
  // Enumerator positions: ids come from open_position or clone_position and stay valid until
  // closed.
  Positions::Id open_position() { return positions_.open(); }
  Positions::Id clone_position(Positions::Id id) { return positions_.clone(id); }
  void close_position(Positions::Id id) noexcept;
  void reset_position(Positions::Id id);
  // Copies up to `most` keys after the position into `sink` and moves the position past them;
  // returns how many. When `sink` throws, the position stays where it was.
  std::size_t next_keys(Positions::Id id, std::size_t most, ValueSink& sink);
  std::size_t skip_keys(Positions::Id id, std::size_t most);
  const Positions& positions() const noexcept { return positions_; }

  // Read-only views for tests, the verifier and benchmarks.
  const NodeTable& table() const noexcept { return tree_.table(); }
  float count() const noexcept { return tree_.count(); }
  float alloc_size() const noexcept { return alloc_size_; }
  float current_index() const noexcept { return current_index_; }
  MODEVAL read_mode() const noexcept { return read_mode_; }

 private:
  // A growth of the table that could not be had, or a full table; the warning shows the size.
  struct GrowthRefused {
    float size;
  };
  // The walk met a free-looking slot below a node: only a damaged table has one.
  struct NoDirection : Failure {
    NoDirection() noexcept : Failure(kSubscriptOutOfRange) {}
  };
  // Where a key goes: below `parent` on `side` (parent nil: into an empty tree), or, when the
  // search stopped at equal keys, the first of them.
  struct Place {
    Slot parent = nil;
    Side side = Side::small;
    Slot equal = nil;
  };

  // The read cursor is a member, not a local, so that a walk sees where calls from the event pump
  // left it.
  Slot cursor() const { return to_slot(current_index_); }
  void set_cursor(Slot slot) noexcept { current_index_ = to_link(slot); }

  // insert.cpp
  void insert(const VARIANT& key, const VARIANT& payload);
  Place find_place(const VARIANT& key, bool stop_at_equal) const;
  void link_new_node(const Place& place, Variant& key, Variant& payload);
  void make_room(Slot slot);
  void grow_to(float size);
  void warn(float shown_size) noexcept;
  // load.cpp
  struct LoadUndo;
  void undo_load(const LoadUndo& undo, std::vector<LoadRow>& rows, std::size_t done) noexcept;
  // read.cpp
  Slot step(Side side);
  void descend(Side side);
  // index.cpp
  Slot at_index(LONG index) const;
  // lookup.cpp
  Slot first_equal(const VARIANT& key) const;
  void land(Slot slot) noexcept;
  // remove.cpp
  Slot remove_node(Slot slot, Variant& key, Variant& payload);
  void give_memory_back() noexcept;
  // ranges.cpp
  std::vector<Slot> slots_between(Slot first, Slot last) const;
  std::vector<Slot> slots_in_order() const;
  Slot after_cut(const Positions::Place& place) const;
  std::size_t advance(Positions::Id id, std::size_t most, ValueSink* sink);

  Tree tree_;
  float alloc_size_ = 0;
  EGN_MOD egn_mode_ = NOT_EGNORE;
  LONG compare_mode_ = 0;
  MODEVAL read_mode_ = WRITE_DATA;
  float current_index_ = 0;
  Positions positions_;
  // Counts removals and Allocs, which move or drop nodes: a walk that let client code run (a
  // payload's release) knows from it whether the slots it holds still mean what they meant.
  std::uint32_t generation_ = 0;
};

}  // namespace quilmar
