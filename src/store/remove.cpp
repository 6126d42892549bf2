// Removal: AVL deletion below slot 0 (the tree's detach), slot 0 kept as the top, and the table
// kept compact (slots 0..Count-1 in use) by moving the last node into the freed slot.
//
// Each removal first puts the tree, the cursor and the enumerator positions right, and only then
// releases the removed key and payload: releasing an object runs the client's code, which may call
// the store again and must find it whole.
#include <algorithm>
#include <utility>

#include "store/store.h"

namespace quilmar {
namespace {

// The table keeps at least this many records built, so that a store emptied by removals takes
// its next keys without asking for memory.
constexpr std::size_t kKeptRecords = 128;

// Moves a record's key and payload into `key` and `payload`, leaving it Empty.
void take_pair(AVLtree& from, Variant& key, Variant& payload) noexcept {
  std::swap(*key.get(), from.Data);
  std::swap(*payload.get(), from.SubData);
}

}  // namespace

std::size_t Store::remove(const VARIANT& key) {
  std::size_t removed = 0;
  // More removals than keys at the start only happen when a released payload keeps inserting the
  // key again; stopping there keeps the call from running forever.
  const auto most = static_cast<std::size_t>(tree_.count());
  for (Slot n = first_equal(key); n != nil && removed < most;) {
    Variant gone_key, gone_payload;
    const Slot next = remove_node(n, gone_key, gone_payload);
    ++removed;
    const bool more = next != nil && tree_.order()(key, tree_.at(next).Data) == Order::equal;
    const std::uint32_t generation = generation_;
    gone_key = Variant();
    gone_payload = Variant();  // may run client code, into this store too
    n = generation != generation_ ? first_equal(key) : more ? next : nil;
  }
  return removed;
}

void Store::remove_current(VARIANT& result) {
  if (read_mode_ == FAULT || tree_.empty()) {
    make_empty_text(result);
    return;
  }
  // The answer is copied first: a copy that fails leaves the store as it was.
  const Slot here = cursor();
  const Slot next = tree_.next(here, Side::big);
  if (next != nil)
    copy_value(result, tree_.at(next).Data);
  else
    make_empty_text(result);
  Variant gone_key, gone_payload;
  remove_node(here, gone_key, gone_payload);
}

void Store::remove_all() noexcept {
  const auto n = static_cast<std::size_t>(tree_.count());
  tree_.set_count(0);
  set_cursor(kTop);
  if (read_mode_ == FAULT) read_mode_ = WRITE_DATA;
  positions_.restart_all();
  ++generation_;
  if (n > 0) {
    NodeTable& table = tree_.table();
    tree_.clear(n);
    // A free slot 0 is what makes the tree empty; its pair goes last.
    Variant top_key, top_payload;
    take_pair(table[0], top_key, top_payload);
    NodeTable::make_free(table[0]);
    // Releasing a pair may call the store again, whose insertions fill slots from 0 up and release
    // what they overwrite: so the pairs go from the top down, until a slot is in use again.
    for (std::size_t i = n; --i > 0 && i >= static_cast<std::size_t>(tree_.count());) {
      if (i >= table.built()) continue;  // a nested removal gave this slot's memory back already
      Variant key, payload;
      take_pair(table[i], key, payload);
      NodeTable::make_free(table[i]);
    }
  }
  give_memory_back();
  positions_.sweep();
}

void Store::rename(const VARIANT& key, const VARIANT& new_key) {
  const Slot old = first_equal(key);
  if (old == nil) fail(kElementNotFound);
  Variant renamed, payload;
  copy_value(*renamed.get(), new_key, EmptyText::null);
  try {
    link_new_node(find_place(new_key, false), renamed, payload);
  } catch (const GrowthRefused&) {
    fail(kOutOfMemory);
  }
  const Slot added = to_int32(tree_.count()) - 1;
  std::swap(tree_.at(old).SubData, tree_.at(added).SubData);
  Variant gone_key, gone_payload;  // released once the store is whole
  remove_node(old, gone_key, gone_payload);
}

// Removes the node in `slot`, moving its key and payload into `key` and `payload` (or, when an
// enumerator keeps the key as its ghost, a ghost no longer needed). Answers the slot of the next
// bigger key afterwards, nil for none. In three steps: the cursor and positions learn what goes;
// the node leaves the tree (slot 0 taking its heir's pair instead); the last slot's node fills the
// freed slot.
Slot Store::remove_node(Slot slot, Variant& key, Variant& payload) {
  Slot next = tree_.next(slot, Side::big);
  Slot cur = cursor() == slot ? next : cursor();
  const Slot before = positions_.on(slot) ? tree_.next(slot, Side::small) : nil;
  ++generation_;
  // Slots that change while the node goes: positions, the cursor and `next` follow them.
  const auto follow = [&](Slot from, Slot to) noexcept {
    positions_.moved(from, to);
    if (cur == from) cur = to;
    if (next == from) next = to;
  };

  AVLtree& node = tree_.at(slot);
  take_pair(node, key, payload);
  positions_.removed(slot, before, key);
  Slot freed = slot;
  if (slot == kTop) {
    // Slot 0 stays the top: it takes the pair of its in-order neighbour, whose node goes instead.
    const Slot small = child(node, Side::small), big = child(node, Side::big);
    if (small == nil && big == nil) {
      tree_.clear(1);
      NodeTable::make_free(node);
      tree_.set_count(0);
      set_cursor(kTop);
      give_memory_back();
      return nil;
    }
    freed = big != nil ? next : tree_.next(kTop, Side::small);
    AVLtree& heir = tree_.at(freed);
    std::swap(heir.Data, node.Data);  // node's own pair was taken: heir's goes empty
    std::swap(heir.SubData, node.SubData);
    tree_.key_written(kTop);
    follow(freed, kTop);
  }
  tree_.detach(freed);
  NodeTable::make_free(tree_.at(freed));
  const Slot last = to_int32(tree_.count()) - 1;
  if (freed != last) {
    tree_.relocate(last, freed);
    follow(last, freed);
  }
  tree_.set_count(tree_.count() - 1);
  set_cursor(cur == nil ? kTop : cur);
  give_memory_back();
  return next;
}

// Below a quarter of the built records in use, half of the rest goes back: keys must then double,
// or halve again, before the table's memory changes once more.
void Store::give_memory_back() noexcept {
  const auto used = static_cast<std::size_t>(tree_.count());
  const std::size_t built = tree_.table().built();
  if (built <= kKeptRecords || used >= built / 4) return;
  tree_.table().unbuild_from(std::max(used * 2, kKeptRecords));
}

}  // namespace quilmar
