#include "store/node_table.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>
#include <utility>

#include "host/seam.h"
#include "store/links.h"

namespace quilmar {
namespace {

Seam<bool(std::size_t)> allocation_seam;

// Spare capacity is an eighth on top of what is asked, so a table that grows 100 slots at a time
// reallocates O(log n) times while wasting little memory.
std::size_t capacity_for(std::size_t slots, std::size_t current) {
  if (slots <= current) return current;
  const std::size_t step = current / 8;
  return std::max(slots, current + std::max<std::size_t>(step, 100));
}

}  // namespace

TableAllocationHook set_table_allocation_hook(TableAllocationHook hook) {
  return allocation_seam.replace(std::move(hook));
}

void NodeTable::make_free(AVLtree& r) noexcept {
  clear_links(r);
  VariantInit(&r.Data);
  r.Data.vt = VT_BSTR;  // "" held as a null string: no allocation per free slot
  r.Data.bstrVal = nullptr;
  r.SubData = r.Data;
}

const AVLtree& NodeTable::free_record() noexcept {
  static const AVLtree record = [] {
    AVLtree r;
    make_free(r);
    return r;
  }();
  return record;
}

NodeTable::NodeTable(NodeTable&& other) noexcept
    : slots_(std::exchange(other.slots_, nullptr)),
      subtrees_(std::exchange(other.subtrees_, nullptr)),
      prefixes_(std::exchange(other.prefixes_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      built_(std::exchange(other.built_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

NodeTable& NodeTable::operator=(NodeTable&& other) noexcept {
  if (this != &other) {
    release();
    slots_ = std::exchange(other.slots_, nullptr);
    subtrees_ = std::exchange(other.subtrees_, nullptr);
    prefixes_ = std::exchange(other.prefixes_, nullptr);
    size_ = std::exchange(other.size_, 0);
    built_ = std::exchange(other.built_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

NodeTable::~NodeTable() {
  release();
}

void NodeTable::release() noexcept {
  for (std::size_t i = 0; i < built_; ++i) {
    VariantClear(&slots_[i].Data);
    VariantClear(&slots_[i].SubData);
  }
  std::free(slots_);
  std::free(subtrees_);
  std::free(prefixes_);
  slots_ = nullptr;
  subtrees_ = nullptr;
  prefixes_ = nullptr;
  size_ = built_ = capacity_ = 0;
}

void NodeTable::reserve(std::size_t slots) {
  if (slots <= capacity_) return;
  if (slots > std::numeric_limits<std::size_t>::max() / sizeof(AVLtree)) throw std::bad_alloc();
  const std::size_t bytes = slots * sizeof(AVLtree);
  if (allocation_seam.hook() && !allocation_seam.hook()(bytes)) throw std::bad_alloc();
  // Records hold only floats and Variants, which move bitwise. Should the second block fail, the
  // first is only bigger than the capacity says.
  void* block = std::realloc(static_cast<void*>(slots_), bytes);
  if (!block) throw std::bad_alloc();
  slots_ = static_cast<AVLtree*>(block);
  void* sizes = std::realloc(subtrees_, slots * sizeof *subtrees_);
  if (!sizes) throw std::bad_alloc();
  subtrees_ = static_cast<std::uint32_t*>(sizes);
  if (prefixes_) {
    void* keys = std::realloc(prefixes_, slots * sizeof *prefixes_);
    if (!keys) std::free(prefixes_);  // a cache: the table works without it
    prefixes_ = static_cast<std::uint64_t*>(keys);
  }
  capacity_ = slots;
}

bool NodeTable::keep_prefixes() noexcept {
  if (!prefixes_ && capacity_ != 0)
    prefixes_ = static_cast<std::uint64_t*>(std::malloc(capacity_ * sizeof *prefixes_));
  return prefixes_ != nullptr;
}

NodeTable NodeTable::of_free_slots(std::size_t slots) {
  NodeTable t;
  t.grow(slots);
  return t;
}

void NodeTable::grow(std::size_t slots) {
  if (slots <= size_) return;
  reserve(capacity_for(slots, capacity_));
  for (std::size_t i = built_; i < slots; ++i) {
    make_free(slots_[i]);
    subtrees_[i] = 0;
  }
  size_ = built_ = slots;
}

void NodeTable::build(std::size_t slots) {
  slots = std::min(slots, size_);
  if (slots <= built_) return;
  reserve(std::min(capacity_for(slots, capacity_), size_));
  const std::size_t upto = std::min(capacity_, size_);
  for (std::size_t i = built_; i < upto; ++i) {
    make_free(slots_[i]);
    subtrees_[i] = 0;
  }
  built_ = upto;
}

void NodeTable::truncate(std::size_t slots) noexcept {
  if (slots >= size_) return;
  for (std::size_t i = slots; i < built_; ++i) {
    VariantClear(&slots_[i].Data);
    VariantClear(&slots_[i].SubData);
    make_free(slots_[i]);
    subtrees_[i] = 0;
  }
  size_ = slots;
  built_ = std::min(built_, slots);
}

void NodeTable::unbuild_from(std::size_t slots) noexcept {
  if (slots >= built_) return;
  for (std::size_t i = slots; i < built_; ++i) {
    VariantClear(&slots_[i].Data);
    VariantClear(&slots_[i].SubData);
  }
  built_ = slots;
  if (slots == 0) {
    std::free(slots_);
    std::free(subtrees_);
    std::free(prefixes_);
    slots_ = nullptr;
    subtrees_ = nullptr;
    prefixes_ = nullptr;
    capacity_ = 0;
    return;
  }
  // Shrinking in place; a block that does not shrink is kept as it is, at least as big.
  if (void* block = std::realloc(static_cast<void*>(slots_), slots * sizeof(AVLtree)))
    slots_ = static_cast<AVLtree*>(block);
  if (void* sizes = std::realloc(subtrees_, slots * sizeof *subtrees_))
    subtrees_ = static_cast<std::uint32_t*>(sizes);
  if (prefixes_)
    if (void* keys = std::realloc(prefixes_, slots * sizeof *prefixes_))
      prefixes_ = static_cast<std::uint64_t*>(keys);
  capacity_ = slots;
}

}  // namespace quilmar
