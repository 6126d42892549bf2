#include "store/verify.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "store/links.h"

namespace quilmar {
namespace {

struct Checker {
  const Store& store;
  const NodeTable& t;
  Report& r;
  std::vector<bool> seen;
  std::vector<std::size_t> order;

  void expect(bool holds, const char* what, long at) {
    if (holds || r.problems.size() > 50) return;
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s at slot %ld", what, at);
    r.problems.emplace_back(buf);
  }

  bool valid(long n) { return n >= 0 && static_cast<std::size_t>(n) < t.size(); }

  struct Subtree {
    int height = 0;
    std::size_t size = 0;
  };

  // Height and size of n's subtree; links, balance, sizes and reach checked on the way.
  Subtree walk(long n, long parent) {
    if (n < 0) return {};
    if (!valid(n)) {
      expect(false, "I3 links: a link leaves the table", parent);
      return {};
    }
    if (seen[n]) {
      expect(false, "I4 reach: slot reached twice", n);
      return {};
    }
    seen[n] = true;
    ++r.nodes;
    const AVLtree& node = t[n];
    expect(quilmar::parent(node) == parent, "I3 links: Parent does not name the parent", n);
    expect(static_cast<float>(n) < store.count(), "I4 reach: a node beyond Count", n);
    const Subtree small = walk(child(node, Side::small), n);
    order.push_back(static_cast<std::size_t>(n));
    const Subtree big = walk(child(node, Side::big), n);
    const int hs = small.height, hb = big.height;
    const std::size_t size = 1 + small.size + big.size;
    expect(t.smaller(static_cast<std::size_t>(n)) == small.size,
           "I7 positions: the count is not the number of nodes on the small side", n);
    if (n == 0) {
      r.small_height = hs;
      r.big_height = hb;
      expect(balance(node) == BALANCED, "I2 balance: slot 0 is not BALANCED", n);
    } else {
      const BALANCESTS want = hs == hb ? BALANCED : hs > hb ? SMALLV : BIGV;
      expect(std::abs(hs - hb) <= 1, "I2 balance: subtree heights differ by more than one", n);
      expect(balance(node) == want, "I2 balance: Balance does not name the higher side", n);
    }
    return {1 + std::max(hs, hb), size};
  }

  void check_order() {
    for (std::size_t i = 1; i < order.size(); ++i) {
      const Order o = store.key_order()(t[order[i - 1]].Data, t[order[i]].Data);
      // Equal keys' insertion order shows in no field once a removal has moved a node: the
      // tests and the fuzzer's model check it by the payloads.
      expect(o == Order::less || o == Order::equal, "I1 order: keys out of order",
             static_cast<long>(order[i]));
    }
  }
};

}  // namespace

std::string Report::text() const {
  std::string s;
  for (std::size_t i = 0; i < problems.size() && i < 10; ++i) s += problems[i] + "\n";
  return s;
}

Report verify(const Store& store) {
  Report r;
  const NodeTable& t = store.table();
  Checker c{store, t, r, std::vector<bool>(t.size()), {}};
  const float count = store.count(), alloc = store.alloc_size();
  c.expect(count >= 0 && std::floor(count) == count, "I6 count: Count is not a whole number", -1);
  // In doubles: after a refused Alloc the size may be negative, NaN or past any integer type.
  const double bound = std::nearbyint(static_cast<double>(alloc));
  c.expect(count <= bound + 1, "I6 count: Count passes AllocSize + 1", -1);
  c.expect(static_cast<double>(t.size()) == bound + 1,
           "I6 count: the table does not have AllocSize + 1 slots", -1);
  if (count > 0 && t.size() > 0) {
    c.expect(parent(t[0]) == nil, "I3 links: slot 0 has a parent", 0);
    c.walk(0, -1);
    c.check_order();
  }
  const std::size_t last = c.order.empty() ? 0 : c.order.back();
  c.expect(
      c.order.empty() ? store.last_node() == nil : store.last_node() == static_cast<Slot>(last),
      "I8 caches: the biggest key's node is not the one remembered", static_cast<long>(last));
  c.expect(store.prefixes_hold(), "I8 caches: a text key's prefix key is not its own", -1);
  c.expect(r.nodes == static_cast<std::size_t>(count), "I4 reach: nodes reached differ from Count",
           static_cast<long>(r.nodes));
  for (std::size_t i = static_cast<std::size_t>(std::max(count, 0.0f)); i < t.size(); ++i) {
    c.expect(is_free(t[i]), "I5 free: a slot past Count is not free", static_cast<long>(i));
    c.expect(t.smaller(i) == 0, "I7 positions: a slot past Count has a count",
             static_cast<long>(i));
  }
  return r;
}

std::vector<std::size_t> in_order(const Store& store) {
  Report r;
  Checker c{store, store.table(), r, std::vector<bool>(store.table().size()), {}};
  if (store.count() > 0) c.walk(0, -1);
  return c.order;
}

bool is_free(const AVLtree& r) {
  return links_clear(r) && r.Data.vt == VT_BSTR && SysStringLen(r.Data.bstrVal) == 0 &&
         r.SubData.vt == VT_BSTR && SysStringLen(r.SubData.bstrVal) == 0;
}

}  // namespace quilmar
