// Ordered reading: the cursor's positioning walks and steps, and the blocked state after a step
// ran off either end.
//
// The descending walks call the event pump once per pass, and the pump may run any call of this
// thread, into this store included (an Indata that grows the table, an Alloc that replaces it).
// So every pass looks the table and the cursor up afresh, and no reference into the table is
// held across a pump call.
#include "host/event_pump.h"
#include "store/store.h"

namespace quilmar {
namespace {

float link_of(const AVLtree& n, BALANCESTS side) {
  return side == SMALLV ? n.Small : n.Big;
}

}  // namespace

void Store::descend(float& idx, BALANCESTS side) {
  for (bool stop = false; !stop;) {
    const float next = link_of(at(idx), side);
    if (is_link(next))
      idx = next;
    else
      stop = true;
    yield_events();
  }
}

// The in-order neighbour of idx's node on `side` (BIGV: successor, SMALLV: predecessor), moving
// idx along the walk; -1, with idx on the top node, when there is none.
float Store::step(float& idx, BALANCESTS side) {
  const float down = link_of(at(idx), side);
  if (is_link(down)) {
    idx = down;
    descend(idx, side == BIGV ? SMALLV : BIGV);
    return idx;
  }
  // Climb until the node just left hangs on the parent's far side. A sound tree ends this at the
  // top within its height; the bound only keeps a damaged one from looping.
  const BALANCESTS inner = side == BIGV ? SMALLV : BIGV;
  for (std::size_t level = 0; level <= tree_.size(); ++level) {
    const float parent = at(idx).Parent;
    if (!is_link(parent)) return -1;
    const bool arrived = link_of(at(parent), inner) == idx;
    idx = parent;
    if (arrived) return idx;
  }
  fail(kSubscriptOutOfRange);
}

float Store::next_index(float& idx) {
  return step(idx, BIGV);
}
float Store::back_index(float& idx) {
  return step(idx, SMALLV);
}

void Store::read(MODEVAL& spec, VARIANT& result) {
  if (read_mode_ == FAULT) {
    make_empty_text(result);
    return;
  }
  const MODEVAL mode = spec;
  switch (mode) {
    case START_READ:
    case END_READ:
      current_index_ = 0;
      descend(current_index_, mode == START_READ ? SMALLV : BIGV);
      break;
    case READ_MID: current_index_ = 0; break;
    case READ_NEXT:
    case READ_BACK:
      if (!is_link(mode == READ_NEXT ? next_index(current_index_) : back_index(current_index_))) {
        make_empty_text(result);
        spec = FAULT;
        read_mode_ = FAULT;
        return;
      }
      break;
    default:  // WRITE_DATA, FAULT and values outside the enumeration read nothing
      read_mode_ = mode;
      return;
  }
  const AVLtree& here = at(current_index_);
  copy_value(result, here.Data);
  read_mode_ = mode;
  // The next step in the same direction most likely starts down this link: fetch it while the
  // client is busy with the key.
  const float ahead = mode == READ_BACK || mode == END_READ ? here.Small : here.Big;
  if (is_link(ahead) && ahead < static_cast<float>(tree_.size()))
    __builtin_prefetch(&tree_[static_cast<std::size_t>(ahead)]);
}

void Store::read_sub(VARIANT& result) const {
  if (read_mode_ == FAULT) {
    make_empty_text(result);
    return;
  }
  copy_value(result, at(current_index_).SubData);
}

}  // namespace quilmar
