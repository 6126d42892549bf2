// Slot numbers are 32-bit floats in the records and members. These conversions are the one place
// where a float becomes a table index: rounding halves to the even neighbour, then checking range.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "failure.h"

namespace quilmar {

// The largest slot number a 32-bit float holds exactly together with every smaller one.
inline constexpr std::int32_t kMaxSlot = 1 << 24;

// Nearest integer, halves to even; an overflow failure outside the 32-bit range (NaN included).
inline std::int32_t to_int32(float value) {
  const double r = std::nearbyint(static_cast<double>(value));
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) fail(kOverflow);
  return static_cast<std::int32_t>(r);
}

// The table index a slot number names; a subscript-out-of-range failure outside the table.
inline std::size_t to_index(float slot, std::size_t table_size) {
  const std::int32_t i = to_int32(slot);
  if (i < 0 || static_cast<std::size_t>(i) >= table_size) fail(kSubscriptOutOfRange);
  return static_cast<std::size_t>(i);
}

// A link names a node when it is 0 or more.
inline bool is_link(float slot) noexcept {
  return slot >= 0;
}

}  // namespace quilmar
