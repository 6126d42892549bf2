// In-order walks without the cursor: Keys and Items over a range, and the enumerators' steps.
//
// These walks call no event pump and so leave no gap for a re-entrant call, except the sink's
// copy of a value; they hold slot numbers, never references into the table, across it.
#include <array>
#include <vector>

#include "store/store.h"

namespace quilmar {
namespace {}  // namespace

std::size_t Store::copy_range(Field field, const VARIANT* low, const VARIANT* high,
                              ValueSink& sink) const {
  const auto orderable = [this](const VARIANT* bound) {
    return !bound ||
           (key_kinds() == KeyKinds::dictionary ? could_hold(*bound) : can_be_ordered(*bound));
  };
  if (!orderable(low) || !orderable(high)) {
    sink.reserve(0);
    return 0;
  }
  const Slot first = low ? tree_.bound(*low, Side::big, true) : tree_.first(Side::small);
  const Slot last = high ? tree_.bound(*high, Side::small, true) : tree_.first(Side::big);
  // With low > high the first qualifying node lies after the last one.
  const bool none =
      first == nil || last == nil ||
      (low && high && tree_.order()(tree_.at(first).Data, tree_.at(last).Data) == Order::greater);
  if (none) {
    sink.reserve(0);
    return 0;
  }
  const std::vector<Slot> order = low || high ? slots_between(first, last) : slots_in_order();
  sink.reserve(order.size());
  // The slots are known ahead, so their records load in parallel instead of one after another.
  constexpr std::size_t kAhead = 16;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i + kAhead < order.size()) tree_.prefetch(order[i + kAhead]);
    const AVLtree& node = tree_.at(order[i]);
    if (field != Field::payload) sink.take(node.Data);
    if (field != Field::key) sink.take(node.SubData);
  }
  return order.size();
}

// The slots from `first` to `last` in key order, by the links.
std::vector<Slot> Store::slots_between(Slot first, Slot last) const {
  std::vector<Slot> order;
  for (Slot n = first;; n = tree_.next(n, Side::big)) {
    order.push_back(n);
    if (n == last) return order;
    if (order.size() >= static_cast<std::size_t>(tree_.count())) fail(kSubscriptOutOfRange);
  }
}

// Every slot in key order. A walk over the records is a chain of dependent loads, one per key, in
// a table too big for the cache; so the links are first gathered by one sequential pass into an
// array a sixth of its size, and the walk runs there.
std::vector<Slot> Store::slots_in_order() const {
  const auto n = static_cast<std::size_t>(tree_.count());
  std::vector<std::array<Slot, 2>> links(n);
  for (std::size_t i = 0; i < n; ++i) {
    const AVLtree& node = tree_.at(static_cast<Slot>(i));
    for (const Side side : {Side::small, Side::big}) {
      const Slot c = child(node, side);
      if (c != nil && static_cast<std::size_t>(c) >= n) fail(kSubscriptOutOfRange);
      links[i][side == Side::big] = c;
    }
  }
  std::vector<Slot> order, path;
  order.reserve(n);
  for (Slot x = n ? kTop : nil; x != nil || !path.empty();) {
    for (; x != nil; x = links[static_cast<std::size_t>(x)][0]) {
      // More nodes than slots: only a cycle in a damaged table does that.
      if (path.size() + order.size() >= n) fail(kSubscriptOutOfRange);
      path.push_back(x);
    }
    x = path.back();
    path.pop_back();
    order.push_back(x);
    x = links[static_cast<std::size_t>(x)][1];
  }
  return order;
}

// The first node after a position's cut, as the tree stands. After a ghost (a removed key), keys
// below it that came since are before the cut; the equal keys that followed it, and those
// inserted since, after it.
Slot Store::after_cut(const Positions::Place& place) const {
  if (place.state != Positions::Place::after) return tree_.first(Side::small);
  if (place.ghost == Positions::kNoGhost) return tree_.next(place.slot, Side::big);
  const VARIANT& ghost = positions_.ghost_key(place);
  if (place.slot != nil && tree_.order()(tree_.at(place.slot).Data, ghost) == Order::equal)
    return tree_.next(place.slot, Side::big);
  return tree_.bound(ghost, Side::big, true);
}

std::size_t Store::advance(Positions::Id id, std::size_t most, ValueSink* sink) {
  // A copy: the sink may run code that opens or closes positions, moving the registry.
  const Positions::Place place = positions_[id];
  Slot n = nil;
  std::size_t done = 0;
  for (; done < most; ++done) {
    const Slot next = done == 0 ? after_cut(place) : tree_.next(n, Side::big);
    if (next == nil) break;
    if (sink) sink->take(tree_.at(next).Data);
    n = next;
  }
  if (done) {
    positions_.land(id, n);
    positions_.sweep();
  }
  return done;
}

std::size_t Store::next_keys(Positions::Id id, std::size_t most, ValueSink& sink) {
  return advance(id, most, &sink);
}

std::size_t Store::skip_keys(Positions::Id id, std::size_t most) {
  return advance(id, most, nullptr);
}

void Store::close_position(Positions::Id id) noexcept {
  positions_.close(id);
  positions_.sweep();
}

void Store::reset_position(Positions::Id id) {
  positions_.reset(id);
  positions_.sweep();
}

}  // namespace quilmar
