// Error information for callers of the interface's own members. On Windows an object answers
// ISupportErrorInfo and a failed member leaves an error object on the thread, so early-bound
// clients see the description too; other hosts have no such service.
#pragma once

#include "host/text.h"
#include "quilmar/quilmar.h"
#include "server/registry_table.h"

namespace quilmar {

// Where a class's failures come from, as clients see them (EXCEPINFO and the error object): its
// programmatic identifier, the interface an error object names, and whether an interface's
// members leave error objects.
struct ErrorSource {
  const OLECHAR* prog_id;
  const IID* iid;
  bool (*leaves_error_info)(REFIID riid) noexcept;
};
extern const ErrorSource kStoreErrors;       // clsAVLt
extern const ErrorSource kDictionaryErrors;  // SortedDictionary

// A base of an object: the object's IUnknown members complete it.
class ErrorInfoSupport : public ISupportErrorInfo {
 public:
  explicit ErrorInfoSupport(const ErrorSource& source) noexcept : source_(source) {}
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;
  const ErrorSource& source() const noexcept { return source_; }

 private:
  const ErrorSource& source_;
};

// The ISupportErrorInfo face of `self` when `riid` asks for it and the host has one, else nullptr.
// Adds no reference.
void* error_info_interface(ErrorInfoSupport& self, REFIID riid) noexcept;

// Leaves an error object for `code` on the calling thread, and keeps the description for
// IDispatch::Invoke's EXCEPINFO. An empty description stands for the code's conventional one.
void set_error_info(const ErrorSource& from, HRESULT code, const Text& description = {}) noexcept;

// The description the last failed member of this thread left for `code`; the code's conventional
// one when it left another code or none. The member's own call ends with its status, so Invoke
// reads it back here.
Text failure_description_for(HRESULT code);
// Forgets the last failure's description, before a call whose failure Invoke will report.
void forget_failure_description() noexcept;

// The platform's part of set_error_info (error_info_win32.cpp, error_info_stub.cpp).
void post_error_info(const ErrorSource& from, const OLECHAR* description) noexcept;

}  // namespace quilmar
