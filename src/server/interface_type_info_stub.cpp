#include "quilmar/quilmar.h"
#include "server/interface_type_info.h"

namespace quilmar {

InterfaceTypeInfo::~InterfaceTypeInfo() = default;

ITypeInfo* InterfaceTypeInfo::load() noexcept {
  return nullptr;
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
