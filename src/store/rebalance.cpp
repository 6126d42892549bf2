// Rebalancing after an insertion: balance updates up the Parent links, then at most one single or
// double rotation, which restores I2. Slot 0 is never visited: it stays the top of the tree,
// BALANCED, Parent -1. Removal (remove.cpp) retraces with the same rotation.
//
// Nodes never move to another slot and no key or payload is copied, so a slot number held
// elsewhere (the read cursor) names the same node afterwards.
#include "store/links.h"
#include "store/store.h"

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

void Store::rebalance(Slot x, Side s) {
  // Each pass is one level of the upward walk: X's subtree on side s has just grown.
  while (x > 0) {
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

// The side `n` hangs on under `p`, read from P's link, never from the keys: equal keys and keys of
// inconsistent order cannot mislead it.
Side Store::side_under(Slot p, Slot n) const {
  return child(at(p), Side::small) == n ? Side::small : Side::big;
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
Slot Store::rotate(Slot x, Side s) {
  const Side o = opposite(s);
  AVLtree& X = at(x);
  const Slot p = parent(X);
  const Slot y = child(X, s);
  AVLtree& P = at(p);
  AVLtree& Y = at(y);
  const Side x_side = child(P, Side::small) == x ? Side::small : Side::big;
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
    top = z;
  }
  set_child(P, x_side, top);
  return top;
}

}  // namespace quilmar
