// The IDispatch of SortedDictionary: its member table (server/members.h) bound to its interface.
#pragma once

#include "quilmar/quilmar.h"

namespace quilmar::dispatch {

HRESULT dictionary_ids_of_names(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

HRESULT dictionary_invoke(ISortedDictionary& target, DISPID id, REFIID riid, WORD flags,
                          DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                          UINT* arg_error) noexcept;

}  // namespace quilmar::dispatch
