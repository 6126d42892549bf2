// The hand-written IDispatch of clsAVLt, the same on every target: the member table
// (server/members.h) serves both name lookup and calls, and each call goes through the interface's
// own members.
#pragma once

#include "quilmar/quilmar.h"

namespace quilmar::dispatch {

// IDispatch::GetIDsOfNames: the member's id for names[0], parameter ids (their positions) for the
// rest; letter case does not matter. Unknown names get DISPID_UNKNOWN and DISP_E_UNKNOWNNAME.
HRESULT ids_of_names(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// IDispatch::Invoke on `target`. Arguments are converted to the declared types, references read
// through and, for Spec, written back; omitted optional arguments get their defaults. A failure of
// the member is DISP_E_EXCEPTION with its status code and description in `excep`.
HRESULT invoke(_clsAVLt3& target, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept;

}  // namespace quilmar::dispatch
