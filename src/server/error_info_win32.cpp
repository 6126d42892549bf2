#include "server/error_info.h"

namespace quilmar {

HRESULT ErrorInfoSupport::InterfaceSupportsErrorInfo(REFIID riid) noexcept {
  return source_.leaves_error_info(riid) ? S_OK : S_FALSE;
}

void* error_info_interface(ErrorInfoSupport& self, REFIID riid) noexcept {
  return IsEqualIID(riid, IID_ISupportErrorInfo) ? static_cast<ISupportErrorInfo*>(&self) : nullptr;
}

void post_error_info(const ErrorSource& from, const OLECHAR* description) noexcept {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return;
  create->SetGUID(*from.iid);
  create->SetSource(const_cast<LPOLESTR>(from.prog_id));
  if (description) create->SetDescription(const_cast<LPOLESTR>(description));
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}

}  // namespace quilmar
