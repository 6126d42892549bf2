// What every interface member of this library's objects shares: the object kept alive from entry
// to exit, and one way to turn a failure into the call's status.
#pragma once

#include "server/error_info.h"

namespace quilmar {

// Keeps an object alive from a member's entry to its exit, whatever the client releases
// meanwhile (from inside the event pump, say).
template <class Object>
class Hold {
 public:
  explicit Hold(Object* object) noexcept : object_(object) { object_->AddRef(); }
  ~Hold() { object_->Release(); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  Object* object_;  // a final class: AddRef and Release are direct calls
};

// The status code of the failure being handled, also left as error info for vtable callers; call
// only inside a catch block.
HRESULT failed_call(const ErrorSource& from) noexcept;

// A failure that a member reports as its status, as a collection does, rather than as a box.
HRESULT failed(const ErrorSource& from, HRESULT code) noexcept;

}  // namespace quilmar
