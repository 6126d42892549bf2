#include "dictionary_model.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace quilmar::fuzz {
namespace {

// The key's group in the order: Null, numbers, text (Empty as ""), error values, objects.
enum Group { null_group, number_group, text_group, error_group, object_group, no_key };

bool is_nan(const VARIANT& v) {
  switch (v.vt) {
    case VT_R4: return std::isnan(v.fltVal);
    case VT_R8:
    case VT_DATE: return std::isnan(v.dblVal);
    default: return false;
  }
}

Group group(const VARIANT& v) {
  if (v.vt & VT_ARRAY) return no_key;
  switch (v.vt) {
    case VT_NULL: return null_group;
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_DATE:
    case VT_BOOL: return is_nan(v) ? no_key : number_group;
    case VT_EMPTY:
    case VT_BSTR: return text_group;
    case VT_ERROR: return error_group;
    case VT_DISPATCH:
    case VT_UNKNOWN: return object_group;
    default: return no_key;
  }
}

// A number as the host compares numbers: True is -1, a date its day number.
Variant as_number(const VARIANT& v) {
  Variant n;
  if (v.vt == VT_BOOL) {
    n.get()->vt = VT_I4;
    n.get()->lVal = v.boolVal ? -1 : 0;
  } else if (v.vt == VT_DATE) {
    n.get()->vt = VT_R8;
    n.get()->dblVal = v.date;
  } else {
    copy_value(*n.get(), v);
  }
  return n;
}

// An object's identity: its IUnknown.
std::uintptr_t identity(const VARIANT& v) {
  if (!v.punkVal) return 0;
  IUnknown* unknown = nullptr;
  if (FAILED(v.punkVal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)))) return 0;
  unknown->Release();
  return reinterpret_cast<std::uintptr_t>(unknown);
}

template <class T>
Order three_way(T a, T b) {
  return a < b ? Order::less : b < a ? Order::greater : Order::equal;
}

}  // namespace

DictionaryModel::KeyCheck DictionaryModel::check(const VARIANT& key) {
  Variant k;
  if (!copy_of(key, k)) return KeyCheck::nan;
  if (k->vt & VT_ARRAY) return KeyCheck::array;
  return group(*k) == no_key ? KeyCheck::nan : KeyCheck::key;
}

Order DictionaryModel::cmp(const VARIANT& given_a, const VARIANT& given_b) const {
  Variant a, b;
  copy_of(given_a, a);
  copy_of(given_b, b);
  const Group ga = group(*a), gb = group(*b);
  if (ga != gb) return ga < gb ? Order::less : Order::greater;
  switch (ga) {
    case number_group: return compare(*as_number(*a), *as_number(*b));
    case text_group: {
      const Scalar x = scalar_of(*a), y = scalar_of(*b);
      const OLECHAR* xs = x.kind == Scalar::text ? x.chars : nullptr;
      const OLECHAR* ys = y.kind == Scalar::text ? y.chars : nullptr;
      const std::size_t xn = xs ? x.length : 0, yn = ys ? y.length : 0;
      if (compare_mode > 0) {
        const int c = fold_compare(xs, xn, ys, yn);
        return c < 0 ? Order::less : c > 0 ? Order::greater : Order::equal;
      }
      for (std::size_t i = 0; i < xn && i < yn; ++i)
        if (xs[i] != ys[i]) return xs[i] < ys[i] ? Order::less : Order::greater;
      return three_way(xn, yn);
    }
    case error_group: return three_way(a->scode, b->scode);
    case object_group: return three_way(identity(*a), identity(*b));
    default: return Order::equal;  // Null
  }
}

std::optional<std::size_t> DictionaryModel::find(const VARIANT& key) const {
  if (check(key) != KeyCheck::key) return std::nullopt;
  for (std::size_t i = 0; i < pairs.size(); ++i)
    if (cmp(*pairs[i].key, key) == Order::equal) return i;
  return std::nullopt;
}

void DictionaryModel::insert(const VARIANT& key, const VARIANT& item) {
  Pair p;
  copy_of(key, p.key);
  copy_of(item, p.item);
  p.stamp = ++stamps_;
  const auto at = std::find_if(pairs.begin(), pairs.end(), [&](const Pair& q) {
    return cmp(*q.key, *p.key) == Order::greater;
  });
  pairs.insert(at, std::move(p));
}

void DictionaryModel::erase(std::size_t at) {
  pairs.erase(pairs.begin() + static_cast<std::ptrdiff_t>(at));
}

std::optional<std::size_t> DictionaryModel::seek(const VARIANT& key, LONG how) const {
  if (check(key) != KeyCheck::key) return std::nullopt;
  std::optional<std::size_t> found;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const Order o = cmp(*pairs[i].key, key);
    const bool equal = o == Order::equal, less = o == Order::less, greater = o == Order::greater;
    switch (how) {
      case 1:
      case 2:
        if (equal) found = i;
        break;
      case 4:
        if (!less && !found) found = i;
        break;
      case 8:
        if (greater && !found) found = i;
        break;
      case 16:
        if (!greater) found = i;
        break;
      case 32:
        if (less) found = i;
        break;
      default: return std::nullopt;
    }
  }
  return found;
}

std::vector<std::size_t> DictionaryModel::range(const VARIANT* low, const VARIANT* high) const {
  std::vector<std::size_t> r;
  if ((low && check(*low) != KeyCheck::key) || (high && check(*high) != KeyCheck::key)) return r;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const VARIANT& k = *pairs[i].key;
    if ((!low || cmp(k, *low) != Order::less) && (!high || cmp(k, *high) != Order::greater))
      r.push_back(i);
  }
  return r;
}

std::vector<std::size_t> DictionaryModel::next(Model::Position& p, std::size_t most) const {
  std::vector<std::size_t> r;
  std::size_t at = 0;
  if (p.started)
    while (at < pairs.size()) {
      const Order o = cmp(*pairs[at].key, *p.key);
      if (o == Order::greater || (o == Order::equal && pairs[at].stamp > p.stamp)) break;
      ++at;
    }
  for (; at < pairs.size() && r.size() < most; ++at) r.push_back(at);
  if (!r.empty()) {
    p.started = true;
    p.stamp = pairs[r.back()].stamp;
    p.key = Variant();
    copy_value(*p.key.get(), *pairs[r.back()].key);
  }
  return r;
}

void DictionaryModel::remove_all() {
  pairs.clear();
  for (Model::Position& p : positions) p = {};
}

void DictionaryModel::reset() {
  pairs.clear();
  positions.clear();
  compare_mode = 0;
}

void DictionaryModel::copy_from(const DictionaryModel& other) {
  pairs.clear();
  for (const Pair& p : other.pairs) {
    Pair c;
    copy_value(*c.key.get(), *p.key, EmptyText::null);
    copy_value(*c.item.get(), *p.item, EmptyText::null);
    c.stamp = p.stamp;
    pairs.push_back(std::move(c));
  }
  positions.clear();
  for (const Model::Position& p : other.positions) positions.push_back(p.clone());
  compare_mode = other.compare_mode;
  stamps_ = other.stamps_;
}

}  // namespace quilmar::fuzz
