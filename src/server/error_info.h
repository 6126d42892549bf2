// Error information for callers of the interface's own members. On Windows the object answers
// ISupportErrorInfo and a failed member leaves an error object on the thread, so early-bound
// clients see the description too; other hosts have no such service.
#pragma once

#include "quilmar/quilmar.h"
#include "server/registry_table.h"

namespace quilmar {

// Where a failure comes from, as clients see it (EXCEPINFO and the error object): the class's
// programmatic identifier.
inline constexpr const OLECHAR* kErrorSource = OLESTR("") QUILMAR_PROG_ID;

// A base of the object: the object's IUnknown members complete it.
class ErrorInfoSupport : public ISupportErrorInfo {
 public:
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;
};

// The ISupportErrorInfo face of `self` when `riid` asks for it and the host has one, else nullptr.
// Adds no reference.
void* error_info_interface(ErrorInfoSupport& self, REFIID riid) noexcept;

// Leaves an error object for `code` (source, description, the interface) on the calling thread.
void set_error_info(HRESULT code) noexcept;

}  // namespace quilmar
