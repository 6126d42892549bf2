// A record's links and balance, the only code that reads or writes Parent, Small, Big and
// Balance. The record holds slot numbers as 32-bit floats (its layout is public); everything else
// sees them as 32-bit integers, with `nil` for no node, and a direction as a Side.
#pragma once

#include <cstdint>

#include "quilmar/quilmar.h"
#include "store/slot.h"

namespace quilmar {

using Slot = std::int32_t;
inline constexpr Slot nil = -1;

// Which link: toward smaller or toward bigger keys. Not a BALANCESTS, which says which side is
// higher.
enum class Side : std::uint8_t { small, big };

constexpr Side opposite(Side s) noexcept {
  return s == Side::small ? Side::big : Side::small;
}
// The balance of a node whose side `s` is the higher one.
constexpr BALANCESTS leaning(Side s) noexcept {
  return s == Side::small ? SMALLV : BIGV;
}

// The one place a float becomes a slot: a negative link is nil, any other is rounded half to even
// and checked (an overflow failure outside the 32-bit range).
inline Slot to_slot(float link) {
  return link >= 0 ? to_int32(link) : nil;
}
inline float to_link(Slot s) noexcept {
  return static_cast<float>(s);
}

inline Slot parent(const AVLtree& n) {
  return to_slot(n.Parent);
}
inline Slot child(const AVLtree& n, Side s) {
  return to_slot(s == Side::small ? n.Small : n.Big);
}
inline BALANCESTS balance(const AVLtree& n) noexcept {
  return n.Balance;
}

inline void set_parent(AVLtree& n, Slot p) noexcept {
  n.Parent = to_link(p);
}
inline void set_child(AVLtree& n, Side s, Slot c) noexcept {
  (s == Side::small ? n.Small : n.Big) = to_link(c);
}
inline void set_balance(AVLtree& n, BALANCESTS b) noexcept {
  n.Balance = b;
}

// A free record's links: exactly -1, no rounding, and BALANCED.
inline void clear_links(AVLtree& n) noexcept {
  n.Parent = n.Small = n.Big = to_link(nil);
  n.Balance = BALANCED;
}
inline bool links_clear(const AVLtree& n) noexcept {
  const float none = to_link(nil);
  return n.Parent == none && n.Small == none && n.Big == none && n.Balance == BALANCED;
}

}  // namespace quilmar
