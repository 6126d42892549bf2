#include "host/text_case.h"

#include <algorithm>

#include "host/text_case_table.inc"

namespace quilmar {
namespace {

// Most text is ASCII, whose letters need no table.
inline unsigned fold(unsigned c) noexcept {
  using namespace case_table;
  if (c < 0x80) return c - 'a' < 26u ? c - ('a' - 'A') : c;
  return (c + kDelta[kBlock[c >> kShift]][c & (kBlockSize - 1)]) & 0xFFFFu;
}

int three_way(std::size_t a, std::size_t b) noexcept {
  return a < b ? -1 : a > b ? 1 : 0;
}

}  // namespace

OLECHAR upper_case(OLECHAR c) noexcept {
  return static_cast<OLECHAR>(fold(c));
}

int compare_text(const OLECHAR* a, std::size_t na, const OLECHAR* b, std::size_t nb,
                 bool ignore_case) noexcept {
  const std::size_t n = std::min(na, nb);
  if (ignore_case) {
    for (std::size_t i = 0; i < n; ++i) {
      unsigned x = a[i], y = b[i];
      if (x == y) continue;
      x = fold(x);
      y = fold(y);
      if (x != y) return x < y ? -1 : 1;
    }
  } else {
    for (std::size_t i = 0; i < n; ++i)
      if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return three_way(na, nb);
}

}  // namespace quilmar
