#include "server/error_info.h"

namespace quilmar {

// No error objects on this host: the object does not offer ISupportErrorInfo, so nothing asks.
HRESULT ErrorInfoSupport::InterfaceSupportsErrorInfo(REFIID) noexcept {
  return S_FALSE;
}

void* error_info_interface(ErrorInfoSupport&, REFIID) noexcept {
  return nullptr;
}

void post_error_info(const ErrorSource&, const OLECHAR*) noexcept {}

}  // namespace quilmar
