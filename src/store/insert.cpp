// Insertion: where a key goes, the duplicate policies, the new node in slot Count, the table's
// growth by 100 slots, and the two messages; Item's put shares the place and the linking.
#include <cmath>
#include <new>
#include <utility>

#include "host/message_box.h"
#include "store/store.h"

namespace quilmar {

Text Store::warning_text(float shown_size) {
  Text text = OLESTR("Quilmar.DLL No Memory.\r\n(AllocSize=");
  text += float_text(shown_size);
  text += OLESTR(" Failed)");
  return text;
}

void Store::warn(float shown_size) noexcept {
  try {
    message_box(warning_text(shown_size), 0, OLESTR("WARNING"));
  } catch (...) {
    // Not even the text could be built: there is nobody left to tell.
  }
}

void Store::indata(const VARIANT& key, const VARIANT& payload) noexcept {
  try {
    insert(key, payload);
  } catch (const GrowthRefused& g) {
    warn(g.size);
  } catch (const NoDirection&) {
    // Storing there would lose the key.
    message_box(OLESTR("Insert Data has no direction of big or small.(Quilmar.dll)"), 0,
                OLESTR("INTERNAL ERROR"));
  } catch (...) {
    warn(alloc_size_);
  }
}

void Store::insert(const VARIANT& key, const VARIANT& payload) {
  // A key that reads as a free slot would hide every node below it from later walks, and one
  // without an order would leave every later key unplaceable: neither is stored.
  if (!could_hold(key)) fail(DISP_E_TYPEMISMATCH);
  const bool absorbs = egn_mode_ == USE_FIRST_DATA || egn_mode_ == USE_LAST_DATA;
  const Place place = find_place(key, absorbs);
  if (place.equal != nil) {
    if (egn_mode_ == USE_FIRST_DATA) return;
    // The key is replaced too: an equal key of another type changes the stored type. The old
    // pair is released once the store is whole.
    Variant new_key(key), new_payload;
    copy_value(*new_payload.get(), payload, EmptyText::null);
    AVLtree& node = tree_.at(place.equal);
    std::swap(*new_key.get(), node.Data);
    std::swap(*new_payload.get(), node.SubData);
    return;
  }
  // Everything that can fail happens before the first write: the copies, then the room.
  Variant new_key, new_payload;
  copy_value(*new_key.get(), key, EmptyText::null);
  copy_value(*new_payload.get(), payload, EmptyText::null);
  link_new_node(place, new_key, new_payload);
}

Store::Put Store::put_item(const VARIANT& key, const VARIANT& payload) {
  if (!could_hold(key)) return Put::refused;
  // The payload is copied first, so a payload that cannot be copied fails the call whatever else
  // would have happened.
  Variant copy;
  copy_value(*copy.get(), payload, EmptyText::null);
  const Place place = find_place(key, true);
  if (place.equal != nil) {
    std::swap(*copy.get(), tree_.at(place.equal).SubData);  // the old payload goes with `copy`
    return Put::replaced;
  }
  try {
    Variant new_key;
    copy_value(*new_key.get(), key, EmptyText::null);
    link_new_node(place, new_key, copy);
  } catch (const GrowthRefused&) {
    return Put::no_room;
  } catch (const std::bad_alloc&) {
    return Put::no_room;
  }
  return Put::inserted;
}

// One descent from the top. Equal keys go after every equal key already stored, unless the
// search is to stop at them: it then names the first of them in read order.
Store::Place Store::find_place(const VARIANT& key, bool stop_at_equal) const {
  Place place;
  if (tree_.empty()) return place;
  Tree::Guard guard = tree_.guard();
  for (Slot n = kTop;; guard.step()) {
    const AVLtree& node = tree_.at(n);
    tree_.prefetch(child(node, Side::small));
    tree_.prefetch(child(node, Side::big));
    // The store's own keys never read as free: only a damaged table has such a node.
    if (!tree_.order().dictionary && !has_text(node.Data)) throw NoDirection();
    Order order = tree_.order()(key, node.Data);
    if (order == Order::equal) {
      if (stop_at_equal) {
        place.equal = tree_.bound(key, Side::big, true);
        return place;
      }
      order = Order::greater;
    }
    if (order == Order::unordered) fail(DISP_E_TYPEMISMATCH);
    place.parent = n;
    place.side = order == Order::greater ? Side::big : Side::small;
    const Slot next = child(node, place.side);
    if (next == nil) return place;
    n = next;
  }
}

// The new node takes slot Count, with the pair moved out of `key` and `payload`.
void Store::link_new_node(const Place& place, Variant& key, Variant& payload) {
  const Slot slot = to_int32(tree_.count());
  make_room(slot);
  AVLtree& node = tree_.at(slot);
  std::swap(*key.get(), node.Data);
  std::swap(*payload.get(), node.SubData);
  tree_.set_count(tree_.count() + 1);
  tree_.link(slot, place.parent, place.side);
}

// Makes sure `slot` has a record, so that a refusal leaves nothing half written. In step, the
// table has slots 0 to AllocSize (rounded): the node that takes its last slot grows it by 100
// first, unless AllocSize is fractional, whose table never grows. After a refused Alloc the old
// table is kept whatever size AllocSize names: it takes keys while it has slots, then grows to the
// size asked for, or the key is refused.
void Store::make_room(Slot slot) {
  if (slot >= kMaxSlot) throw GrowthRefused{alloc_size_};  // slot numbers past 2^24 are not whole
  const std::size_t slots = tree_.table().size();
  const double bound = std::nearbyint(static_cast<double>(alloc_size_));
  const bool in_step =
      bound >= 0 && bound <= kMaxSlot && slots == static_cast<std::size_t>(bound) + 1;
  if (in_step) {
    if (slot > bound) throw GrowthRefused{alloc_size_};  // the last slot is used
    if (slot == bound && alloc_size_ == bound) {
      const float new_size = alloc_size_ + 100;
      grow_to(new_size);
      alloc_size_ = new_size;
      return;
    }
  } else if (static_cast<std::size_t>(slot) >= slots) {
    if (!(bound >= slot)) throw GrowthRefused{alloc_size_};
    grow_to(alloc_size_);
    return;
  }
  try {
    tree_.table().build(static_cast<std::size_t>(slot) + 1);  // removals may have given it back
  } catch (const std::bad_alloc&) {
    throw GrowthRefused{alloc_size_};
  }
}

// Extends the table to slots 0..size (rounded); refused when that bound is beyond a slot number
// or the memory cannot be had.
void Store::grow_to(float size) {
  const double bound = std::nearbyint(static_cast<double>(size));
  if (!(bound >= 0 && bound <= kMaxSlot)) throw GrowthRefused{size};
  try {
    tree_.table().grow(static_cast<std::size_t>(bound) + 1);
  } catch (const std::bad_alloc&) {
    throw GrowthRefused{size};
  }
}

}  // namespace quilmar
