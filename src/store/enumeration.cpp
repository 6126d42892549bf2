// In-order walks without the cursor: Keys, Items and the enumerators' positions.
//
// These walks call no event pump and so leave no gap for a re-entrant call, except the sink's
// copy of a value; they hold slot numbers, never references into the table, across it.
#include "store/enumeration.h"

#include <array>
#include <vector>

#include "store/store.h"

namespace quilmar {

Positions::Id Positions::open() {
  for (std::size_t i = 0; i < places_.size(); ++i) {
    if (places_[i].state == Place::closed) {
      places_[i] = Place{};
      return static_cast<Id>(i);
    }
  }
  places_.emplace_back();
  return static_cast<Id>(places_.size() - 1);
}

Positions::Id Positions::clone(Id id) {
  const Place place = (*this)[id];
  const Id copy = open();
  places_[copy] = place;
  return copy;
}

void Positions::close(Id id) noexcept {
  if (id < places_.size()) places_[id].state = Place::closed;
}

Positions::Place& Positions::operator[](Id id) {
  if (id >= places_.size() || places_[id].state == Place::closed) fail(kSubscriptOutOfRange);
  return places_[id];
}

std::size_t Positions::live() const noexcept {
  std::size_t n = 0;
  for (const Place& p : places_) n += p.state != Place::closed;
  return n;
}

void Positions::moved(Slot from, Slot to) noexcept {
  for (Place& p : places_)
    if (p.state == Place::after && p.slot == from) p.slot = to;
}

void Positions::removed(Slot gone, Slot predecessor) noexcept {
  for (Place& p : places_) {
    if (p.state == Place::after && p.slot == gone)
      p = predecessor == nil ? Place{} : Place{Place::after, predecessor};
  }
}

void Positions::restart_all() noexcept {
  for (Place& p : places_)
    if (p.state == Place::after) p = Place{};
}

bool Positions::on(Slot slot) const noexcept {
  for (const Place& p : places_)
    if (p.state == Place::after && p.slot == slot) return true;
  return false;
}

void Positions::end_all() noexcept {
  for (Place& p : places_)
    if (p.state != Place::closed) p = Place{Place::ended, nil};
}

// The smallest (side small) or biggest (side big) key's node; nil in an empty store.
Slot Store::end_slot(Side side) const {
  if (count_ == 0) return nil;
  Slot n = 0;
  Levels depth = levels();
  for (Slot next; (next = child(at(n), side)) != nil; n = next) depth.step();
  return n;
}

// The in-order neighbour on `side` (big: successor), nil when there is none. Unlike the cursor's
// step, it moves nothing and calls no event pump.
Slot Store::neighbour(Slot n, Side side) const {
  if (const Slot down = child(at(n), side); down != nil) {
    Slot m = down;
    Levels depth = levels();
    for (Slot next; (next = child(at(m), opposite(side))) != nil; m = next) {
      // A later step leaves this node by its `side` link: start loading that child now.
      if (const Slot later = child(at(m), side); later != nil) prefetch(later);
      depth.step();
    }
    return m;
  }
  for (Levels height = levels();; height.step()) {
    const Slot up = parent(at(n));
    if (up == nil) return nil;
    if (child(at(up), opposite(side)) == n) return up;
    n = up;
  }
}

namespace {

const VARIANT& field_of(const AVLtree& node, Field field) {
  return field == Field::key ? node.Data : node.SubData;
}

}  // namespace

std::size_t Store::copy_range(Field field, const VARIANT* low, const VARIANT* high,
                              ValueSink& sink) const {
  if ((low && !can_be_ordered(*low)) || (high && !can_be_ordered(*high))) {
    sink.reserve(0);
    return 0;
  }
  const Slot first = low ? bound(*low, Side::big, true) : end_slot(Side::small);
  const Slot last = high ? bound(*high, Side::small, true) : end_slot(Side::big);
  // With low > high the first qualifying node lies after the last one.
  const bool none = first == nil || last == nil ||
                    (low && high && compare(at(first).Data, at(last).Data) == Order::greater);
  if (none) {
    sink.reserve(0);
    return 0;
  }
  const std::vector<Slot> order = low || high ? slots_between(first, last) : slots_in_order();
  sink.reserve(order.size());
  // The slots are known ahead, so their records load in parallel instead of one after another.
  constexpr std::size_t kAhead = 16;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i + kAhead < order.size()) prefetch(order[i + kAhead]);
    sink.take(field_of(at(order[i]), field));
  }
  return order.size();
}

// The slots from `first` to `last` in key order, by the links.
std::vector<Slot> Store::slots_between(Slot first, Slot last) const {
  std::vector<Slot> order;
  for (Slot n = first;; n = neighbour(n, Side::big)) {
    order.push_back(n);
    if (n == last) return order;
    if (order.size() >= static_cast<std::size_t>(count_)) fail(kSubscriptOutOfRange);
  }
}

// Every slot in key order. A walk over the records is a chain of dependent loads, one per key, in
// a table too big for the cache; so the links are first gathered by one sequential pass into an
// array a sixth of its size, and the walk runs there.
std::vector<Slot> Store::slots_in_order() const {
  const auto n = static_cast<std::size_t>(count_);
  std::vector<std::array<Slot, 2>> links(n);
  for (std::size_t i = 0; i < n; ++i) {
    const AVLtree& node = at(static_cast<Slot>(i));
    for (const Side side : {Side::small, Side::big}) {
      const Slot c = child(node, side);
      if (c != nil && static_cast<std::size_t>(c) >= n) fail(kSubscriptOutOfRange);
      links[i][side == Side::big] = c;
    }
  }
  std::vector<Slot> order, path;
  order.reserve(n);
  for (Slot x = n ? 0 : nil; x != nil || !path.empty();) {
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

std::size_t Store::advance(Positions::Id id, std::size_t most, ValueSink* sink) {
  // A copy: the sink may run code that opens or closes positions, moving the registry.
  const Positions::Place place = positions_[id];
  if (place.state == Positions::Place::ended) return 0;
  Slot n = place.state == Positions::Place::after ? place.slot : nil;
  std::size_t done = 0;
  for (; done < most; ++done) {
    const Slot next = n == nil ? end_slot(Side::small) : neighbour(n, Side::big);
    if (next == nil) break;
    if (sink) sink->take(at(next).Data);
    n = next;
  }
  if (done) positions_[id] = {Positions::Place::after, n};
  return done;
}

std::size_t Store::next_keys(Positions::Id id, std::size_t most, ValueSink& sink) {
  return advance(id, most, &sink);
}

std::size_t Store::skip_keys(Positions::Id id, std::size_t most) {
  return advance(id, most, nullptr);
}

}  // namespace quilmar
