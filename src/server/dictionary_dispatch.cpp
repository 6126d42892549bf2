#include "server/dictionary_dispatch.h"

#include "server/error_info.h"
#include "server/late_binding.h"

namespace quilmar::dispatch {
namespace {

using members::kDictionaryMembers;
using Target = ISortedDictionary;

// The result of a member that answers through its interface member's last argument, once that
// member has run.
template <class T>
HRESULT answer(HRESULT hr, T value, VARTYPE type, VARIANT& result) {
  if (SUCCEEDED(hr)) {
    result.vt = type;
    if constexpr (std::is_same_v<T, LONG>)
      result.lVal = value;
    else if constexpr (std::is_same_v<T, VARIANT_BOOL>)
      result.boolVal = value;
    else
      result.punkVal = value;
  }
  return hr;
}

HRESULT put_item(Target& t, const Arguments& a, VARIANT&) {
  return t.put_Item(*a.get(0), *a.get(1));
}
HRESULT putref_item(Target& t, const Arguments& a, VARIANT&) {
  return t.putref_Item(*a.get(0), *a.get(1));
}
HRESULT get_item(Target& t, const Arguments& a, VARIANT& r) {
  return t.get_Item(*a.get(0), &r);
}
HRESULT add(Target& t, const Arguments& a, VARIANT&) {
  return t.Add(*a.get(0), *a.get(1));
}
HRESULT count(Target& t, const Arguments&, VARIANT& r) {
  LONG n = 0;
  const HRESULT hr = t.get_Count(&n);
  return answer(hr, n, VT_I4, r);
}
HRESULT exists(Target& t, const Arguments& a, VARIANT& r) {
  VARIANT_BOOL found = VARIANT_FALSE;
  const HRESULT hr = t.Exists(*a.get(0), &found);
  return answer(hr, found, VT_BOOL, r);
}
HRESULT items(Target& t, const Arguments& a, VARIANT& r) {
  return t.Items(*a.get(0), *a.get(1), &r);
}
HRESULT put_key(Target& t, const Arguments& a, VARIANT&) {
  return t.put_Key(*a.get(0), *a.get(1));
}
HRESULT keys(Target& t, const Arguments& a, VARIANT& r) {
  return t.Keys(*a.get(0), *a.get(1), &r);
}
HRESULT remove(Target& t, const Arguments& a, VARIANT&) {
  return t.Remove(*a.get(0));
}
HRESULT remove_all(Target& t, const Arguments&, VARIANT&) {
  return t.RemoveAll();
}
HRESULT put_compare_mode(Target& t, const Arguments& a, VARIANT&) {
  return t.put_CompareMode(a.as_long(0));
}
HRESULT get_compare_mode(Target& t, const Arguments&, VARIANT& r) {
  LONG mode = 0;
  const HRESULT hr = t.get_CompareMode(&mode);
  return answer(hr, mode, VT_I4, r);
}
HRESULT new_enum(Target& t, const Arguments&, VARIANT& r) {
  IUnknown* enumerator = nullptr;
  const HRESULT hr = t.get__NewEnum(&enumerator);
  return answer(hr, enumerator, VT_UNKNOWN, r);
}
HRESULT key_at(Target& t, const Arguments& a, VARIANT& r) {
  return t.KeyAt(a.as_long(0), &r);
}
HRESULT get_item_at(Target& t, const Arguments& a, VARIANT& r) {
  return t.get_ItemAt(a.as_long(0), &r);
}
HRESULT put_item_at(Target& t, const Arguments& a, VARIANT&) {
  return t.put_ItemAt(a.as_long(0), *a.get(1));
}
HRESULT putref_item_at(Target& t, const Arguments& a, VARIANT&) {
  return t.putref_ItemAt(a.as_long(0), *a.get(1));
}
HRESULT index_of(Target& t, const Arguments& a, VARIANT& r) {
  LONG index = -1;
  const HRESULT hr = t.IndexOf(*a.get(0), &index);
  return answer(hr, index, VT_I4, r);
}
HRESULT remove_at(Target& t, const Arguments& a, VARIANT&) {
  return t.RemoveAt(a.as_long(0));
}
HRESULT seek(Target& t, const Arguments& a, VARIANT& r) {
  return t.Seek(*a.get(0), static_cast<SEEKMODE>(a.as_long(1)), &r);
}
HRESULT load(Target& t, const Arguments& a, VARIANT& r) {
  LONG taken = 0;
  const HRESULT hr = t.Load(*a.get(0), *a.get(1), *a.get(2), &taken);
  return answer(hr, taken, VT_I4, r);
}
HRESULT to_array(Target& t, const Arguments& a, VARIANT& r) {
  return t.ToArray(*a.get(0), *a.get(1), &r);
}
HRESULT sort(Target& t, const Arguments& a, VARIANT& r) {
  return t.Sort(*a.get(0), *a.get(1), *a.get(2), &r);
}

using members::kGet, members::kMethod, members::kPut, members::kPutRef;
namespace id = dispid::dictionary;

// clang-format off
constexpr Binding<Target> kBindings[] = {
  {id::Item,        kPut,    put_item},
  {id::Item,        kPutRef, putref_item},
  {id::Item,        kGet,    get_item},
  {id::Add,         kMethod, add},
  {id::Count,       kGet,    count},
  {id::Exists,      kMethod, exists},
  {id::Items,       kMethod, items},
  {id::Key,         kPut,    put_key},
  {id::Keys,        kMethod, keys},
  {id::Remove,      kMethod, remove},
  {id::RemoveAll,   kMethod, remove_all},
  {id::CompareMode, kPut,    put_compare_mode},
  {id::CompareMode, kGet,    get_compare_mode},
  {id::NewEnum,     kGet,    new_enum},
  {id::KeyAt,       kMethod, key_at},
  {id::ItemAt,      kGet,    get_item_at},
  {id::ItemAt,      kPut,    put_item_at},
  {id::ItemAt,      kPutRef, putref_item_at},
  {id::IndexOf,     kMethod, index_of},
  {id::RemoveAt,    kMethod, remove_at},
  {id::Seek,        kMethod, seek},
  {id::Load,        kMethod, load},
  {id::ToArray,     kMethod, to_array},
  {id::Sort,        kMethod, sort},
};
// clang-format on
static_assert(one_call_per_member(kDictionaryMembers, kBindings),
              "every member of the table needs its call in kBindings");
constexpr auto kCalls = calls_in_row_order(kDictionaryMembers, kBindings);

HRESULT call_row(void* target, std::size_t row, const Arguments& args, VARIANT& result) {
  return kCalls[row](*static_cast<Target*>(target), args, result);
}

}  // namespace

HRESULT dictionary_ids_of_names(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
  return ids_of_names(kDictionaryMembers, riid, names, count, ids);
}

HRESULT dictionary_invoke(ISortedDictionary& target, DISPID id, REFIID riid, WORD flags,
                          DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                          UINT* arg_error) noexcept {
  const Binder binder{kDictionaryMembers, kDictionaryErrors.prog_id, &target, call_row};
  return invoke(binder, id, riid, flags, params, result, excep, arg_error);
}

}  // namespace quilmar::dispatch
