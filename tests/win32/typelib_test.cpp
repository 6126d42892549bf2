// Reads the built Quilmar.dll as its clients' tools do: the embedded type library through oleaut32,
// the "_IID_CLSAVLT" resource and the version block through the resource and version APIs. Then
// holds the library to the member table it was written from, to quilmar.h (what C++ clients compile
// against) and to widl's reading of Quilmar.idl.
//
// Usage: quilmar_typelib_test [Quilmar.dll [Quilmar_widl.tlb [BITS]]]  (the DLL defaults to the one
// beside this program; without the widl library its comparison is skipped). BITS, 32 or 64, is
// the Windows the file is for, this program's by default: a 64-bit process reads the 32-bit file
// as data, on machines that run no 32-bit programs too.
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "quilmar/quilmar.h"
#include "server/members.h"
#include "server/registry_table.h"
#include "server/version.h"

// After windows.h, which quilmar.h brings in.
#include <winver.h>

using Microsoft::WRL::ComPtr;
using quilmar::members::Default;
using quilmar::members::Interface;
using quilmar::members::Kind;
using quilmar::members::kMembers;
using quilmar::members::Member;
using quilmar::members::Pass;

namespace {

// An interface's rows: they follow each other in the table, its base's before them.
struct Rows {
  UINT first, count;
};
constexpr Rows rows_of(Interface tag) {
  Rows rows{0, 0};
  while (rows.first < std::size(kMembers) && kMembers[rows.first].iface != tag) ++rows.first;
  while (rows.first + rows.count < std::size(kMembers) &&
         kMembers[rows.first + rows.count].iface == tag)
    ++rows.count;
  return rows;
}
constexpr UINT kOldMembers = rows_of(Interface::clsAVLt).count;

std::wstring g_dll_path;
std::wstring g_widl_path;

// ---- small readers ----

std::string narrow(const wchar_t* text) {
  std::string out;
  for (; text && *text; ++text) out += *text < 128 ? static_cast<char>(*text) : '?';
  return out;
}

std::string take(BSTR text) {
  std::string out = narrow(text);
  SysFreeString(text);
  return out;
}

std::string guid_text(const GUID& id) {
  wchar_t text[40];
  StringFromGUID2(id, text, 40);
  return narrow(text);
}

struct Doc {
  std::string name;
  bool has_doc;
  std::string doc;
  DWORD help_context;
  bool has_help_file;
};

Doc documentation(ITypeInfo* info, MEMBERID id) {
  BSTR name = nullptr, doc = nullptr, help = nullptr;
  DWORD context = 0;
  EXPECT_EQ(info->GetDocumentation(id, &name, &doc, &context, &help), S_OK);
  Doc out{take(name), doc != nullptr, narrow(doc), context, help != nullptr};
  SysFreeString(doc);
  SysFreeString(help);
  return out;
}

// A type as text: "float", "VARIANT*", "MODEVAL*".
std::string describe(ITypeInfo* owner, const TYPEDESC& type) {
  switch (type.vt) {
    case VT_PTR: return describe(owner, *type.lptdesc) + "*";
    case VT_USERDEFINED: {
      ComPtr<ITypeInfo> ref;
      if (owner->GetRefTypeInfo(type.hreftype, &ref) != S_OK) return "?";
      return documentation(ref.Get(), MEMBERID_NIL).name;
    }
    case VT_VARIANT: return "VARIANT";
    case VT_R4: return "float";
    case VT_BOOL: return "VARIANT_BOOL";
    case VT_I4: return "long";
    case VT_INT: return "int";
    case VT_BSTR: return "BSTR";
    case VT_UNKNOWN: return "IUnknown";
    case VT_HRESULT: return "HRESULT";
    default: return "vt" + std::to_string(type.vt);
  }
}

// Owned descriptions of one type.
class Type {
 public:
  explicit Type(ComPtr<ITypeInfo> info) : info_(std::move(info)) {
    EXPECT_EQ(info_->GetTypeAttr(&attr_), S_OK);
  }
  Type(const Type&) = delete;
  Type& operator=(const Type&) = delete;
  ~Type() {
    if (attr_) info_->ReleaseTypeAttr(attr_);
  }
  ITypeInfo* info() const { return info_.Get(); }
  const TYPEATTR& attr() const { return *attr_; }
  std::string name() const { return documentation(info(), MEMBERID_NIL).name; }

  // The type the implemented type `index` refers to (-1: the interface side of a dual).
  ComPtr<ITypeInfo> implemented(UINT index) const {
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> target;
    EXPECT_EQ(info_->GetRefTypeOfImplType(index, &ref), S_OK);
    EXPECT_EQ(info_->GetRefTypeInfo(ref, &target), S_OK);
    return target;
  }

  std::vector<std::string> names(MEMBERID id, UINT wanted) const {
    std::vector<BSTR> raw(wanted);
    UINT count = 0;
    EXPECT_EQ(info_->GetNames(id, raw.data(), wanted, &count), S_OK);
    std::vector<std::string> out;
    for (UINT i = 0; i < count; ++i) out.push_back(take(raw[i]));
    return out;
  }

 private:
  ComPtr<ITypeInfo> info_;
  TYPEATTR* attr_ = nullptr;
};

class Func {
 public:
  Func(ITypeInfo* info, UINT index) : info_(info) {
    EXPECT_EQ(info_->GetFuncDesc(index, &desc_), S_OK);
  }
  Func(const Func&) = delete;
  Func& operator=(const Func&) = delete;
  ~Func() {
    if (desc_) info_->ReleaseFuncDesc(desc_);
  }
  const FUNCDESC& operator*() const { return *desc_; }
  const FUNCDESC* operator->() const { return desc_; }

 private:
  ITypeInfo* info_;
  FUNCDESC* desc_ = nullptr;
};

class Var {
 public:
  Var(ITypeInfo* info, UINT index) : info_(info) {
    EXPECT_EQ(info_->GetVarDesc(index, &desc_), S_OK);
  }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  ~Var() {
    if (desc_) info_->ReleaseVarDesc(desc_);
  }
  const VARDESC* operator->() const { return desc_; }
  const VARDESC* get() const { return desc_; }

 private:
  ITypeInfo* info_;
  VARDESC* desc_ = nullptr;
};

ComPtr<ITypeLib> load(const std::wstring& path) {
  ComPtr<ITypeLib> lib;
  const HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib);
  EXPECT_EQ(hr, S_OK) << "LoadTypeLibEx " << narrow(path.c_str());
  return lib;
}

ComPtr<ITypeInfo> type_at(ITypeLib* lib, UINT index) {
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(lib->GetTypeInfo(index, &info), S_OK);
  return info;
}

// The interface side of a dual interface, whose table vtable clients call.
ComPtr<ITypeInfo> interface_side(ComPtr<ITypeInfo> dual) {
  return Type(std::move(dual)).implemented(static_cast<UINT>(-1));
}

ComPtr<ITypeInfo> interface_side(ITypeLib* lib) {
  return interface_side(type_at(lib, 0));
}

// ---- what the library must say ----

// What differs between the library for 32-bit Windows and the one for 64-bit Windows: a VARIANT is
// 16 or 24 bytes, a table entry 4 or 8; the record keeps its 4-byte packing.
struct Target {
  SYSKIND syskind;
  ULONG pointer, record_size;
  LONG balance_at, sub_data_at;
};
constexpr Target kWin32{SYS_WIN32, 4, 48, 28, 32};
constexpr Target kWin64{SYS_WIN64, 8, 64, 36, 40};
#ifdef _WIN64
constexpr const Target* kThisProcess = &kWin64;
#else
constexpr const Target* kThisProcess = &kWin32;
#endif
const Target* g_target = kThisProcess;  // the file's, from the command line

// oleaut32 hands out a library for the other bitness in the reading process's terms: a function's
// offset in the table counts this process's pointers, and an interface or class reference is one
// of them. What is stored in the file for the target shows in the table's size, in the target's
// pointers, and the record's layout.
constexpr ULONG kReadersPointer = sizeof(void*);

constexpr WORD kDualFlags = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                            TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;

struct ExpectedType {
  const char* name;
  TYPEKIND kind;  // as loaded: a dual interface shows its dispatch side
  std::string guid;
  WORD flags;
  WORD funcs, vars, impls;
};

constexpr WORD kFirstOwnEntry = 7;  // after IUnknown's three and IDispatch's four
// Table entries: _clsAVLt's own follow IDispatch's; _clsAVLt2's follow _clsAVLt's.
constexpr WORD kEntries = kFirstOwnEntry + kOldMembers;
constexpr WORD kEntries2 = kFirstOwnEntry + std::size(kMembers);

// The six types of version 1.0 in their places, then what 1.1 added.
const ExpectedType kTypes[] = {
    {"_clsAVLt", TKIND_DISPATCH, "{6B639371-3311-4051-9729-7342867E85BE}", kDualFlags, kEntries, 0,
     1},
    {"clsAVLt", TKIND_COCLASS, "{1B489C75-85E8-4326-B849-E3ECEA4207BB}", TYPEFLAG_FCANCREATE, 0, 0,
     2},
    {"MODEVAL", TKIND_ENUM, "{6228F2F2-63FA-4EAA-9F37-88A877AF6BC6}", 0, 0, 7, 0},
    {"EGN_MOD", TKIND_ENUM, "{B388A477-47CC-4067-BB8C-34FD88B53EA5}", 0, 0, 3, 0},
    {"BALANCESTS", TKIND_ENUM, "{FF7EE61C-0015-4B33-9D76-32792618AA3A}", 0, 0, 3, 0},
    {"AVLtree", TKIND_RECORD, "{74A46182-E7B4-4438-9A82-F89D6590E6BF}", 0, 0, 6, 0},
    {"_clsAVLt2", TKIND_DISPATCH, "{2D32EEC9-3BB4-4F84-9D66-28170A901383}", kDualFlags, kEntries2,
     0, 1},
    {"SEEKMODE", TKIND_ENUM, "{AFF5411C-C6DB-493A-9888-5B8902C2D146}", 0, 0, 6, 0},
};

// An enumeration travels as a 32-bit integer; an interface or class is a reference.
ULONG size_of(TYPEKIND kind) {
  switch (kind) {
    case TKIND_ENUM: return 4;
    case TKIND_RECORD: return g_target->record_size;
    default: return kReadersPointer;
  }
}

// Every type is written aligned to 4; a reference in a library for the other bitness is read
// aligned as the reader's own pointers.
WORD alignment_of(TYPEKIND kind) {
  const bool reference = kind != TKIND_ENUM && kind != TKIND_RECORD;
  return reference && g_target != kThisProcess ? kReadersPointer : 4;
}

// The two dual interfaces: where each stands, what it derives from, and its rows.
struct ExpectedInterface {
  UINT type_index;
  Interface tag;
  const char* base;
  WORD entries;  // in its table, inherited ones included
};
const ExpectedInterface kInterfaces[] = {
    {0, Interface::clsAVLt, "IDispatch", kEntries},
    {6, Interface::clsAVLt2, "_clsAVLt", kEntries2},
};
const std::string kLibraryGuid = "{24CECA7A-C296-403C-8BAE-D3A4E486F939}";

constexpr USHORT kResult = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;

// A parameter's flags: in and out by reference, in by value; optional with or without a default.
USHORT flags_of(const Member& m, UINT p) {
  USHORT flags = m.pass == Pass::by_value ? PARAMFLAG_FIN : PARAMFLAG_FIN | PARAMFLAG_FOUT;
  const Default fallback = m.params[p].fallback;
  if (fallback != Default::none) flags |= PARAMFLAG_FOPT;
  if (fallback != Default::none && fallback != Default::missing) flags |= PARAMFLAG_FHASDEFAULT;
  return flags;
}

// A value's type as the library writes it.
std::string type_of(Kind kind) {
  switch (kind) {
    case Kind::none: break;
    case Kind::variant: return "VARIANT";
    case Kind::float32: return "float";
    case Kind::boolean: return "VARIANT_BOOL";
    case Kind::long32: return "long";
    case Kind::text: return "BSTR";
    case Kind::modeval: return "MODEVAL";
    case Kind::egn_mod: return "EGN_MOD";
    case Kind::seekmode: return "SEEKMODE";
    case Kind::unknown: return "IUnknown";  // VT_UNKNOWN: the pointer itself
  }
  return "?";
}

std::string param_type(const Member& m, UINT p) {
  return type_of(m.params[p].kind) + (m.pass == Pass::by_value ? "" : "*");
}

std::string result_type(const Member& m) {
  return type_of(m.result) + "*";
}

// The member's name, then its named parameters'.
std::vector<std::string> names_of(const Member& m) {
  std::vector<std::string> names{m.name};
  for (UINT p = 0; p < m.count(); ++p)
    if (m.params[p].name) names.push_back(m.params[p].name);
  return names;
}

struct ExpectedVar {
  const char* name;
  LONG value;  // an enumeration's value, a record field's offset
  const char* type;
};

struct ExpectedVars {
  UINT type_index;
  VARKIND kind;
  std::vector<ExpectedVar> vars;
};

std::vector<ExpectedVars> expected_vars() {
  return {
      {2,
       VAR_CONST,
       {{"WRITE_DATA", 0, "long"},
        {"START_READ", 1, "long"},
        {"READ_NEXT", 2, "long"},
        {"READ_BACK", 3, "long"},
        {"READ_MID", 4, "long"},
        {"END_READ", 5, "long"},
        {"FAULT", 6, "long"}}},
      {3,
       VAR_CONST,
       {{"NOT_EGNORE", 0, "long"}, {"USE_FIRST_DATA", 1, "long"}, {"USE_LAST_DATA", 2, "long"}}},
      {4, VAR_CONST, {{"BALANCED", 0, "long"}, {"SMALLV", 1, "long"}, {"BIGV", 2, "long"}}},
      {7,
       VAR_CONST,
       {{"SEEK_FIRST_EQ", 1, "long"},
        {"SEEK_LAST_EQ", 2, "long"},
        {"SEEK_AFTER_EQ", 4, "long"},
        {"SEEK_AFTER", 8, "long"},
        {"SEEK_BEFORE_EQ", 16, "long"},
        {"SEEK_BEFORE", 32, "long"}}},
      {5,
       VAR_PERINSTANCE,
       {{"Parent", 0, "float"},
        {"Small", 4, "float"},
        {"Big", 8, "float"},
        {"Data", 12, "VARIANT"},
        {"Balance", g_target->balance_at, "BALANCESTS"},
        {"SubData", g_target->sub_data_at, "VARIANT"}}},
  };
}
constexpr MEMBERID kFirstVarId = 0x40000000;

LONG constant_value(const VARDESC* var) {
  VARIANT value;
  VariantInit(&value);
  EXPECT_EQ(VariantChangeType(&value, var->lpvarValue, 0, VT_I4), S_OK);
  return value.lVal;
}

// ---- the type library ----

class TypeLibrary : public testing::Test {
 protected:
  void SetUp() override {
    lib_ = load(g_dll_path);
    ASSERT_TRUE(lib_);
  }
  ComPtr<ITypeLib> lib_;
};

TEST_F(TypeLibrary, LibraryAttributes) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib_->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(guid_text(attr->guid), kLibraryGuid);
  EXPECT_EQ(attr->wMajorVerNum, quilmar::registry::kLibVersion.major);
  EXPECT_EQ(attr->wMinorVerNum, quilmar::registry::kLibVersion.minor);
  EXPECT_EQ(attr->lcid, 0u);
  EXPECT_EQ(attr->syskind, g_target->syskind);
  // oleaut32 adds "has a disk image" to a library it loaded from a file.
  EXPECT_EQ(attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, 0);
  lib_->ReleaseTLibAttr(attr);

  BSTR name = nullptr, doc = nullptr, help = nullptr;
  DWORD context = 1;
  ASSERT_EQ(lib_->GetDocumentation(-1, &name, &doc, &context, &help), S_OK);
  EXPECT_EQ(take(name), "Quilmar");
  EXPECT_EQ(doc, nullptr);
  EXPECT_EQ(help, nullptr);
  EXPECT_EQ(context, 0u);
  EXPECT_EQ(lib_->GetTypeInfoCount(), std::size(kTypes));
}

TEST_F(TypeLibrary, TypesInOrder) {
  for (UINT i = 0; i < std::size(kTypes); ++i) {
    const ExpectedType& want = kTypes[i];
    SCOPED_TRACE(want.name);
    Type type(type_at(lib_.Get(), i));
    const TYPEATTR& attr = type.attr();
    const Doc doc = documentation(type.info(), MEMBERID_NIL);
    EXPECT_EQ(doc.name, want.name);
    EXPECT_FALSE(doc.has_doc);
    EXPECT_EQ(doc.help_context, 0u);
    EXPECT_EQ(attr.typekind, want.kind);
    EXPECT_EQ(guid_text(attr.guid), want.guid);
    EXPECT_EQ(attr.wMajorVerNum, 1);
    EXPECT_EQ(attr.wMinorVerNum, 0);
    EXPECT_EQ(attr.cbAlignment, alignment_of(want.kind));
    EXPECT_EQ(attr.cbSizeInstance, size_of(want.kind));
    EXPECT_EQ(attr.cFuncs, want.funcs);
    EXPECT_EQ(attr.cVars, want.vars);
    EXPECT_EQ(attr.cImplTypes, want.impls);
    if (want.kind == TKIND_DISPATCH) {
      // The dispatch side may leave out "automation-compatible"; the interface side has all.
      const WORD required = want.flags & ~TYPEFLAG_FOLEAUTOMATION;
      EXPECT_EQ(attr.wTypeFlags & required, required);
      EXPECT_EQ(attr.wTypeFlags & ~want.flags, 0);
    } else {
      EXPECT_EQ(attr.wTypeFlags, want.flags);
    }
  }
}

TEST_F(TypeLibrary, FirstInterfaceDerivesFromStandardIDispatch) {
  Type base(Type(interface_side(lib_.Get())).implemented(0));
  EXPECT_EQ(guid_text(base.attr().guid), guid_text(IID_IDispatch));
  ComPtr<ITypeLib> home;
  UINT index = 0;
  ASSERT_EQ(base.info()->GetContainingTypeLib(&home, &index), S_OK);
  TLIBATTR* home_attr = nullptr;
  ASSERT_EQ(home->GetLibAttr(&home_attr), S_OK);
  EXPECT_EQ(guid_text(home_attr->guid), "{00020430-0000-0000-C000-000000000046}");  // stdole
  EXPECT_EQ(home_attr->wMajorVerNum, 2);
  EXPECT_EQ(home_attr->wMinorVerNum, 0);
  home->ReleaseTLibAttr(home_attr);
}

TEST_F(TypeLibrary, DualInterfacesAndTheirBases) {
  for (const ExpectedInterface& want : kInterfaces) {
    Type dispatch_side(type_at(lib_.Get(), want.type_index));
    SCOPED_TRACE(dispatch_side.name());
    Type iface(interface_side(type_at(lib_.Get(), want.type_index)));
    const TYPEATTR& attr = iface.attr();
    EXPECT_EQ(attr.typekind, TKIND_INTERFACE);
    EXPECT_EQ(guid_text(attr.guid), guid_text(dispatch_side.attr().guid));
    EXPECT_EQ(attr.wTypeFlags, kDualFlags);
    EXPECT_EQ(attr.cbSizeVft, want.entries * g_target->pointer);
    EXPECT_EQ(attr.cFuncs, rows_of(want.tag).count);
    EXPECT_EQ(attr.cbAlignment, alignment_of(TKIND_INTERFACE));
    ASSERT_EQ(attr.cImplTypes, 1);
    EXPECT_EQ(Type(iface.implemented(0)).name(), want.base);
  }
}

TEST_F(TypeLibrary, ClassImplementsTheNewInterfaceByDefaultAndStillTheOld) {
  Type coclass(type_at(lib_.Get(), 1));
  const std::pair<const char*, INT> want[] = {{"_clsAVLt2", IMPLTYPEFLAG_FDEFAULT},
                                              {"_clsAVLt", 0}};
  ASSERT_EQ(coclass.attr().cImplTypes, std::size(want));
  for (UINT i = 0; i < std::size(want); ++i) {
    INT flags = -1;
    ASSERT_EQ(coclass.info()->GetImplTypeFlags(i, &flags), S_OK);
    EXPECT_EQ(flags, want[i].second) << want[i].first;  // never an event source
    EXPECT_EQ(Type(coclass.implemented(i)).name(), want[i].first);
  }
}

TEST_F(TypeLibrary, InterfaceMembers) {
  for (const ExpectedInterface& want_iface : kInterfaces) {
    const Rows rows = rows_of(want_iface.tag);
    Type iface(interface_side(type_at(lib_.Get(), want_iface.type_index)));
    SCOPED_TRACE(iface.name());
    ASSERT_EQ(iface.attr().cFuncs, rows.count);
    for (UINT i = 0; i < rows.count; ++i) {
      const UINT row = rows.first + i;
      const Member& want = kMembers[row];
      SCOPED_TRACE(testing::Message() << want.name << " #" << row);
      Func func(iface.info(), i);
      EXPECT_EQ(func->memid, want.id);
      EXPECT_EQ(func->invkind, want.invoke);
      EXPECT_EQ(func->funckind, FUNC_PUREVIRTUAL);
      EXPECT_EQ(func->callconv, CC_STDCALL);
      // Rows are in table order: a derived interface's entries continue its base's.
      EXPECT_EQ(func->oVft,
                (kFirstOwnEntry + static_cast<SHORT>(row)) * static_cast<SHORT>(kReadersPointer));
      EXPECT_EQ(func->wFuncFlags, want.hidden ? FUNCFLAG_FRESTRICTED | FUNCFLAG_FHIDDEN : 0);
      EXPECT_EQ(func->cScodes, 0);
      EXPECT_EQ(describe(iface.info(), func->elemdescFunc.tdesc), "HRESULT");
      const Doc doc = documentation(iface.info(), func->memid);
      EXPECT_FALSE(doc.has_doc);
      EXPECT_EQ(doc.help_context, 0u);

      const UINT results = want.result == Kind::none ? 0 : 1;
      ASSERT_EQ(static_cast<UINT>(func->cParams), want.count() + results);
      for (UINT p = 0; p < want.count(); ++p) {
        SCOPED_TRACE(testing::Message() << "parameter " << p);
        const ELEMDESC& param = func->lprgelemdescParam[p];
        EXPECT_EQ(describe(iface.info(), param.tdesc), param_type(want, p));
        EXPECT_EQ(param.paramdesc.wParamFlags, flags_of(want, p));
      }
      if (results) {
        const ELEMDESC& result = func->lprgelemdescParam[want.count()];
        EXPECT_EQ(describe(iface.info(), result.tdesc), result_type(want));
        EXPECT_EQ(result.paramdesc.wParamFlags, kResult);
      }
      // Names are looked up by member id; the halves of a property name only the property.
      EXPECT_EQ(iface.names(want.id, 8), names_of(want));
    }
  }
}

TEST_F(TypeLibrary, OptionalParametersCarryTheirDefaults) {
  for (const ExpectedInterface& want_iface : kInterfaces) {
    const Rows rows = rows_of(want_iface.tag);
    Type iface(interface_side(type_at(lib_.Get(), want_iface.type_index)));
    for (UINT i = 0; i < rows.count; ++i) {
      const Member& m = kMembers[rows.first + i];
      for (UINT p = 0; p < m.count(); ++p) {
        const Default want = m.params[p].fallback;
        if (want == Default::none || want == Default::missing) continue;
        SCOPED_TRACE(m.params[p].name);
        Func func(iface.info(), i);
        const PARAMDESC& param = func->lprgelemdescParam[p].paramdesc;
        ASSERT_NE(param.pparamdescex, nullptr);
        const VARIANT& fallback = param.pparamdescex->varDefaultValue;
        switch (want) {
          case Default::alloc_size:
            EXPECT_EQ(fallback.vt, VT_R4);
            EXPECT_EQ(fallback.fltVal, 100000.0f);
            break;
          case Default::empty_text:
            EXPECT_EQ(fallback.vt, VT_BSTR);
            ASSERT_NE(fallback.bstrVal, nullptr);  // the text "", not a null string
            EXPECT_EQ(SysStringLen(fallback.bstrVal), 0u);
            break;
          case Default::seek_after_eq:
            EXPECT_EQ(fallback.vt, VT_I4);
            EXPECT_EQ(fallback.lVal, SEEK_AFTER_EQ);
            break;
          case Default::none:
          case Default::missing: break;
        }
      }
    }
  }
}

TEST_F(TypeLibrary, DispatchSideListsTheSameMembers) {
  for (const ExpectedInterface& want_iface : kInterfaces) {
    Type dispatch_side(type_at(lib_.Get(), want_iface.type_index));
    SCOPED_TRACE(dispatch_side.name());
    // Every member of the interface and of its bases, in table order.
    const Rows rows = rows_of(want_iface.tag);
    for (UINT i = 0; i < rows.first + rows.count; ++i) {
      SCOPED_TRACE(kMembers[i].name);
      Func func(dispatch_side.info(), kFirstOwnEntry + i);
      EXPECT_EQ(func->memid, kMembers[i].id);
      EXPECT_EQ(func->invkind, kMembers[i].invoke);
      EXPECT_EQ(func->funckind, FUNC_DISPATCH);
    }
  }
}

TEST_F(TypeLibrary, EnumerationMembersAndRecordFields) {
  for (const ExpectedVars& want : expected_vars()) {
    Type type(type_at(lib_.Get(), want.type_index));
    SCOPED_TRACE(type.name());
    ASSERT_EQ(type.attr().cVars, want.vars.size());
    for (UINT i = 0; i < want.vars.size(); ++i) {
      const ExpectedVar& field = want.vars[i];
      SCOPED_TRACE(field.name);
      Var var(type.info(), i);
      EXPECT_EQ(var->memid, kFirstVarId + static_cast<MEMBERID>(i));
      EXPECT_EQ(var->varkind, want.kind);
      EXPECT_EQ(var->wVarFlags, 0);
      EXPECT_EQ(describe(type.info(), var->elemdescVar.tdesc), field.type);
      if (want.kind == VAR_CONST)
        EXPECT_EQ(constant_value(var.get()), field.value);
      else
        EXPECT_EQ(var->oInst, static_cast<ULONG>(field.value));
      const Doc doc = documentation(type.info(), var->memid);
      EXPECT_EQ(doc.name, field.name);
      EXPECT_EQ(doc.doc, field.name);
    }
  }
}

// ---- quilmar.h against the library ----

// In the Itanium C++ ABI that mingw's g++ follows, a pointer to a virtual member function holds
// 1 + the function's byte offset in the vtable.
template <class Method>
ptrdiff_t vtable_offset(Method method) {
  struct {
    std::uintptr_t ptr;
    std::ptrdiff_t adjust;
  } raw;
  static_assert(sizeof raw == sizeof method);
  std::memcpy(&raw, &method, sizeof method);
  return static_cast<ptrdiff_t>(raw.ptr) - 1;
}

template <class C, class... Args>
constexpr SHORT arity(HRESULT (STDMETHODCALLTYPE C::*)(Args...)) {
  return sizeof...(Args);
}

struct HeaderMember {
  ptrdiff_t offset;
  SHORT params;
};

#define HEADER_MEMBER(iface, name)                   \
  HeaderMember {                                     \
    vtable_offset(&iface::name), arity(&iface::name) \
  }

// A method after all of _clsAVLt2's: its place is the number of entries the header declares.
struct AfterTheHeader : _clsAVLt2 {
  virtual HRESULT STDMETHODCALLTYPE next() = 0;
};

// Every row of the member table, in its order, as quilmar.h declares it.
const HeaderMember kHeader[] = {
    HEADER_MEMBER(_clsAVLt, Read),           HEADER_MEMBER(_clsAVLt, Alloc),
    HEADER_MEMBER(_clsAVLt, Indata),         HEADER_MEMBER(_clsAVLt, ReadSub),
    HEADER_MEMBER(_clsAVLt, put_Egnore),     HEADER_MEMBER(_clsAVLt, get_Egnore),
    HEADER_MEMBER(_clsAVLt, get_MemorySize), HEADER_MEMBER(_clsAVLt, get_DataNumber),
    HEADER_MEMBER(_clsAVLt, get_GetVersion), HEADER_MEMBER(_clsAVLt2, get_Count),
    HEADER_MEMBER(_clsAVLt2, get_Item),      HEADER_MEMBER(_clsAVLt2, put_Item),
    HEADER_MEMBER(_clsAVLt2, putref_Item),   HEADER_MEMBER(_clsAVLt2, Exists),
    HEADER_MEMBER(_clsAVLt2, Find),          HEADER_MEMBER(_clsAVLt2, Seek),
    HEADER_MEMBER(_clsAVLt2, Keys),          HEADER_MEMBER(_clsAVLt2, Items),
    HEADER_MEMBER(_clsAVLt2, get__NewEnum),  HEADER_MEMBER(_clsAVLt2, Remove),
    HEADER_MEMBER(_clsAVLt2, RemoveCurrent), HEADER_MEMBER(_clsAVLt2, RemoveAll),
};
static_assert(std::size(kHeader) == std::size(kMembers),
              "a row of the member table without its line here, or a line without its row");

TEST_F(TypeLibrary, HeaderInterfacesMatchTheTable) {
  const GUID* iids[] = {&IID__clsAVLt, &IID__clsAVLt2};
  UINT row = 0;
  for (UINT n = 0; n < std::size(kInterfaces); ++n) {
    Type iface(interface_side(type_at(lib_.Get(), kInterfaces[n].type_index)));
    SCOPED_TRACE(iface.name());
    EXPECT_EQ(guid_text(iface.attr().guid), guid_text(*iids[n]));
    ASSERT_EQ(iface.attr().cFuncs, rows_of(kInterfaces[n].tag).count);
    for (UINT i = 0; i < iface.attr().cFuncs; ++i, ++row) {
      SCOPED_TRACE(kMembers[row].name);
      Func func(iface.info(), i);
      EXPECT_EQ(kHeader[row].offset, func->oVft);
      EXPECT_EQ(kHeader[row].params, func->cParams);
    }
  }
  EXPECT_EQ(row, std::size(kHeader));
  EXPECT_EQ(vtable_offset(&AfterTheHeader::next),
            kEntries2 * static_cast<ptrdiff_t>(kReadersPointer))
      << "quilmar.h declares another number of methods than the member table has rows";
}

TEST_F(TypeLibrary, HeaderIdentifiersMatch) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib_->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(guid_text(attr->guid), guid_text(LIBID_Quilmar));
  lib_->ReleaseTLibAttr(attr);
  const GUID* header[] = {&IID__clsAVLt,    &CLSID_clsAVLt, &GUID_MODEVAL,  &GUID_EGN_MOD,
                          &GUID_BALANCESTS, &GUID_AVLtree,  &IID__clsAVLt2, &GUID_SEEKMODE};
  for (UINT i = 0; i < std::size(header); ++i)
    EXPECT_EQ(guid_text(Type(type_at(lib_.Get(), i)).attr().guid), guid_text(*header[i]))
        << kTypes[i].name;
}

TEST_F(TypeLibrary, HeaderEnumerationsAndRecordMatch) {
  std::vector<std::vector<LONG>> header = {
      {WRITE_DATA, START_READ, READ_NEXT, READ_BACK, READ_MID, END_READ, FAULT},
      {NOT_EGNORE, USE_FIRST_DATA, USE_LAST_DATA},
      {BALANCED, SMALLV, BIGV},
      {SEEK_FIRST_EQ, SEEK_LAST_EQ, SEEK_AFTER_EQ, SEEK_AFTER, SEEK_BEFORE_EQ, SEEK_BEFORE},
  };
  // The header's record is laid out for this process's Windows (quilmar.h asserts both layouts).
  if (g_target == kThisProcess) {
    header.push_back({offsetof(AVLtree, Parent), offsetof(AVLtree, Small), offsetof(AVLtree, Big),
                      offsetof(AVLtree, Data), offsetof(AVLtree, Balance),
                      offsetof(AVLtree, SubData)});
    EXPECT_EQ(Type(type_at(lib_.Get(), 5)).attr().cbSizeInstance, sizeof(AVLtree));
  }
  const std::vector<ExpectedVars> vars = expected_vars();
  for (size_t t = 0; t < header.size(); ++t) {
    Type type(type_at(lib_.Get(), vars[t].type_index));
    SCOPED_TRACE(type.name());
    ASSERT_EQ(type.attr().cVars, header[t].size());
    for (UINT i = 0; i < header[t].size(); ++i) {
      Var var(type.info(), i);
      const LONG library =
          vars[t].kind == VAR_CONST ? constant_value(var.get()) : static_cast<LONG>(var->oInst);
      EXPECT_EQ(library, header[t][i]) << vars[t].vars[i].name;
    }
  }
  EXPECT_EQ(sizeof(MODEVAL), 4u);
  EXPECT_EQ(sizeof(EGN_MOD), 4u);
  EXPECT_EQ(sizeof(SEEKMODE), 4u);
}

// ---- widl's reading of the IDL ----

void compare_members(const Type& ours, const Type& theirs, UINT first_row);

// widl cannot express everything (see Quilmar.idl); what it can must agree.
TEST_F(TypeLibrary, AgreesWithWidlReadingOfTheIdl) {
  if (g_widl_path.empty()) GTEST_SKIP() << "no widl library given";
  ComPtr<ITypeLib> widl = load(g_widl_path);
  ASSERT_TRUE(widl);
  for (UINT i = 0; i < std::size(kTypes); ++i) {
    Type ours(type_at(lib_.Get(), i));
    SCOPED_TRACE(ours.name());
    ComPtr<ITypeInfo> found;
    ASSERT_EQ(widl->GetTypeInfoOfGuid(ours.attr().guid, &found), S_OK);
    Type theirs(found);
    EXPECT_EQ(theirs.name(), ours.name());
    EXPECT_EQ(theirs.attr().typekind, ours.attr().typekind);
    EXPECT_EQ(theirs.attr().wTypeFlags, ours.attr().wTypeFlags);
    EXPECT_EQ(theirs.attr().cVars, ours.attr().cVars);
    EXPECT_EQ(theirs.attr().cImplTypes, ours.attr().cImplTypes);
    for (UINT v = 0; v < ours.attr().cVars && v < theirs.attr().cVars; ++v) {
      Var mine(ours.info(), v), other(theirs.info(), v);
      EXPECT_EQ(other->memid, mine->memid);
      EXPECT_EQ(other->varkind, mine->varkind);
      EXPECT_EQ(documentation(theirs.info(), other->memid).name,
                documentation(ours.info(), mine->memid).name);
      if (mine->varkind == VAR_CONST)
        EXPECT_EQ(constant_value(other.get()), constant_value(mine.get()));
      else  // widl places VARIANT fields at multiples of 8: only the types are compared
        EXPECT_EQ(describe(theirs.info(), other->elemdescVar.tdesc),
                  describe(ours.info(), mine->elemdescVar.tdesc));
    }
  }

  for (const ExpectedInterface& want : kInterfaces) {
    Type ours(interface_side(type_at(lib_.Get(), want.type_index)));
    ComPtr<ITypeInfo> widl_dual;
    ASSERT_EQ(widl->GetTypeInfoOfGuid(ours.attr().guid, &widl_dual), S_OK);
    Type theirs(interface_side(widl_dual));
    SCOPED_TRACE(ours.name());
    compare_members(ours, theirs, rows_of(want.tag).first);
  }
}

// widl's reading of one interface against the library's.
void compare_members(const Type& ours, const Type& theirs, UINT first_row) {
  ASSERT_EQ(theirs.attr().cFuncs, ours.attr().cFuncs);
  EXPECT_EQ(theirs.attr().cbSizeVft, ours.attr().cbSizeVft);
  for (UINT i = 0; i < ours.attr().cFuncs; ++i) {
    Func mine(ours.info(), i), other(theirs.info(), i);
    SCOPED_TRACE(kMembers[first_row + i].name);
    EXPECT_EQ(other->memid, mine->memid);
    EXPECT_EQ(other->invkind, mine->invkind);
    EXPECT_EQ(other->oVft, mine->oVft);
    EXPECT_EQ(other->wFuncFlags, mine->wFuncFlags);
    // widl also names the result, which the library leaves unnamed.
    const std::vector<std::string> names = ours.names(mine->memid, 8);
    std::vector<std::string> widl_names = theirs.names(other->memid, 8);
    widl_names.resize(std::min(widl_names.size(), names.size()));
    EXPECT_EQ(widl_names, names);
    ASSERT_EQ(other->cParams, mine->cParams);
    for (SHORT p = 0; p < mine->cParams; ++p) {
      const ELEMDESC& a = mine->lprgelemdescParam[p];
      const ELEMDESC& b = other->lprgelemdescParam[p];
      EXPECT_EQ(describe(theirs.info(), b.tdesc), describe(ours.info(), a.tdesc));
      // widl is not given the defaults.
      EXPECT_EQ(b.paramdesc.wParamFlags, a.paramdesc.wParamFlags & ~PARAMFLAG_FHASDEFAULT);
    }
  }
}

// ---- resources ----

class Resources : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(g_dll_path.c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << GetLastError();
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  // The languages in which resource 1 of `type` exists.
  std::vector<WORD> languages(const wchar_t* type) const {
    std::vector<WORD> found;
    EnumResourceLanguagesW(module_, type, MAKEINTRESOURCEW(1), collect_language,
                           reinterpret_cast<LONG_PTR>(&found));
    return found;
  }

  static BOOL CALLBACK collect_language(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR out) {
    reinterpret_cast<std::vector<WORD>*>(out)->push_back(language);
    return TRUE;
  }

  HMODULE module_ = nullptr;
};

TEST_F(Resources, EachResourceInItsLanguage) {
  EXPECT_EQ(languages(L"TYPELIB"), std::vector<WORD>{0});
  EXPECT_EQ(languages(L"_IID_CLSAVLT"), std::vector<WORD>{0});
  EXPECT_EQ(languages(MAKEINTRESOURCEW(16)), std::vector<WORD>{0x0411});  // RT_VERSION
}

TEST_F(Resources, InterfaceIdentifierRecord) {
  HRSRC found = FindResourceExW(module_, L"_IID_CLSAVLT", MAKEINTRESOURCEW(1), 0);
  ASSERT_NE(found, nullptr);
  ASSERT_EQ(SizeofResource(module_, found), 20u);
  const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module_, found)));
  ASSERT_NE(bytes, nullptr);
  const std::vector<BYTE> want = {0x10, 0x00, 0x00, 0x00, 0x71, 0x93, 0x63, 0x6B, 0x11, 0x33,
                                  0x51, 0x40, 0x97, 0x29, 0x73, 0x42, 0x86, 0x7E, 0x85, 0xBE};
  EXPECT_EQ(std::vector<BYTE>(bytes, bytes + 20), want);
  EXPECT_EQ(std::memcmp(bytes + 4, &IID__clsAVLt, 16), 0);
}

// One node of a version block: its key, its value and its children.
struct VersionNode {
  std::wstring key;
  std::vector<BYTE> value;
  std::vector<VersionNode> children;
};

size_t align4(size_t offset) {
  return (offset + 3) & ~size_t{3};
}

VersionNode parse_version_node(const BYTE* data, size_t size) {
  VersionNode node;
  WORD length = 0, value_length = 0, kind = 0;
  if (size < 6) return node;
  std::memcpy(&length, data, 2);
  std::memcpy(&value_length, data + 2, 2);
  std::memcpy(&kind, data + 4, 2);
  length = static_cast<WORD>(std::min<size_t>(length, size));
  size_t at = 6;
  while (at + 2 <= length) {
    wchar_t c;
    std::memcpy(&c, data + at, 2);
    at += 2;
    if (!c) break;
    node.key += c;
  }
  at = align4(at);
  const size_t value_bytes = kind == 1 ? value_length * 2u : value_length;  // text counts chars
  if (at + value_bytes <= length) node.value.assign(data + at, data + at + value_bytes);
  at = align4(at + value_bytes);
  while (at + 6 <= length) {
    WORD child_length = 0;
    std::memcpy(&child_length, data + at, 2);
    if (child_length == 0) break;
    node.children.push_back(parse_version_node(data + at, length - at));
    at = align4(at + child_length);
  }
  return node;
}

class VersionBlock : public testing::Test {
 protected:
  void SetUp() override {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(g_dll_path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    block_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(g_dll_path.c_str(), 0, size, block_.data()));
  }

  std::wstring text(const std::wstring& key) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = L"\\StringFileInfo\\041104B0\\" + key;
    if (!VerQueryValueW(block_.data(), path.c_str(), &value, &length)) return L"<missing>";
    if (length == 0) return L"";
    return static_cast<const wchar_t*>(value);
  }

  std::vector<BYTE> block_;
};

TEST_F(VersionBlock, FixedPart) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  constexpr DWORD high = QUILMAR_VERSION_MAJOR << 16 | QUILMAR_VERSION_MINOR;
  constexpr DWORD low = QUILMAR_VERSION_PATCH << 16 | QUILMAR_VERSION_TWEAK;
  EXPECT_EQ(fixed->dwFileVersionMS, high);
  EXPECT_EQ(fixed->dwFileVersionLS, low);
  EXPECT_EQ(fixed->dwProductVersionMS, high);
  EXPECT_EQ(fixed->dwProductVersionLS, low);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0u);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
  EXPECT_EQ(fixed->dwFileSubtype, 0u);
  EXPECT_EQ(fixed->dwFileDateMS, 0u);
  EXPECT_EQ(fixed->dwFileDateLS, 0u);
}

TEST_F(VersionBlock, Translation) {
  WORD* pair = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block_.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&pair), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(pair[0], 0x0411);
  EXPECT_EQ(pair[1], 0x04B0);
}

TEST_F(VersionBlock, StringTableValues) {
  const std::pair<const wchar_t*, const wchar_t*> fixed[] = {
      {L"FileVersion", L"" QUILMAR_VERSION_TEXT},
      {L"ProductVersion", L"" QUILMAR_VERSION_TEXT},
      {L"InternalName", L"Quilmar"},
      {L"OriginalFilename", L"Quilmar.dll"},
      {L"OLESelfRegister", L""},
  };
  for (const auto& [key, value] : fixed) EXPECT_EQ(text(key), value) << narrow(key);
  for (const wchar_t* key : {L"Comments", L"CompanyName", L"FileDescription", L"LegalCopyright",
                             L"LegalTrademarks", L"ProductName"}) {
    const std::wstring value = text(key);
    EXPECT_NE(value, L"<missing>") << narrow(key);
    EXPECT_FALSE(value.empty()) << narrow(key);
  }
}

TEST_F(VersionBlock, OneJapaneseStringTableWithTheKeysInOrder) {
  const VersionNode root = parse_version_node(block_.data(), block_.size());
  EXPECT_EQ(root.key, L"VS_VERSION_INFO");
  const VersionNode* strings = nullptr;
  for (const VersionNode& child : root.children)
    if (child.key == L"StringFileInfo") strings = &child;
  ASSERT_NE(strings, nullptr);
  ASSERT_EQ(strings->children.size(), 1u);
  const VersionNode& table = strings->children[0];
  EXPECT_EQ(table.key, L"041104B0");
  std::vector<std::string> keys;
  for (const VersionNode& entry : table.children) keys.push_back(narrow(entry.key.c_str()));
  const std::vector<std::string> want = {"Comments",         "CompanyName",     "FileDescription",
                                         "LegalCopyright",   "LegalTrademarks", "ProductName",
                                         "FileVersion",      "ProductVersion",  "InternalName",
                                         "OriginalFilename", "OLESelfRegister"};
  EXPECT_EQ(keys, want);
}

std::wstring full_path(const wchar_t* path) {
  wchar_t full[MAX_PATH * 2];
  const DWORD length = GetFullPathNameW(path, std::size(full), full, nullptr);
  return length && length < std::size(full) ? std::wstring(full, length) : std::wstring(path);
}

std::wstring beside_this_program(const wchar_t* name) {
  wchar_t self[MAX_PATH * 2];
  const DWORD length = GetModuleFileNameW(nullptr, self, std::size(self));
  std::wstring path(self, length);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  g_dll_path = argc > 1 ? full_path(argv[1]) : beside_this_program(L"Quilmar.dll");
  if (argc > 2) g_widl_path = full_path(argv[2]);
  if (argc > 3) {
    const std::wstring bits = argv[3];
    if (bits != L"32" && bits != L"64") {
      std::fprintf(stderr, "BITS is 32 or 64\n");
      return 2;
    }
    g_target = bits == L"32" ? &kWin32 : &kWin64;
  }
  return RUN_ALL_TESTS();
}
