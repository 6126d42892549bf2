// Positions: the k-th pair in key order and the position of a pair, from the small-side counts.
#include <utility>

#include "store/store.h"

namespace quilmar {

Slot Store::at_index(LONG index) const {
  const Slot n = index < 0 ? nil : tree_.select(static_cast<std::size_t>(index));
  if (n == nil) fail(kSubscriptOutOfRange);
  return n;
}

void Store::key_at(LONG index, VARIANT& result) const {
  copy_value(result, tree_.at(at_index(index)).Data);
}

void Store::item_at(LONG index, VARIANT& result) const {
  copy_value(result, tree_.at(at_index(index)).SubData);
}

void Store::put_item_at(LONG index, const VARIANT& payload) {
  const Slot n = at_index(index);
  Variant copy;
  copy_value(*copy.get(), payload, EmptyText::null);
  std::swap(*copy.get(), tree_.at(n).SubData);  // the old payload goes with `copy`
}

LONG Store::index_of(const VARIANT& key) const {
  if (!could_hold(key)) return -1;
  // The position adds up on the way down, instead of a climb back from the node found.
  std::size_t index = 0;
  const Slot n = tree_.lower_bound_ranked(key, &index);
  return n != nil && tree_.order()(key, tree_.at(n).Data) == Order::equal ? static_cast<LONG>(index)
                                                                          : -1;
}

void Store::remove_at(LONG index) {
  Variant gone_key, gone_payload;  // released once the store is whole
  remove_node(at_index(index), gone_key, gone_payload);
}

LONG Store::position() const {
  if (tree_.empty() || read_mode_ == FAULT) return -1;
  return static_cast<LONG>(tree_.rank(cursor()));
}

void Store::set_position(LONG index) {
  land(at_index(index));
}

}  // namespace quilmar
