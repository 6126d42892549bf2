#include "server/late_binding.h"

#include "host/failure.h"
#include "server/coerce.h"
#include "server/error_info.h"

namespace quilmar::dispatch {
namespace {

using members::Default;
using members::Member;

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

}  // namespace

Arguments::Arguments(const Member& m, const DISPPARAMS& p) {
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

LONG Arguments::as_long(UINT i) const {
  LONG value = 0;
  check(i, to_long(*slot_[i], value));
  return value;
}

FLOAT Arguments::as_float(UINT i) const {
  FLOAT value = 0;
  check(i, to_float(*slot_[i], value));
  return value;
}

void Arguments::write_back(UINT i, LONG value) const {
  if (slot_[i] && (slot_[i]->vt & VT_BYREF)) check(i, store_long(*slot_[i], value));
}

UINT Arguments::named_param(const Member& m, DISPID id, UINT n) {
  if ((m.invoke & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && id == DISPID_PROPERTYPUT)
    return m.count() - 1;
  if (!m.params[0].name) throw BadArgument{DISP_E_NONAMEDARGS};
  if (id < 0 || static_cast<UINT>(id) >= m.count()) throw BadArgument{DISP_E_PARAMNOTFOUND, n};
  return static_cast<UINT>(id);
}

void Arguments::place(UINT param, VARIANT* rgvarg, UINT position) {
  if (given_[param]) throw BadArgument{DISP_E_PARAMNOTFOUND, position};  // given twice
  given_[param] = true;
  position_[param] = position;
  slot_[param] = is_left_out(rgvarg[position]) ? nullptr : &rgvarg[position];
}

void Arguments::check(UINT i, HRESULT hr) const {
  if (FAILED(hr)) throw BadArgument{hr, position_[i]};
}

namespace {

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

const Member* find_by_name(std::span<const Member> rows, const OLECHAR* name) noexcept {
  for (const Member& m : rows)
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
UINT find(std::span<const Member> rows, DISPID id, WORD flags) noexcept {
  for (UINT i = 0; i < rows.size(); ++i) {
    const Member& m = rows[i];
    WORD answers = m.invoke;
    if (m.iface != members::kAVLt && m.invoke == DISPATCH_PROPERTYGET) answers |= DISPATCH_METHOD;
    if (m.id == id && (answers & flags)) return i;
  }
  return kNoPosition;
}

void fill_exception(EXCEPINFO* excep, const OLECHAR* source, HRESULT code) noexcept {
  if (!excep) return;
  *excep = EXCEPINFO{};
  excep->bstrSource = SysAllocString(source);
  try {
    if (const Text description = failure_description_for(code); !description.empty())
      excep->bstrDescription = SysAllocString(description.c_str());
  } catch (...) {
    // No memory for the text: the code says enough.
  }
  // Scripts take an exception's number from the low word of a code of their own facility: a type
  // mismatch reaches them as error 13, as their own conversions report it.
  excep->scode = code == DISP_E_TYPEMISMATCH ? kTypeMismatch : code;
}

}  // namespace

HRESULT ids_of_names(std::span<const Member> rows, REFIID riid, LPOLESTR* names, UINT count,
                     DISPID* ids) noexcept {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (!names || !ids) return E_POINTER;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  const Member* m = find_by_name(rows, names[0]);
  if (!m) return DISP_E_UNKNOWNNAME;
  ids[0] = m->id;
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    ids[i] = param_id(*m, names[i]);
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT invoke(const Binder& binder, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const UINT row = find(binder.rows, id, flags);
  if (row == kNoPosition) return DISP_E_MEMBERNOTFOUND;
  DISPPARAMS none = {};
  if (!params) params = &none;  // callers of property reads sometimes pass no arguments at all
  Variant discarded;
  VARIANT& out = result ? *result : *discarded.get();
  if (result) VariantInit(result);
  HRESULT hr = S_OK;
  try {
    const Arguments args(binder.rows[row], *params);
    forget_failure_description();
    hr = binder.call(binder.target, row, args, out);
  } catch (const BadArgument& bad) {
    VariantClear(&out);
    if (arg_error && bad.position != kNoPosition) *arg_error = bad.position;
    return bad.code;
  } catch (...) {
    hr = status_from_current_exception();
  }
  if (SUCCEEDED(hr)) return S_OK;
  VariantClear(&out);
  fill_exception(excep, binder.source, hr);
  return DISP_E_EXCEPTION;
}

}  // namespace quilmar::dispatch
