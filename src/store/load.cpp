// Load: many pairs in one call, all or nothing. Each pair goes in as Indata or Item put would put
// it (find_place links a pair not below the biggest key in after it without a descent, so an array
// already in order loads in one comparison a pair). Should a pair fail, every change of the call is
// undone before the failure goes on: new nodes leave in the reverse of their coming (each from the
// last slot, so no node moves), replaced pairs come back, and the table takes its size again.
#include <utility>

#include "store/store.h"

namespace quilmar {
namespace {

// What happened to each row: the slot whose pair it replaced, or one of these.
constexpr Slot kInserted = -1, kKept = -2;

Text row_description(HRESULT code, LONG row) {
  const OLECHAR* what = failure_description(code);
  Text text = what ? what : OLESTR("");
  text += OLESTR(" (row ");
  for (const char c : std::to_string(row)) text += static_cast<OLECHAR>(c);
  text += OLESTR(")");
  return text;
}

}  // namespace

struct Store::LoadUndo {
  float count, alloc_size;
  std::size_t table_size;
  bool keys_replaced;      // Item put keeps the stored key; Indata's last-one-wins takes the row's
  std::vector<Slot> done;  // per row, as it went
};

std::size_t Store::load(std::vector<LoadRow>& rows, LoadAs as) {
  for (const LoadRow& r : rows)
    if (!could_hold(*r.key))
      throw Failure(kInvalidArgument, row_description(kInvalidArgument, r.row));
  LoadUndo undo{tree_.count(), alloc_size_, tree_.table().size(), as != LoadAs::item, {}};
  try {
    undo.done.reserve(rows.size());
  } catch (const std::bad_alloc&) {
    throw Failure(kOutOfMemory, failure_description(kOutOfMemory));
  }
  const bool stops_at_equal =
      as == LoadAs::item || egn_mode_ == USE_FIRST_DATA || egn_mode_ == USE_LAST_DATA;
  std::size_t i = 0;
  try {
    for (; i < rows.size(); ++i) {
      LoadRow& r = rows[i];
      const Place place = find_place(*r.key, stops_at_equal);
      if (place.equal != nil) {
        AVLtree& node = tree_.at(place.equal);
        if (as == LoadAs::item) {
          std::swap(*r.payload.get(), node.SubData);
        } else if (egn_mode_ == USE_LAST_DATA) {
          tree_.prepare_prefixes(*r.key);
          std::swap(*r.key.get(), node.Data);
          std::swap(*r.payload.get(), node.SubData);
          tree_.key_written(place.equal);
        } else {
          undo.done.push_back(kKept);
          continue;
        }
        undo.done.push_back(place.equal);
        continue;
      }
      link_new_node(place, r.key, r.payload);
      undo.done.push_back(kInserted);
    }
  } catch (const GrowthRefused&) {
    undo_load(undo, rows, i);
    throw Failure(kOutOfMemory, row_description(kOutOfMemory, rows[i].row));
  } catch (...) {
    undo_load(undo, rows, i);
    throw;
  }
  return rows.size();
}

// Takes back rows [0, done): the newest first, so each new node is in the last slot when it goes.
void Store::undo_load(const LoadUndo& undo, std::vector<LoadRow>& rows, std::size_t done) noexcept {
  for (std::size_t i = done; i-- > 0;) {
    LoadRow& r = rows[i];
    const Slot what = undo.done[i];
    if (what == kKept) continue;
    if (what >= 0) {  // the replaced pair back; the row's own goes back to the row
      AVLtree& node = tree_.at(what);
      if (undo.keys_replaced) std::swap(*r.key.get(), node.Data);
      std::swap(*r.payload.get(), node.SubData);
      tree_.key_written(what);
      continue;
    }
    const Slot slot = to_int32(tree_.count()) - 1;
    if (slot == kTop)
      tree_.clear(1);
    else
      tree_.detach(slot);
    AVLtree& node = tree_.at(slot);
    std::swap(*r.key.get(), node.Data);
    std::swap(*r.payload.get(), node.SubData);
    NodeTable::make_free(node);
    tree_.set_count(tree_.count() - 1);
  }
  alloc_size_ = undo.alloc_size;
  tree_.table().truncate(undo.table_size);
}

}  // namespace quilmar
