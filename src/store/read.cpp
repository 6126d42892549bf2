#include "store.h"

namespace quilmar {

void Store::read(MODEVAL&, VARIANT&) {}
void Store::read_sub(VARIANT&) const {}

}  // namespace quilmar
