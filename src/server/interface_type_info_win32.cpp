#include <string>

#include "quilmar/quilmar.h"
#include "server/interface_type_info.h"
#include "server/module_path.h"

namespace quilmar {

InterfaceTypeInfo::~InterfaceTypeInfo() {
  if (info_) info_->Release();
}

ITypeInfo* InterfaceTypeInfo::load() noexcept try {
  if (tried_) return info_;
  tried_ = true;
  const std::wstring path = module_path();
  ITypeLib* library = nullptr;
  if (path.empty() || FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library))) return nullptr;
  if (FAILED(library->GetTypeInfoOfGuid(type_, &info_))) info_ = nullptr;
  library->Release();
  return info_;
} catch (...) {
  return nullptr;
}

HRESULT InterfaceTypeInfo::count(UINT* count) noexcept {
  if (!count) return E_POINTER;
  *count = load() ? 1 : 0;
  return S_OK;
}

HRESULT InterfaceTypeInfo::get(UINT index, ITypeInfo** info) noexcept {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (!load()) return TYPE_E_ELEMENTNOTFOUND;
  if (index != 0) return DISP_E_BADINDEX;
  info_->AddRef();
  *info = info_;
  return S_OK;
}

}  // namespace quilmar
