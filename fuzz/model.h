// The reference the fuzzer holds the store to, written from the class's documented rules and not
// from the store's code: the keys as a sorted list of slots, the refusals, the growth, and the
// cursor and FAULT rules, with nothing of the tree. The host's Variant comparison and copy are
// shared, as they are services the store uses rather than rules of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "host/variant.h"
#include "quilmar/quilmar.h"

namespace quilmar::fuzz {

// The value a Variant holds, following references to Variants as far as they go.
const VARIANT& referenced(const VARIANT& v);

// A stored copy of v, as the store keeps one; false when v cannot be copied.
bool copy_of(const VARIANT& v, Variant& out);

// Same kind and same value; a text held as a null string equals "".
bool same(const VARIANT& a, const VARIANT& b);

// Text in text mode (CompareMode above 0): each code unit mapped to its simple uppercase form (the
// host's Unicode table, a service like the Variant comparison), then unit by unit, a proper prefix
// first. Negative, zero or positive.
int fold_compare(const OLECHAR* a, std::size_t na, const OLECHAR* b, std::size_t nb);

// The clsAVLt key order under a CompareMode: the host's comparison, but two texts compare folded
// when the mode is above 0.
Order key_order(const VARIANT& a, const VARIANT& b, LONG compare_mode);

struct ReadAnswer {
  bool fails;  // subscript out of range: the object has no table at all
  Variant result;
  MODEVAL inout;  // the Spec argument afterwards
  float cursor;
  MODEVAL mode;
};

class Model {
 public:
  struct Pair {
    Variant key, payload;
    std::uint64_t stamp = 0;  // when it was inserted: equal keys are in this order
  };

  Model();
  // A deep copy, for calls that are all or nothing.
  void copy_from(const Model& other);
  // A new object: slots 0..100, no keys; no table at all when its memory was refused.
  void reset(bool table_refused = false);

  // The answer of Alloc(siz) given whether its table could be had.
  bool alloc(float siz, bool allocation_refused);
  // Whether Alloc(siz) asks for memory at all (a bound it accepts).
  static bool alloc_asks_memory(float siz);

  // Indata(key, payload); the answer is the size the warning box shows, or none.
  // `allocation_refused`: the table's memory was refused during the call.
  std::optional<float> indata(const VARIANT& key, const VARIANT& payload, bool allocation_refused);
  // Whether the last indata() had to grow the table (so an allocation could be asked for).
  bool may_allocate() const { return may_allocate_; }

  ReadAnswer read(MODEVAL asked) const;
  void apply(const ReadAnswer& a) {
    cursor = a.cursor;
    read_mode = a.mode;
  }
  // The payload under the cursor; none when the call fails for want of a table.
  std::optional<Variant> read_sub() const;

  // Lookup by key. A key the store could never hold (one Indata refuses for what it is) is found
  // nowhere. `how` is a Seek mode: 1 first equal, 2 last equal, 4 first >=, 8 first >, 16 last
  // <=, 32 last <; the answer is the slot found, or none.
  static bool holdable(const VARIANT& key);
  // The six Seek modes; another is error 5.
  static bool seek_mode(LONG how);
  std::optional<std::int32_t> seek(const VARIANT& key, LONG how) const;
  // Find and Seek that land: the cursor goes there, and a blocked reading opens (as WRITE_DATA).
  void land(std::int32_t slot);
  // The slots of the keys with low <= key <= high (a null bound is none) in key order; a bound
  // that cannot be ordered selects nothing.
  std::vector<std::int32_t> range(const VARIANT* low, const VARIANT* high) const;
  // A bound of Keys or Items as a client passes it: left out (a missing argument) or Empty
  // (JScript's undefined) is no bound (null), anything else a bound.
  static const VARIANT* bound(const VARIANT& given);
  // A missing argument, as COM passes one: the error value DISP_E_PARAMNOTFOUND, also in a
  // script's variable.
  static bool left_out(const VARIANT& given);
  // Item(key) = payload: the payload of the first equal key replaced, or the pair inserted.
  enum class Put { replaced, inserted, refused, no_room, fails };
  Put put(const VARIANT& key, const VARIANT& payload, bool allocation_refused);

  // Removal. Remove: every pair with a key equal to `key` (none for a key the store could never
  // hold), answering how many. RemoveCurrent: the pair under the cursor, answering the next bigger
  // key ("" for none); nothing, and "", while reading is blocked or the store is empty.
  // RemoveAll: every pair; the policy and the size stay, a blocked reading opens.
  LONG remove(const VARIANT& key);
  Variant remove_current();
  void remove_all();

  // Enumerator positions: after the pair it returned last (its key and when it was inserted);
  // the next pairs are those after it in the order as it stands, whatever was removed since.
  // RemoveAll and Alloc start every position over.
  struct Position {
    bool started = false;
    Variant key;
    std::uint64_t stamp = 0;
    Position clone() const;
  };
  // Up to `most` slots after `p`, moving `p` past them.
  std::vector<std::int32_t> next(Position& p, std::size_t most) const;
  std::vector<Position> positions;

  // Positions: the 0-based place in `order`. KeyAt, ItemAt and IndexOf move nothing; RemoveAt
  // removes as RemoveCurrent does (the cursor on it moves to the next pair); Position is the
  // cursor's place, -1 on an empty store or while reading is blocked, and setting it lands as Find
  // does. An index outside 0..Count-1 is none of these.
  bool in_range(LONG index) const { return index >= 0 && index < static_cast<LONG>(order.size()); }
  const Pair& at(LONG index) const {
    return slots[static_cast<std::size_t>(order[static_cast<std::size_t>(index)])];
  }
  Pair& at(LONG index) {
    return slots[static_cast<std::size_t>(order[static_cast<std::size_t>(index)])];
  }
  LONG index_of(const VARIANT& key) const;
  void remove_at(LONG index) { drop(static_cast<std::size_t>(index)); }
  LONG position() const;

  // CompareMode may change only while no key is held, and never to a negative value.
  bool compare_mode_settable(LONG mode) const { return mode >= 0 && order.empty(); }
  Order cmp(const VARIANT& a, const VARIANT& b) const { return key_order(a, b, compare_mode); }

  float count() const { return static_cast<float>(slots.size()); }
  // The key in a slot, "" for a free one.
  const VARIANT& key_at(float slot) const;
  // True while the table's size is out of step with AllocSize (after a refused Alloc).
  bool out_of_step() const;

  std::vector<Pair> slots;          // by slot number
  std::vector<std::int32_t> order;  // slots by ascending key, equal keys in insertion order
  float alloc_size = 100;
  std::size_t table_slots = 101;
  EGN_MOD egn = NOT_EGNORE;
  MODEVAL read_mode = WRITE_DATA;
  float cursor = 0;
  LONG compare_mode = 0;  // kept by Alloc and RemoveAll

 private:
  bool extend_to(float size, bool allocation_refused);
  void drop(std::size_t at);
  void relabel(std::int32_t from, std::int32_t to);
  bool may_allocate_ = false;
  bool gave_back_ = false;
  std::uint64_t stamps_ = 0;  // removals since the last Alloc may have given memory back
  Variant free_text_;
};

}  // namespace quilmar::fuzz
