// The library-wide count that DllCanUnloadNow answers from: live objects, outstanding factory
// references and server locks.
#pragma once

#include "quilmar/com_types.h"

namespace quilmar::module {

void add_ref() noexcept;
void release() noexcept;
// Live objects, factory references and locks.
long usage() noexcept;

}  // namespace quilmar::module
