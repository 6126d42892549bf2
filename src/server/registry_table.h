// The registry entries of the in-process server, one table for DllRegisterServer and for the
// installer package (tools/registry_wxs.cpp turns it into the package's rows at build time).
// Keys are relative to HKEY_CLASSES_ROOT. In a row's data @FILE@ stands for the full path of
// Quilmar.dll, and in its key @PLATFORM@ for the type library's platform (win32 or win64).
#pragma once

namespace quilmar::registry {

enum class Part {
  class_view,      // the class: each bitness's file in its own registry view
  prog_id,         // shared by both files; stays while either view has the class
  server_typelib,  // the type library's entries that the server writes beside RegisterTypeLib
  type_library,    // what RegisterTypeLib writes from the library embedded in the file
};

struct Row {
  Part part;
  const wchar_t* key;
  const wchar_t* name;  // nullptr: the key's default value
  const wchar_t* data;
};

// The type library's version, as QUILMAR_LIB_VERSION writes it; earlier builds of the file
// registered 1.0, which its unregistration also takes back.
struct LibVersion {
  unsigned short major, minor;
};
inline constexpr LibVersion kLibVersion{1, 1}, kEarlierLibVersion{1, 0};

inline constexpr wchar_t kFile[] = L"@FILE@";
inline constexpr wchar_t kPlatform[] = L"@PLATFORM@";

#define QUILMAR_CLSID L"{1B489C75-85E8-4326-B849-E3ECEA4207BB}"
#define QUILMAR_LIBID L"{24CECA7A-C296-403C-8BAE-D3A4E486F939}"
#define QUILMAR_LIB_VERSION L"1.1"
#define QUILMAR_MARSHALLER L"{00020424-0000-0000-C000-000000000046}"
#define QUILMAR_LIB_KEY L"TypeLib\\" QUILMAR_LIBID L"\\" QUILMAR_LIB_VERSION
// An interface that calls between apartments reach through the type library's marshaller.
// clang-format off
#define QUILMAR_INTERFACE(iid, name)                                                            \
  {Part::type_library, L"Interface\\" iid, nullptr, name},                                      \
  {Part::type_library, L"Interface\\" iid L"\\ProxyStubClsid", nullptr, QUILMAR_MARSHALLER},      \
  {Part::type_library, L"Interface\\" iid L"\\ProxyStubClsid32", nullptr, QUILMAR_MARSHALLER},    \
  {Part::type_library, L"Interface\\" iid L"\\TypeLib", nullptr, QUILMAR_LIBID},                  \
  {Part::type_library, L"Interface\\" iid L"\\TypeLib", L"Version", QUILMAR_LIB_VERSION}
// clang-format on

inline constexpr Row kRows[] = {
    {Part::class_view, L"CLSID\\" QUILMAR_CLSID, nullptr, L"Quilmar.clsAVLt"},
    {Part::class_view, L"CLSID\\" QUILMAR_CLSID L"\\InprocServer32", nullptr, kFile},
    {Part::class_view, L"CLSID\\" QUILMAR_CLSID L"\\InprocServer32", L"ThreadingModel",
     L"Apartment"},
    {Part::class_view, L"CLSID\\" QUILMAR_CLSID L"\\ProgID", nullptr, L"Quilmar.clsAVLt"},
    {Part::class_view, L"CLSID\\" QUILMAR_CLSID L"\\TypeLib", nullptr, QUILMAR_LIBID},
    {Part::class_view, L"CLSID\\" QUILMAR_CLSID L"\\VERSION", nullptr, QUILMAR_LIB_VERSION},
    {Part::prog_id, L"Quilmar.clsAVLt", nullptr, L"Quilmar.clsAVLt"},
    {Part::prog_id, L"Quilmar.clsAVLt\\CLSID", nullptr, QUILMAR_CLSID},
    {Part::type_library, QUILMAR_LIB_KEY, nullptr, L"Quilmar"},
    {Part::type_library, QUILMAR_LIB_KEY L"\\0\\@PLATFORM@", nullptr, kFile},
    {Part::type_library, QUILMAR_LIB_KEY L"\\HELPDIR", nullptr, L""},
    // The library has no flags; some hosts record the in-memory "has disk image" bit instead.
    {Part::server_typelib, QUILMAR_LIB_KEY L"\\FLAGS", nullptr, L"0"},
    QUILMAR_INTERFACE(L"{6B639371-3311-4051-9729-7342867E85BE}", L"_clsAVLt"),
    QUILMAR_INTERFACE(L"{2D32EEC9-3BB4-4F84-9D66-28170A901383}", L"_clsAVLt2"),
};

#undef QUILMAR_INTERFACE
#undef QUILMAR_LIB_KEY
#undef QUILMAR_MARSHALLER
#undef QUILMAR_LIB_VERSION
#undef QUILMAR_LIBID
#undef QUILMAR_CLSID

}  // namespace quilmar::registry
