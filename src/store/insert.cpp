// Insertion: the walk from slot 0, the duplicate policies, the new node in slot Count, the table's
// growth by 100 slots, and the two messages.
#include <cmath>
#include <new>
#include <utility>

#include "host/message_box.h"
#include "store/store.h"

namespace quilmar {
namespace {

// Where the walk ended.
struct Place {
  std::int32_t parent = -1;    // the last slot holding a node; -1 for an empty tree
  BALANCESTS side = BALANCED;  // under which link of the parent the key goes; BALANCED: none
  bool absorbed = false;       // a duplicate was taken care of; nothing is added
};

}  // namespace

// Starts fetching both children while a text key is compared here: the compare waits on the
// text's own memory, and the next level's record arrives meanwhile.
void Store::prefetch_children(const AVLtree& node) const noexcept {
  for (const float link : {node.Small, node.Big}) {
    if (is_link(link) && link < static_cast<float>(tree_.size()))
      __builtin_prefetch(&tree_[static_cast<std::size_t>(link)]);
  }
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
  const std::int32_t root = to_int32(root_index_);
  std::int32_t current = root;
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
    const float next = order == Order::greater ? node.Big : node.Small;
    if (!is_link(next)) {
      place.side = order == Order::greater ? BIGV : SMALLV;
      break;
    }
    current = to_int32(next);
  }
  if (place.absorbed) return;
  if (place.parent >= 0 && place.side == BALANCED) {
    // Only a damaged table has a free-looking slot below a node; storing there would lose the key.
    message_box(OLESTR("Insert Data has no direction of big or small.(Quilmar.dll)"), 0,
                OLESTR("INTERNAL ERROR"));
    return;
  }
  if (count_ > alloc_size_) fail(kSubscriptOutOfRange);  // the table is full
  const std::int32_t slot = to_int32(count_);
  if (slot >= kMaxSlot) fail(kOverflow);  // slot numbers above 2^24 are not whole in a float

  // Everything that can fail happens before the first write: the copies, then the room.
  Variant new_key, new_payload;
  copy_value(*new_key.get(), key, EmptyText::null);
  copy_value(*new_payload.get(), payload, EmptyText::null);
  make_room(slot);

  AVLtree& node = tree_[static_cast<std::size_t>(slot)];
  std::swap(*new_key.get(), node.Data);
  std::swap(*new_payload.get(), node.SubData);
  node.Parent = static_cast<float>(place.parent);
  node.Balance = BALANCED;
  if (place.parent >= 0) {
    AVLtree& parent = tree_[static_cast<std::size_t>(place.parent)];
    (place.side == BIGV ? parent.Big : parent.Small) = count_;
  }
  count_ += 1;
  if (place.parent > 0) rebalance(place.parent, place.side);
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
