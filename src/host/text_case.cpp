#include "host/text_case.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "host/text_case_table.inc"

namespace quilmar {
namespace {

static_assert(sizeof(OLECHAR) == 2);

// Without a branch: letters of random case would defeat the branch predictor.
inline unsigned ascii_upper(unsigned c) noexcept {
  return c - (static_cast<unsigned>(c - 'a' < 26u) << 5);
}

inline unsigned fold(unsigned c) noexcept {
  using namespace case_table;
  return (c + kDelta[kBlock[c >> kShift]][c & (kBlockSize - 1)]) & 0xFFFFu;
}

inline unsigned fold_any(unsigned c) noexcept {
  return c < 0x80 ? ascii_upper(c) : fold(c);
}

// Four code units at a time, as one 64-bit word of four 16-bit lanes.
constexpr std::uint64_t lanes(std::uint64_t v) {
  return v * 0x0001000100010001u;
}
constexpr std::uint64_t kNotAscii = lanes(0xFF80);

inline std::uint64_t load4(const OLECHAR* p) noexcept {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// ascii_upper in every lane of a word whose lanes are all below 0x80: adding 0x80 - c0 sets a
// lane's bit 7 exactly when the lane is at least c0, and no lane carries into the next.
inline std::uint64_t ascii_upper4(std::uint64_t w) noexcept {
  const std::uint64_t from_a = w + lanes(0x80 - 'a');
  const std::uint64_t past_z = w + lanes(0x80 - 'z' - 1);
  return w - ((from_a & ~past_z & lanes(0x80)) >> 2);
}

template <class T>
int three_way(T a, T b) noexcept {
  return a < b ? -1 : a > b ? 1 : 0;
}

// The order of the first unit where two words of four units differ.
inline int first_difference(std::uint64_t x, std::uint64_t y) noexcept {
  static_assert(std::endian::native == std::endian::little, "the first unit is the lowest lane");
  const int shift = std::countr_zero(x ^ y) & ~15;
  return three_way(static_cast<unsigned>(x >> shift) & 0xFFFFu,
                   static_cast<unsigned>(y >> shift) & 0xFFFFu);
}

int compare_folded(const OLECHAR* a, const OLECHAR* b, std::size_t n) noexcept {
  // Most comparisons are decided by the first unit, where a word's set-up would cost more.
  if (n != 0 && (a[0] | b[0]) < 0x80) {
    const unsigned x = ascii_upper(a[0]), y = ascii_upper(b[0]);
    if (x != y) return three_way(x, y);
  }
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const std::uint64_t wa = load4(a + i), wb = load4(b + i);
    if (wa == wb) continue;
    if ((wa | wb) & kNotAscii) break;  // the units below go through the table
    const std::uint64_t ua = ascii_upper4(wa), ub = ascii_upper4(wb);
    if (ua != ub) return first_difference(ua, ub);
  }
  for (; i < n; ++i) {
    const unsigned x = fold_any(a[i]), y = fold_any(b[i]);
    if (x != y) return three_way(x, y);
  }
  return 0;
}

int compare_units(const OLECHAR* a, const OLECHAR* b, std::size_t n) noexcept {
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return three_way(static_cast<unsigned>(a[i]), static_cast<unsigned>(b[i]));
  return 0;
}

}  // namespace

OLECHAR upper_case(OLECHAR c) noexcept {
  return static_cast<OLECHAR>(fold_any(c));
}

int compare_text(const OLECHAR* a, std::size_t na, const OLECHAR* b, std::size_t nb,
                 bool ignore_case) noexcept {
  const std::size_t n = std::min(na, nb);
  const int order = ignore_case ? compare_folded(a, b, n) : compare_units(a, b, n);
  return order != 0 ? order : three_way(na, nb);
}

std::uint64_t text_prefix_key(const OLECHAR* s, std::size_t n, bool ignore_case) noexcept {
  // A string that ends first leaves zeros, below any unit the other has there (or equal to a
  // zero unit, which then decides nothing): a proper prefix comes first, as compare_text says.
  std::uint64_t key = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const unsigned c = i < n ? (ignore_case ? fold_any(s[i]) : s[i]) : 0u;
    key = key << 16 | c;
  }
  return key;
}

}  // namespace quilmar
