#include "store/store.h"

#include <cmath>
#include <new>

namespace quilmar {

bool Store::alloc(float siz) noexcept {
  alloc_size_ = siz;  // kept even when the table below cannot be built
  const double bound = std::nearbyint(static_cast<double>(siz));
  if (!(bound >= 0 && bound <= kMaxSlot)) return false;
  try {
    tree_ = NodeTable::of_free_slots(static_cast<std::size_t>(bound) + 1);
  } catch (...) {
    return false;
  }
  count_ = 0;
  current_index_ = 0;
  root_index_ = 0;
  egn_mode_ = NOT_EGNORE;
  read_mode_ = WRITE_DATA;
  positions_.end_all();
  ++moves_;
  return true;
}

}  // namespace quilmar
