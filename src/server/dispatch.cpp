#include "server/dispatch.h"

#include "server/error_info.h"
#include "server/late_binding.h"

namespace quilmar::dispatch {
namespace {

using members::kMembers;

using Call = HRESULT (*)(_clsAVLt3& target, const Arguments& args, VARIANT& result);

HRESULT call_read(_clsAVLt3& target, const Arguments& args, VARIANT& result) {
  const LONG given = args.as_long(0);
  auto mode = static_cast<MODEVAL>(given);
  const HRESULT hr = target.Read(&mode, &result);
  if (SUCCEEDED(hr) && mode != given) args.write_back(0, mode);  // FAULT at the end of the order
  return hr;
}

HRESULT call_alloc(_clsAVLt3& target, const Arguments& args, VARIANT& result) {
  FLOAT siz = args.as_float(0);
  VARIANT_BOOL built = VARIANT_FALSE;
  const HRESULT hr = target.Alloc(&siz, &built);
  if (SUCCEEDED(hr)) {
    result.vt = VT_BOOL;
    result.boolVal = built;
  }
  return hr;
}

HRESULT call_indata(_clsAVLt3& target, const Arguments& args, VARIANT& result) {
  return target.Indata(args.get(0), args.get(1), &result);
}

HRESULT call_read_sub(_clsAVLt3& target, const Arguments&, VARIANT& result) {
  return target.ReadSub(&result);
}

HRESULT call_put_egnore(_clsAVLt3& target, const Arguments& args, VARIANT&) {
  auto mode = static_cast<EGN_MOD>(args.as_long(0));
  return target.put_Egnore(&mode);
}

// A property read whose value travels as a 32-bit integer.
template <class T, class Face, HRESULT (STDMETHODCALLTYPE Face::*get)(T*)>
HRESULT call_get_long(_clsAVLt3& target, const Arguments&, VARIANT& result) {
  T value{};
  const HRESULT hr = (target.*get)(&value);
  if (SUCCEEDED(hr)) {
    result.vt = VT_I4;
    result.lVal = value;
  }
  return hr;
}

HRESULT call_get_version(_clsAVLt3& target, const Arguments&, VARIANT& result) {
  BSTR version = nullptr;
  const HRESULT hr = target.get_GetVersion(&version);
  if (SUCCEEDED(hr)) {
    result.vt = VT_BSTR;
    result.bstrVal = version;
  }
  return hr;
}

HRESULT call_get_item(_clsAVLt3& target, const Arguments& args, VARIANT& result) {
  return target.get_Item(*args.get(0), &result);
}

HRESULT call_put_item(_clsAVLt3& target, const Arguments& args, VARIANT&) {
  return target.put_Item(*args.get(0), *args.get(1));
}

HRESULT call_putref_item(_clsAVLt3& target, const Arguments& args, VARIANT&) {
  return target.putref_Item(*args.get(0), *args.get(1));
}

// A method that answers True or False about one key.
template <HRESULT (STDMETHODCALLTYPE _clsAVLt2::*ask)(VARIANT, VARIANT_BOOL*)>
HRESULT call_ask(_clsAVLt3& target, const Arguments& args, VARIANT& result) {
  VARIANT_BOOL answer = VARIANT_FALSE;
  const HRESULT hr = (target.*ask)(*args.get(0), &answer);
  if (SUCCEEDED(hr)) {
    result.vt = VT_BOOL;
    result.boolVal = answer;
  }
  return hr;
}

HRESULT call_seek(_clsAVLt3& target, const Arguments& args, VARIANT& result) {
  return target.Seek(*args.get(0), static_cast<SEEKMODE>(args.as_long(1)), &result);
}

template <class Face, HRESULT (STDMETHODCALLTYPE Face::*copy)(VARIANT, VARIANT, VARIANT*)>
HRESULT call_copy(_clsAVLt3& target, const Arguments& args, VARIANT& result) {
  return (target.*copy)(*args.get(0), *args.get(1), &result);
}

HRESULT call_new_enum(_clsAVLt3& target, const Arguments&, VARIANT& result) {
  IUnknown* enumerator = nullptr;
  const HRESULT hr = target.get__NewEnum(&enumerator);
  if (SUCCEEDED(hr)) {
    result.vt = VT_UNKNOWN;
    result.punkVal = enumerator;
  }
  return hr;
}

HRESULT call_remove(_clsAVLt3& target, const Arguments& args, VARIANT& result) {
  LONG removed = 0;
  const HRESULT hr = target.Remove(*args.get(0), &removed);
  if (SUCCEEDED(hr)) {
    result.vt = VT_I4;
    result.lVal = removed;
  }
  return hr;
}

HRESULT call_remove_current(_clsAVLt3& target, const Arguments&, VARIANT& result) {
  return target.RemoveCurrent(&result);
}

HRESULT call_remove_all(_clsAVLt3& target, const Arguments&, VARIANT&) {
  return target.RemoveAll();
}

HRESULT call_put_compare_mode(_clsAVLt3& target, const Arguments& args, VARIANT&) {
  return target.put_CompareMode(args.as_long(0));
}

HRESULT call_key_at(_clsAVLt3& target, const Arguments& args, VARIANT& result) {
  return target.KeyAt(args.as_long(0), &result);
}

HRESULT call_get_item_at(_clsAVLt3& target, const Arguments& args, VARIANT& result) {
  return target.get_ItemAt(args.as_long(0), &result);
}

HRESULT call_put_item_at(_clsAVLt3& target, const Arguments& args, VARIANT&) {
  return target.put_ItemAt(args.as_long(0), *args.get(1));
}

HRESULT call_putref_item_at(_clsAVLt3& target, const Arguments& args, VARIANT&) {
  return target.putref_ItemAt(args.as_long(0), *args.get(1));
}

HRESULT call_index_of(_clsAVLt3& target, const Arguments& args, VARIANT& result) {
  LONG index = -1;
  const HRESULT hr = target.IndexOf(*args.get(0), &index);
  if (SUCCEEDED(hr)) {
    result.vt = VT_I4;
    result.lVal = index;
  }
  return hr;
}

HRESULT call_remove_at(_clsAVLt3& target, const Arguments& args, VARIANT&) {
  return target.RemoveAt(args.as_long(0));
}

HRESULT call_put_position(_clsAVLt3& target, const Arguments& args, VARIANT&) {
  return target.put_Position(args.as_long(0));
}

HRESULT call_load(_clsAVLt3& target, const Arguments& args, VARIANT& result) {
  LONG taken = 0;
  const HRESULT hr = target.Load(*args.get(0), *args.get(1), *args.get(2), &taken);
  if (SUCCEEDED(hr)) {
    result.vt = VT_I4;
    result.lVal = taken;
  }
  return hr;
}

HRESULT call_sort(_clsAVLt3& target, const Arguments& args, VARIANT& result) {
  return target.Sort(*args.get(0), *args.get(1), *args.get(2), &result);
}

constexpr Call call_get_egnore = call_get_long<EGN_MOD, _clsAVLt, &_clsAVLt::get_Egnore>;
constexpr Call call_memory_size = call_get_long<LONG, _clsAVLt, &_clsAVLt::get_MemorySize>;
constexpr Call call_data_number = call_get_long<LONG, _clsAVLt, &_clsAVLt::get_DataNumber>;
constexpr Call call_count = call_get_long<LONG, _clsAVLt2, &_clsAVLt2::get_Count>;
constexpr Call call_exists = call_ask<&_clsAVLt2::Exists>;
constexpr Call call_find = call_ask<&_clsAVLt2::Find>;
constexpr Call call_keys = call_copy<_clsAVLt2, &_clsAVLt2::Keys>;
constexpr Call call_items = call_copy<_clsAVLt2, &_clsAVLt2::Items>;
constexpr Call call_get_compare_mode = call_get_long<LONG, _clsAVLt3, &_clsAVLt3::get_CompareMode>;
constexpr Call call_get_position = call_get_long<LONG, _clsAVLt3, &_clsAVLt3::get_Position>;
constexpr Call call_to_array = call_copy<_clsAVLt3, &_clsAVLt3::ToArray>;

using Binding = dispatch::Binding<_clsAVLt3>;
using members::kGet, members::kMethod, members::kPut, members::kPutRef;
namespace id = dispid;

// clang-format off
constexpr Binding kBindings[] = {
  {id::Read,       kMethod, call_read},
  {id::Alloc,      kMethod, call_alloc},
  {id::Indata,     kMethod, call_indata},
  {id::ReadSub,    kMethod, call_read_sub},
  {id::Egnore,     kPut,    call_put_egnore},
  {id::Egnore,     kGet,    call_get_egnore},
  {id::MemorySize, kGet,    call_memory_size},
  {id::DataNumber, kGet,    call_data_number},
  {id::GetVersion, kGet,    call_get_version},
  {id::Count,      kGet,    call_count},
  {id::Item,       kGet,    call_get_item},
  {id::Item,       kPut,    call_put_item},
  {id::Item,       kPutRef, call_putref_item},
  {id::Exists,     kMethod, call_exists},
  {id::Find,       kMethod, call_find},
  {id::Seek,       kMethod, call_seek},
  {id::Keys,       kMethod, call_keys},
  {id::Items,      kMethod, call_items},
  {id::NewEnum,    kGet,    call_new_enum},
  {id::Remove,     kMethod, call_remove},
  {id::RemoveCurrent, kMethod, call_remove_current},
  {id::RemoveAll,  kMethod, call_remove_all},
  {id::CompareMode, kGet,   call_get_compare_mode},
  {id::CompareMode, kPut,   call_put_compare_mode},
  {id::KeyAt,      kMethod, call_key_at},
  {id::ItemAt,     kGet,    call_get_item_at},
  {id::ItemAt,     kPut,    call_put_item_at},
  {id::ItemAt,     kPutRef, call_putref_item_at},
  {id::IndexOf,    kMethod, call_index_of},
  {id::RemoveAt,   kMethod, call_remove_at},
  {id::Position,   kGet,    call_get_position},
  {id::Position,   kPut,    call_put_position},
  {id::Load,       kMethod, call_load},
  {id::ToArray,    kMethod, call_to_array},
  {id::Sort,       kMethod, call_sort},
};
// clang-format on

static_assert(one_call_per_member(kMembers, kBindings),
              "every member of the table needs its call in kBindings");
constexpr auto kCalls = calls_in_row_order(kMembers, kBindings);

HRESULT call_row(void* target, std::size_t row, const Arguments& args, VARIANT& result) {
  return kCalls[row](*static_cast<_clsAVLt3*>(target), args, result);
}

}  // namespace

HRESULT ids_of_names(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
  return ids_of_names(kMembers, riid, names, count, ids);
}

HRESULT invoke(_clsAVLt3& target, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept {
  const Binder binder{kMembers, kStoreErrors.prog_id, &target, call_row};
  return invoke(binder, id, riid, flags, params, result, excep, arg_error);
}

}  // namespace quilmar::dispatch
