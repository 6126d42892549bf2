// Reading a store's table in tests.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "store/store.h"
#include "store/verify.h"

namespace quilmar::test {

// Index of the first slot in [from, size) that is not free, or size when all are.
std::size_t first_used_slot(const NodeTable& t, std::size_t from = 0);

}  // namespace quilmar::test

namespace quilmar::test {

// One node's links and balance, as the tables of expected trees give them.
struct Shape {
  int slot, parent, small, big;
  BALANCESTS balance;
  bool operator==(const Shape&) const = default;
};
Shape shape(const Store& s, int slot);
std::string describe(const Shape& n);

// Everything a client could observe of a store, for "nothing changed" checks.
struct Snapshot {
  std::vector<Shape> shapes;
  std::vector<std::string> keys, payloads;
  float count, alloc_size, cursor;
  MODEVAL read_mode;
  bool operator==(const Snapshot&) const = default;
};
Snapshot snapshot(const Store& s);

}  // namespace quilmar::test
