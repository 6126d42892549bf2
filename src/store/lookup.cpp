// Lookup by key: the bound searches that Exists, Item, Find and Seek share, each one descent from
// slot 0 with the comparison insertion uses.
#include <new>
#include <utility>

#include "store/store.h"

namespace quilmar {

bool Store::could_hold(const VARIANT& key) noexcept {
  const Scalar k = scalar_of(key);
  return has_text(k) && can_be_ordered(k);
}

// The first node (toward big) or the last node (toward small) on the `toward` side of `key`,
// counting equal keys when `inclusive`; nil when there is none. Equal keys hang on the big side of
// earlier ones, so the first equal key in read order is the first node at or after `key`.
Slot Store::bound(const VARIANT& key, Side toward, bool inclusive) const {
  if (count_ == 0) return nil;
  const bool text_key = scalar_of(key).kind == Scalar::text;
  Slot found = nil;
  Levels depth = levels();
  for (Slot n = 0; n != nil; depth.step()) {
    const AVLtree& node = at(n);
    if (text_key) prefetch_children(node);
    const Order order = compare(key, node.Data);
    if (order == Order::unordered) fail(DISP_E_TYPEMISMATCH);  // only a damaged table gets here
    const Order beyond = toward == Side::big ? Order::less : Order::greater;
    const bool qualifies = order == beyond || (inclusive && order == Order::equal);
    if (qualifies) found = n;
    n = child(node, qualifies ? opposite(toward) : toward);
  }
  return found;
}

Slot Store::first_equal(const VARIANT& key) const {
  if (!could_hold(key)) return nil;
  const Slot n = bound(key, Side::big, true);
  return n != nil && compare(key, at(n).Data) == Order::equal ? n : nil;
}

bool Store::exists(const VARIANT& key) const {
  return first_equal(key) != nil;
}

bool Store::item(const VARIANT& key, VARIANT& result) const {
  const Slot n = first_equal(key);
  if (n == nil) return false;
  copy_value(result, at(n).SubData);
  return true;
}

Store::Put Store::put_item(const VARIANT& key, const VARIANT& payload) {
  if (!could_hold(key)) return Put::refused;
  // The payload is copied first, so a payload that cannot be copied fails the call whatever else
  // would have happened.
  Variant copy;
  copy_value(*copy.get(), payload, EmptyText::null);
  if (const Slot n = first_equal(key); n != nil) {
    std::swap(*copy.get(), at(n).SubData);  // the old payload goes with `copy`
    return Put::replaced;
  }
  // The cases insertion refuses with the warning box, told apart instead: no table at all (its
  // memory was refused), a full table (after an Alloc refused below the keys held), slots beyond
  // what a float holds, a growth that failed.
  if (tree_.size() == 0 || count_ > alloc_size_ || count_ >= static_cast<float>(kMaxSlot))
    return Put::no_room;
  try {
    insert(key, *copy);
  } catch (const GrowthRefused&) {
    return Put::no_room;
  } catch (const std::bad_alloc&) {
    return Put::no_room;
  }
  return Put::inserted;
}

void Store::land(Slot slot) noexcept {
  set_cursor(slot);
  if (read_mode_ == FAULT) read_mode_ = WRITE_DATA;
}

bool Store::find(const VARIANT& key) {
  const Slot n = first_equal(key);
  if (n == nil) return false;
  land(n);
  return true;
}

namespace {

// Which bound a Seek mode asks for: the side it looks toward, whether an equal key qualifies, and
// whether only an equal key does.
struct SeekRule {
  Side toward;
  bool inclusive, equal_only;
};

SeekRule rule_of(LONG how) {
  switch (static_cast<Store::Seek>(how)) {
    case Store::Seek::first_equal: return {Side::big, true, true};
    case Store::Seek::last_equal: return {Side::small, true, true};
    case Store::Seek::at_or_after: return {Side::big, true, false};
    case Store::Seek::after: return {Side::big, false, false};
    case Store::Seek::at_or_before: return {Side::small, true, false};
    case Store::Seek::before: return {Side::small, false, false};
  }
  fail(kInvalidArgument);
}

}  // namespace

bool Store::seek(const VARIANT& key, LONG how, VARIANT& result) {
  const SeekRule rule = rule_of(how);
  if (!could_hold(key)) return false;
  const Slot n = bound(key, rule.toward, rule.inclusive);
  if (n == nil || (rule.equal_only && compare(key, at(n).Data) != Order::equal)) return false;
  copy_value(result, at(n).Data);  // before the cursor moves: a failed copy changes nothing
  land(n);
  return true;
}

}  // namespace quilmar
