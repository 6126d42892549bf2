// An invariant checker for the store, written apart from the algorithms it checks and built into
// none of the shipped binaries. It reports rather than aborts: tests assert on the report, the
// fuzzer aborts on it. Messages cite the invariants numbered in store.h.
#pragma once

#include <string>
#include <vector>

#include "store/store.h"

namespace quilmar {

struct Report {
  std::vector<std::string> problems;
  std::size_t nodes = 0;  // nodes reached from slot 0
  int small_height = 0;   // height of the subtree under slot 0's Small link
  int big_height = 0;     // and under its Big link
  bool ok() const { return problems.empty(); }
  std::string text() const;  // the first problems, one a line
};

Report verify(const Store& store);

// The slots in ascending key order, by the tree's links (not by the store's reading code).
std::vector<std::size_t> in_order(const Store& store);

// True when the record is free (I5): -1 links, "" key and payload, BALANCED.
bool is_free(const AVLtree& r);

}  // namespace quilmar
