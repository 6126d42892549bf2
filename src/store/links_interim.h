// The part of the links accessor that lookup and enumeration use, with the same names and meaning,
// until that accessor (store/links.h) is in this tree; then this file goes.
#pragma once

#include <cstdint>

#include "quilmar/quilmar.h"
#include "store/slot.h"

namespace quilmar {

using Slot = std::int32_t;
inline constexpr Slot nil = -1;

enum class Side : std::uint8_t { small, big };

constexpr Side opposite(Side s) noexcept {
  return s == Side::small ? Side::big : Side::small;
}

inline Slot to_slot(float link) {
  return link >= 0 ? to_int32(link) : nil;
}

inline Slot parent(const AVLtree& n) {
  return to_slot(n.Parent);
}
inline Slot child(const AVLtree& n, Side s) {
  return to_slot(s == Side::small ? n.Small : n.Big);
}

}  // namespace quilmar
