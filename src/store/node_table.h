// The node table: one contiguous block of AVLtree records, addressed by slot number.
//
// The table owns the Variants in its records and clears them once, when it is released or
// replaced; records relocate bitwise when the block grows. Its logical size is whatever the store
// asks for; the memory behind it grows geometrically so that growing 100 slots at a time stays
// cheap.
#pragma once

#include <cstddef>
#include <functional>

#include "quilmar/quilmar.h"

namespace quilmar {

class NodeTable {
 public:
  NodeTable() noexcept = default;
  NodeTable(NodeTable&& other) noexcept;
  NodeTable& operator=(NodeTable&& other) noexcept;
  NodeTable(const NodeTable&) = delete;
  NodeTable& operator=(const NodeTable&) = delete;
  ~NodeTable();

  // A table of `slots` free slots. Throws std::bad_alloc when the memory cannot be had.
  static NodeTable of_free_slots(std::size_t slots);

  // Extends the table to `slots` slots (never shrinks), the new ones free, the old ones kept.
  // Throws std::bad_alloc and leaves the table as it was when the memory cannot be had.
  void grow(std::size_t slots);

  std::size_t size() const noexcept { return size_; }
  std::size_t capacity() const noexcept { return capacity_; }
  AVLtree& operator[](std::size_t slot) noexcept { return slots_[slot]; }
  const AVLtree& operator[](std::size_t slot) const noexcept { return slots_[slot]; }

  static void make_free(AVLtree& record) noexcept;

 private:
  void reserve(std::size_t slots);
  void release() noexcept;

  AVLtree* slots_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// Test seam: called with the byte count before the table asks for memory; answering false makes
// that request fail as an exhausted heap would. An empty hook restores normal behaviour.
using TableAllocationHook = std::function<bool(std::size_t bytes)>;
TableAllocationHook set_table_allocation_hook(TableAllocationHook hook);

}  // namespace quilmar
