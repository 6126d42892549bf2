#include "store/enumerators.h"

#include <utility>

#include "host/failure.h"

namespace quilmar {

Positions::Id Positions::open() {
  for (std::size_t i = 0; i < places_.size(); ++i) {
    if (places_[i].state == Place::closed) {
      places_[i] = Place{};
      return static_cast<Id>(i);
    }
  }
  ghosts_.resize(places_.size() + 1);  // first: a failure leaves both as they were
  places_.emplace_back();
  return static_cast<Id>(places_.size() - 1);
}

Positions::Id Positions::clone(Id id) {
  const Place place = (*this)[id];
  const Id copy = open();
  places_[copy] = place;
  if (place.ghost != kNoGhost) ++ghosts_[place.ghost].users;
  return copy;
}

void Positions::let_go(Place& place) noexcept {
  if (place.ghost != kNoGhost) --ghosts_[place.ghost].users;
  place.ghost = kNoGhost;
}

void Positions::close(Id id) noexcept {
  if (id >= places_.size() || places_[id].state == Place::closed) return;
  let_go(places_[id]);
  places_[id].state = Place::closed;
}

void Positions::reset(Id id) {
  Place& place = at(id);
  let_go(place);
  place = Place{};
}

void Positions::land(Id id, Slot slot) {
  Place& place = at(id);
  let_go(place);
  place = {Place::after, slot};
}

Positions::Place& Positions::at(Id id) {
  if (id >= places_.size() || places_[id].state == Place::closed) fail(kSubscriptOutOfRange);
  return places_[id];
}

const Positions::Place& Positions::operator[](Id id) const {
  return const_cast<Positions*>(this)->at(id);
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

void Positions::removed(Slot gone, Slot predecessor, Variant& key) noexcept {
  std::uint32_t ghost = kNoGhost;
  for (Place& p : places_) {
    if (p.state != Place::after || p.slot != gone) continue;
    p.slot = predecessor;
    if (p.ghost != kNoGhost) continue;  // its cut is after an earlier ghost, which stays
    if (ghost == kNoGhost) {
      // Positions on `gone` use no ghost, so fewer ghosts are in use than there are places.
      ghost = 0;
      while (ghosts_[ghost].users != 0) ++ghost;
      std::swap(*ghosts_[ghost].key.get(), *key.get());
    }
    p.ghost = ghost;
    ++ghosts_[ghost].users;
  }
}

void Positions::restart_all() noexcept {
  for (Place& p : places_) {
    if (p.state != Place::after) continue;
    let_go(p);
    p = Place{};
  }
}

bool Positions::on(Slot slot) const noexcept {
  for (const Place& p : places_)
    if (p.state == Place::after && p.slot == slot) return true;
  return false;
}

void Positions::sweep() noexcept {
  // By index: a released key may run code that opens positions, which grows the vector.
  for (std::size_t i = 0; i < ghosts_.size(); ++i) {
    if (ghosts_[i].users != 0 || ghosts_[i].key->vt == VT_EMPTY) continue;
    Variant gone = std::move(ghosts_[i].key);
  }
}

}  // namespace quilmar
