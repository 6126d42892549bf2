// Slot numbers, Count and AllocSize are 32-bit floats in the records and members. A float becomes
// an integer here only: rounding halves to the even neighbour, then checking range. Links go
// through store/links.h, which builds on this.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "host/failure.h"

namespace quilmar {

// The largest slot number a 32-bit float holds exactly together with every smaller one.
inline constexpr std::int32_t kMaxSlot = 1 << 24;

// Nearest integer, halves to even; an overflow failure outside the 32-bit range (NaN included).
inline std::int32_t to_int32(float value) {
  if (!(value >= -2147483648.0f && value < 2147483648.0f)) fail(kOverflow);
  // Links and counts are whole numbers: truncation is then exact, and the common path.
  const auto whole = static_cast<std::int32_t>(value);
  if (static_cast<float>(whole) == value) return whole;
  return static_cast<std::int32_t>(std::nearbyint(value));  // to nearest, halves to even
}

}  // namespace quilmar
