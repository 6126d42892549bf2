// Error information for callers of the interface's own members. On Windows the object answers
// ISupportErrorInfo and a failed member leaves an error object on the thread, so early-bound
// clients see the description too; other hosts have no such service.
#pragma once

#include "host/text.h"
#include "quilmar/quilmar.h"

namespace quilmar {

// Where a failure comes from, as clients see it (EXCEPINFO and the error object).
inline constexpr const OLECHAR* kErrorSource = OLESTR("Quilmar.clsAVLt");

// A base of the object: the object's IUnknown members complete it.
class ErrorInfoSupport : public ISupportErrorInfo {
 public:
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;
};

// The ISupportErrorInfo face of `self` when `riid` asks for it and the host has one, else nullptr.
// Adds no reference.
void* error_info_interface(ErrorInfoSupport& self, REFIID riid) noexcept;

// Leaves an error object for `code` (source, description, the interface) on the calling thread,
// and keeps the description for IDispatch::Invoke's EXCEPINFO. An empty description stands for
// the code's conventional one.
void set_error_info(HRESULT code, const Text& description = {}) noexcept;

// The description the last failed member of this thread left for `code`; the code's conventional
// one when it left another code or none. The member's own call ends with its status, so Invoke
// reads it back here.
Text failure_description_for(HRESULT code);
// Forgets the last failure's description, before a call whose failure Invoke will report.
void forget_failure_description() noexcept;

// The platform's part of set_error_info (error_info_win32.cpp, error_info_stub.cpp).
void post_error_info(HRESULT code, const OLECHAR* description) noexcept;

}  // namespace quilmar
