// Writes the type library Quilmar (embedded in Quilmar.dll as "TYPELIB" 1) through oleaut32's
// ICreateTypeLib2, under Wine at build time. widl cannot write this library exactly: it orders
// types by first use, rejects documentation strings on enumeration members and record fields and
// a text default on a VARIANT, stores a float default as an integer's bits, and stamps every
// build with a date. This program writes the same bytes on every run.
//
// It runs as a 64-bit program and writes the library of either Windows, so that the 32-bit build
// runs no 32-bit code (some machines' kernels refuse it): what a 64-bit process cannot get right
// for 32-bit Windows by itself (sizes of pointers, Variants and oleaut32's own descriptions) it
// is told by the target below.
//
// Usage: quilmar_typelib_gen win32|win64 OUTPUT.tlb
#include <wrl/client.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "quilmar/quilmar.h"
#include "server/members.h"
#include "server/registry_table.h"

using Microsoft::WRL::ComPtr;
using quilmar::members::Default;
using quilmar::members::Interface;
using quilmar::members::Kind;
using quilmar::members::kMembers;
using quilmar::members::Member;
using quilmar::members::Param;

namespace {

void check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    char text[160];
    std::snprintf(text, sizeof text, "%s failed: 0x%08lX", what, static_cast<unsigned long>(hr));
    throw std::runtime_error(text);
  }
}

// The names are plain ASCII; oleaut32 wants them wide and, by its old signatures, writable.
class Wide {
 public:
  explicit Wide(const char* narrow) : text_(narrow, narrow + std::strlen(narrow)) {}
  LPOLESTR get() { return text_.data(); }

 private:
  std::wstring text_;
};

// ---- what the library holds ----

struct Constant {
  const char* name;
  LONG value;
};

struct EnumType {
  const char* name;
  const GUID& guid;
  std::vector<Constant> members;
};

// The member table says how to call; the library says it with the same values.
static_assert(INVOKE_FUNC == DISPATCH_METHOD && INVOKE_PROPERTYGET == DISPATCH_PROPERTYGET &&
              INVOKE_PROPERTYPUT == DISPATCH_PROPERTYPUT &&
              INVOKE_PROPERTYPUTREF == DISPATCH_PROPERTYPUTREF);

const std::array<EnumType, 4> kEnums = {{
    {"MODEVAL",
     GUID_MODEVAL,
     {{"WRITE_DATA", WRITE_DATA},
      {"START_READ", START_READ},
      {"READ_NEXT", READ_NEXT},
      {"READ_BACK", READ_BACK},
      {"READ_MID", READ_MID},
      {"END_READ", END_READ},
      {"FAULT", FAULT}}},
    {"EGN_MOD",
     GUID_EGN_MOD,
     {{"NOT_EGNORE", NOT_EGNORE},
      {"USE_FIRST_DATA", USE_FIRST_DATA},
      {"USE_LAST_DATA", USE_LAST_DATA}}},
    {"BALANCESTS", GUID_BALANCESTS, {{"BALANCED", BALANCED}, {"SMALLV", SMALLV}, {"BIGV", BIGV}}},
    {"SEEKMODE",
     GUID_SEEKMODE,
     {{"SEEK_FIRST_EQ", SEEK_FIRST_EQ},
      {"SEEK_LAST_EQ", SEEK_LAST_EQ},
      {"SEEK_AFTER_EQ", SEEK_AFTER_EQ},
      {"SEEK_AFTER", SEEK_AFTER},
      {"SEEK_BEFORE_EQ", SEEK_BEFORE_EQ},
      {"SEEK_BEFORE", SEEK_BEFORE}}},
}};
constexpr size_t kModevalIndex = 0, kEgnModIndex = 1, kBalanceIndex = 2, kSeekModeIndex = 3;
// Where each enumeration stands in the library. Version 1.0's six types keep their places; what
// 1.1 added follows them.
constexpr std::array<UINT, kEnums.size()> kEnumTypeIndex = {2, 3, 4, 7};

// ---- the Windows the library describes ----

// What differs between the library for 32-bit and for 64-bit Windows. oleaut32 records with each
// function and variable how much memory its description takes when read back (the description
// and what it points to), counted with the structures of the process that writes it; a library
// for the other bitness must carry that bitness's counts.
struct Target {
  SYSKIND syskind;
  ULONG pointer;      // a table entry, an interface reference
  ULONG variant;      // sizeof(VARIANT)
  ULONG funcdesc;     // sizeof(FUNCDESC)
  ULONG elemdesc;     // sizeof(ELEMDESC), each parameter's
  ULONG pointee;      // what a pointer parameter's target type adds
  ULONG paramdescex;  // sizeof(PARAMDESCEX), each default value's
  ULONG vardesc;      // sizeof(VARDESC); a constant adds its VARIANT
};
constexpr Target kWin32{SYS_WIN32, 4, 16, 52, 16, 8, 24, 36};
constexpr Target kWin64{SYS_WIN64, 8, 24, 88, 32, 8, 32, 64};

// The process's own structures are one of the two.
#ifdef _WIN64
constexpr Target kProcess = kWin64;
#else
constexpr Target kProcess = kWin32;
#endif
static_assert(kProcess.pointer == sizeof(void*) && kProcess.variant == sizeof(VARIANT) &&
              kProcess.funcdesc == sizeof(FUNCDESC) && kProcess.elemdesc == sizeof(ELEMDESC) &&
              kProcess.paramdescex == sizeof(PARAMDESCEX) && kProcess.vardesc == sizeof(VARDESC));

enum class FieldKind { Float, Variant, Balance };

struct Field {
  const char* name;
  FieldKind kind;
};

// The record, packed to 4 bytes on both: a float is 4 bytes, a BALANCESTS 4, a VARIANT the
// target's.
constexpr std::array<Field, 6> kFields = {{
    {"Parent", FieldKind::Float},
    {"Small", FieldKind::Float},
    {"Big", FieldKind::Float},
    {"Data", FieldKind::Variant},
    {"Balance", FieldKind::Balance},
    {"SubData", FieldKind::Variant},
}};
constexpr UINT kRecordIndex = 5;  // the last of version 1.0's six types
constexpr UINT kInterfaceIndex = 0, kInterface2Index = 6;

struct RecordLayout {
  std::array<ULONG, kFields.size()> offsets;
  ULONG size;
};

constexpr RecordLayout record_layout(const Target& target) {
  RecordLayout layout{};
  ULONG at = 0;
  for (size_t i = 0; i < kFields.size(); ++i) {
    layout.offsets[i] = at;
    at += kFields[i].kind == FieldKind::Variant ? target.variant : 4;
  }
  layout.size = at;
  return layout;
}

// quilmar.h's record, as this process compiles it, is the layout its own target gets.
static_assert(record_layout(kProcess).size == sizeof(AVLtree) &&
              record_layout(kProcess).offsets[3] == offsetof(AVLtree, Data) &&
              record_layout(kProcess).offsets[4] == offsetof(AVLtree, Balance) &&
              record_layout(kProcess).offsets[5] == offsetof(AVLtree, SubData));
static_assert(record_layout(kWin32).size == 48 && record_layout(kWin64).size == 64);

// IUnknown's three and IDispatch's four entries precede the interface's own.
constexpr UINT kInheritedEntries = 7;

// Member ids of enumeration members and record fields count from here.
constexpr MEMBERID kFirstVarId = 0x40000000;

// ---- writing ----

// A reference from `from` to the type `to` (a description of this library or another).
HREFTYPE reference(ICreateTypeInfo2* from, IUnknown* to) {
  ComPtr<ITypeInfo> info;
  check(to->QueryInterface(IID_PPV_ARGS(&info)), "QueryInterface(ITypeInfo)");
  HREFTYPE ref = 0;
  check(from->AddRefTypeInfo(info.Get(), &ref), "AddRefTypeInfo");
  return ref;
}

class TypeDescs;

// The size oleaut32 records for one function or variable: as this process wrote it, and as the
// target's structures make it.
struct DescriptionSize {
  ULONG written, wanted;
};
// Per type (by its index in the library), its functions' then its variables', in their order.
using DescriptionSizes = std::map<UINT, std::vector<DescriptionSize>>;

ULONG function_size(const Target& target, const std::vector<ELEMDESC>& params) {
  ULONG size = target.funcdesc;
  for (const ELEMDESC& param : params) {
    size += target.elemdesc;
    if (param.tdesc.vt == VT_PTR) size += target.pointee;
    if (param.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT) size += target.paramdescex;
  }
  return size;
}

ULONG variable_size(const Target& target, VARKIND kind) {
  return target.vardesc + (kind == VAR_CONST ? target.variant : 0);
}

class Writer {
 public:
  Writer(const std::wstring& path, const Target& target) : target_(target) {
    check(CreateTypeLib2(target_.syskind, path.c_str(), &lib_), "CreateTypeLib2");
    check(lib_->SetName(Wide("Quilmar").get()), "SetName");
    check(lib_->SetGuid(LIBID_Quilmar), "SetGuid");
    const quilmar::registry::LibVersion version = quilmar::registry::kLibVersion;
    check(lib_->SetVersion(version.major, version.minor), "SetVersion");
    check(lib_->SetLcid(0), "SetLcid");
    check(lib_->SetLibFlags(0), "SetLibFlags");
  }

  void write() {
    // Created in the order clients see them: interface, class, enumerations, record; then what
    // version 1.1 added: the second interface and its enumeration.
    create(iface_, "_clsAVLt", TKIND_INTERFACE, IID__clsAVLt);
    create(coclass_, "clsAVLt", TKIND_COCLASS, CLSID_clsAVLt);
    for (size_t i = 0; i < kSeekModeIndex; ++i)
      create(enums_[i], kEnums[i].name, TKIND_ENUM, kEnums[i].guid);
    create(record_, "AVLtree", TKIND_RECORD, GUID_AVLtree);
    create(iface2_, "_clsAVLt2", TKIND_INTERFACE, IID__clsAVLt2);
    create(enums_[kSeekModeIndex], kEnums[kSeekModeIndex].name, TKIND_ENUM,
           kEnums[kSeekModeIndex].guid);

    for (size_t i = 0; i < kEnums.size(); ++i)
      fill_enum(enums_[i].Get(), kEnumTypeIndex[i], kEnums[i]);
    fill_record();
    fill_interfaces();
    fill_coclass();

    // A derived interface is laid out after its base.
    for (ICreateTypeInfo2* info : {iface_.Get(), coclass_.Get(), enums_[0].Get(), enums_[1].Get(),
                                   enums_[2].Get(), record_.Get(), iface2_.Get(), enums_[3].Get()})
      check(info->LayOut(), "LayOut");
    check(lib_->SaveAllChanges(), "SaveAllChanges");
  }

  const DescriptionSizes& description_sizes() const { return sizes_; }

 private:
  void create(ComPtr<ICreateTypeInfo2>& info, const char* name, TYPEKIND kind, const GUID& guid) {
    ComPtr<ICreateTypeInfo> created;
    check(lib_->CreateTypeInfo(Wide(name).get(), kind, &created), "CreateTypeInfo");
    check(created.As(&info), "QueryInterface(ICreateTypeInfo2)");
    check(info->SetGuid(guid), "SetGuid");
    check(info->SetVersion(1, 0), "SetVersion");
    check(info->SetAlignment(4), "SetAlignment");
  }

  void fill_enum(ICreateTypeInfo2* info, UINT type_index, const EnumType& type) {
    UINT index = 0;
    for (const Constant& constant : type.members) {
      VARIANT value;
      VariantInit(&value);
      value.vt = VT_I4;
      value.lVal = constant.value;
      VARDESC desc{};
      desc.memid = kFirstVarId + static_cast<MEMBERID>(index);
      desc.lpvarValue = &value;
      desc.elemdescVar.tdesc.vt = VT_I4;
      desc.varkind = VAR_CONST;
      add_var(info, type_index, index++, desc, constant.name);
    }
  }

  void fill_record() {
    const HREFTYPE balance = reference(record_.Get(), enums_[kBalanceIndex].Get());
    const RecordLayout layout = record_layout(target_);
    UINT index = 0;
    for (const Field& field : kFields) {
      VARDESC desc{};
      desc.memid = kFirstVarId + static_cast<MEMBERID>(index);
      desc.oInst = layout.offsets[index];
      desc.varkind = VAR_PERINSTANCE;
      switch (field.kind) {
        case FieldKind::Float: desc.elemdescVar.tdesc.vt = VT_R4; break;
        case FieldKind::Variant: desc.elemdescVar.tdesc.vt = VT_VARIANT; break;
        case FieldKind::Balance:
          desc.elemdescVar.tdesc.vt = VT_USERDEFINED;
          desc.elemdescVar.tdesc.hreftype = balance;
          break;
      }
      add_var(record_.Get(), kRecordIndex, index++, desc, field.name);
    }
  }

  // Enumeration members and record fields carry their own name as documentation.
  void add_var(ICreateTypeInfo2* info, UINT type_index, UINT index, VARDESC& desc,
               const char* name) {
    check(info->AddVarDesc(index, &desc), "AddVarDesc");
    sizes_[type_index].push_back(
        {variable_size(kProcess, desc.varkind), variable_size(target_, desc.varkind)});
    check(info->SetVarName(index, Wide(name).get()), "SetVarName");
    check(info->SetVarDocString(index, Wide(name).get()), "SetVarDocString");
  }

  void fill_interfaces();
  void fill_interface(ICreateTypeInfo2* iface, UINT type_index, Interface tag, HREFTYPE base);
  void add_function(ICreateTypeInfo2* iface, UINT type_index, UINT index, UINT vtable_entry,
                    const Member& member, TypeDescs& types);
  // The newest interface is the default; the older one stays listed for tools that look for it.
  void fill_coclass() {
    check(coclass_->AddImplType(0, reference(coclass_.Get(), iface2_.Get())), "AddImplType");
    check(coclass_->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "SetImplTypeFlags");
    check(coclass_->AddImplType(1, reference(coclass_.Get(), iface_.Get())), "AddImplType");
    check(coclass_->SetTypeFlags(TYPEFLAG_FCANCREATE), "SetTypeFlags");
  }

  const Target& target_;
  DescriptionSizes sizes_;
  ComPtr<ICreateTypeLib2> lib_;
  ComPtr<ICreateTypeInfo2> iface_;
  ComPtr<ICreateTypeInfo2> coclass_;
  std::array<ComPtr<ICreateTypeInfo2>, kEnums.size()> enums_;  // in the order of kEnums
  ComPtr<ICreateTypeInfo2> record_;
  ComPtr<ICreateTypeInfo2> iface2_;
};

// The types of one interface's parameters; kept alive while its descriptions are added. The
// interface refers to an enumeration when a member first uses it, so each refers only to its own.
class TypeDescs {
 public:
  using Enums = std::array<ComPtr<ICreateTypeInfo2>, kEnums.size()>;
  TypeDescs(ICreateTypeInfo2* iface, const Enums& enums) : iface_(iface), enums_(enums) {}

  // A value of `kind`.
  TYPEDESC value_of(Kind kind) {
    TYPEDESC desc{};
    switch (kind) {
      case Kind::none: throw std::logic_error("a parameter of no kind");
      case Kind::variant: desc.vt = VT_VARIANT; break;
      case Kind::float32: desc.vt = VT_R4; break;
      case Kind::boolean: desc.vt = VT_BOOL; break;
      case Kind::long32: desc.vt = VT_I4; break;
      case Kind::text: desc.vt = VT_BSTR; break;
      case Kind::unknown: desc.vt = VT_UNKNOWN; break;
      case Kind::modeval: return enumeration(kModevalIndex);
      case Kind::egn_mod: return enumeration(kEgnModIndex);
      case Kind::seekmode: return enumeration(kSeekModeIndex);
    }
    return desc;
  }

  // A pointer to a value of `kind`.
  TYPEDESC pointer_to(Kind kind) {
    TYPEDESC& target = targets_.emplace_back(value_of(kind));
    TYPEDESC pointer{};
    pointer.vt = VT_PTR;
    pointer.lptdesc = &target;
    return pointer;
  }

 private:
  TYPEDESC enumeration(size_t index) {
    if (!refs_[index]) refs_[index] = reference(iface_, enums_[index].Get());
    TYPEDESC desc{};
    desc.vt = VT_USERDEFINED;
    desc.hreftype = *refs_[index];
    return desc;
  }

  ICreateTypeInfo2* iface_;
  const Enums& enums_;
  std::array<std::optional<HREFTYPE>, kEnums.size()> refs_;
  std::deque<TYPEDESC> targets_;  // a deque: pointers into it stay valid as it grows
};

// The default of an optional parameter, as the library stores it.
class DefaultValue {
 public:
  explicit DefaultValue(Default fallback) {
    desc_.cBytes = sizeof desc_;
    VariantInit(&desc_.varDefaultValue);
    switch (fallback) {
      case Default::alloc_size:
        desc_.varDefaultValue.vt = VT_R4;
        desc_.varDefaultValue.fltVal = quilmar::members::kDefaultAllocSize;
        break;
      case Default::empty_text:
        desc_.varDefaultValue.vt = VT_BSTR;
        desc_.varDefaultValue.bstrVal = SysAllocString(L"");
        if (!desc_.varDefaultValue.bstrVal) throw std::bad_alloc();
        break;
      case Default::seek_after_eq:  // an enumeration's value is stored as a 32-bit integer
        desc_.varDefaultValue.vt = VT_I4;
        desc_.varDefaultValue.lVal = SEEK_AFTER_EQ;
        break;
      case Default::none:
      case Default::missing: throw std::logic_error("a default that has no value");
    }
  }
  DefaultValue(const DefaultValue&) = delete;
  DefaultValue& operator=(const DefaultValue&) = delete;
  ~DefaultValue() { VariantClear(&desc_.varDefaultValue); }
  PARAMDESCEX* get() { return &desc_; }

 private:
  PARAMDESCEX desc_{};
};

void Writer::fill_interfaces() {
  ComPtr<ITypeLib> stdole;
  check(LoadTypeLib(L"stdole2.tlb", &stdole), "LoadTypeLib(stdole2.tlb)");
  ComPtr<ITypeInfo> dispatch;
  check(stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatch), "GetTypeInfoOfGuid(IDispatch)");
  fill_interface(iface_.Get(), kInterfaceIndex, Interface::clsAVLt,
                 reference(iface_.Get(), dispatch.Get()));
  fill_interface(iface2_.Get(), kInterface2Index, Interface::clsAVLt2,
                 reference(iface2_.Get(), iface_.Get()));
}

void Writer::fill_interface(ICreateTypeInfo2* iface, UINT type_index, Interface tag,
                            HREFTYPE base) {
  check(iface->AddImplType(0, base), "AddImplType");
  check(iface->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                            TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE),
        "SetTypeFlags");
  TypeDescs types(iface, enums_);
  // A row's entry follows those of every row before it: an interface derived from another
  // continues its base's table.
  UINT index = 0;
  for (UINT row = 0; row < std::size(kMembers); ++row)
    if (kMembers[row].iface == tag)
      add_function(iface, type_index, index++, kInheritedEntries + row, kMembers[row], types);
}

void Writer::add_function(ICreateTypeInfo2* iface, UINT type_index, UINT index, UINT vtable_entry,
                          const Member& member, TypeDescs& types) {
  const bool by_value = member.pass == quilmar::members::Pass::by_value;
  std::vector<ELEMDESC> params;
  std::deque<DefaultValue> defaults;
  std::vector<Wide> names{Wide(member.name)};
  for (UINT p = 0; p < member.count(); ++p) {
    const Param& param = member.params[p];
    ELEMDESC& elem = params.emplace_back();
    elem.tdesc = by_value ? types.value_of(param.kind) : types.pointer_to(param.kind);
    elem.paramdesc.wParamFlags = by_value ? PARAMFLAG_FIN : PARAMFLAG_FIN | PARAMFLAG_FOUT;
    if (param.fallback != Default::none) elem.paramdesc.wParamFlags |= PARAMFLAG_FOPT;
    if (param.fallback != Default::none && param.fallback != Default::missing) {
      elem.paramdesc.wParamFlags |= PARAMFLAG_FHASDEFAULT;
      elem.paramdesc.pparamdescex = defaults.emplace_back(param.fallback).get();
    }
    if (param.name) names.emplace_back(param.name);
  }
  if (member.result != Kind::none) {
    ELEMDESC& elem = params.emplace_back();
    elem.tdesc = types.pointer_to(member.result);
    elem.paramdesc.wParamFlags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
  }

  FUNCDESC desc{};
  desc.memid = member.id;
  desc.lprgelemdescParam = params.data();
  desc.funckind = FUNC_PUREVIRTUAL;
  desc.invkind = static_cast<INVOKEKIND>(member.invoke);
  desc.callconv = CC_STDCALL;
  desc.cParams = static_cast<SHORT>(params.size());
  desc.oVft = static_cast<SHORT>(vtable_entry * target_.pointer);
  desc.elemdescFunc.tdesc.vt = VT_HRESULT;
  if (member.hidden) desc.wFuncFlags = FUNCFLAG_FRESTRICTED | FUNCFLAG_FHIDDEN;
  check(iface->AddFuncDesc(index, &desc), "AddFuncDesc");
  sizes_[type_index].push_back({function_size(kProcess, params), function_size(target_, params)});

  std::vector<LPOLESTR> name_ptrs;
  for (Wide& name : names) name_ptrs.push_back(name.get());
  check(iface->SetFuncAndParamNames(index, name_ptrs.data(), static_cast<UINT>(name_ptrs.size())),
        "SetFuncAndParamNames");
}

// ---- stored sizes ----

// Sizes that no ICreateTypeInfo call sets, written into the saved file: Wine's layout step stores
// a record's size as 0 and an enumeration's, in a library it writes from a 64-bit process, as that
// of a pointer, although an enumeration travels as a 32-bit integer; it counts the table IDispatch
// passes on with the pointers of the IDispatch description it finds, which is this process's
// unless the prefix registered the target's (its 32-bit setup does, where 32-bit programs run); and
// each function's and variable's description size is this process's (see Target). These are the
// places of the compiled type-library format that lead to them.
constexpr int32_t kMagic = 0x5446534D;  // "MSFT"
constexpr size_t kFlagsAt = 0x14;
constexpr int32_t kHasHelpLibrary = 0x100;  // an extra 32-bit field follows the header
constexpr size_t kTypeCountAt = 0x20;
constexpr size_t kHeaderSize = 0x54;
constexpr size_t kEntryKindAt = 0x00;
constexpr size_t kEntryRecordsAt = 0x04;    // where the type's function and variable records are
constexpr size_t kEntryElementsAt = 0x18;   // variables in the high half, functions in the low
constexpr size_t kEntryTableSizeAt = 0x4E;  // 16 bits: an interface's table, inherited entries too
constexpr size_t kEntrySizeAt = 0x50;
// A record starts with its length (low half), and holds the description's size at 0x0E; the
// records follow a 32-bit total, functions first.
constexpr size_t kRecordDescriptionSizeAt = 0x0E;

// A type whose size the library must report, and what identifies its entry.
struct StoredSize {
  UINT type_index;
  TYPEKIND kind;
  size_t vars;
  ULONG size;
};

std::vector<StoredSize> stored_sizes(const Target& target) {
  std::vector<StoredSize> sizes;
  for (size_t i = 0; i < kEnums.size(); ++i)
    sizes.push_back({kEnumTypeIndex[i], TKIND_ENUM, kEnums[i].members.size(), 4});
  sizes.push_back({kRecordIndex, TKIND_RECORD, kFields.size(), record_layout(target).size});
  return sizes;
}

// An interface's table: the inherited entries, then a row's entry for every row up to the last of
// its own (a derived interface continues its base's table).
struct TableSize {
  UINT type_index;
  Interface tag;
};
constexpr std::array<TableSize, 2> kTables = {{
    {kInterfaceIndex, Interface::clsAVLt},
    {kInterface2Index, Interface::clsAVLt2},
}};

ULONG table_size(const Target& target, Interface tag) {
  UINT end = 0;
  for (UINT row = 0; row < std::size(kMembers); ++row)
    if (kMembers[row].iface == tag) end = row + 1;
  return (kInheritedEntries + end) * target.pointer;
}

class LibraryFile {
 public:
  explicit LibraryFile(const std::wstring& path) : path_(path) {
    std::ifstream in(path_.c_str(), std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) throw std::runtime_error("cannot read the type library");
    if (at(0) != kMagic) throw std::runtime_error("not a compiled type library");
    offsets_ = kHeaderSize + ((at(kFlagsAt) & kHasHelpLibrary) ? 4 : 0);
    count_ = at(kTypeCountAt);
    if (count_ < 0) throw std::runtime_error("the type library counts its types below zero");
  }

  // Where the entry of the type at this index starts.
  size_t entry(UINT type_index) const {
    if (type_index >= static_cast<UINT>(count_))
      throw std::runtime_error("the type library lacks a type");
    const size_t segments = offsets_ + 4 * static_cast<size_t>(count_);
    return static_cast<size_t>(at(segments)) + static_cast<size_t>(at(offsets_ + 4 * type_index));
  }

  int32_t at(size_t offset) const {
    int32_t value;
    std::memcpy(&value, bytes(offset, 4), 4);
    return value;
  }
  int16_t at16(size_t offset) const {
    int16_t value;
    std::memcpy(&value, bytes(offset, 2), 2);
    return value;
  }
  void put(size_t offset, int32_t value) { std::memcpy(bytes(offset, 4), &value, 4); }
  void put16(size_t offset, int16_t value) { std::memcpy(bytes(offset, 2), &value, 2); }

  void save() const {
    std::ofstream out(path_.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
    if (!out) throw std::runtime_error("cannot write the type library");
  }

 private:
  const char* bytes(size_t offset, size_t length) const {
    if (offset > bytes_.size() || bytes_.size() - offset < length)
      throw std::runtime_error("the type library is shorter than its own header says");
    return bytes_.data() + offset;
  }
  char* bytes(size_t offset, size_t length) {
    return const_cast<char*>(std::as_const(*this).bytes(offset, length));
  }

  std::wstring path_;
  std::vector<char> bytes_;
  size_t offsets_ = 0;
  int32_t count_ = 0;
};

void store_sizes(LibraryFile& file, const std::vector<StoredSize>& sizes) {
  for (const StoredSize& type : sizes) {
    const size_t entry = file.entry(type.type_index);
    const bool is_the_type =
        (file.at(entry + kEntryKindAt) & 0xF) == type.kind &&
        (file.at(entry + kEntryElementsAt) >> 16) == static_cast<int32_t>(type.vars);
    const int32_t stored = file.at(entry + kEntrySizeAt);
    const bool known = stored == 0 || stored == static_cast<int32_t>(kProcess.pointer) ||
                       stored == static_cast<int32_t>(type.size);
    if (!is_the_type || !known)
      throw std::runtime_error("a type's entry is not where the format puts it");
    file.put(entry + kEntrySizeAt, static_cast<int32_t>(type.size));
  }
}

void store_table_sizes(LibraryFile& file, const Target& target) {
  for (const TableSize& table : kTables) {
    const size_t entry = file.entry(table.type_index);
    const ULONG size = table_size(target, table.tag);
    const ULONG with_own_dispatch = size + kInheritedEntries * (kProcess.pointer - target.pointer);
    const int32_t kind = file.at(entry + kEntryKindAt) & 0xF;
    const int16_t stored = file.at16(entry + kEntryTableSizeAt);
    const bool known =
        stored == static_cast<int16_t>(size) || stored == static_cast<int16_t>(with_own_dispatch);
    if ((kind != TKIND_DISPATCH && kind != TKIND_INTERFACE) || !known)
      throw std::runtime_error("an interface's entry is not where the format puts it");
    file.put16(entry + kEntryTableSizeAt, static_cast<int16_t>(size));
  }
}

// Every description size oleaut32 wrote must be the one this program counts for this process:
// otherwise its count for the target could be wrong too, and the file is not written.
void store_description_sizes(LibraryFile& file, const DescriptionSizes& sizes) {
  for (const auto& [type_index, records] : sizes) {
    const size_t entry = file.entry(type_index);
    const int32_t elements = file.at(entry + kEntryElementsAt);
    if (static_cast<size_t>((elements & 0xFFFF) + ((elements >> 16) & 0xFFFF)) != records.size())
      throw std::runtime_error("a type's entry is not where the format puts it");
    size_t at = static_cast<size_t>(file.at(entry + kEntryRecordsAt)) + 4;
    for (const DescriptionSize& size : records) {
      const size_t length = static_cast<size_t>(file.at(at) & 0xFFFF);
      if (length <= kRecordDescriptionSizeAt)
        throw std::runtime_error("a function or variable record is shorter than the format's");
      if (file.at16(at + kRecordDescriptionSizeAt) != static_cast<int16_t>(size.written))
        throw std::runtime_error("oleaut32 counts a description's size otherwise than expected");
      file.put16(at + kRecordDescriptionSizeAt, static_cast<int16_t>(size.wanted));
      at += length;
    }
  }
}

// Reads the saved library back as clients will.
void verify_sizes(const std::wstring& path, const Target& target) {
  ComPtr<ITypeLib> lib;
  check(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib), "LoadTypeLibEx");
  const auto attributes = [](ITypeInfo* info) {
    TYPEATTR* attr = nullptr;
    check(info->GetTypeAttr(&attr), "GetTypeAttr");
    const TYPEATTR copy = *attr;
    info->ReleaseTypeAttr(attr);
    return copy;
  };
  for (const StoredSize& type : stored_sizes(target)) {
    ComPtr<ITypeInfo> info;
    check(lib->GetTypeInfo(type.type_index, &info), "GetTypeInfo");
    const TYPEATTR attr = attributes(info.Get());
    if (attr.typekind != type.kind || attr.cbSizeInstance != type.size)
      throw std::runtime_error("a saved type does not report its size");
  }
  for (const TableSize& table : kTables) {
    // The interface side of the dual interface holds the table.
    ComPtr<ITypeInfo> dual, iface;
    HREFTYPE ref = 0;
    check(lib->GetTypeInfo(table.type_index, &dual), "GetTypeInfo");
    check(dual->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), "GetRefTypeOfImplType");
    check(dual->GetRefTypeInfo(ref, &iface), "GetRefTypeInfo");
    if (attributes(iface.Get()).cbSizeVft != table_size(target, table.tag))
      throw std::runtime_error("a saved interface does not report its table's size");
  }
}

std::wstring widen(const char* narrow) {
  const int length = MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0);
  std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide.data(), length);
  return wide;
}

}  // namespace

int main(int argc, char** argv) {
  const Target* target = nullptr;
  if (argc == 3 && std::strcmp(argv[1], "win32") == 0) target = &kWin32;
  if (argc == 3 && std::strcmp(argv[1], "win64") == 0) target = &kWin64;
  if (!target) {
    std::fprintf(stderr, "usage: %s win32|win64 OUTPUT.tlb\n", argv[0]);
    return 2;
  }
  // Written under another name first, so that a failed run leaves no file the build takes as
  // up to date.
  const std::wstring path = widen(argv[2]);
  const std::wstring part = path + L".part";
  try {
    Writer writer(part, *target);
    writer.write();
    {
      LibraryFile file(part);
      store_sizes(file, stored_sizes(*target));
      store_table_sizes(file, *target);
      store_description_sizes(file, writer.description_sizes());
      file.save();
    }
    verify_sizes(part, *target);
    if (!MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
      throw std::runtime_error("cannot rename the finished type library");
    return 0;
  } catch (const std::exception& failure) {
    DeleteFileW(part.c_str());
    std::fprintf(stderr, "%s: %s\n", argv[0], failure.what());
    return 1;
  }
}
