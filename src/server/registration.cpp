#include "server/registration.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/failure.h"
#include "quilmar/quilmar.h"
#include "server/module_path.h"
#include "server/registry_table.h"

namespace quilmar {
namespace {

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

// The class's key that names the file, as the table writes it.
std::wstring class_server_key() {
  for (const registry::Row& row : registry::kRows)
    if (row.part == registry::Part::class_view && std::wstring_view(row.data) == registry::kFile)
      return row.key;
  throw std::logic_error("the registry table names no file for the class");
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

using registry::kEarlierLibVersion;
using registry::kLibVersion;
using registry::LibVersion;

// One version's key, spelled as RegisterTypeLib spells it.
std::wstring type_library_key(LibVersion version) {
  wchar_t number[16];
  swprintf(number, std::size(number), L"\\%x.%x", version.major, version.minor);
  return registry::kLibraryKey + std::wstring(number);
}

// The library's entry for one platform: the file registered for it.
std::wstring type_library_file_key(LibVersion version, SYSKIND platform) {
  std::wstring entry = registry::kFileEntry;
  const std::wstring_view placeholder = registry::kPlatform;
  entry.replace(entry.find(placeholder), placeholder.size(),
                platform == SYS_WIN64 ? L"win64" : L"win32");
  return type_library_key(version) + entry;
}

// Below a version's key, what the table writes beside the files' entries (\HELPDIR, \FLAGS), then
// the folder of those entries (\0).
std::vector<std::wstring> type_library_children() {
  const std::wstring version_key = type_library_key(kLibVersion);
  const std::wstring_view entry = registry::kFileEntry;
  std::vector<std::wstring> children;
  for (const registry::Row& row : registry::kRows) {
    const std::wstring_view key = row.key;
    if (!key.starts_with(version_key) || key.size() == version_key.size()) continue;
    const std::wstring_view child = key.substr(version_key.size());
    if (child != entry) children.emplace_back(child);
  }
  children.emplace_back(entry.substr(0, entry.rfind(L'\\')));
  return children;
}

// The file an entry names; empty when there is no entry. (A REG_EXPAND_SZ path arrives expanded.)
std::wstring registered_file(const std::wstring& key) {
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr,
                   &bytes) != ERROR_SUCCESS)
    return {};
  std::wstring file(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(file.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, file.data(),
                   &bytes) != ERROR_SUCCESS)
    return {};
  file.resize(std::wcslen(file.c_str()));
  return file;
}

bool same_file(const std::wstring& a, const std::wstring& b) {
  return !a.empty() && CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool has_subkeys(const std::wstring& name) {
  Key key;
  DWORD count = 0;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, key.out()) == ERROR_SUCCESS &&
         RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         count > 0;
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

// This platform's entry of one version alone, and the version's key once no platform has one.
HRESULT delete_entry(LibVersion version) {
  const std::wstring key = type_library_key(version);
  const HRESULT hr = status_of(
      RegDeleteKeyW(HKEY_CLASSES_ROOT, type_library_file_key(version, kOwnPlatform).c_str()));
  const std::vector<std::wstring> children = type_library_children();
  if (has_subkeys(key + children.back())) return hr;  // another platform's file
  for (const std::wstring& child : children)
    RegDeleteKeyW(HKEY_CLASSES_ROOT, (key + child).c_str());
  if (!has_subkeys(key)) RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
  return hr;
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
  // An earlier build of this same file registered it as 1.0: the new build takes its place, as
  // an upgrade does. A 1.0 entry naming another file stays that file's.
  if (same_file(registered_file(type_library_file_key(kEarlierLibVersion, kOwnPlatform)), path))
    return delete_entry(kEarlierLibVersion);
  return S_OK;
}

// This file's entry, and a 1.0 entry that an earlier build of this same file left: a 1.0 entry
// naming another file belongs to that file.
HRESULT unregister_type_library(const std::wstring& path) {
  const bool current = key_exists(type_library_file_key(kLibVersion, kOwnPlatform));
  const std::wstring earlier_key = type_library_file_key(kEarlierLibVersion, kOwnPlatform);
  const bool earlier = same_file(registered_file(earlier_key), path);
  // UnRegisterTypeLib also removes the interfaces' entries, which every other entry of the
  // library still needs (the other bitness's file, another file's 1.0): while there is one, only
  // this file's own entries go.
  const bool others = key_exists(type_library_file_key(kLibVersion, kOtherPlatform)) ||
                      key_exists(type_library_file_key(kEarlierLibVersion, kOtherPlatform)) ||
                      (!earlier && key_exists(earlier_key));
  const auto unregister = [others](LibVersion version) {
    return others ? delete_entry(version)
                  : UnRegisterTypeLib(LIBID_Quilmar, version.major, version.minor, 0, kOwnPlatform);
  };
  HRESULT first = current ? unregister(kLibVersion) : S_OK;
  if (earlier) {
    const HRESULT hr = unregister(kEarlierLibVersion);
    if (SUCCEEDED(first)) first = hr;
  }
  return first;
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
  HRESULT first = unregister_type_library(module_path());
  const HRESULT classes = delete_keys(class_rows(std::wstring()));
  if (SUCCEEDED(first)) first = classes;
  // The other view still leading to a file keeps the shared identifier. Where there is no other
  // view (32-bit Windows) the flag is ignored and this view's class key, just deleted, is seen.
  if (!key_exists(class_server_key(), kOtherView)) {
    const HRESULT prog_id = delete_keys(prog_id_rows());
    if (SUCCEEDED(first)) first = prog_id;
  }
  return first;
} catch (...) {
  return status_from_current_exception();
}

}  // namespace quilmar
