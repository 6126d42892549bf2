// Lookup by key: Exists, Item, Find and Seek, each one bound search of the tree's floor.
#include "store/store.h"

namespace quilmar {

Slot Store::first_equal(const VARIANT& key) const {
  if (!could_hold(key)) return nil;
  const Slot n = tree_.bound(key, Side::big, true);
  return n != nil && tree_.order()(key, tree_.at(n).Data) == Order::equal ? n : nil;
}

bool Store::exists(const VARIANT& key) const {
  return first_equal(key) != nil;
}

bool Store::item(const VARIANT& key, VARIANT& result) const {
  const Slot n = first_equal(key);
  if (n == nil) return false;
  copy_value(result, tree_.at(n).SubData);
  return true;
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
  switch (how) {
    case SEEK_FIRST_EQ: return {Side::big, true, true};
    case SEEK_LAST_EQ: return {Side::small, true, true};
    case SEEK_AFTER_EQ: return {Side::big, true, false};
    case SEEK_AFTER: return {Side::big, false, false};
    case SEEK_BEFORE_EQ: return {Side::small, true, false};
    case SEEK_BEFORE: return {Side::small, false, false};
    default: fail(kInvalidArgument);
  }
}

}  // namespace

bool Store::seek(const VARIANT& key, LONG how, VARIANT& result) {
  const SeekRule rule = rule_of(how);
  if (!could_hold(key)) return false;
  const Slot n = tree_.bound(key, rule.toward, rule.inclusive);
  if (n == nil || (rule.equal_only && tree_.order()(key, tree_.at(n).Data) != Order::equal))
    return false;
  copy_value(result, tree_.at(n).Data);  // before the cursor moves: a failed copy changes nothing
  land(n);
  return true;
}

}  // namespace quilmar
