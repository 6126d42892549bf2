// Insertion: the walk from slot 0, the duplicate policies, the new node in slot Count, the table's
// growth by 100 slots, and the two messages.
#include <cmath>
#include <new>
#include <optional>
#include <utility>

#include "host/message_box.h"
#include "store/links.h"
#include "store/store.h"

namespace quilmar {
namespace {

// Where the walk ended.
struct Place {
  Slot parent = nil;         // the last slot holding a node; nil for an empty tree
  std::optional<Side> side;  // under which link of the parent the key goes
  bool absorbed = false;     // a duplicate was taken care of; nothing is added
};

}  // namespace

// Starts fetching both children while a text key is compared here: the compare waits on the
// text's own memory, and the next level's record arrives meanwhile.
void Store::prefetch_children(const AVLtree& node) const {
  for (const Side s : {Side::small, Side::big}) prefetch(child(node, s));
}

void Store::warn(float shown_size) noexcept {
  try {
    Text text = OLESTR("Quilmar.DLL No Memory.\r\n(AllocSize=");
    text += float_text(shown_size);
    text += OLESTR(" Failed)");
    message_box(text, 0, OLESTR("WARNING"));
  } catch (...) {
    // Not even the text could be built: there is nobody left to tell.
  }
}

void Store::indata(const VARIANT& key, const VARIANT& payload) noexcept {
  try {
    insert(key, payload);
  } catch (const GrowthRefused& g) {
    warn(g.size);
  } catch (...) {
    warn(alloc_size_);
  }
}

void Store::insert(const VARIANT& key, const VARIANT& payload) {
  // A key that reads as a free slot would hide every node below it from later walks, and one
  // without an order would leave every later key unplaceable: neither is stored.
  const Scalar k = scalar_of(key);
  if (!has_text(k) || !can_be_ordered(k)) fail(DISP_E_TYPEMISMATCH);

  Place place;
  const bool text_key = k.kind == Scalar::text;
  const Slot root = to_slot(root_index_);
  Slot current = root;
  for (;;) {
    AVLtree& node = at(current);
    if (text_key) prefetch_children(node);
    // Keys that read as free are never stored, so only the top can be free: in an empty tree.
    if (current == root && !has_text(node.Data)) break;
    place.parent = current;
    Order order = compare(key, node.Data);
    if (order == Order::equal) {
      if (egn_mode_ == USE_FIRST_DATA) {
        place.absorbed = true;
        break;
      }
      if (egn_mode_ == USE_LAST_DATA) {
        // The key is replaced too: an equal key of another type changes the stored type.
        Variant new_key(key), new_payload;
        copy_value(*new_payload.get(), payload, EmptyText::null);
        std::swap(*new_key.get(), node.Data);
        std::swap(*new_payload.get(), node.SubData);
        place.absorbed = true;
        break;
      }
      order = Order::greater;  // stored after every equal key, whatever other policy is set
    }
    if (order == Order::unordered) fail(DISP_E_TYPEMISMATCH);
    const Side side = order == Order::greater ? Side::big : Side::small;
    const Slot next = child(node, side);
    if (next == nil) {
      place.side = side;
      break;
    }
    current = next;
  }
  if (place.absorbed) return;
  if (place.parent != nil && !place.side) {
    // Only a damaged table has a free-looking slot below a node; storing there would lose the key.
    message_box(OLESTR("Insert Data has no direction of big or small.(Quilmar.dll)"), 0,
                OLESTR("INTERNAL ERROR"));
    return;
  }
  if (count_ > alloc_size_) fail(kSubscriptOutOfRange);  // the table is full
  const Slot slot = to_int32(count_);
  if (slot >= kMaxSlot) fail(kOverflow);  // slot numbers above 2^24 are not whole in a float

  // Everything that can fail happens before the first write: the copies, then the room.
  Variant new_key, new_payload;
  copy_value(*new_key.get(), key, EmptyText::null);
  copy_value(*new_payload.get(), payload, EmptyText::null);
  make_room(slot);

  AVLtree& node = tree_[static_cast<std::size_t>(slot)];
  std::swap(*new_key.get(), node.Data);
  std::swap(*new_payload.get(), node.SubData);
  set_parent(node, place.parent);
  set_balance(node, BALANCED);
  if (place.parent != nil)
    set_child(tree_[static_cast<std::size_t>(place.parent)], *place.side, slot);
  count_ += 1;
  if (place.parent > 0) rebalance(place.parent, *place.side);
}

// Makes sure `slot` exists and, when the new node takes the table's last slot, grows the table
// by 100 slots first, so that a refused growth leaves nothing half written. Sizes are converted
// only when a growth is due: a refused Alloc may have left AllocSize at any value, and the kept
// table still takes keys as long as they fit.
void Store::make_room(std::int32_t slot) {
  if (!(count_ < alloc_size_)) {
    const float new_size = alloc_size_ + 100;
    grow_to(new_size);
    alloc_size_ = new_size;
  } else if (static_cast<std::size_t>(slot) >= tree_.size()) {
    // A refused Alloc kept a table smaller than AllocSize: it grows to the size asked for.
    grow_to(alloc_size_);
  } else {
    // Removals may have given back the memory of free slots.
    try {
      tree_.build(static_cast<std::size_t>(slot) + 1);
    } catch (const std::bad_alloc&) {
      throw GrowthRefused{alloc_size_};
    }
  }
}

// Extends the table to slots 0..size (rounded); refused when that bound is beyond a slot number
// or the memory cannot be had.
void Store::grow_to(float size) {
  const double bound = std::nearbyint(static_cast<double>(size));
  if (!(bound >= 0 && bound <= kMaxSlot)) throw GrowthRefused{size};
  try {
    tree_.grow(static_cast<std::size_t>(bound) + 1);
  } catch (const std::bad_alloc&) {
    throw GrowthRefused{size};
  }
}

}  // namespace quilmar
