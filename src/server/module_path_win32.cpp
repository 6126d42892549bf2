#include "host/failure.h"
#include "quilmar/com_types.h"
#include "server/module_path.h"

namespace quilmar {

std::wstring module_path() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&module_path), &self))
    fail(HRESULT_FROM_WIN32(GetLastError()));
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) fail(HRESULT_FROM_WIN32(GetLastError()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: the path is longer than the buffer
  }
}

}  // namespace quilmar
