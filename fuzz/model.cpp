#include "model.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/text_case.h"

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
  // Arrays are copied deep: two copies are alike when both hold one or both hold none.
  if (a.vt & VT_ARRAY) return (a.parray == nullptr) == (b.parray == nullptr);
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

int fold_compare(const OLECHAR* a, std::size_t na, const OLECHAR* b, std::size_t nb) {
  for (std::size_t i = 0; i < na && i < nb; ++i) {
    const OLECHAR x = upper_case(a[i]), y = upper_case(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return na < nb ? -1 : na > nb ? 1 : 0;
}

Order key_order(const VARIANT& a, const VARIANT& b, LONG compare_mode) {
  if (compare_mode > 0) {
    const Scalar x = scalar_of(a), y = scalar_of(b);
    if (x.kind == Scalar::text && y.kind == Scalar::text) {
      const int c = fold_compare(x.chars, x.length, y.chars, y.length);
      return c < 0 ? Order::less : c > 0 ? Order::greater : Order::equal;
    }
  }
  return compare(a, b);
}

void Model::copy_from(const Model& other) {
  slots.clear();
  for (const Pair& p : other.slots) {
    Pair c;
    copy_value(*c.key.get(), *p.key, EmptyText::null);
    copy_value(*c.payload.get(), *p.payload, EmptyText::null);
    c.stamp = p.stamp;
    slots.push_back(std::move(c));
  }
  order = other.order;
  positions.clear();
  for (const Position& p : other.positions) positions.push_back(p.clone());
  alloc_size = other.alloc_size;
  table_slots = other.table_slots;
  egn = other.egn;
  read_mode = other.read_mode;
  cursor = other.cursor;
  compare_mode = other.compare_mode;
  may_allocate_ = other.may_allocate_;
  gave_back_ = other.gave_back_;
  stamps_ = other.stamps_;
}

LONG Model::index_of(const VARIANT& key) const {
  const auto slot = seek(key, 1);
  if (!slot) return -1;
  return static_cast<LONG>(std::find(order.begin(), order.end(), *slot) - order.begin());
}

LONG Model::position() const {
  if (order.empty() || read_mode == FAULT) return -1;
  return static_cast<LONG>(
      std::find(order.begin(), order.end(), static_cast<std::int32_t>(cursor)) - order.begin());
}

Model::Model() {
  free_text_.get()->vt = VT_BSTR;  // a free slot's "", held as a null string
  free_text_.get()->bstrVal = nullptr;
}

void Model::reset(bool table_refused) {
  gave_back_ = false;
  slots.clear();
  order.clear();
  positions.clear();
  alloc_size = 100;
  table_slots = table_refused ? 0 : 101;
  egn = NOT_EGNORE;
  read_mode = WRITE_DATA;
  cursor = 0;
  compare_mode = 0;
}

// Alloc refuses, without asking for memory, a size whose rounded bound is negative, not a number
// or beyond the last whole slot number a float holds (2^24).
bool Model::alloc_asks_memory(float siz) {
  const double bound = rounded(siz);
  return bound >= 0 && bound <= kMaxSlot;
}

// Alloc: AllocSize takes the size asked for in any case. Built, the table has slots 0..bound,
// all free, and the keys, the cursor, the read mode and the policy start afresh; refused, all of
// that stays as it was, the old table included.
bool Model::alloc(float siz, bool allocation_refused) {
  alloc_size = siz;
  if (!alloc_asks_memory(siz) || allocation_refused) return false;
  slots.clear();
  order.clear();
  for (Position& p : positions) p = {};
  gave_back_ = false;
  table_slots = static_cast<std::size_t>(rounded(siz)) + 1;
  egn = NOT_EGNORE;
  read_mode = WRITE_DATA;
  cursor = 0;
  return true;
}

// The table has slots 0 to AllocSize (rounded), except while a refused Alloc's kept table is in
// use: a kept table whose size matches the size asked for is no different from a built one.
bool Model::out_of_step() const {
  return rounded(alloc_size) + 1 != static_cast<double>(table_slots);
}

// Whether the table can be extended to slots 0..size (rounded): a bound a slot number can name,
// and memory to hold it. Records that an allocation was due.
bool Model::extend_to(float size, bool allocation_refused) {
  const double bound = rounded(size);
  if (!(bound >= 0 && bound <= kMaxSlot)) return false;
  may_allocate_ = true;
  if (allocation_refused) return false;
  table_slots = std::max(table_slots, static_cast<std::size_t>(bound) + 1);
  return true;
}

// Indata. Each rule below is one the store is held to; a refusal is the warning box with the
// size it names, and leaves the store exactly as it was.
std::optional<float> Model::indata(const VARIANT& key, const VARIANT& payload,
                                   bool allocation_refused) {
  may_allocate_ = false;
  // Keys that read as an empty slot ("", Empty, Null) are refused, and so are keys with no order
  // (one that is not even equal to itself: NaN, objects, arrays, error values) and keys that
  // cannot be read at all.
  Variant k;
  if (!copy_of(key, k) || is_free_text(*k)) return alloc_size;
  try {
    if (compare(*k, *k) != Order::equal) return alloc_size;
  } catch (...) {
    return alloc_size;
  }

  // Keys equal to the new one are [first, last) of the order.
  const auto less = [this](const VARIANT& a, std::int32_t s) {
    return cmp(a, *slots[static_cast<std::size_t>(s)].key) == Order::less;
  };
  const auto greater = [this](std::int32_t s, const VARIANT& a) {
    return cmp(*slots[static_cast<std::size_t>(s)].key, a) == Order::less;
  };
  const auto first = std::lower_bound(order.begin(), order.end(), *k, greater);
  const auto last = std::upper_bound(order.begin(), order.end(), *k, less);
  // USE_FIRST_DATA keeps the stored pair; USE_LAST_DATA replaces the first equal pair, key and
  // payload both, in its place. Under any other policy value an equal key is stored after every
  // equal one.
  if (first != last && egn == USE_FIRST_DATA) return std::nullopt;
  Variant p;
  if (first != last && egn == USE_LAST_DATA) {
    if (!copy_of(payload, p)) return alloc_size;
    Pair& replaced = slots[static_cast<std::size_t>(*first)];
    replaced.key = std::move(k);
    replaced.payload = std::move(p);
    return std::nullopt;
  }
  if (!copy_of(payload, p)) return alloc_size;

  // The new pair takes slot Count; slot numbers are floats, none beyond 2^24.
  const std::size_t slot = slots.size();
  if (slot >= static_cast<std::size_t>(kMaxSlot)) return alloc_size;
  const double bound = rounded(alloc_size);
  if (out_of_step()) {
    // A refused Alloc's kept table takes keys while it has slots; full, it grows to the size
    // asked for, or the key is refused.
    if (slot >= table_slots &&
        !(bound >= static_cast<double>(slot) && extend_to(alloc_size, allocation_refused)))
      return alloc_size;
  } else if (static_cast<double>(slot) > bound) {
    return alloc_size;  // the last slot is used: after an Alloc with a fractional size
  } else if (static_cast<double>(slot) == bound && alloc_size == bound) {
    // The pair takes the table's last slot: the table grows by 100 first, and a growth that
    // cannot be had refuses the key, naming the size it was for; AllocSize stays.
    const float grown = alloc_size + 100;
    if (!extend_to(grown, allocation_refused)) return grown;
    alloc_size = grown;
  }
  if (slot < table_slots && gave_back_ && !may_allocate_) {
    // Removals give memory back, which insertions ask for again; refused, the key is refused.
    may_allocate_ = true;
    if (allocation_refused) return alloc_size;
  }
  order.insert(last, static_cast<std::int32_t>(slot));
  slots.push_back({std::move(k), std::move(p), ++stamps_});
  return std::nullopt;
}

const VARIANT& Model::key_at(float slot) const {
  const auto s = static_cast<std::size_t>(slot);
  return s < slots.size() ? *slots[s].key : *free_text_;
}

// Read: blocked after FAULT ("" and nothing changes); otherwise the cursor goes to the smallest,
// the biggest or the first key stored (slot 0), or steps to the next key in key order, equal keys
// in the order they came; a step past either end gives "", FAULT in Spec and the store, and the
// cursor on slot 0. Any other mode reads nothing (Empty) and is recorded. An object without a
// table fails every reading mode with the subscript error and changes nothing.
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

bool Model::holdable(const VARIANT& key) {
  Variant k;
  if (!copy_of(key, k) || is_free_text(*k)) return false;
  try {
    return compare(*k, *k) == Order::equal;
  } catch (...) {
    return false;
  }
}

bool Model::seek_mode(LONG how) {
  switch (how) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 32: return true;
    default: return false;
  }
}

std::optional<std::int32_t> Model::seek(const VARIANT& key, LONG how) const {
  if (!holdable(key)) return std::nullopt;
  // Whether the stored key in `slot` qualifies, and whether the last qualifying one is wanted.
  const auto order_of = [&](std::int32_t slot) {
    return cmp(*slots[static_cast<std::size_t>(slot)].key, key);
  };
  std::optional<std::int32_t> found;
  for (const std::int32_t slot : order) {
    const Order o = order_of(slot);
    const bool equal = o == Order::equal, less = o == Order::less, greater = o == Order::greater;
    switch (how) {
      case 1:
        if (equal && !found) found = slot;
        break;
      case 2:
        if (equal) found = slot;
        break;
      case 4:
        if (!less && !found) found = slot;
        break;
      case 8:
        if (greater && !found) found = slot;
        break;
      case 16:
        if (!greater) found = slot;
        break;
      case 32:
        if (less) found = slot;
        break;
      default: return std::nullopt;
    }
  }
  return found;
}

void Model::land(std::int32_t slot) {
  cursor = static_cast<float>(slot);
  if (read_mode == FAULT) read_mode = WRITE_DATA;
}

std::vector<std::int32_t> Model::range(const VARIANT* low, const VARIANT* high) const {
  const auto orderable = [](const VARIANT* b) {
    if (!b) return true;
    try {
      return compare(*b, *b) == Order::equal;
    } catch (...) {
      return false;
    }
  };
  std::vector<std::int32_t> r;
  if (!orderable(low) || !orderable(high)) return r;
  for (const std::int32_t slot : order) {
    const VARIANT& k = *slots[static_cast<std::size_t>(slot)].key;
    if ((!low || cmp(k, *low) != Order::less) && (!high || cmp(k, *high) != Order::greater))
      r.push_back(slot);
  }
  return r;
}

bool Model::left_out(const VARIANT& given) {
  const VARIANT& v = referenced(given);
  return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND;
}

const VARIANT* Model::bound(const VARIANT& given) {
  return left_out(given) || referenced(given).vt == VT_EMPTY ? nullptr : &given;
}

Model::Put Model::put(const VARIANT& key, const VARIANT& payload, bool allocation_refused) {
  if (!holdable(key)) return Put::refused;
  Variant p;
  if (!copy_of(payload, p)) return Put::fails;
  if (const auto slot = seek(key, 1)) {
    slots[static_cast<std::size_t>(*slot)].payload = std::move(p);
    return Put::replaced;
  }
  // With no equal key the policy plays no part: the pair is inserted or refused for want of room.
  return indata(key, *p, allocation_refused) ? Put::no_room : Put::inserted;
}

Model::Position Model::Position::clone() const {
  Position p;
  p.started = started;
  p.stamp = stamp;
  if (started) copy_value(*p.key.get(), *key);
  return p;
}

std::vector<std::int32_t> Model::next(Position& p, std::size_t most) const {
  std::vector<std::int32_t> r;
  auto at = order.begin();
  if (p.started) {
    // The first pair after (key, stamp): a bigger key, or an equal key inserted later.
    at = std::find_if(order.begin(), order.end(), [&](std::int32_t s) {
      const Pair& pair = slots[static_cast<std::size_t>(s)];
      const Order o = cmp(*pair.key, *p.key);
      return o == Order::greater || (o == Order::equal && pair.stamp > p.stamp);
    });
  }
  for (; at < order.end() && r.size() < most; ++at) r.push_back(*at);
  if (!r.empty()) {
    const Pair& last = slots[static_cast<std::size_t>(r.back())];
    p.started = true;
    p.stamp = last.stamp;
    p.key = Variant();
    copy_value(*p.key.get(), *last.key);
  }
  return r;
}

// A pair changing slots: the cursor follows it.
void Model::relabel(std::int32_t from, std::int32_t to) {
  std::replace(order.begin(), order.end(), from, to);
  if (cursor == static_cast<float>(from)) cursor = static_cast<float>(to);
}

// Removes the pair at `at` in the order. The cursor on it goes to the next bigger key, or to slot
// 0 when there is none; positions are untouched (they stand after a key, not on a slot). Slot 0
// stays the top: it
// takes the pair of its neighbour in the order (the next one, or the one before when it holds the
// biggest key), whose slot is freed instead; the pair of the last slot then moves into the freed
// slot, so that slots 0..Count-1 stay in use.
void Model::drop(std::size_t at) {
  gave_back_ = true;
  const std::int32_t gone = order[at];
  const bool has_next = at + 1 < order.size();
  const std::int32_t next = has_next ? order[at + 1] : -1;
  const bool on_cursor = cursor == static_cast<float>(gone);
  order.erase(order.begin() + static_cast<std::ptrdiff_t>(at));
  std::int32_t freed = gone;
  if (gone == 0) {
    if (order.empty()) {
      slots.clear();
      cursor = 0;
      return;
    }
    freed = has_next ? next : order[at - 1];
    slots[0] = std::move(slots[static_cast<std::size_t>(freed)]);
    // The cursor on the removed key first takes the next one, which may be the one moving.
    if (on_cursor) cursor = has_next ? static_cast<float>(next) : 0;
    relabel(freed, 0);
  } else if (on_cursor) {
    cursor = has_next ? static_cast<float>(next) : 0;
  }
  const auto last = static_cast<std::int32_t>(slots.size() - 1);
  if (freed != last) {
    slots[static_cast<std::size_t>(freed)] = std::move(slots.back());
    relabel(last, freed);
  }
  slots.pop_back();
}

LONG Model::remove(const VARIANT& key) {
  if (!holdable(key)) return 0;
  LONG n = 0;
  for (auto first = seek(key, 1); first; first = seek(key, 1), ++n)
    drop(static_cast<std::size_t>(std::find(order.begin(), order.end(), *first) - order.begin()));
  return n;
}

Variant Model::remove_current() {
  Variant answer;
  if (read_mode == FAULT || order.empty()) {
    make_empty_text(*answer.get());
    return answer;
  }
  const auto at = static_cast<std::size_t>(
      std::find(order.begin(), order.end(), static_cast<std::int32_t>(cursor)) - order.begin());
  if (at + 1 < order.size())
    copy_value(*answer.get(), *slots[static_cast<std::size_t>(order[at + 1])].key);
  else
    make_empty_text(*answer.get());
  drop(at);
  return answer;
}

void Model::remove_all() {
  gave_back_ = true;  // an empty store's memory too
  slots.clear();
  order.clear();
  for (Position& p : positions) p = {};
  cursor = 0;
  if (read_mode == FAULT) read_mode = WRITE_DATA;
}

}  // namespace quilmar::fuzz
