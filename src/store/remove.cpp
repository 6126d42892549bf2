// Removal: AVL deletion below slot 0 with retracing, slot 0 kept as the top, and the table kept
// compact (slots 0..Count-1 in use) by moving the last node into the freed slot.
//
// Each removal first puts the tree, the cursor and the enumerator positions right, and only then
// releases the removed key and payload: releasing an object runs the client's code, which may call
// the store again and must find it whole.
#include <algorithm>
#include <cstring>
#include <utility>

#include "store/links.h"
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
  const auto most = static_cast<std::size_t>(count_);
  for (Slot n = first_equal(key); n != nil && removed < most;) {
    Variant gone_key, gone_payload;
    const Slot next = remove_node(n, gone_key, gone_payload);
    ++removed;
    const bool more = next != nil && compare(key, at(next).Data) == Order::equal;
    const std::uint32_t moves = moves_;
    gone_key = Variant();
    gone_payload = Variant();  // may run client code, into this store too
    n = moves != moves_ ? first_equal(key) : more ? next : nil;
  }
  return removed;
}

void Store::remove_current(VARIANT& result) {
  if (read_mode_ == FAULT || count_ == 0) {
    make_empty_text(result);
    return;
  }
  // The answer is copied first: a copy that fails leaves the store as it was.
  const Slot here = cursor();
  const Slot next = neighbour(here, Side::big);
  if (next != nil)
    copy_value(result, at(next).Data);
  else
    make_empty_text(result);
  Variant gone_key, gone_payload;
  remove_node(here, gone_key, gone_payload);
}

void Store::remove_all() noexcept {
  const auto n = static_cast<std::size_t>(count_);
  count_ = 0;
  set_cursor(0);
  if (read_mode_ == FAULT) read_mode_ = WRITE_DATA;
  positions_.restart_all();
  ++moves_;
  if (n == 0) return give_memory_back();
  for (std::size_t i = 0; i < n; ++i) clear_links(tree_[i]);
  // A free slot 0 is what makes the tree empty; its pair goes last.
  Variant top_key, top_payload;
  take_pair(tree_[0], top_key, top_payload);
  NodeTable::make_free(tree_[0]);
  // Releasing a pair may call the store again, whose insertions fill slots from 0 up and release
  // what they overwrite: so the pairs go from the top down, until a slot is in use again.
  for (std::size_t i = n; --i > 0 && i >= static_cast<std::size_t>(count_);) {
    if (i >= tree_.built()) continue;  // a nested removal gave this slot's memory back already
    Variant key, payload;
    take_pair(tree_[i], key, payload);
    NodeTable::make_free(tree_[i]);
  }
  give_memory_back();
}

// Removes the node in `slot`, moving its key and payload into `key` and `payload`. Answers the slot
// of the next bigger key afterwards, nil for none.
Slot Store::remove_node(Slot slot, Variant& key, Variant& payload) {
  AVLtree& node = at(slot);
  Slot next = neighbour(slot, Side::big);
  Slot cur = cursor();
  if (cur == slot) cur = next;
  if (positions_.on(slot)) positions_.removed(slot, neighbour(slot, Side::small));
  ++moves_;
  // Slots that change while the node goes: cur and next follow them.
  const auto follow = [&](Slot from, Slot to) noexcept {
    positions_.moved(from, to);
    if (cur == from) cur = to;
    if (next == from) next = to;
  };

  Slot freed = slot;
  if (slot == 0) {
    // Slot 0 stays the top: it takes the pair of its in-order neighbour, whose node goes instead.
    const Slot small = child(node, Side::small), big = child(node, Side::big);
    take_pair(node, key, payload);
    if (small == nil && big == nil) {
      NodeTable::make_free(node);
      count_ = 0;
      set_cursor(0);
      return nil;
    }
    freed = big != nil ? next : neighbour(0, Side::small);
    AVLtree& heir = at(freed);
    std::memcpy(static_cast<void*>(&node.Data), &heir.Data, sizeof node.Data);
    std::memcpy(static_cast<void*>(&node.SubData), &heir.SubData, sizeof node.SubData);
    VariantInit(&heir.Data);
    VariantInit(&heir.SubData);
    follow(freed, 0);
  } else {
    take_pair(node, key, payload);
  }
  unlink(freed);
  NodeTable::make_free(at(freed));
  fill_from_last(freed);
  const Slot last = to_int32(count_) - 1;
  if (freed != last) follow(last, freed);
  count_ -= 1;
  set_cursor(cur == nil ? 0 : cur);
  give_memory_back();
  return next;
}

// Takes the node in `z` (never slot 0) out of the tree, then restores the balance on the way up.
void Store::unlink(Slot z) {
  AVLtree& Z = at(z);
  const Slot p = parent(Z);
  const Side z_side = side_under(p, z);
  const Slot small = child(Z, Side::small), big = child(Z, Side::big);
  if (small == nil || big == nil) {
    const Slot only = small != nil ? small : big;
    set_child(at(p), z_side, only);
    if (only != nil) set_parent(at(only), p);
    clear_links(Z);
    retrace(p, z_side);
    return;
  }
  // Two children: the successor S leaves its place and takes Z's, links and balance.
  Slot s = big;
  Levels depth = levels();
  for (Slot next; (next = child(at(s), Side::small)) != nil; s = next) depth.step();
  AVLtree& S = at(s);
  Slot shrunk_at = s;
  Side shrunk_side = Side::big;
  if (s != big) {
    const Slot sp = parent(S), s_big = child(S, Side::big);
    set_child(at(sp), Side::small, s_big);
    if (s_big != nil) set_parent(at(s_big), sp);
    set_child(S, Side::big, big);
    set_parent(at(big), s);
    shrunk_at = sp;
    shrunk_side = Side::small;
  }
  set_child(S, Side::small, small);
  set_parent(at(small), s);
  set_parent(S, p);
  set_child(at(p), z_side, s);
  set_balance(S, balance(Z));
  clear_links(Z);
  retrace(shrunk_at, shrunk_side);
}

// X's subtree on side s has just lost a level. Each pass is one level of the upward walk, with at
// most one rotation; the walk stops below slot 0, whose two subtrees balance each on its own.
void Store::retrace(Slot x, Side s) {
  while (x > 0) {
    AVLtree& X = at(x);
    const BALANCESTS was = balance(X);
    if (was == BALANCED) {  // now leaning the other way, as high as before
      set_balance(X, leaning(opposite(s)));
      return;
    }
    Slot top = x;
    if (was == leaning(s)) {
      set_balance(X, BALANCED);  // one level lower
    } else {
      // The other side is two levels higher now. An even child there keeps the height.
      const bool same_height = balance(at(child(X, opposite(s)))) == BALANCED;
      top = rotate(x, opposite(s));
      if (same_height) return;
    }
    const Slot p = parent(at(top));
    if (p <= 0) return;
    s = side_under(p, top);
    x = p;
  }
}

// Moves the node of the last used slot into `freed` (now free), with every link to it.
void Store::fill_from_last(Slot freed) {
  const Slot last = to_int32(count_) - 1;
  if (freed == last) return;
  AVLtree& from = at(last);
  AVLtree& to = at(freed);
  const Slot p = parent(from);
  const Slot small = child(from, Side::small), big = child(from, Side::big);
  if (p != nil) set_child(at(p), side_under(p, last), freed);
  if (small != nil) set_parent(at(small), freed);
  if (big != nil) set_parent(at(big), freed);
  std::memcpy(static_cast<void*>(&to), &from, sizeof to);  // records move bitwise
  NodeTable::make_free(from);
}

// Below a quarter of the built records in use, half of the rest goes back: keys must then double,
// or halve again, before the table's memory changes once more.
void Store::give_memory_back() noexcept {
  const auto used = static_cast<std::size_t>(count_);
  const std::size_t built = tree_.built();
  if (built <= kKeptRecords || used >= built / 4) return;
  tree_.unbuild_from(std::max(used * 2, kKeptRecords));
}

}  // namespace quilmar
