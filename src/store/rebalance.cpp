// Rebalancing after an insertion: balance updates up the Parent links, then at most one single or
// double rotation. Slot 0 is never visited: it stays the top of the tree, BALANCED, Parent -1.
//
// Nodes never move to another slot and no key or payload is copied, so a slot number held
// elsewhere (the read cursor) names the same node afterwards.
#include "store/store.h"

namespace quilmar {
namespace {

BALANCESTS other(BALANCESTS side) {
  return side == SMALLV ? BIGV : SMALLV;
}

float& child(AVLtree& n, BALANCESTS side) {
  return side == SMALLV ? n.Small : n.Big;
}

// A link as a slot number: -1 for no node.
std::int32_t slot_of(float link) {
  return is_link(link) ? to_int32(link) : -1;
}

}  // namespace

void Store::rebalance(std::int32_t x, BALANCESTS s) {
  // Each pass is one level of the upward walk: X's subtree on side s has just grown.
  while (x > 0) {
    AVLtree& X = at(x);
    if (X.Balance != s && X.Balance != BALANCED) {  // X leaned the other way: now even
      X.Balance = BALANCED;
      return;
    }
    const std::int32_t p = slot_of(X.Parent);
    if (X.Balance == BALANCED) {  // X grew one level: tell its parent, unless that is slot 0
      if (p <= 0) {
        X.Balance = s;
        return;
      }
      // The side X hangs on is read from P's link, never from the keys: equal keys and keys of
      // inconsistent order cannot mislead it.
      const BALANCESTS t = to_int32(at(p).Small) == x ? SMALLV : BIGV;
      X.Balance = s;
      x = p;
      s = t;
      continue;
    }
    rotate(x, s);  // X was already one level higher on side s: two now
    return;
  }
}

// Rotation at X, whose side s is two levels higher than its other side. Every slot the rotation
// writes is read and checked before the first write, so a damaged table fails with nothing
// changed.
/*
    single (s = SMALLV):         double (s = SMALLV):
          X            Y               X              Z
         / \          / \             / \           /   \
        Y   c   ->   a   X           Y   d   ->    Y     X
       / \              / \         / \           / \   / \
      a   b            b   c       a   Z         a   b c   d
                                      / \
                                     b   c
*/
void Store::rotate(std::int32_t x, BALANCESTS s) {
  const BALANCESTS o = other(s);
  AVLtree& X = at(x);
  const std::int32_t p = slot_of(X.Parent);
  const std::int32_t y = slot_of(child(X, s));
  AVLtree& P = at(p);
  AVLtree& Y = at(y);
  const bool x_is_small = slot_of(P.Small) == x;
  if (!x_is_small && slot_of(P.Big) != x) fail(kSubscriptOutOfRange);  // P does not lead to X
  const float fx = static_cast<float>(x), fy = static_cast<float>(y), fp = static_cast<float>(p);
  float n;

  if (Y.Balance == s) {
    const std::int32_t b = slot_of(child(Y, o));
    AVLtree* B = b >= 0 ? &at(b) : nullptr;
    X.Parent = fy;
    Y.Parent = fp;
    child(X, s) = child(Y, o);
    if (B) B->Parent = fx;
    child(Y, o) = fx;
    X.Balance = BALANCED;
    Y.Balance = BALANCED;
    n = fy;
  } else {
    const std::int32_t z = slot_of(child(Y, o));
    AVLtree& Z = at(z);
    const std::int32_t zo = slot_of(child(Z, o)), zs = slot_of(child(Z, s));
    AVLtree* ZO = zo >= 0 ? &at(zo) : nullptr;
    AVLtree* ZS = zs >= 0 ? &at(zs) : nullptr;
    const float fz = static_cast<float>(z);
    X.Parent = fz;
    Y.Parent = fz;
    Z.Parent = fp;
    if (ZO) ZO->Parent = fx;
    if (ZS) ZS->Parent = fy;
    child(X, s) = child(Z, o);
    child(Z, o) = fx;
    child(Y, o) = child(Z, s);
    child(Z, s) = fy;
    Y.Balance = Z.Balance == o ? s : BALANCED;
    X.Balance = Z.Balance == s ? o : BALANCED;
    Z.Balance = BALANCED;
    n = fz;
  }
  (x_is_small ? P.Small : P.Big) = n;
}

}  // namespace quilmar
