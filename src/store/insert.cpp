#include "store.h"

namespace quilmar {

void Store::indata(const VARIANT&, const VARIANT&) noexcept {}

}  // namespace quilmar
