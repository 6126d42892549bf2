#include "store_view.h"

#include "values.h"

namespace quilmar::test {

std::size_t first_used_slot(const NodeTable& t, std::size_t from) {
  for (std::size_t i = from; i < t.size(); ++i)
    if (!is_free(t[i])) return i;
  return t.size();
}

Shape shape(const Store& s, int slot) {
  const AVLtree& r = s.table()[static_cast<std::size_t>(slot)];
  return {slot, parent(r), child(r, Side::small), child(r, Side::big), balance(r)};
}

std::string describe(const Shape& n) {
  return "slot " + std::to_string(n.slot) + ": parent " + std::to_string(n.parent) + " small " +
         std::to_string(n.small) + " big " + std::to_string(n.big) + " balance " +
         std::to_string(n.balance);
}

Snapshot snapshot(const Store& s) {
  Snapshot snap{{}, {}, {}, s.count(), s.alloc_size(), s.current_index(), s.read_mode()};
  for (std::size_t i = 0; i < s.table().size(); ++i) {
    snap.shapes.push_back(shape(s, static_cast<int>(i)));
    snap.keys.push_back(test::describe(s.table()[i].Data));
    snap.payloads.push_back(test::describe(s.table()[i].SubData));
  }
  return snap;
}

}  // namespace quilmar::test
