// The hand-written IDispatch of clsAVLt, the same on every target: one table of members serves
// both name lookup and calls, and each call goes through the interface's own members.
#pragma once

#include <span>

#include "quilmar/quilmar.h"

namespace quilmar::dispatch {

inline constexpr UINT kMaxParams = 2;

class Arguments;
using Call = HRESULT (*)(_clsAVLt& target, const Arguments& args, VARIANT& result);

struct Member {
  DISPID id;
  const char* name;
  WORD kind;                       // DISPATCH_METHOD, _PROPERTYGET or _PROPERTYPUT
  UINT arg_count;                  // parameters declared
  UINT required;                   // of which the first `required` are not optional
  const char* params[kMaxParams];  // names for named arguments; nullptr where unnamed
  Call call;
};

// The nine members, in the order of the interface.
std::span<const Member> members() noexcept;

// IDispatch::GetIDsOfNames: the member's id for names[0], parameter ids (their positions) for the
// rest; letter case does not matter. Unknown names get DISPID_UNKNOWN and DISP_E_UNKNOWNNAME.
HRESULT ids_of_names(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// IDispatch::Invoke on `target`. Arguments are converted to the declared types, references read
// through and, for Spec, written back; omitted optional arguments get their defaults. A failure of
// the member is DISP_E_EXCEPTION with its status code and description in `excep`.
HRESULT invoke(_clsAVLt& target, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept;

}  // namespace quilmar::dispatch
