// Reading a store's table in tests.
#pragma once

#include <cstddef>

#include "store.h"

namespace quilmar::test {

// True when slot `i` holds a free record: -1 links, "" key and payload, BALANCED.
bool is_free(const AVLtree& r);

// Index of the first slot in [from, size) that is not free, or size when all are.
std::size_t first_used_slot(const NodeTable& t, std::size_t from = 0);

}  // namespace quilmar::test
