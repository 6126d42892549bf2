// Both rebalances, side by side: after an insertion a subtree grew by one level, after a removal
// one shrank. Each walks up the Parent links updating balances, with single or double rotations,
// which restore I2. Slot 0 is never visited: it stays the top of the tree, BALANCED, Parent -1.
//
// Nodes never move to another slot and no key or payload is copied, so a slot number held
// elsewhere (the read cursor) names the same node afterwards.
#include "store/tree.h"

namespace quilmar {
namespace {

struct AfterDouble {
  BALANCESTS y, x;
};

// The balances of Y and X after a double rotation on side s, from Z's balance before it: Z's
// subtrees b and c go to Y and X, and whichever of them was the shorter leaves its new parent
// leaning away from it.
AfterDouble balances_after_double_rotation(BALANCESTS z, Side s) {
  if (z == leaning(s)) return {BALANCED, leaning(opposite(s))};  // b higher: X lacks c's level
  if (z == leaning(opposite(s))) return {leaning(s), BALANCED};  // c higher: Y lacks b's level
  return {BALANCED, BALANCED};                                   // Z was the new leaf
}

}  // namespace

void Tree::grown(Slot x, Side s) {
  // Each pass is one level of the upward walk: X's subtree on side s has just grown. At most one
  // rotation ends it.
  for (Guard guard = this->guard(); x > 0; guard.step()) {
    AVLtree& X = at(x);
    const BALANCESTS was = balance(X);
    if (was != leaning(s) && was != BALANCED) {  // X leaned the other way: now even
      set_balance(X, BALANCED);
      return;
    }
    const Slot p = parent(X);
    if (was == BALANCED) {  // X grew one level: tell its parent, unless that is slot 0
      if (p <= 0) {
        set_balance(X, leaning(s));
        return;
      }
      const Side t = side_under(p, x);
      set_balance(X, leaning(s));
      x = p;
      s = t;
      continue;
    }
    rotate(x, s);  // X was already one level higher on side s: two now
    return;
  }
}

// X's subtree on side s has just lost a level. Each pass is one level of the upward walk, with at
// most one rotation; the walk stops below slot 0, whose two subtrees balance each on its own.
void Tree::shrunk(Slot x, Side s) {
  for (Guard guard = this->guard(); x > 0; guard.step()) {
    AVLtree& X = at(x);
    const BALANCESTS was = balance(X);
    if (was == BALANCED) {  // now leaning the other way, as high as before
      set_balance(X, leaning(opposite(s)));
      return;
    }
    Slot top = x;
    if (was == leaning(s)) {
      set_balance(X, BALANCED);  // one level lower
    } else {
      // The other side is two levels higher now. An even child there keeps the height.
      const bool same_height = balance(at(child(X, opposite(s)))) == BALANCED;
      top = rotate(x, opposite(s));
      if (same_height) return;
    }
    const Slot p = parent(at(top));
    if (p <= 0) return;
    s = side_under(p, top);
    x = p;
  }
}

// Rotation at X, whose side s is two levels higher than its other side (balances in brackets;
// "<" leans small, ">" leans big, "=" even). Every slot the rotation writes is read and checked
// before the first write, so a damaged table fails with nothing changed.
/*
    single, s = small:                  double, s = small:
          X(<)          Y(=)                  X(<)              Z(=)
         /   \         /   \                 /   \            /     \
       Y(<)   c  ->   a    X(=)            Y(>)   d   ->    Y        X
       /  \                /  \            /  \            / \      / \
      a    b              b    c          a   Z           a   b    c   d
                                             / \
                                            b   c
    s = big is the mirror image: swap Small and Big and "<" with ">", and read the leaves from
    right to left. The balances of Y and X after the double rotation depend on Z's before it:
    see balances_after_double_rotation. After a removal Y may be even (a and b equally high): the
    single rotation then leaves X leaning to s and Y to the other side, and the subtree's height
    unchanged. Answers the slot now at the subtree's top.
*/
Slot Tree::rotate(Slot x, Side s) {
  const Side o = opposite(s);
  AVLtree& X = at(x);
  const Slot p = parent(X);
  const Slot y = child(X, s);
  AVLtree& P = at(p);
  AVLtree& Y = at(y);
  const Side x_side = side_under(p, x);
  if (x_side == Side::big && child(P, Side::big) != x) fail(kSubscriptOutOfRange);  // P lost X
  Slot top;

  if (const BALANCESTS was = balance(Y); was != leaning(o)) {
    // single rotation: Y comes up, b moves across to X
    const Slot b = child(Y, o);
    AVLtree* B = b != nil ? &at(b) : nullptr;
    set_parent(X, y);
    set_parent(Y, p);
    set_child(X, s, b);
    if (B) set_parent(*B, x);
    set_child(Y, o, x);
    set_balance(X, was == BALANCED ? leaning(s) : BALANCED);
    set_balance(Y, was == BALANCED ? leaning(o) : BALANCED);
    // b was Y's small side (s big) or what X's small side held beyond Y and Y's small side
    if (s == Side::small)
      count_of(x) -= count_of(y) + 1;
    else
      count_of(y) += count_of(x) + 1;
    top = y;
  } else {
    // double rotation: Z, Y's inner child, comes up over both; b goes to Y, c to X
    const Slot z = child(Y, o);
    AVLtree& Z = at(z);
    const Slot zo = child(Z, o), zs = child(Z, s);
    AVLtree* ZO = zo != nil ? &at(zo) : nullptr;
    AVLtree* ZS = zs != nil ? &at(zs) : nullptr;
    set_parent(X, z);
    set_parent(Y, z);
    set_parent(Z, p);
    if (ZO) set_parent(*ZO, x);
    if (ZS) set_parent(*ZS, y);
    set_child(X, s, zo);
    set_child(Z, o, x);
    set_child(Y, o, zs);
    set_child(Z, s, y);
    const AfterDouble after = balances_after_double_rotation(balance(Z), s);
    set_balance(Y, after.y);
    set_balance(X, after.x);
    set_balance(Z, BALANCED);
    // as the two single rotations it is: at Y (Z up over Y), then at X (Z up over X)
    if (s == Side::small) {
      count_of(z) += count_of(y) + 1;
      count_of(x) -= count_of(z) + 1;
    } else {
      count_of(y) -= count_of(z) + 1;
      count_of(z) += count_of(x) + 1;
    }
    top = z;
  }
  set_child(P, x_side, top);
  return top;
}

}  // namespace quilmar
