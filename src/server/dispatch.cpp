#include "server/dispatch.h"

#include <array>
#include <iterator>

#include "host/failure.h"
#include "host/variant.h"
#include "server/coerce.h"
#include "server/error_info.h"
#include "server/members.h"

namespace quilmar::dispatch {
namespace {

using members::Default;
using members::kMaxParams;
using members::kMembers;
using members::Member;

inline constexpr UINT kNoPosition = static_cast<UINT>(-1);

// An argument that does not fit its parameter: the answer, and the argument's index in rgvarg
// when one argument is to blame.
struct BadArgument {
  HRESULT code;
  UINT position = kNoPosition;
};

void set_default(Default fallback, VARIANT& v) {
  switch (fallback) {
    case Default::none: break;
    case Default::alloc_size:
      v.vt = VT_R4;
      v.fltVal = members::kDefaultAllocSize;
      break;
    case Default::empty_text: make_empty_text(v); break;
    case Default::seek_after_eq:
      v.vt = VT_I4;
      v.lVal = SEEK_AFTER_EQ;
      break;
    case Default::missing:
      v.vt = VT_ERROR;
      v.scode = DISP_E_PARAMNOTFOUND;
      break;
  }
}

class Arguments;
using Call = HRESULT (*)(_clsAVLt3& target, const Arguments& args, VARIANT& result);

// The caller's arguments bound to the declared parameters of one member.
class Arguments {
 public:
  Arguments(const Member& m, const DISPPARAMS& p) {
    if ((p.cArgs && !p.rgvarg) || p.cNamedArgs > p.cArgs || (p.cNamedArgs && !p.rgdispidNamedArgs))
      throw BadArgument{E_INVALIDARG};
    if (p.cArgs > m.count()) throw BadArgument{DISP_E_BADPARAMCOUNT};
    // rgvarg holds the named arguments first, then the positional ones last to first.
    for (UINT i = 0; i < p.cArgs - p.cNamedArgs; ++i) place(i, p.rgvarg, p.cArgs - 1 - i);
    for (UINT n = 0; n < p.cNamedArgs; ++n)
      place(named_param(m, p.rgdispidNamedArgs[n], n), p.rgvarg, n);
    for (UINT i = 0; i < m.required(); ++i) {
      if (!given_[i])
        throw BadArgument{p.cNamedArgs ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT};
      if (!slot_[i]) throw BadArgument{DISP_E_PARAMNOTOPTIONAL, position_[i]};
    }
    for (UINT i = m.required(); i < m.count(); ++i) {
      if (slot_[i]) continue;
      set_default(m.params[i].fallback, *defaults_[i].get());
      slot_[i] = defaults_[i].get();
    }
  }

  // The argument for parameter i as the caller passed it, or its default when left out.
  VARIANT* get(UINT i) const noexcept { return slot_[i]; }

  LONG as_long(UINT i) const {
    LONG value = 0;
    check(i, to_long(*slot_[i], value));
    return value;
  }

  FLOAT as_float(UINT i) const {
    FLOAT value = 0;
    check(i, to_float(*slot_[i], value));
    return value;
  }

  // Writes a changed value back into the caller's variable, when there is one.
  void write_back(UINT i, LONG value) const {
    if (slot_[i] && (slot_[i]->vt & VT_BYREF)) check(i, store_long(*slot_[i], value));
  }

 private:
  static UINT named_param(const Member& m, DISPID id, UINT n) {
    if ((m.invoke & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && id == DISPID_PROPERTYPUT)
      return m.count() - 1;
    if (!m.params[0].name) throw BadArgument{DISP_E_NONAMEDARGS};
    if (id < 0 || static_cast<UINT>(id) >= m.count()) throw BadArgument{DISP_E_PARAMNOTFOUND, n};
    return static_cast<UINT>(id);
  }

  void place(UINT param, VARIANT* rgvarg, UINT position) {
    if (given_[param]) throw BadArgument{DISP_E_PARAMNOTFOUND, position};  // given twice
    given_[param] = true;
    position_[param] = position;
    slot_[param] = is_left_out(rgvarg[position]) ? nullptr : &rgvarg[position];
  }

  void check(UINT i, HRESULT hr) const {
    if (FAILED(hr)) throw BadArgument{hr, position_[i]};
  }

  VARIANT* slot_[kMaxParams] = {};
  Variant defaults_[kMaxParams];
  UINT position_[kMaxParams] = {};
  bool given_[kMaxParams] = {};
};

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

// Each member's call, found by its id and kind of access.
struct Binding {
  DISPID id;
  WORD invoke;
  Call call;
};
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

// Each row of the member table has exactly one call, and each call a row.
constexpr bool one_call_per_member() {
  if (std::size(kBindings) != std::size(kMembers)) return false;
  for (const Member& m : kMembers) {
    int found = 0;
    for (const Binding& b : kBindings) found += b.id == m.id && b.invoke == m.invoke;
    if (found != 1) return false;
  }
  return true;
}
static_assert(one_call_per_member(), "every member of the table needs its call in kBindings");

// The calls in the order of the member table, each row's own.
constexpr auto kCalls = [] {
  std::array<Call, std::size(kMembers)> calls{};
  for (std::size_t i = 0; i < calls.size(); ++i)
    for (const Binding& b : kBindings)
      if (b.id == kMembers[i].id && b.invoke == kMembers[i].invoke) calls[i] = b.call;
  return calls;
}();

OLECHAR fold(OLECHAR c) noexcept {
  return c >= 'A' && c <= 'Z' ? static_cast<OLECHAR>(c - 'A' + 'a') : c;
}

// Our names are ASCII; the caller's are compared letter for letter, ignoring case.
bool same_name(const char* ours, const OLECHAR* theirs) noexcept {
  if (!ours || !theirs) return false;
  for (; *ours && *theirs; ++ours, ++theirs)
    if (fold(static_cast<OLECHAR>(*ours)) != fold(*theirs)) return false;
  return *ours == 0 && *theirs == 0;
}

const Member* find_by_name(const OLECHAR* name) noexcept {
  for (const Member& m : kMembers)
    if (same_name(m.name, name)) return &m;
  return nullptr;
}

DISPID param_id(const Member& m, const OLECHAR* name) noexcept {
  for (UINT i = 0; i < m.count(); ++i)
    if (same_name(m.params[i].name, name)) return static_cast<DISPID>(i);
  return DISPID_UNKNOWN;
}

// The row of a member (its index in the table), or kNoPosition. A method is called with
// DISPATCH_METHOD, a property read with DISPATCH_PROPERTYGET; scripts reading a value pass both.
// JScript can only call: it reads the properties of _clsAVLt2 and later with DISPATCH_METHOD alone
// when it drops the result, and so does its Enumerator for _NewEnum. _clsAVLt answers as it
// always did.
UINT find(DISPID id, WORD flags) noexcept {
  for (UINT i = 0; i < std::size(kMembers); ++i) {
    const Member& m = kMembers[i];
    WORD answers = m.invoke;
    if (m.iface != members::kAVLt && m.invoke == DISPATCH_PROPERTYGET) answers |= DISPATCH_METHOD;
    if (m.id == id && (answers & flags)) return i;
  }
  return kNoPosition;
}

void fill_exception(EXCEPINFO* excep, HRESULT code) noexcept {
  if (!excep) return;
  *excep = EXCEPINFO{};
  excep->bstrSource = SysAllocString(kErrorSource);
  try {
    if (const Text description = failure_description_for(code); !description.empty())
      excep->bstrDescription = SysAllocString(description.c_str());
  } catch (...) {
    // No memory for the text: the code says enough.
  }
  excep->scode = code;
}

}  // namespace

HRESULT ids_of_names(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (!names || !ids) return E_POINTER;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  const Member* m = find_by_name(names[0]);
  if (!m) return DISP_E_UNKNOWNNAME;
  ids[0] = m->id;
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    ids[i] = param_id(*m, names[i]);
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT invoke(_clsAVLt3& target, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const UINT row = find(id, flags);
  if (row == kNoPosition) return DISP_E_MEMBERNOTFOUND;
  DISPPARAMS none = {};
  if (!params) params = &none;  // callers of property reads sometimes pass no arguments at all
  Variant discarded;
  VARIANT& out = result ? *result : *discarded.get();
  if (result) VariantInit(result);
  HRESULT hr = S_OK;
  try {
    const Arguments args(kMembers[row], *params);
    forget_failure_description();
    hr = kCalls[row](target, args, out);
  } catch (const BadArgument& bad) {
    VariantClear(&out);
    if (arg_error && bad.position != kNoPosition) *arg_error = bad.position;
    return bad.code;
  } catch (...) {
    hr = status_from_current_exception();
  }
  if (SUCCEEDED(hr)) return S_OK;
  VariantClear(&out);
  fill_exception(excep, hr);
  return DISP_E_EXCEPTION;
}

}  // namespace quilmar::dispatch
