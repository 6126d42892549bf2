// The tree's walks and its structural changes, each guarded against cycles.
#include "store/tree.h"

#include <algorithm>
#include <cstring>

#include "host/text_case.h"

namespace quilmar {

Slot Tree::end(Side side, Slot from) const {
  if (from == nil) return nil;
  Guard guard = this->guard();
  for (Slot next; (next = child(at(from), side)) != nil; from = next) guard.step();
  return from;
}

Slot Tree::next(Slot n, Side side) const {
  if (const Slot down = child(at(n), side); down != nil) {
    Slot m = down;
    Guard guard = this->guard();
    for (Slot next; (next = child(at(m), opposite(side))) != nil; m = next) {
      // A later step leaves this node by its `side` link: start loading that child now.
      prefetch(child(at(m), side));
      guard.step();
    }
    return m;
  }
  for (Guard guard = this->guard();; guard.step()) {
    const Slot up = parent(at(n));
    if (up == nil) return nil;
    if (child(at(up), opposite(side)) == n) return up;
    n = up;
  }
}

namespace {

// The text a Variant holds, references read through; null for any other kind.
const BSTR* text_of(const VARIANT& key) noexcept {
  const VARIANT& r = read_through(key);
  if (r.vt == VT_BSTR) return &r.bstrVal;
  return r.vt == (VT_BYREF | VT_BSTR) ? r.pbstrVal : nullptr;
}

}  // namespace

Tree::Probe Tree::probe(const VARIANT& key) const noexcept {
  const BSTR* text = table_.has_prefixes() ? text_of(key) : nullptr;
  if (!text) return {key, false, 0};
  BSTR chars;
  std::memcpy(&chars, text, sizeof chars);  // a record's Variant is aligned to 4 bytes only
  return {key, true, text_prefix_key(chars, SysStringLen(chars), order_.ignore_case)};
}

void Tree::key_written(Slot slot) noexcept {
  if (!table_.has_prefixes()) return;
  const VARIANT& key = table_[static_cast<std::size_t>(slot)].Data;
  if (key.vt != VT_BSTR) return;
  BSTR chars;
  std::memcpy(&chars, &key.bstrVal, sizeof chars);
  table_.prefix(static_cast<std::size_t>(slot)) =
      text_prefix_key(chars, SysStringLen(chars), order_.ignore_case);
}

void Tree::prepare_prefixes(const VARIANT& key) noexcept {
  if (table_.has_prefixes() || !text_of(key) || !table_.keep_prefixes()) return;
  const auto n = std::min(static_cast<std::size_t>(count_), table_.built());
  for (std::size_t i = 0; i < n; ++i) key_written(static_cast<Slot>(i));
}

bool Tree::prefixes_hold() const {
  if (!table_.has_prefixes()) return true;
  for (std::size_t i = 0; i < static_cast<std::size_t>(count_); ++i) {
    const VARIANT& key = table_[i].Data;
    if (key.vt != VT_BSTR) continue;
    BSTR chars;
    std::memcpy(&chars, &key.bstrVal, sizeof chars);
    if (table_.prefix(i) != text_prefix_key(chars, SysStringLen(chars), order_.ignore_case))
      return false;
  }
  return true;
}

Slot Tree::bound(const VARIANT& key, Side toward, bool inclusive) const {
  if (empty()) return nil;
  const Probe p = probe(key);
  const Order beyond = toward == Side::big ? Order::less : Order::greater;
  Slot found = nil;
  Guard guard = this->guard();
  at(kTop);
  for (Slot n = kTop; n != nil; guard.step()) {
    const AVLtree& node = record(n);
    // The compare of a text may wait on the text's memory; the next level loads meanwhile.
    prefetch_children(p, node);
    const Order order = order_at(p, n, node);
    if (order == Order::unordered) fail(DISP_E_TYPEMISMATCH);  // only a damaged table gets here
    const bool qualifies = order == beyond || (inclusive && order == Order::equal);
    if (qualifies) found = n;
    n = down(node, qualifies ? opposite(toward) : toward);
  }
  return found;
}

Slot Tree::lower_bound_ranked(const VARIANT& key, std::size_t* index) const {
  if (empty()) return nil;
  const Probe p = probe(key);
  Slot found = nil;
  std::size_t before = 0, before_found = 0;  // nodes known to come before the subtree walked
  Guard guard = this->guard();
  at(kTop);
  for (Slot n = kTop; n != nil; guard.step()) {
    const AVLtree& node = record(n);
    prefetch_children(p, node);
    const Order order = order_at(p, n, node);
    if (order == Order::unordered) fail(DISP_E_TYPEMISMATCH);  // only a damaged table gets here
    const Slot small = down(node, Side::small);
    if (order == Order::less || order == Order::equal) {
      found = n;
      before_found = before;
      n = small;
    } else {
      before += smaller(n) + 1;
      n = down(node, Side::big);
    }
  }
  if (found != nil) *index = before_found + smaller(found);
  return found;
}

Slot Tree::select(std::size_t index) const {
  if (!(static_cast<double>(index) < count_)) return nil;
  Guard guard = this->guard();
  for (Slot n = kTop;; guard.step()) {
    const AVLtree& node = at(n);
    const std::size_t below = smaller(n);
    if (index == below) return n;
    if (index < below) {
      n = child(node, Side::small);
    } else {
      index -= below + 1;
      n = child(node, Side::big);
    }
  }
}

std::size_t Tree::rank(Slot n) const {
  at(n);
  std::size_t index = smaller(n);
  Guard guard = this->guard();
  for (Slot up; (up = parent(at(n))) != nil; n = up, guard.step())
    if (child(at(up), Side::big) == n) index += smaller(up) + 1;
  return index;
}

void Tree::uncount(Slot n, Side s) {
  for (Guard guard = this->guard(); n != nil; guard.step()) {
    if (s == Side::small) --count_of(n);
    const Slot p = parent(at(n));
    if (p != nil) s = side_under(p, n);
    n = p;
  }
}

void Tree::link(Slot slot, Slot p, Side side) {
  AVLtree& node = at(slot);
  set_parent(node, p);
  set_child(node, Side::small, nil);
  set_child(node, Side::big, nil);
  set_balance(node, BALANCED);
  count_of(slot) = 0;
  if (p == nil) {
    last_ = slot;
    return;
  }
  set_child(at(p), side, slot);
  if (p == last_ && side == Side::big) {
    last_ = slot;  // the new biggest key is on no node's small side
  } else {
    Guard guard = this->guard();
    for (Slot c = slot, n = p; n != nil; c = n, n = up(record(n)), guard.step())
      if (record(n).Small == to_link(c)) ++count_of(n);
  }
  if (p != kTop) grown(p, side);
}

void Tree::detach(Slot z) {
  if (z == last_) last_ = next(z, Side::small);
  AVLtree& Z = at(z);
  const Slot p = parent(Z);
  const Side z_side = side_under(p, z);
  const Slot small = child(Z, Side::small), big = child(Z, Side::big);
  if (small == nil || big == nil) {
    const Slot only = small != nil ? small : big;
    set_child(at(p), z_side, only);
    if (only != nil) set_parent(at(only), p);
    clear_links(Z);
    count_of(z) = 0;
    uncount(p, z_side);
    shrunk(p, z_side);
    return;
  }
  // Two children: the successor S leaves its place and takes Z's, links and balance.
  const Slot s = end(Side::small, big);
  AVLtree& S = at(s);
  Slot shrunk_at = s;
  Side shrunk_side = Side::big;
  if (s != big) {
    const Slot sp = parent(S), s_big = child(S, Side::big);
    set_child(at(sp), Side::small, s_big);
    if (s_big != nil) set_parent(at(s_big), sp);
    set_child(S, Side::big, big);
    set_parent(at(big), s);
    shrunk_at = sp;
    shrunk_side = Side::small;
  }
  set_child(S, Side::small, small);
  set_parent(at(small), s);
  set_parent(S, p);
  set_child(at(p), z_side, s);
  set_balance(S, balance(Z));
  count_of(s) = count_of(z);  // Z's small side is now S's
  clear_links(Z);
  count_of(z) = 0;
  uncount(shrunk_at, shrunk_side);
  shrunk(shrunk_at, shrunk_side);
}

void Tree::relocate(Slot from, Slot to) {
  AVLtree& source = at(from);
  AVLtree& target = at(to);
  const Slot p = parent(source);
  const Slot small = child(source, Side::small), big = child(source, Side::big);
  if (p != nil) set_child(at(p), side_under(p, from), to);
  if (small != nil) set_parent(at(small), to);
  if (big != nil) set_parent(at(big), to);
  std::memcpy(static_cast<void*>(&target), &source, sizeof target);  // records move bitwise
  NodeTable::make_free(source);
  count_of(to) = count_of(from);
  count_of(from) = 0;
  if (table_.has_prefixes())
    table_.prefix(static_cast<std::size_t>(to)) = table_.prefix(static_cast<std::size_t>(from));
  if (last_ == from) last_ = to;
}

void Tree::clear(std::size_t n) noexcept {
  last_ = nil;
  for (std::size_t i = 0; i < n; ++i) {
    clear_links(table_[i]);
    table_.smaller(i) = 0;
  }
}

}  // namespace quilmar
