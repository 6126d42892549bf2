#include "server/registration.h"

#include <algorithm>
#include <string>
#include <vector>

#include "host/failure.h"
#include "quilmar/quilmar.h"
#include "server/registry_table.h"

namespace quilmar {
namespace {

HMODULE this_module = nullptr;

// On 64-bit Windows the 32-bit and the 64-bit file register side by side. Each bitness has its own
// view of the class keys and its own entry in the type library's key; the programmatic
// identifier, the rest of the type library's key and the interface's entries are shared.
#ifdef _WIN64
constexpr SYSKIND kOwnPlatform = SYS_WIN64, kOtherPlatform = SYS_WIN32;
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
constexpr SYSKIND kOwnPlatform = SYS_WIN32, kOtherPlatform = SYS_WIN64;
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
#endif

// One registry value under HKEY_CLASSES_ROOT; a null name is the key's default value.
struct Row {
  std::wstring key;
  const wchar_t* name;
  std::wstring data;
};

std::wstring guid_text(REFGUID guid) {
  wchar_t text[39] = {};
  StringFromGUID2(guid, text, 39);
  return text;
}

std::wstring module_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(this_module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) fail(HRESULT_FROM_WIN32(GetLastError()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: the path is longer than the buffer
  }
}

std::wstring class_key() {
  return L"CLSID\\" + guid_text(CLSID_clsAVLt);
}

// The table's rows of one part, for the file at this path.
std::vector<Row> rows_of(registry::Part part, const std::wstring& path) {
  std::vector<Row> rows;
  for (const registry::Row& row : registry::kRows) {
    if (row.part != part) continue;
    const std::wstring data = row.data;
    rows.push_back({row.key, row.name, data == registry::kFile ? path : data});
  }
  return rows;
}

// The class's keys, in this process's view.
std::vector<Row> class_rows(const std::wstring& path) {
  return rows_of(registry::Part::class_view, path);
}

// The programmatic identifier's keys, shared by both views.
std::vector<Row> prog_id_rows() {
  return rows_of(registry::Part::prog_id, std::wstring());
}

class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* out() noexcept { return &key_; }
  HKEY get() const noexcept { return key_; }

 private:
  HKEY key_ = nullptr;
};

LSTATUS write_row(const Row& row) {
  Key key;
  LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, row.key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                   nullptr, key.out(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  const auto bytes = static_cast<DWORD>((row.data.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key.get(), row.name, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(row.data.c_str()), bytes);
}

HRESULT status_of(LSTATUS status) {
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

bool key_exists(const std::wstring& name, REGSAM view = 0) {
  Key key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ | view, key.out()) ==
         ERROR_SUCCESS;
}

std::wstring type_library_key() {
  return L"TypeLib\\" + guid_text(LIBID_Quilmar) + L"\\1.0";
}

// The library's entry for one platform: the file registered for it.
std::wstring type_library_file_key(SYSKIND platform) {
  return type_library_key() + (platform == SYS_WIN64 ? L"\\0\\win64" : L"\\0\\win32");
}

HRESULT register_type_library(const std::wstring& path) {
  // REGKIND_REGISTER would record the path in its \\?\ form; registering explicitly keeps the
  // path as the loader knows it.
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  std::wstring full_path = path, help_dir;  // the API takes them as writable strings
  hr = RegisterTypeLib(library, full_path.data(), help_dir.data());
  library->Release();
  if (FAILED(hr)) return hr;
  for (const Row& row : rows_of(registry::Part::server_typelib, path)) {
    hr = status_of(write_row(row));
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

int depth(const std::wstring& key) {
  return static_cast<int>(std::count(key.begin(), key.end(), L'\\'));
}

// Deepest keys first, so that each key is empty of our subkeys when it is deleted.
std::vector<std::wstring> keys_to_delete(const std::vector<Row>& rows) {
  std::vector<std::wstring> keys;
  for (const Row& row : rows)
    if (std::find(keys.begin(), keys.end(), row.key) == keys.end()) keys.push_back(row.key);
  std::stable_sort(keys.begin(), keys.end(), [](const std::wstring& a, const std::wstring& b) {
    return depth(a) > depth(b);
  });
  return keys;
}

HRESULT unregister_type_library() {
  const std::wstring own = type_library_file_key(kOwnPlatform);
  if (!key_exists(own)) return S_OK;
  // UnRegisterTypeLib also removes the interface's entries, which the other bitness's file still
  // needs while it is registered; then only this file's own entry goes.
  if (key_exists(type_library_file_key(kOtherPlatform)))
    return status_of(RegDeleteKeyW(HKEY_CLASSES_ROOT, own.c_str()));
  return UnRegisterTypeLib(LIBID_Quilmar, 1, 0, 0, kOwnPlatform);
}

HRESULT delete_keys(const std::vector<Row>& rows) {
  HRESULT first = S_OK;
  for (const std::wstring& key : keys_to_delete(rows)) {
    const LSTATUS status = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
    if (status != ERROR_FILE_NOT_FOUND && SUCCEEDED(first)) first = status_of(status);
  }
  return first;
}

}  // namespace

void set_library_module(HMODULE module) noexcept {
  this_module = module;
}

HRESULT register_server() noexcept try {
  const std::wstring path = module_path();
  std::vector<Row> rows = class_rows(path);
  for (Row& row : prog_id_rows()) rows.push_back(std::move(row));
  for (const Row& row : rows) {
    const HRESULT hr = status_of(write_row(row));
    if (FAILED(hr)) return hr;
  }
  return register_type_library(path);
} catch (...) {
  return status_from_current_exception();
}

HRESULT unregister_server() noexcept try {
  HRESULT first = unregister_type_library();
  const HRESULT classes = delete_keys(class_rows(std::wstring()));
  if (SUCCEEDED(first)) first = classes;
  // The other view still leading to a file keeps the shared identifier. Where there is no other
  // view (32-bit Windows) the flag is ignored and this view's class key, just deleted, is seen.
  if (!key_exists(class_key() + L"\\InprocServer32", kOtherView)) {
    const HRESULT prog_id = delete_keys(prog_id_rows());
    if (SUCCEEDED(first)) first = prog_id;
  }
  return first;
} catch (...) {
  return status_from_current_exception();
}

}  // namespace quilmar
