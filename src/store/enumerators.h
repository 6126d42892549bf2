// Enumerator positions: each enumerator's own place in the key order, apart from the read cursor.
//
// A position is a cut in the key order: before the first key, or after the last key its
// enumerator returned. The next key is the first pair after the cut as the tree stands, so a key
// inserted after the cut comes later, one inserted before it never does, and none comes twice:
// insertion gives a new node a fresh slot and rotations only relink.
//
// The registry names the cut by the node of the last key returned, and updates it itself when a
// node changes slots (removal moves the last slot's node into the freed one) or leaves. When that
// node leaves, its key stays behind as a ghost: the cut is then "after the ghost key", whose place
// keys inserted later are ordered against (an equal key inserted later comes after it, as
// insertion order says), with the node before the cut kept to tell the ghost from the equal keys
// that came before it. A ghost takes the removed key itself, so removal asks for no memory.
//
// A position that only held (slot, generation, key copy) and re-sought its key after every change
// would be cheaper to hand out, but equal keys make the copy ambiguous (which of three equal keys
// was the last returned?), every Next after a change would pay a descent, and the copy allocates,
// so removal could fail. The registry costs one pass over the live positions, in practice a
// handful, per moved node and nothing per Next.
#pragma once

#include <cstdint>
#include <vector>

#include "host/variant.h"
#include "store/links.h"

namespace quilmar {

class Positions {
 public:
  using Id = std::uint32_t;
  static constexpr std::uint32_t kNoGhost = ~std::uint32_t{0};
  struct Place {
    enum State : std::uint8_t { start, after, closed } state = start;
    // after: the node of the last key returned; with a ghost, the node before the cut (nil for
    // none).
    Slot slot = nil;
    std::uint32_t ghost = kNoGhost;  // the removed last key, when there is one
  };

  // A new position before the first key. Throws std::bad_alloc.
  Id open();
  // A new position where `id` stands. Throws std::bad_alloc.
  Id clone(Id id);
  void close(Id id) noexcept;
  // Before the first key again.
  void reset(Id id);
  // After the node in `slot`, which the position's enumerator just returned.
  void land(Id id, Slot slot);

  // The place of a live position; a subscript-out-of-range failure for any other id.
  const Place& operator[](Id id) const;
  // The key a position's ghost holds.
  const VARIANT& ghost_key(const Place& place) const { return *ghosts_[place.ghost].key; }
  std::size_t live() const noexcept;

  // The node in slot `from` now lives in slot `to`.
  void moved(Slot from, Slot to) noexcept;
  // The node in slot `gone` left the tree with the key `key`; its in-order predecessor is
  // `predecessor` (nil for none). Positions after it keep the key as their ghost: it moves out of
  // `key` when one needs it, and `key` may receive a ghost no position needs any more, for the
  // caller to release once the store is whole.
  void removed(Slot gone, Slot predecessor, Variant& key) noexcept;
  // Every key was removed: positions that had started start over, before whatever comes next.
  void restart_all() noexcept;
  // Whether a live position's cut is right after the node in `slot`.
  bool on(Slot slot) const noexcept;
  // Releases the ghost keys no position needs any more. Releasing a key may run a client's code
  // (an object's last release), which may call the store: call it where the store is whole.
  void sweep() noexcept;

 private:
  struct Ghost {
    Variant key;
    std::uint32_t users = 0;
  };
  Place& at(Id id);
  void let_go(Place& place) noexcept;

  std::vector<Place> places_;  // indexed by Id; closed entries are reused
  // As many as places: a removal always finds one no position uses, without asking for memory.
  std::vector<Ghost> ghosts_;
};

}  // namespace quilmar
