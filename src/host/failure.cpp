#include "host/failure.h"

#include <new>

namespace quilmar {

HRESULT status_from_current_exception() noexcept {
  try {
    throw;
  } catch (const Failure& f) {
    return f.code();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

Text description_of_current_exception() {
  try {
    throw;
  } catch (const Failure& f) {
    if (!f.description().empty()) return f.description();
  } catch (...) {
  }
  const OLECHAR* conventional = failure_description(status_from_current_exception());
  return conventional ? Text(conventional) : Text();
}

const OLECHAR* failure_description(HRESULT code) noexcept {
  switch (code) {
    case kSubscriptOutOfRange: return OLESTR("Subscript out of range");
    case kOverflow: return OLESTR("Overflow");
    case kInvalidArgument: return OLESTR("Invalid procedure call or argument");
    case kOutOfMemory:
    case E_OUTOFMEMORY: return OLESTR("Out of memory");
    case kTypeMismatch:
    case DISP_E_TYPEMISMATCH: return OLESTR("Type mismatch");
    case kKeyExists: return OLESTR("This key is already associated with an element of this collection");
    case kElementNotFound: return OLESTR("Element not found");
    default: return nullptr;
  }
}

}  // namespace quilmar
