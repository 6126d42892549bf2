// Text comparison with and without regard to case. Without, strings compare by UTF-16 code unit;
// with, each code unit is first mapped to its simple uppercase form from the Unicode character
// database, one code unit at a time (surrogates and units mapped outside the BMP stay as they
// are). The mapping is one generated table, so every target answers alike.
#pragma once

#include <cstddef>
#include <cstdint>

#include "quilmar/com_types.h"

namespace quilmar {

// The simple uppercase form of one code unit: u'a' gives u'A', u'\u00E9' (é) gives u'\u00C9'.
OLECHAR upper_case(OLECHAR c) noexcept;

// Three-way order of two strings: negative, zero or positive. A proper prefix comes first.
int compare_text(const OLECHAR* a, std::size_t na, const OLECHAR* b, std::size_t nb,
                 bool ignore_case) noexcept;

// The first four code units as compare_text sees them (uppercased when `ignore_case`), the first
// in the highest 16 bits, zeros past the end: when two strings' keys differ they order as their
// keys do, unsigned; equal keys decide nothing.
std::uint64_t text_prefix_key(const OLECHAR* s, std::size_t n, bool ignore_case) noexcept;

}  // namespace quilmar
