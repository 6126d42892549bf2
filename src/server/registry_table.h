// The registry entries of the in-process server, one table for DllRegisterServer and for the
// installer package (tools/registry_wxs.cpp turns it into the package's rows at build time).
// Keys are relative to HKEY_CLASSES_ROOT. In a row's data @FILE@ stands for the full path of
// Quilmar.dll, and in its key @PLATFORM@ for the type library's platform (win32 or win64).
#pragma once

#include <initializer_list>

#include "quilmar/quilmar.h"
#include "server/typelib_version.h"

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

// The type library's version; earlier builds of the file registered 1.0, which its
// unregistration also takes back.
struct LibVersion {
  unsigned short major, minor;
};
inline constexpr LibVersion kLibVersion{QUILMAR_TYPELIB_MAJOR, QUILMAR_TYPELIB_MINOR},
    kEarlierLibVersion{1, 0};
// Registration spells the version in hex; the rows below spell it in decimal, the same up to 9.
static_assert(kLibVersion.major < 10 && kLibVersion.minor < 10, "spell the version in hex below");

#define QUILMAR_PLATFORM L"@PLATFORM@"
inline constexpr wchar_t kFile[] = L"@FILE@";
inline constexpr wchar_t kPlatform[] = QUILMAR_PLATFORM;

// The class's programmatic identifier, also the source its errors name.
#define QUILMAR_PROG_ID "Quilmar.clsAVLt"

#define QUILMAR_TEXT_OF(x) #x
#define QUILMAR_TEXT(x) QUILMAR_TEXT_OF(x)
#define QUILMAR_CLSID L"{1B489C75-85E8-4326-B849-E3ECEA4207BB}"
#define QUILMAR_LIBID L"{24CECA7A-C296-403C-8BAE-D3A4E486F939}"
#define QUILMAR_IID L"{6B639371-3311-4051-9729-7342867E85BE}"
#define QUILMAR_IID2 L"{2D32EEC9-3BB4-4F84-9D66-28170A901383}"
#define QUILMAR_LIB_VERSION \
  L"" QUILMAR_TEXT(QUILMAR_TYPELIB_MAJOR) "." QUILMAR_TEXT(QUILMAR_TYPELIB_MINOR)
#define QUILMAR_MARSHALLER L"{00020424-0000-0000-C000-000000000046}"

// Whether `text` is `id` as the registry writes it: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
constexpr bool is_text_of(const wchar_t* text, const GUID& id) {
  const auto digit = [](wchar_t c) -> int {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
  };
  // The value of the hex digits from `at` (`count` of them); -1 when one is not a digit.
  const auto number = [&](int at, int count) -> long long {
    long long value = 0;
    for (int i = 0; i < count; ++i) {
      if (digit(text[at + i]) < 0) return -1;
      value = value * 16 + digit(text[at + i]);
    }
    return value;
  };
  for (int at : {0, 9, 14, 19, 24, 37})
    if (text[at] != (at == 0 ? L'{' : at == 37 ? L'}' : L'-')) return false;
  if (text[38] != L'\0' || number(1, 8) != id.Data1 || number(10, 4) != id.Data2 ||
      number(15, 4) != id.Data3)
    return false;
  for (int i = 0; i < 8; ++i)
    if (number(i < 2 ? 20 + 2 * i : 21 + 2 * i, 2) != id.Data4[i]) return false;
  return true;
}
static_assert(is_text_of(QUILMAR_CLSID, CLSID_clsAVLt) &&
              is_text_of(QUILMAR_LIBID, LIBID_Quilmar) && is_text_of(QUILMAR_IID, IID__clsAVLt) &&
              is_text_of(QUILMAR_IID2, IID__clsAVLt2));

// The type library's key, whose children are per version, as registration also reaches it for
// other versions; under a version, each platform's file has its entry.
#define QUILMAR_LIBRARY_KEY L"TypeLib\\" QUILMAR_LIBID
#define QUILMAR_FILE_ENTRY L"\\0\\" QUILMAR_PLATFORM
inline constexpr wchar_t kLibraryKey[] = QUILMAR_LIBRARY_KEY;
inline constexpr wchar_t kFileEntry[] = QUILMAR_FILE_ENTRY;
#define QUILMAR_LIB_KEY QUILMAR_LIBRARY_KEY L"\\" QUILMAR_LIB_VERSION
#define QUILMAR_CLASS_KEY L"CLSID\\" QUILMAR_CLSID
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
    {Part::class_view, QUILMAR_CLASS_KEY, nullptr, L"" QUILMAR_PROG_ID},
    {Part::class_view, QUILMAR_CLASS_KEY L"\\InprocServer32", nullptr, kFile},
    {Part::class_view, QUILMAR_CLASS_KEY L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {Part::class_view, QUILMAR_CLASS_KEY L"\\ProgID", nullptr, L"" QUILMAR_PROG_ID},
    {Part::class_view, QUILMAR_CLASS_KEY L"\\TypeLib", nullptr, QUILMAR_LIBID},
    {Part::class_view, QUILMAR_CLASS_KEY L"\\VERSION", nullptr, QUILMAR_LIB_VERSION},
    {Part::prog_id, L"" QUILMAR_PROG_ID, nullptr, L"" QUILMAR_PROG_ID},
    {Part::prog_id, L"" QUILMAR_PROG_ID L"\\CLSID", nullptr, QUILMAR_CLSID},
    {Part::type_library, QUILMAR_LIB_KEY, nullptr, L"Quilmar"},
    {Part::type_library, QUILMAR_LIB_KEY QUILMAR_FILE_ENTRY, nullptr, kFile},
    {Part::type_library, QUILMAR_LIB_KEY L"\\HELPDIR", nullptr, L""},
    // The library has no flags; some hosts record the in-memory "has disk image" bit instead.
    {Part::server_typelib, QUILMAR_LIB_KEY L"\\FLAGS", nullptr, L"0"},
    QUILMAR_INTERFACE(QUILMAR_IID, L"_clsAVLt"),
    QUILMAR_INTERFACE(QUILMAR_IID2, L"_clsAVLt2"),
};

#undef QUILMAR_INTERFACE
#undef QUILMAR_CLASS_KEY
#undef QUILMAR_LIB_KEY
#undef QUILMAR_LIBRARY_KEY
#undef QUILMAR_FILE_ENTRY
#undef QUILMAR_PLATFORM
#undef QUILMAR_MARSHALLER
#undef QUILMAR_LIB_VERSION
#undef QUILMAR_IID2
#undef QUILMAR_IID
#undef QUILMAR_LIBID
#undef QUILMAR_CLSID
#undef QUILMAR_TEXT
#undef QUILMAR_TEXT_OF

}  // namespace quilmar::registry
