#include "model.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quilmar::fuzz {
namespace {

constexpr double kMaxSlot = 16777216.0;  // 2^24: the last whole number every float below holds

std::size_t width(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_EMPTY:
    case VT_NULL: return 0;
    default: return 8;
  }
}

bool is_free_text(const VARIANT& v) {
  return v.vt == VT_EMPTY || v.vt == VT_NULL || (v.vt == VT_BSTR && SysStringLen(v.bstrVal) == 0);
}

// Nearest integer, halves to even, as the store turns sizes into table bounds.
double rounded(float v) {
  return std::nearbyint(static_cast<double>(v));
}

}  // namespace

const VARIANT& referenced(const VARIANT& v) {
  const VARIANT* r = &v;
  while (r->vt == (VT_BYREF | VT_VARIANT) && r->pvarVal) r = r->pvarVal;
  return *r;
}

bool copy_of(const VARIANT& v, Variant& out) {
  if ((referenced(v).vt & VT_BYREF) && !referenced(v).byref)
    return false;  // a reference to nothing
  Variant copy;
  if (FAILED(VariantCopyInd(copy.get(), const_cast<VARIANT*>(&referenced(v))))) return false;
  out = std::move(copy);
  return true;
}

bool same(const VARIANT& a, const VARIANT& b) {
  if (a.vt != b.vt) return false;
  if (a.vt & VT_BYREF) return a.byref == b.byref;
  switch (a.vt) {
    case VT_BSTR: {
      const UINT n = SysStringLen(a.bstrVal);
      return n == SysStringLen(b.bstrVal) &&
             (n == 0 || std::memcmp(a.bstrVal, b.bstrVal, n * sizeof(OLECHAR)) == 0);
    }
    case VT_DECIMAL:
      return a.decVal.signscale == b.decVal.signscale && a.decVal.Hi32 == b.decVal.Hi32 &&
             a.decVal.Lo64 == b.decVal.Lo64;
    default: return std::memcmp(&a.llVal, &b.llVal, width(a.vt)) == 0;
  }
}

Model::Model() {
  free_text_.get()->vt = VT_BSTR;  // a free slot's "", held as a null string
  free_text_.get()->bstrVal = nullptr;
}

void Model::reset(bool table_refused) {
  slots.clear();
  order.clear();
  alloc_size = 100;
  table_slots = table_refused ? 0 : 101;
  egn = NOT_EGNORE;
  read_mode = WRITE_DATA;
  cursor = 0;
}

bool Model::alloc_asks_memory(float siz) {
  const double bound = rounded(siz);
  return bound >= 0 && bound <= kMaxSlot;
}

bool Model::alloc(float siz, bool allocation_refused) {
  alloc_size = siz;
  if (!alloc_asks_memory(siz) || allocation_refused) return false;
  slots.clear();
  order.clear();
  table_slots = static_cast<std::size_t>(rounded(siz)) + 1;
  egn = NOT_EGNORE;
  read_mode = WRITE_DATA;
  cursor = 0;
  return true;
}

bool Model::out_of_step() const {
  return !(rounded(alloc_size) + 1 == static_cast<double>(table_slots) &&
           count() <= alloc_size + 1);
}

// Makes room for a node in `slot`; the warning's size when that cannot be done.
std::optional<float> Model::grow_for(std::size_t slot, bool allocation_refused) {
  const bool grows = !(count() < alloc_size);
  const float new_size = grows ? alloc_size + 100 : alloc_size;
  const double bound = rounded(new_size);
  if (!(bound >= -2147483648.0 && bound < 2147483648.0)) return alloc_size;  // overflow failure
  if (bound > kMaxSlot) return new_size;
  if (slot >= table_slots || grows) {
    may_allocate_ = true;
    if (allocation_refused) return new_size;
    table_slots = std::max(table_slots, static_cast<std::size_t>(bound) + 1);
  }
  alloc_size = new_size;
  return std::nullopt;
}

std::optional<float> Model::indata(const VARIANT& key, const VARIANT& payload,
                                   bool allocation_refused, const Chooser& replaced) {
  may_allocate_ = false;
  // Keys that read as a free slot, and keys with no order, are refused before any walk.
  Variant k;
  if (!copy_of(key, k) || is_free_text(*k)) return alloc_size;
  try {
    if (compare(*k, *k) != Order::equal) return alloc_size;
  } catch (...) {
    return alloc_size;
  }
  if (table_slots == 0) return alloc_size;  // the walk finds no slot 0 to start from
  // Equal keys are [first, last) of the order; a new key goes after them.
  const auto less = [this](const VARIANT& a, std::int32_t s) {
    return compare(a, *slots[static_cast<std::size_t>(s)].key) == Order::less;
  };
  const auto greater = [this](std::int32_t s, const VARIANT& a) {
    return compare(*slots[static_cast<std::size_t>(s)].key, a) == Order::less;
  };
  const auto first = std::lower_bound(order.begin(), order.end(), *k, greater);
  const auto last = std::upper_bound(order.begin(), order.end(), *k, less);
  if (first != last && (egn == USE_FIRST_DATA || egn == USE_LAST_DATA)) {
    if (egn == USE_FIRST_DATA) return std::nullopt;
    Variant p;
    if (!copy_of(payload, p)) return alloc_size;
    const std::int32_t slot = replaced(std::vector<std::int32_t>(first, last), *k, *p);
    slots[static_cast<std::size_t>(slot)] = {std::move(k), std::move(p)};
    return std::nullopt;
  }
  if (count() > alloc_size) return alloc_size;  // the table is full
  Variant p;
  if (!copy_of(payload, p)) return alloc_size;
  const std::size_t slot = slots.size();
  if (slot >= static_cast<std::size_t>(kMaxSlot)) return alloc_size;
  if (const auto refused = grow_for(slot, allocation_refused)) return refused;
  order.insert(last, static_cast<std::int32_t>(slot));
  slots.push_back({std::move(k), std::move(p)});
  return std::nullopt;
}

const VARIANT& Model::key_at(float slot) const {
  const auto s = static_cast<std::size_t>(slot);
  return s < slots.size() ? *slots[s].key : *free_text_;
}

ReadAnswer Model::read(MODEVAL asked) const {
  ReadAnswer a{false, Variant(), asked, cursor, asked};
  const auto copy = [&a](const VARIANT& v) {
    copy_value(*a.result.get(), v);  // the host's copy, as any client receives it
  };
  if (read_mode == FAULT) {
    make_empty_text(*a.result.get());
    a.mode = FAULT;
    return a;
  }
  if (table_slots == 0 && asked >= START_READ && asked <= END_READ)
    return {true, Variant(), asked, cursor, read_mode};
  const auto position = [this] {
    return std::find(order.begin(), order.end(), static_cast<std::int32_t>(cursor)) - order.begin();
  };
  switch (asked) {
    case START_READ:
    case END_READ:
      a.cursor = order.empty()
                     ? 0
                     : static_cast<float>(asked == START_READ ? order.front() : order.back());
      break;
    case READ_MID: a.cursor = 0; break;
    case READ_NEXT:
    case READ_BACK: {
      const auto at = position();
      const auto to = asked == READ_NEXT ? at + 1 : at - 1;
      if (order.empty() || to < 0 || to >= static_cast<std::ptrdiff_t>(order.size())) {
        make_empty_text(*a.result.get());
        a.inout = a.mode = FAULT;
        a.cursor = 0;
        return a;
      }
      a.cursor = static_cast<float>(order[static_cast<std::size_t>(to)]);
      break;
    }
    default: return a;  // nothing read: Empty
  }
  copy(key_at(a.cursor));
  return a;
}

std::optional<Variant> Model::read_sub() const {
  Variant r;
  if (read_mode == FAULT) {
    make_empty_text(*r.get());
    return r;
  }
  if (table_slots == 0) return std::nullopt;
  const auto s = static_cast<std::size_t>(cursor);
  copy_value(*r.get(), s < slots.size() ? *slots[s].payload : *free_text_);
  return r;
}

}  // namespace quilmar::fuzz
