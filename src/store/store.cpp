#include "store/store.h"

#include <cmath>

namespace quilmar {

bool Store::alloc(float siz) noexcept {
  alloc_size_ = siz;  // kept even when the table below cannot be built
  const double bound = std::nearbyint(static_cast<double>(siz));
  if (!(bound >= 0 && bound <= kMaxSlot)) return false;
  try {
    tree_.reset(NodeTable::of_free_slots(static_cast<std::size_t>(bound) + 1));
  } catch (...) {
    return false;
  }
  cursor_ = 0;
  egn_mode_ = NOT_EGNORE;
  read_mode_ = WRITE_DATA;
  positions_.restart_all();  // as after RemoveAll: whatever is inserted next
  ++generation_;
  positions_.sweep();
  return true;
}

void Store::set_compare_mode(LONG mode) {
  // Keys already placed by one order would be out of place under another.
  if (mode < 0 || !tree_.empty()) fail(kInvalidArgument);
  compare_mode_ = mode;
  tree_.order().ignore_case = mode > 0;
}

bool Store::could_hold(const VARIANT& key) const noexcept {
  if (tree_.order().dictionary) return is_dictionary_key(key);
  const Scalar k = scalar_of(key);
  return has_text(k) && can_be_ordered(k);
}

}  // namespace quilmar
