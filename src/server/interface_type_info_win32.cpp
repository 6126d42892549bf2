#include <string>

#include "quilmar/quilmar.h"
#include "server/interface_type_info.h"

namespace quilmar {

namespace {

// The file this code was loaded from: Quilmar.dll, or a program the sources are linked into.
std::wstring own_module_path() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&own_module_path), &self))
    return {};
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) return path.substr(0, n);
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

}  // namespace

InterfaceTypeInfo::~InterfaceTypeInfo() {
  if (info_) info_->Release();
}

ITypeInfo* InterfaceTypeInfo::load() noexcept try {
  if (tried_) return info_;
  tried_ = true;
  const std::wstring path = own_module_path();
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
