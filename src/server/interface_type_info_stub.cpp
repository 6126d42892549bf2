#include "server/interface_type_info.h"

namespace quilmar {

InterfaceTypeInfo::~InterfaceTypeInfo() = default;

// Other hosts have no type libraries: the first look finds nothing, and so does every later one.
ITypeInfo* InterfaceTypeInfo::load() noexcept {
  tried_ = true;
  (void)type_;
  return info_;
}

HRESULT InterfaceTypeInfo::count(UINT* count) noexcept {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT InterfaceTypeInfo::get(UINT, ITypeInfo** info) noexcept {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

}  // namespace quilmar
