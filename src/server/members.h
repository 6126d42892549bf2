// The members of the class's interface, written once: IDispatch (server/dispatch.cpp) binds names
// and arguments from these rows, tools/typelib_gen.cpp writes the type library from them, and the
// Wine type-library test holds the loaded library to them. Quilmar.idl repeats them for readers and
// widl; that test holds widl's reading of it to the same library. Needs only include/, because the
// generator and the Wine tests are built against the public headers.
//
// A new member is a row here (a new interface: rows with its tag after its base's rows), its
// method in quilmar.h and AvlObject, its call in dispatch.cpp and its line in Quilmar.idl.
#pragma once

#include <array>
#include <span>

#include "quilmar/quilmar.h"

namespace quilmar {

// Member ids: fixed; clients compiled against the type library call by them.
namespace dispid {
inline constexpr DISPID Read = 0x60030005;
inline constexpr DISPID Alloc = 0x60030008;
inline constexpr DISPID Indata = 0x60030009;
inline constexpr DISPID ReadSub = 0x6003000A;
inline constexpr DISPID Egnore = 0x68030003;
inline constexpr DISPID MemorySize = 0x68030002;
inline constexpr DISPID DataNumber = 0x68030001;
inline constexpr DISPID GetVersion = 0x68030000;
// _clsAVLt2's own: a range of their own, never reused.
inline constexpr DISPID Item = DISPID_VALUE;
inline constexpr DISPID NewEnum = DISPID_NEWENUM;
inline constexpr DISPID Count = 0x60040001;
inline constexpr DISPID Exists = 0x60040002;
inline constexpr DISPID Find = 0x60040003;
inline constexpr DISPID Seek = 0x60040004;
inline constexpr DISPID Keys = 0x60040005;
inline constexpr DISPID Items = 0x60040006;
inline constexpr DISPID Remove = 0x60040007;
inline constexpr DISPID RemoveCurrent = 0x60040008;
inline constexpr DISPID RemoveAll = 0x60040009;
// _clsAVLt3's own, after _clsAVLt2's.
inline constexpr DISPID CompareMode = 0x6004000A;
inline constexpr DISPID KeyAt = 0x6004000B;
inline constexpr DISPID ItemAt = 0x6004000C;
inline constexpr DISPID IndexOf = 0x6004000D;
inline constexpr DISPID RemoveAt = 0x6004000E;
inline constexpr DISPID Position = 0x6004000F;
inline constexpr DISPID Load = 0x60040010;
inline constexpr DISPID ToArray = 0x60040011;
inline constexpr DISPID Sort = 0x60040012;
// SortedDictionary's: a dictionary's ids, then a range of their own for the rest.
namespace dictionary {
inline constexpr DISPID Item = DISPID_VALUE;
inline constexpr DISPID Add = 1;
inline constexpr DISPID Count = 2;
inline constexpr DISPID Exists = 3;
inline constexpr DISPID Items = 4;
inline constexpr DISPID Key = 5;
inline constexpr DISPID Keys = 6;
inline constexpr DISPID Remove = 7;
inline constexpr DISPID RemoveAll = 8;
inline constexpr DISPID CompareMode = 9;
inline constexpr DISPID NewEnum = DISPID_NEWENUM;
inline constexpr DISPID KeyAt = 0x60050001;
inline constexpr DISPID ItemAt = 0x60050002;
inline constexpr DISPID IndexOf = 0x60050003;
inline constexpr DISPID RemoveAt = 0x60050004;
inline constexpr DISPID Seek = 0x60050005;
inline constexpr DISPID Load = 0x60050006;
inline constexpr DISPID ToArray = 0x60050007;
inline constexpr DISPID Sort = 0x60050008;
}  // namespace dictionary
}  // namespace dispid

namespace members {

// The interface a row belongs to. An interface derived from another takes its base's vtable and
// appends its own rows' entries.
enum class Interface : unsigned char { clsAVLt, clsAVLt2, clsAVLt3, ISortedDictionary };

// What a parameter or a result carries.
enum class Kind : unsigned char {
  none,
  variant,
  float32,
  boolean,
  long32,
  text,
  modeval,
  egn_mod,
  seekmode,
  unknown,  // an IUnknown pointer
};

// The default of an optional parameter; a parameter without one is required. `missing`: an
// optional Variant without a default, which arrives as VT_ERROR with DISP_E_PARAMNOTFOUND.
enum class Default : unsigned char { none, alloc_size, empty_text, seek_after_eq, missing };

// How the parameters reach the vtable: _clsAVLt's by reference, in and out; _clsAVLt2's by value,
// which JScript can pass.
enum class Pass : unsigned char { by_reference, by_value };
inline constexpr FLOAT kDefaultAllocSize = 100000;

inline constexpr UINT kMaxParams = 3;

struct Param {
  const char* name = nullptr;  // nullptr: unnamed, as a property's value is
  Kind kind = Kind::none;      // none: no parameter in this place
  Default fallback = Default::none;
};

struct Member {
  Interface iface;
  DISPID id;
  WORD invoke;  // DISPATCH_METHOD, _PROPERTYGET or _PROPERTYPUT (the INVOKEKIND values)
  const char* name;
  Kind result;  // returned through a last [out, retval]; none: nothing
  std::array<Param, kMaxParams> params;
  Pass pass = Pass::by_reference;
  bool hidden = false;  // restricted and hidden: _NewEnum, which For Each calls by its id

  constexpr UINT count() const {
    UINT n = 0;
    while (n < kMaxParams && params[n].kind != Kind::none) ++n;
    return n;
  }
  // The leading parameters without a default.
  constexpr UINT required() const {
    UINT n = 0;
    while (n < count() && params[n].fallback == Default::none) ++n;
    return n;
  }
};

inline constexpr WORD kMethod = DISPATCH_METHOD, kGet = DISPATCH_PROPERTYGET,
                      kPut = DISPATCH_PROPERTYPUT, kPutRef = DISPATCH_PROPERTYPUTREF;
inline constexpr Interface kAVLt = Interface::clsAVLt, kAVLt2 = Interface::clsAVLt2,
                           kAVLt3 = Interface::clsAVLt3, kDict = Interface::ISortedDictionary;
inline constexpr Pass kByValue = Pass::by_value;

// In vtable order.
// clang-format off
inline constexpr Member kMembers[] = {
  // iface id                  invoke   name          result         parameters
  {kAVLt, dispid::Read,       kMethod, "Read",       Kind::variant, {{{"Spec", Kind::modeval}}}},
  {kAVLt, dispid::Alloc,      kMethod, "Alloc",      Kind::boolean,
   {{{"Siz", Kind::float32, Default::alloc_size}}}},
  {kAVLt, dispid::Indata,     kMethod, "Indata",     Kind::variant,
   {{{"Getdata", Kind::variant}, {"AddData", Kind::variant, Default::empty_text}}}},
  {kAVLt, dispid::ReadSub,    kMethod, "ReadSub",    Kind::variant, {}},
  {kAVLt, dispid::Egnore,     kPut,    "Egnore",     Kind::none,    {{{nullptr, Kind::egn_mod}}}},
  {kAVLt, dispid::Egnore,     kGet,    "Egnore",     Kind::egn_mod, {}},
  {kAVLt, dispid::MemorySize, kGet,    "MemorySize", Kind::long32,  {}},
  {kAVLt, dispid::DataNumber, kGet,    "DataNumber", Kind::long32,  {}},
  {kAVLt, dispid::GetVersion, kGet,    "GetVersion", Kind::text,    {}},
  {kAVLt2, dispid::Count,     kGet,    "Count",      Kind::long32,  {}, kByValue},
  {kAVLt2, dispid::Item,      kGet,    "Item",       Kind::variant, {{{"Key", Kind::variant}}}, kByValue},
  {kAVLt2, dispid::Item,      kPut,    "Item",       Kind::none,
   {{{"Key", Kind::variant}, {nullptr, Kind::variant}}}, kByValue},
  {kAVLt2, dispid::Item,      kPutRef, "Item",       Kind::none,
   {{{"Key", Kind::variant}, {nullptr, Kind::variant}}}, kByValue},
  {kAVLt2, dispid::Exists,    kMethod, "Exists",     Kind::boolean, {{{"Key", Kind::variant}}}, kByValue},
  {kAVLt2, dispid::Find,      kMethod, "Find",       Kind::boolean, {{{"Key", Kind::variant}}}, kByValue},
  {kAVLt2, dispid::Seek,      kMethod, "Seek",       Kind::variant,
   {{{"Key", Kind::variant}, {"How", Kind::seekmode, Default::seek_after_eq}}}, kByValue},
  {kAVLt2, dispid::Keys,      kMethod, "Keys",       Kind::variant,
   {{{"Low", Kind::variant, Default::missing}, {"High", Kind::variant, Default::missing}}}, kByValue},
  {kAVLt2, dispid::Items,     kMethod, "Items",      Kind::variant,
   {{{"Low", Kind::variant, Default::missing}, {"High", Kind::variant, Default::missing}}}, kByValue},
  {kAVLt2, dispid::NewEnum,   kGet,    "_NewEnum",   Kind::unknown, {}, kByValue, true},
  {kAVLt2, dispid::Remove,    kMethod, "Remove",     Kind::long32,  {{{"Key", Kind::variant}}}, kByValue},
  {kAVLt2, dispid::RemoveCurrent, kMethod, "RemoveCurrent", Kind::variant, {}, kByValue},
  {kAVLt2, dispid::RemoveAll, kMethod, "RemoveAll",  Kind::none,    {}, kByValue},
  {kAVLt3, dispid::CompareMode, kGet,  "CompareMode", Kind::long32,  {}, kByValue},
  {kAVLt3, dispid::CompareMode, kPut,  "CompareMode", Kind::none,    {{{nullptr, Kind::long32}}}, kByValue},
  {kAVLt3, dispid::KeyAt,     kMethod, "KeyAt",      Kind::variant, {{{"Index", Kind::long32}}}, kByValue},
  {kAVLt3, dispid::ItemAt,    kGet,    "ItemAt",     Kind::variant, {{{"Index", Kind::long32}}}, kByValue},
  {kAVLt3, dispid::ItemAt,    kPut,    "ItemAt",     Kind::none,
   {{{"Index", Kind::long32}, {nullptr, Kind::variant}}}, kByValue},
  {kAVLt3, dispid::ItemAt,    kPutRef, "ItemAt",     Kind::none,
   {{{"Index", Kind::long32}, {nullptr, Kind::variant}}}, kByValue},
  {kAVLt3, dispid::IndexOf,   kMethod, "IndexOf",    Kind::long32,  {{{"Key", Kind::variant}}}, kByValue},
  {kAVLt3, dispid::RemoveAt,  kMethod, "RemoveAt",   Kind::none,    {{{"Index", Kind::long32}}}, kByValue},
  {kAVLt3, dispid::Position,  kGet,    "Position",   Kind::long32,  {}, kByValue},
  {kAVLt3, dispid::Position,  kPut,    "Position",   Kind::none,    {{{nullptr, Kind::long32}}}, kByValue},
  {kAVLt3, dispid::Load,      kMethod, "Load",       Kind::long32,
   {{{"Source", Kind::variant}, {"KeyColumn", Kind::variant, Default::missing},
     {"ItemColumn", Kind::variant, Default::missing}}}, kByValue},
  {kAVLt3, dispid::ToArray,   kMethod, "ToArray",    Kind::variant,
   {{{"Low", Kind::variant, Default::missing}, {"High", Kind::variant, Default::missing}}}, kByValue},
  {kAVLt3, dispid::Sort,      kMethod, "Sort",       Kind::variant,
   {{{"Values", Kind::variant}, {"By", Kind::variant, Default::missing},
     {"Descending", Kind::variant, Default::missing}}}, kByValue},
};
// clang-format on

// SortedDictionary's interface, in vtable order.
namespace d = dispid::dictionary;
// clang-format off
inline constexpr Member kDictionaryMembers[] = {
  // iface id          invoke   name           result         parameters
  {kDict, d::Item,      kPut,    "Item",        Kind::none,
   {{{"Key", Kind::variant}, {nullptr, Kind::variant}}}, kByValue},
  {kDict, d::Item,      kPutRef, "Item",        Kind::none,
   {{{"Key", Kind::variant}, {nullptr, Kind::variant}}}, kByValue},
  {kDict, d::Item,      kGet,    "Item",        Kind::variant, {{{"Key", Kind::variant}}}, kByValue},
  {kDict, d::Add,       kMethod, "Add",         Kind::none,
   {{{"Key", Kind::variant}, {"Item", Kind::variant}}}, kByValue},
  {kDict, d::Count,     kGet,    "Count",       Kind::long32,  {}, kByValue},
  {kDict, d::Exists,    kMethod, "Exists",      Kind::boolean, {{{"Key", Kind::variant}}}, kByValue},
  {kDict, d::Items,     kMethod, "Items",       Kind::variant,
   {{{"Low", Kind::variant, Default::missing}, {"High", Kind::variant, Default::missing}}}, kByValue},
  {kDict, d::Key,       kPut,    "Key",         Kind::none,
   {{{"Key", Kind::variant}, {nullptr, Kind::variant}}}, kByValue},
  {kDict, d::Keys,      kMethod, "Keys",        Kind::variant,
   {{{"Low", Kind::variant, Default::missing}, {"High", Kind::variant, Default::missing}}}, kByValue},
  {kDict, d::Remove,    kMethod, "Remove",      Kind::none,    {{{"Key", Kind::variant}}}, kByValue},
  {kDict, d::RemoveAll, kMethod, "RemoveAll",   Kind::none,    {}, kByValue},
  {kDict, d::CompareMode, kPut,  "CompareMode", Kind::none,    {{{nullptr, Kind::long32}}}, kByValue},
  {kDict, d::CompareMode, kGet,  "CompareMode", Kind::long32,  {}, kByValue},
  {kDict, d::NewEnum,   kGet,    "_NewEnum",    Kind::unknown, {}, kByValue, true},
  {kDict, d::KeyAt,     kMethod, "KeyAt",       Kind::variant, {{{"Index", Kind::long32}}}, kByValue},
  {kDict, d::ItemAt,    kGet,    "ItemAt",      Kind::variant, {{{"Index", Kind::long32}}}, kByValue},
  {kDict, d::ItemAt,    kPut,    "ItemAt",      Kind::none,
   {{{"Index", Kind::long32}, {nullptr, Kind::variant}}}, kByValue},
  {kDict, d::ItemAt,    kPutRef, "ItemAt",      Kind::none,
   {{{"Index", Kind::long32}, {nullptr, Kind::variant}}}, kByValue},
  {kDict, d::IndexOf,   kMethod, "IndexOf",     Kind::long32,  {{{"Key", Kind::variant}}}, kByValue},
  {kDict, d::RemoveAt,  kMethod, "RemoveAt",    Kind::none,    {{{"Index", Kind::long32}}}, kByValue},
  {kDict, d::Seek,      kMethod, "Seek",        Kind::variant,
   {{{"Key", Kind::variant}, {"How", Kind::seekmode, Default::seek_after_eq}}}, kByValue},
  {kDict, d::Load,      kMethod, "Load",        Kind::long32,
   {{{"Source", Kind::variant}, {"KeyColumn", Kind::variant, Default::missing},
     {"ItemColumn", Kind::variant, Default::missing}}}, kByValue},
  {kDict, d::ToArray,   kMethod, "ToArray",     Kind::variant,
   {{{"Low", Kind::variant, Default::missing}, {"High", Kind::variant, Default::missing}}}, kByValue},
  {kDict, d::Sort,      kMethod, "Sort",        Kind::variant,
   {{{"Values", Kind::variant}, {"By", Kind::variant, Default::missing},
     {"Descending", Kind::variant, Default::missing}}}, kByValue},
};
// clang-format on

// The table holding an interface's rows; its vtable entries follow IDispatch's in that table's
// order, a derived interface's after its base's.
constexpr std::span<const Member> table_of(Interface tag) {
  if (tag == Interface::ISortedDictionary) return kDictionaryMembers;
  return kMembers;
}

}  // namespace members
}  // namespace quilmar
