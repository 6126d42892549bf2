// Writes the type library Quilmar (embedded in Quilmar.dll as "TYPELIB" 1) through oleaut32's
// ICreateTypeLib2, under Wine at build time. widl cannot write this library exactly: it orders
// types by first use, rejects documentation strings on enumeration members and record fields and
// a text default on a VARIANT, stores a float default as an integer's bits, and stamps every
// build with a date. This program writes the same bytes on every run.
//
// Usage: quilmar_typelib_gen OUTPUT.tlb
#include <wrl/client.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
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

enum class FieldKind { Float, Variant, Balance };

struct Field {
  const char* name;
  FieldKind kind;
  ULONG offset;
};

const std::array<Field, 6> kFields = {{
    {"Parent", FieldKind::Float, offsetof(AVLtree, Parent)},
    {"Small", FieldKind::Float, offsetof(AVLtree, Small)},
    {"Big", FieldKind::Float, offsetof(AVLtree, Big)},
    {"Data", FieldKind::Variant, offsetof(AVLtree, Data)},
    {"Balance", FieldKind::Balance, offsetof(AVLtree, Balance)},
    {"SubData", FieldKind::Variant, offsetof(AVLtree, SubData)},
}};
constexpr ULONG kRecordSize = sizeof(AVLtree);
constexpr UINT kRecordIndex = 5;  // the last of version 1.0's six types
static_assert(kRecordSize == (sizeof(void*) == 8 ? 64 : 48));

// Each build describes the Windows it targets: the record's layout and the table's entry size
// differ between the two.
#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

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

class Writer {
 public:
  explicit Writer(const std::wstring& path) {
    check(CreateTypeLib2(kSysKind, path.c_str(), &lib_), "CreateTypeLib2");
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

    for (size_t i = 0; i < kEnums.size(); ++i) fill_enum(enums_[i].Get(), kEnums[i]);
    fill_record();
    fill_interfaces();
    fill_coclass();

    // A derived interface is laid out after its base.
    for (ICreateTypeInfo2* info : {iface_.Get(), coclass_.Get(), enums_[0].Get(), enums_[1].Get(),
                                   enums_[2].Get(), record_.Get(), iface2_.Get(), enums_[3].Get()})
      check(info->LayOut(), "LayOut");
    check(lib_->SaveAllChanges(), "SaveAllChanges");
  }

 private:
  void create(ComPtr<ICreateTypeInfo2>& info, const char* name, TYPEKIND kind, const GUID& guid) {
    ComPtr<ICreateTypeInfo> created;
    check(lib_->CreateTypeInfo(Wide(name).get(), kind, &created), "CreateTypeInfo");
    check(created.As(&info), "QueryInterface(ICreateTypeInfo2)");
    check(info->SetGuid(guid), "SetGuid");
    check(info->SetVersion(1, 0), "SetVersion");
    check(info->SetAlignment(4), "SetAlignment");
  }

  void fill_enum(ICreateTypeInfo2* info, const EnumType& type) {
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
      add_var(info, index++, desc, constant.name);
    }
  }

  void fill_record() {
    const HREFTYPE balance = reference(record_.Get(), enums_[kBalanceIndex].Get());
    UINT index = 0;
    for (const Field& field : kFields) {
      VARDESC desc{};
      desc.memid = kFirstVarId + static_cast<MEMBERID>(index);
      desc.oInst = field.offset;
      desc.varkind = VAR_PERINSTANCE;
      switch (field.kind) {
        case FieldKind::Float: desc.elemdescVar.tdesc.vt = VT_R4; break;
        case FieldKind::Variant: desc.elemdescVar.tdesc.vt = VT_VARIANT; break;
        case FieldKind::Balance:
          desc.elemdescVar.tdesc.vt = VT_USERDEFINED;
          desc.elemdescVar.tdesc.hreftype = balance;
          break;
      }
      add_var(record_.Get(), index++, desc, field.name);
    }
  }

  // Enumeration members and record fields carry their own name as documentation.
  static void add_var(ICreateTypeInfo2* info, UINT index, VARDESC& desc, const char* name) {
    check(info->AddVarDesc(index, &desc), "AddVarDesc");
    check(info->SetVarName(index, Wide(name).get()), "SetVarName");
    check(info->SetVarDocString(index, Wide(name).get()), "SetVarDocString");
  }

  void fill_interfaces();
  void fill_interface(ICreateTypeInfo2* iface, Interface tag, HREFTYPE base);
  static void add_function(ICreateTypeInfo2* iface, UINT index, UINT vtable_entry,
                           const Member& member, TypeDescs& types);
  // The newest interface is the default; the older one stays listed for tools that look for it.
  void fill_coclass() {
    check(coclass_->AddImplType(0, reference(coclass_.Get(), iface2_.Get())), "AddImplType");
    check(coclass_->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "SetImplTypeFlags");
    check(coclass_->AddImplType(1, reference(coclass_.Get(), iface_.Get())), "AddImplType");
    check(coclass_->SetTypeFlags(TYPEFLAG_FCANCREATE), "SetTypeFlags");
  }

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
  fill_interface(iface_.Get(), Interface::clsAVLt, reference(iface_.Get(), dispatch.Get()));
  fill_interface(iface2_.Get(), Interface::clsAVLt2, reference(iface2_.Get(), iface_.Get()));
}

void Writer::fill_interface(ICreateTypeInfo2* iface, Interface tag, HREFTYPE base) {
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
      add_function(iface, index++, kInheritedEntries + row, kMembers[row], types);
}

void Writer::add_function(ICreateTypeInfo2* iface, UINT index, UINT vtable_entry,
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
  desc.oVft = static_cast<SHORT>(vtable_entry * sizeof(void*));
  desc.elemdescFunc.tdesc.vt = VT_HRESULT;
  if (member.hidden) desc.wFuncFlags = FUNCFLAG_FRESTRICTED | FUNCFLAG_FHIDDEN;
  check(iface->AddFuncDesc(index, &desc), "AddFuncDesc");

  std::vector<LPOLESTR> name_ptrs;
  for (Wide& name : names) name_ptrs.push_back(name.get());
  check(iface->SetFuncAndParamNames(index, name_ptrs.data(), static_cast<UINT>(name_ptrs.size())),
        "SetFuncAndParamNames");
}

// ---- stored sizes ----

// Wine's layout step stores a record's size as 0 and, in a library for 64-bit Windows, an
// enumeration's as that of a pointer, although an enumeration travels as a 32-bit integer; no
// ICreateTypeInfo call sets either. The size lives in the type's entry of the file's type table;
// these are the places of the compiled type-library format that lead to it.
constexpr int32_t kMagic = 0x5446534D;  // "MSFT"
constexpr size_t kFlagsAt = 0x14;
constexpr int32_t kHasHelpLibrary = 0x100;  // an extra 32-bit field follows the header
constexpr size_t kTypeCountAt = 0x20;
constexpr size_t kHeaderSize = 0x54;
constexpr size_t kEntryKindAt = 0x00;
constexpr size_t kEntryElementsAt = 0x18;  // variables in the high half, functions in the low
constexpr size_t kEntrySizeAt = 0x50;

// A type whose size the library must report, and what identifies its entry.
struct StoredSize {
  UINT type_index;
  TYPEKIND kind;
  size_t vars;
  ULONG size;
};

std::vector<StoredSize> stored_sizes() {
  std::vector<StoredSize> sizes;
  for (size_t i = 0; i < kEnums.size(); ++i)
    sizes.push_back({kEnumTypeIndex[i], TKIND_ENUM, kEnums[i].members.size(), 4});
  sizes.push_back({kRecordIndex, TKIND_RECORD, kFields.size(), kRecordSize});
  return sizes;
}

class FileBytes {
 public:
  explicit FileBytes(const std::wstring& path) : path_(path) {
    std::ifstream in(path_.c_str(), std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) throw std::runtime_error("cannot read the type library");
  }

  int32_t at(size_t offset) const {
    if (offset > bytes_.size() || bytes_.size() - offset < 4)
      throw std::runtime_error("the type library is shorter than its own header says");
    int32_t value;
    std::memcpy(&value, bytes_.data() + offset, 4);
    return value;
  }

  void put(size_t offset, int32_t value) {
    at(offset);  // bounds
    std::memcpy(bytes_.data() + offset, &value, 4);
  }

  void save() const {
    std::ofstream out(path_.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
    if (!out) throw std::runtime_error("cannot write the type library");
  }

 private:
  std::wstring path_;
  std::vector<char> bytes_;
};

void store_sizes(const std::wstring& path, const std::vector<StoredSize>& sizes) {
  FileBytes file(path);
  if (file.at(0) != kMagic) throw std::runtime_error("not a compiled type library");
  const size_t offsets = kHeaderSize + ((file.at(kFlagsAt) & kHasHelpLibrary) ? 4 : 0);
  const int32_t count = file.at(kTypeCountAt);
  const size_t segments = offsets + 4 * static_cast<size_t>(count < 0 ? 0 : count);
  for (const StoredSize& type : sizes) {
    if (count < 0 || type.type_index >= static_cast<UINT>(count))
      throw std::runtime_error("the type library lacks a type");
    const size_t entry = static_cast<size_t>(file.at(segments)) +
                         static_cast<size_t>(file.at(offsets + 4 * type.type_index));
    const bool is_the_type =
        (file.at(entry + kEntryKindAt) & 0xF) == type.kind &&
        (file.at(entry + kEntryElementsAt) >> 16) == static_cast<int32_t>(type.vars);
    const int32_t stored = file.at(entry + kEntrySizeAt);
    const bool known = stored == 0 || stored == static_cast<int32_t>(sizeof(void*)) ||
                       stored == static_cast<int32_t>(type.size);
    if (!is_the_type || !known)
      throw std::runtime_error("a type's entry is not where the format puts it");
    file.put(entry + kEntrySizeAt, static_cast<int32_t>(type.size));
  }
  file.save();
}

// Reads the saved library back as clients will.
void verify_sizes(const std::wstring& path, const std::vector<StoredSize>& sizes) {
  ComPtr<ITypeLib> lib;
  check(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib), "LoadTypeLibEx");
  for (const StoredSize& type : sizes) {
    ComPtr<ITypeInfo> info;
    check(lib->GetTypeInfo(type.type_index, &info), "GetTypeInfo");
    TYPEATTR* attr = nullptr;
    check(info->GetTypeAttr(&attr), "GetTypeAttr");
    const bool right = attr->typekind == type.kind && attr->cbSizeInstance == type.size;
    info->ReleaseTypeAttr(attr);
    if (!right) throw std::runtime_error("a saved type does not report its size");
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
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.tlb\n", argv[0]);
    return 2;
  }
  // Written under another name first, so that a failed run leaves no file the build takes as
  // up to date.
  const std::wstring path = widen(argv[1]);
  const std::wstring part = path + L".part";
  try {
    Writer(part).write();
    store_sizes(part, stored_sizes());
    verify_sizes(part, stored_sizes());
    if (!MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
      throw std::runtime_error("cannot rename the finished type library");
    return 0;
  } catch (const std::exception& failure) {
    DeleteFileW(part.c_str());
    std::fprintf(stderr, "%s: %s\n", argv[0], failure.what());
    return 1;
  }
}
