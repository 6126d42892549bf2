// Enumerator positions and in-order copies: what For Each, Keys and Items read, apart from the
// read cursor.
//
// A position is the slot of the last key its enumerator returned (or "not started", or "ended").
// The next key is then that node's in-order successor by the links as they stand, so a key
// inserted after the position comes later, one inserted before it never does, and none comes
// twice: insertion gives a new node a fresh slot and rotations only relink.
//
// The store keeps the live positions in a registry and updates them itself when a node changes
// slots or leaves (removal moves the last slot's node into the freed one) and when it is emptied.
// A position that only held (slot, generation, key copy) and re-sought its key after a change
// would be cheaper to hand out, but equal keys make the copy ambiguous (which of three equal keys
// was the last returned?), every Next after a change would pay a descent, and the copy allocates,
// so removal could fail. The registry costs one pass over the live positions, in practice a
// handful, per moved node and nothing per Next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "quilmar/quilmar.h"
#include "store/links.h"

namespace quilmar {

// Receives copies of keys or payloads in ascending key order (Keys, Items, an enumerator's Next).
class ValueSink {
 public:
  // Called once before the first take() when the number of values is known.
  virtual void reserve(std::size_t count) { (void)count; }
  // Copies the value; may throw, which ends the walk.
  virtual void take(const VARIANT& value) = 0;

 protected:
  ~ValueSink() = default;
};

enum class Field { key, payload };

class Positions {
 public:
  using Id = std::uint32_t;
  struct Place {
    enum State : std::uint8_t { start, after, ended, closed } state = start;
    Slot slot = nil;  // `after`: the node of the last key returned
  };

  // A new position before the first key. Throws std::bad_alloc.
  Id open();
  // A new position where `id` stands. Throws std::bad_alloc.
  Id clone(Id id);
  void close(Id id) noexcept;

  // The place of a live position; a subscript-out-of-range failure for any other id.
  Place& operator[](Id id);
  const Place& operator[](Id id) const { return const_cast<Positions&>(*this)[id]; }
  std::size_t live() const noexcept;

  // The node in slot `from` now lives in slot `to`.
  void moved(Slot from, Slot to) noexcept;
  // The node in slot `gone` left the tree; its in-order predecessor was `predecessor` (nil for
  // none). Positions on it go back to that predecessor, so their next key is the next bigger key
  // that remains.
  void removed(Slot gone, Slot predecessor) noexcept;
  // When a removal moves another node into the slot of the node that left, removed() for the
  // leaving node comes first, then moved().
  // The store was emptied: every live position returns nothing more until it is reset.
  void end_all() noexcept;
  // Every key was removed: positions that had started start over, before whatever comes next.
  void restart_all() noexcept;
  // Whether a live position stands on the node in `slot`.
  bool on(Slot slot) const noexcept;

 private:
  std::vector<Place> places_;  // indexed by Id; closed entries are reused
};

}  // namespace quilmar
