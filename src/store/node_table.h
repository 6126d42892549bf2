// The node table: one contiguous block of AVLtree records, addressed by slot number, and beside it
// (never inside: the record's layout is the class's published one) each slot's count of the nodes
// on its small side and, once a text key has come, each slot's text prefix key.
//
// The table owns the Variants in its records and clears them once, when it is released or
// replaced; records relocate bitwise when the block grows. Its logical size is whatever the store
// asks for; the memory behind it grows geometrically so that growing 100 slots at a time stays
// cheap. After removals it may hold records for a prefix of its slots only (the built ones): the
// rest read as free records and get memory again when keys come back.
#pragma once

#include <cstddef>
#include <cstdint>
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
  // Builds records for at least the first `slots` slots (at most size()). Throws std::bad_alloc
  // and leaves the table as it was when the memory cannot be had.
  void build(std::size_t slots);
  // Gives back the memory of the records from `slots` on (clearing them first); the logical size
  // stays. Asks for no memory: when the block cannot shrink it is kept.
  void unbuild_from(std::size_t slots) noexcept;
  // Back to `slots` slots (never grows), as before a growth that is being undone; the memory
  // stays for the next growth.
  void truncate(std::size_t slots) noexcept;

  std::size_t size() const noexcept { return size_; }
  std::size_t built() const noexcept { return built_; }
  std::size_t capacity() const noexcept { return capacity_; }
  // Writable records: built ones only.
  AVLtree& operator[](std::size_t slot) noexcept { return slots_[slot]; }
  // Any slot below size(); one not built reads as a free record.
  const AVLtree& operator[](std::size_t slot) const noexcept {
    return slot < built_ ? slots_[slot] : free_record();
  }

  // The number of nodes in the subtree under a slot's Small link: 0 for a free slot. Writable for
  // built slots only.
  std::uint32_t& smaller(std::size_t slot) noexcept { return subtrees_[slot]; }
  std::uint32_t smaller(std::size_t slot) const noexcept {
    return slot < built_ ? subtrees_[slot] : 0;
  }
  // The counts' storage, for prefetching.
  const std::uint32_t* smaller_counts() const noexcept { return subtrees_; }

  // The first four code units of a slot's text key (host/text_case.h: text_prefix_key), read
  // beside the record so that most text comparisons need not load the text. Kept only once
  // keep_prefixes() has been called; meaningful only for slots holding a text key.
  bool has_prefixes() const noexcept { return prefixes_ != nullptr; }
  // Gives every slot with a record a prefix key (its value the caller's to set). They are a cache:
  // false, and none kept, when the memory cannot be had; a growth that cannot keep them drops them.
  bool keep_prefixes() noexcept;
  std::uint64_t& prefix(std::size_t slot) noexcept { return prefixes_[slot]; }
  std::uint64_t prefix(std::size_t slot) const noexcept { return prefixes_[slot]; }
  // The prefix key's storage, for prefetching; null without prefixes.
  const std::uint64_t* prefixes() const noexcept { return prefixes_; }

  static void make_free(AVLtree& record) noexcept;

 private:
  void reserve(std::size_t slots);
  void release() noexcept;
  static const AVLtree& free_record() noexcept;

  AVLtree* slots_ = nullptr;
  std::uint32_t* subtrees_ = nullptr;  // as many as records, built with them
  std::uint64_t* prefixes_ = nullptr;  // as many as records, or none
  std::size_t size_ = 0;
  std::size_t built_ = 0;  // records [0, built_) exist; built_ <= size_, built_ <= capacity_
  std::size_t capacity_ = 0;
};

// Test seam: called with the byte count before the table asks for memory; answering false makes
// that request fail as an exhausted heap would. An empty hook restores normal behaviour.
using TableAllocationHook = std::function<bool(std::size_t bytes)>;
TableAllocationHook set_table_allocation_hook(TableAllocationHook hook);

}  // namespace quilmar
