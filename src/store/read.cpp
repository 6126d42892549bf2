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

void Store::descend(Side side) {
  Tree::Guard guard = tree_.guard();
  for (bool stop = false; !stop; guard.step()) {
    const Slot next = tree_.down(tree_.at(cursor()), side);
    if (next != nil)
      set_cursor(next);
    else
      stop = true;
    yield_events();
  }
}

// The in-order neighbour of the cursor's node on `side` (big: successor, small: predecessor),
// moving the cursor along the walk; nil, with the cursor on the top node, when there is none.
Slot Store::step(Side side) {
  const Slot down = tree_.down(tree_.at(cursor()), side);
  if (down != nil) {
    set_cursor(down);
    descend(opposite(side));
    return cursor();
  }
  // Climb until the node just left hangs on the parent's far side.
  const Side inner = opposite(side);
  for (Tree::Guard guard = tree_.guard();; guard.step()) {
    const Slot here = cursor();
    const Slot up = tree_.up(tree_.at(here));
    if (up == nil) return nil;
    const bool arrived = child(tree_.record(up), inner) == here;
    set_cursor(up);
    if (arrived) return up;
  }
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
      set_cursor(kTop);
      descend(mode == START_READ ? Side::small : Side::big);
      break;
    case READ_MID: set_cursor(kTop); break;
    case READ_NEXT:
    case READ_BACK:
      if (step(mode == READ_NEXT ? Side::big : Side::small) == nil) {
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
  const AVLtree& here = tree_.at(cursor());
  copy_value(result, here.Data);
  read_mode_ = mode;
  // The next step in the same direction most likely starts down this link: fetch it while the
  // client is busy with the key.
  tree_.prefetch_link(mode == READ_BACK || mode == END_READ ? here.Small : here.Big);
}

void Store::read_sub(VARIANT& result) const {
  if (read_mode_ == FAULT) {
    make_empty_text(result);
    return;
  }
  copy_value(result, tree_.at(cursor()).SubData);
}

}  // namespace quilmar
