// The object through IDispatch, as script clients call it: names, kinds of access, argument
// conversion, references, defaults, the standard answers and failures carried in EXCEPINFO.
#include "server/dispatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "host/failure.h"
#include "invoke.h"
#include "object.h"
#include "seams.h"
#include "server/coerce.h"
#include "server/members.h"
#include "values.h"

namespace quilmar::test {
namespace {

Text text_of(BSTR s) {
  Text t = s ? Text(s, SysStringLen(s)) : Text();
  SysFreeString(s);
  return t;
}

VARIANT typed_ref(VARTYPE kind, void* target) {
  VARIANT r;
  VariantInit(&r);
  r.vt = static_cast<VARTYPE>(VT_BYREF | kind);
  r.byref = target;
  return r;
}

Text text_result(const Outcome& o) {
  EXPECT_EQ(o.result->vt, VT_BSTR) << describe(*o.result);
  return o.result->vt == VT_BSTR ? Text(o.result->bstrVal, SysStringLen(o.result->bstrVal))
                                 : Text();
}

TEST(Dispatch, NamesMapToTheFixedIdsWhateverTheirCase) {
  TestObject<> o;
  const struct {
    const char* name;
    DISPID id;
  } rows[] = {
      {"Read", dispid::Read},
      {"ALLOC", dispid::Alloc},
      {"indata", dispid::Indata},
      {"ReadSub", dispid::ReadSub},
      {"Egnore", dispid::Egnore},
      {"memorysize", dispid::MemorySize},
      {"DataNumber", dispid::DataNumber},
      {"getVERSION", dispid::GetVersion},
  };
  for (const auto& row : rows) EXPECT_EQ(id_of(o.get(), row.name), row.id) << row.name;

  for (const char* name : {"NextIndex", "BackIndex", "Rebalance", "", "Read ", "Egnor"}) {
    Text text = T(name);
    LPOLESTR names[] = {text.data()};
    DISPID id = 0;
    EXPECT_EQ(o->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME) << name;
    EXPECT_EQ(id, DISPID_UNKNOWN) << name;
  }

  // Parameter names give their positions, for named arguments.
  Text indata = T("Indata"), add = T("adddata"), get = T("GETDATA"), read_param = T("Spec");
  LPOLESTR names[] = {indata.data(), add.data(), get.data(), read_param.data()};
  DISPID ids[4] = {};
  EXPECT_EQ(o->GetIDsOfNames(IID_NULL, names, 4, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], dispid::Indata);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], 0);
  EXPECT_EQ(ids[3], DISPID_UNKNOWN);  // Spec belongs to Read

  EXPECT_EQ(o->GetIDsOfNames(IID_IDispatch, names, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
}

TEST(Dispatch, PropertiesAreReadWithEitherKindOfAccess) {
  TestObject<> o;
  for (WORD flags : {kGet, kScriptGet}) {
    Outcome r = invoke(o.get(), "MemorySize", flags);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.result->vt, VT_I4);
    EXPECT_EQ(r.result->lVal, 100);
    r = invoke(o.get(), "DataNumber", flags);
    EXPECT_EQ(r.result->vt, VT_I4);
    EXPECT_EQ(r.result->lVal, 0);
    r = invoke(o.get(), "Egnore", flags);
    EXPECT_EQ(r.result->vt, VT_I4);
    EXPECT_EQ(r.result->lVal, NOT_EGNORE);
    EXPECT_EQ(text_result(invoke(o.get(), "GetVersion", flags)), T("Ver1.06"));
  }
  // A caller that wants no result passes none.
  DISPPARAMS none = {};
  EXPECT_EQ(
      o->Invoke(id_of(o.get(), "GetVersion"), IID_NULL, 0, kGet, &none, nullptr, nullptr, nullptr),
      S_OK);
}

TEST(Dispatch, EgnoreIsWrittenAndReadUnderOneId) {
  Variant one = i4(1), seven = text(" 7 ");
  const struct {
    const char* what;
    std::vector<VARIANT> positional;
    std::vector<Named> named;
    LONG expected;
  } rows[] = {
      {"named I2", {}, {{DISPID_PROPERTYPUT, *i2(2)}}, 2},
      {"named R8 2.5 (half to even)", {}, {{DISPID_PROPERTYPUT, *r8(2.5)}}, 2},
      {"named text", {}, {{DISPID_PROPERTYPUT, *seven}}, 7},
      {"named Variant variable", {}, {{DISPID_PROPERTYPUT, by_ref(*one.get())}}, 1},
      {"positional", {*i4(USE_LAST_DATA)}, {}, USE_LAST_DATA},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TestObject<> o;
    EXPECT_EQ(invoke(o.get(), "Egnore", kPut, row.positional, row.named).hr, S_OK);
    EXPECT_EQ(get_long(o.get(), "Egnore"), row.expected);
  }
}

TEST(Dispatch, AllocConvertsSizOrSuppliesItsDefault) {
  FLOAT single = 20;
  Variant byte = ui1(30), half = text("11.5");
  const struct {
    const char* what;
    std::vector<VARIANT> positional;
    std::vector<Named> named;
    LONG memory_size;
    bool built;
  } rows[] = {
      {"left out", {}, {}, 100000, true},
      {"passed as missing", {*error(DISP_E_PARAMNOTFOUND)}, {}, 100000, true},
      {"R8 10.5", {*r8(10.5)}, {}, 10, true},
      {"I2", {*i2(50)}, {}, 50, true},
      {"numeric text", {*half}, {}, 12, true},
      {"float variable", {typed_ref(VT_R4, &single)}, {}, 20, true},
      {"Variant variable", {by_ref(*byte.get())}, {}, 30, true},
      {"named Siz", {}, {{0, *i4(40)}}, 40, true},
      {"Boolean true", {*boolean(true)}, {}, -1, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TestObject<> o;
    const Outcome r = invoke(o.get(), "Alloc", kMethod, row.positional, row.named);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.result->vt, VT_BOOL);
    EXPECT_EQ(r.result->boolVal, row.built ? VARIANT_TRUE : VARIANT_FALSE);
    EXPECT_EQ(get_long(o.get(), "MemorySize"), row.memory_size);
  }
  EXPECT_EQ(single, 20);  // declared in and out, never written
  EXPECT_EQ(byte->vt, VT_UI1);
}

TEST(Dispatch, WrongCallsGetTheStandardAnswers) {
  Variant two = text("two"), x = text("x"), y = text("y");
  VARIANT object;
  VariantInit(&object);
  object.vt = VT_DISPATCH;
  object.pdispVal = nullptr;
  const struct {
    const char* member;
    WORD flags;
    std::vector<VARIANT> positional;
    std::vector<Named> named;
    HRESULT hr;
    UINT arg_error;
  } rows[] = {
      {"Read", kMethod, {}, {}, DISP_E_BADPARAMCOUNT, kUnset},
      {"Alloc", kMethod, {*i4(1), *i4(2)}, {}, DISP_E_BADPARAMCOUNT, kUnset},
      {"Indata", kMethod, {}, {}, DISP_E_BADPARAMCOUNT, kUnset},
      {"Indata", kMethod, {*x, *y, *x}, {}, DISP_E_BADPARAMCOUNT, kUnset},
      {"MemorySize", kScriptGet, {*i4(1)}, {}, DISP_E_BADPARAMCOUNT, kUnset},
      {"Egnore", kPut, {}, {}, DISP_E_BADPARAMCOUNT, kUnset},
      {"Indata", kMethod, {*error(DISP_E_PARAMNOTFOUND), *x}, {}, DISP_E_PARAMNOTOPTIONAL, 1},
      {"Indata", kMethod, {}, {{1, *x}}, DISP_E_PARAMNOTOPTIONAL, kUnset},
      {"Read", kMethod, {*null()}, {}, DISP_E_TYPEMISMATCH, 0},
      {"Read", kMethod, {*two}, {}, DISP_E_TYPEMISMATCH, 0},
      {"Read", kMethod, {*r8(3e9)}, {}, DISP_E_OVERFLOW, 0},
      {"Alloc", kMethod, {*x}, {}, DISP_E_TYPEMISMATCH, 0},
      {"Alloc", kMethod, {*r8(1e300)}, {}, DISP_E_OVERFLOW, 0},
      {"Alloc", kMethod, {*error(5)}, {}, DISP_E_TYPEMISMATCH, 0},
      {"Egnore", kPut, {}, {{DISPID_PROPERTYPUT, *null()}}, DISP_E_TYPEMISMATCH, 0},
      {"Egnore", kPut, {}, {{DISPID_PROPERTYPUT, object}}, DISP_E_TYPEMISMATCH, 0},
      {"Egnore", kPut, {}, {{0, *i4(1)}}, DISP_E_NONAMEDARGS, kUnset},
      {"Alloc", kMethod, {}, {{5, *i4(1)}}, DISP_E_PARAMNOTFOUND, 0},
      {"Indata", kMethod, {*x}, {{0, *y}}, DISP_E_PARAMNOTFOUND, 0},
      {"MemorySize", kMethod, {}, {}, DISP_E_MEMBERNOTFOUND, kUnset},
      {"MemorySize", kPut, {*i4(1)}, {}, DISP_E_MEMBERNOTFOUND, kUnset},
      {"Alloc", kGet, {}, {}, DISP_E_MEMBERNOTFOUND, kUnset},
      {"Alloc", DISPATCH_PROPERTYPUTREF, {*i4(1)}, {}, DISP_E_MEMBERNOTFOUND, kUnset},
  };
  int line = 0;
  for (const auto& row : rows) {
    ++line;
    SCOPED_TRACE("row " + std::to_string(line) + " " + row.member);
    TestObject<> o;
    const Outcome r = invoke(o.get(), row.member, row.flags, row.positional, row.named);
    EXPECT_EQ(r.hr, row.hr);
    EXPECT_EQ(r.arg_error, row.arg_error);
    EXPECT_EQ(r.result->vt, VT_EMPTY);
    EXPECT_EQ(get_long(o.get(), "MemorySize"), 100);
  }
  TestObject<> o;
  EXPECT_EQ(invoke(o.get(), 0x12345, kScriptGet, {}).hr, DISP_E_MEMBERNOTFOUND);
  DISPPARAMS none = {};
  EXPECT_EQ(o->Invoke(dispid::MemorySize, IID_IDispatch, 0, kGet, &none, nullptr, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
}

TEST(Dispatch, KeysAndPayloadsTravelByValueAndByReference) {
  TestObject<> o;
  Variant c = text("c"), payload = r8(2.5), m = text("m");
  Outcome r = invoke(o.get(), "Indata", kMethod, {*m, *i4(1)});
  EXPECT_EQ(r.hr, S_OK);
  EXPECT_EQ(r.result->vt, VT_EMPTY);
  EXPECT_EQ(invoke(o.get(), "Indata", kMethod, {by_ref(*c.get()), by_ref(*payload.get())}).hr,
            S_OK);
  EXPECT_EQ(invoke(o.get(), "Indata", kMethod, {*text("a")}).hr, S_OK);  // payload left out
  EXPECT_EQ(get_long(o.get(), "DataNumber"), 3);

  Variant mode = i2(START_READ);  // script variables hold small numbers as I2
  VARIANT mode_ref = by_ref(*mode.get());
  EXPECT_EQ(text_result(invoke(o.get(), "Read", kScriptGet, {mode_ref})), T("a"));
  EXPECT_EQ(text_result(invoke(o.get(), "ReadSub", kScriptGet)), T(""));  // the text "", not Empty
  *mode.get() = *i2(READ_NEXT);
  EXPECT_EQ(text_result(invoke(o.get(), "Read", kScriptGet, {mode_ref})), T("c"));
  r = invoke(o.get(), "ReadSub", kScriptGet);
  EXPECT_EQ(r.result->vt, VT_R8);
  EXPECT_EQ(double{r.result->dblVal}, 2.5);  // a copy: the stand-in packs to 4
  EXPECT_EQ(text_result(invoke(o.get(), "Read", kScriptGet, {mode_ref})), T("m"));
  r = invoke(o.get(), "ReadSub", kScriptGet);
  EXPECT_EQ(r.result->vt, VT_I4);
  EXPECT_EQ(r.result->lVal, 1);
  EXPECT_EQ(mode->vt, VT_I2);  // untouched while keys remain
  EXPECT_EQ(text_result(invoke(o.get(), "Read", kScriptGet, {mode_ref})), T(""));
  EXPECT_EQ(mode->vt, VT_I4);
  EXPECT_EQ(mode->lVal, FAULT);
}

TEST(Dispatch, FaultIsWrittenBackInTheKindOfTheCallersVariable) {
  LONG as_long = READ_NEXT;
  SHORT as_short = READ_BACK;
  DOUBLE as_double = READ_NEXT;
  BSTR as_text = SysAllocString(OLESTR("2"));
  Variant variable = text("3");
  const VARIANT by_value = *i4(READ_NEXT);
  const struct {
    const char* what;
    VARIANT mode;
  } rows[] = {
      {"Variant variable holding text", by_ref(*variable.get())},
      {"LONG variable", typed_ref(VT_I4, &as_long)},
      {"SHORT variable", typed_ref(VT_I2, &as_short)},
      {"DOUBLE variable", typed_ref(VT_R8, &as_double)},
      {"BSTR variable", typed_ref(VT_BSTR, &as_text)},
      {"by value", by_value},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TestObject<> o;  // empty: the first step finds no key
    const Outcome r = invoke(o.get(), "Read", kMethod, {row.mode});
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(text_result(r), T(""));
  }
  EXPECT_EQ(variable->vt, VT_I4);
  EXPECT_EQ(variable->lVal, FAULT);
  EXPECT_EQ(as_long, FAULT);
  EXPECT_EQ(as_short, FAULT);
  EXPECT_EQ(as_double, FAULT);
  EXPECT_EQ(text_of(as_text), T("6"));
}

// Stands in for the store to force failures the real one reaches only through damage.
class FailingTarget final : public _clsAVLt3 {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    return dispatch::ids_of_names(riid, names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* arg_error) override {
    return dispatch::invoke(*this, id, riid, flags, params, result, excep, arg_error);
  }
  // A walk that moved onto a slot outside the table after deciding on FAULT.
  HRESULT STDMETHODCALLTYPE Read(MODEVAL* mode, VARIANT* result) override {
    *mode = FAULT;
    *result = *i4(1);
    return kSubscriptOutOfRange;
  }
  HRESULT STDMETHODCALLTYPE Alloc(FLOAT*, VARIANT_BOOL*) override { return E_OUTOFMEMORY; }
  HRESULT STDMETHODCALLTYPE Indata(VARIANT*, VARIANT*, VARIANT*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ReadSub(VARIANT*) override { return kSubscriptOutOfRange; }
  HRESULT STDMETHODCALLTYPE put_Egnore(EGN_MOD*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Egnore(EGN_MOD*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_MemorySize(LONG*) override { return kOverflow; }
  HRESULT STDMETHODCALLTYPE get_DataNumber(LONG*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_GetVersion(BSTR*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT, VARIANT*) override { return kSubscriptOutOfRange; }
  HRESULT STDMETHODCALLTYPE put_Item(VARIANT, VARIANT) override { return kInvalidArgument; }
  HRESULT STDMETHODCALLTYPE putref_Item(VARIANT, VARIANT) override { return kOutOfMemory; }
  HRESULT STDMETHODCALLTYPE Exists(VARIANT, VARIANT_BOOL*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Find(VARIANT, VARIANT_BOOL*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Seek(VARIANT, SEEKMODE, VARIANT*) override { return kInvalidArgument; }
  HRESULT STDMETHODCALLTYPE Keys(VARIANT, VARIANT, VARIANT*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Items(VARIANT, VARIANT, VARIANT*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_OUTOFMEMORY; }
  HRESULT STDMETHODCALLTYPE Remove(VARIANT, LONG*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveCurrent(VARIANT*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveAll() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_CompareMode(LONG*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE put_CompareMode(LONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE KeyAt(LONG, VARIANT*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_ItemAt(LONG, VARIANT*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE put_ItemAt(LONG, VARIANT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE putref_ItemAt(LONG, VARIANT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IndexOf(VARIANT, LONG*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveAt(LONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Position(LONG*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE put_Position(LONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Load(VARIANT, VARIANT, VARIANT, LONG*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ToArray(VARIANT, VARIANT, VARIANT*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Sort(VARIANT, VARIANT, VARIANT, VARIANT*) override { return S_OK; }
};

TEST(Dispatch, AFailedMemberIsAnExceptionWithItsCodeAndDescription) {
  FailingTarget target;
  Variant mode = i4(READ_NEXT);
  const Variant key = text("k"), how = i4(3);
  const struct {
    const char* member;
    WORD flags;
    std::vector<VARIANT> args;
    SCODE scode;
    const char* description;
  } rows[] = {
      {"Read", kScriptGet, {by_ref(*mode.get())}, kSubscriptOutOfRange, "Subscript out of range"},
      {"ReadSub", kScriptGet, {}, kSubscriptOutOfRange, "Subscript out of range"},
      {"MemorySize", kGet, {}, kOverflow, "Overflow"},
      {"Alloc", kMethod, {}, E_OUTOFMEMORY, "Out of memory"},
      {"Item", kScriptGet, {*key}, kSubscriptOutOfRange, "Subscript out of range"},
      {"Seek", kMethod, {*key, *how}, kInvalidArgument, "Invalid procedure call or argument"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.member);
    const Outcome r = invoke(&target, row.member, row.flags, row.args);
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.scode, row.scode);
    EXPECT_EQ(r.description, T(row.description));
    EXPECT_EQ(r.source, T("Quilmar.clsAVLt"));
    EXPECT_EQ(r.result->vt, VT_EMPTY);
  }
  EXPECT_EQ(mode->lVal, READ_NEXT);  // a failed Read writes nothing back
}

TEST(Dispatch, AFailureLeavesTheObjectUsable) {
  TestObject<> o;
  EXPECT_EQ(invoke(o.get(), "Alloc", kMethod, {*r8(3e9)}).hr, S_OK);  // a table too big: not built
  const Outcome r = invoke(o.get(), "MemorySize", kScriptGet);
  EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.scode, kOverflow);
  EXPECT_EQ(r.description, T("Overflow"));
  EXPECT_EQ(r.result->vt, VT_EMPTY);
  DISPPARAMS none = {};
  EXPECT_EQ(o->Invoke(dispid::MemorySize, IID_NULL, 0, kGet, &none, nullptr, nullptr, nullptr),
            DISP_E_EXCEPTION);  // without EXCEPINFO too
  EXPECT_EQ(get_long(o.get(), "DataNumber"), 0);
  EXPECT_EQ(invoke(o.get(), "Alloc", kMethod, {*i4(10)}).hr, S_OK);
  EXPECT_EQ(get_long(o.get(), "MemorySize"), 10);
}

TEST(Dispatch, InvokeHoldsTheObjectWhenTheClientReleasesItMidCall) {
  IDispatch* d = nullptr;
  {
    TestObject<> o;
    d = o.release();  // the client's only reference, released in the pump below
  }
  bool released = false;
  PumpSpy pump([&] {
    if (!std::exchange(released, true)) d->Release();
  });
  const Outcome r = invoke(d, dispid::Read, kMethod, {*i4(START_READ)});
  EXPECT_EQ(r.hr, S_OK);
  EXPECT_TRUE(released);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);  // gone once the call returned
}

TEST(Coerce, ArgumentsConvertAsScriptsExpect) {
  const LONG mismatch = std::numeric_limits<LONG>::min() + 1, overflow = mismatch + 1;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    const char* what;
    Variant value;
    LONG as_long;  // or one of the two markers above
    float as_float;
    HRESULT float_hr;
  } rows[] = {
      {"UI4 above LONG", ui4(0x80000000u), overflow, 2147483648.0f, S_OK},
      {"I8 below LONG", i8(-2147483649LL), overflow, -2147483649.0f, S_OK},
      {"UI8 huge", ui8(~0ULL), overflow, 18446744073709551616.0f, S_OK},
      {"R4 -0.5", r4(-0.5f), 0, -0.5f, S_OK},
      {"R8 3.5", r8(3.5), 4, 3.5f, S_OK},
      {"R8 2147483647.4", r8(2147483647.4), 2147483647, 2147483648.0f, S_OK},
      {"R8 2147483647.5", r8(2147483647.5), overflow, 2147483648.0f, S_OK},
      {"R8 1e39", r8(1e39), overflow, 0, DISP_E_OVERFLOW},
      {"R8 infinity", r8(HUGE_VAL), overflow, 0, DISP_E_OVERFLOW},
      {"R8 NaN", r8(std::nan("")), overflow, nan, S_OK},
      {"currency -2.5", currency(-25000), -2, -2.5f, S_OK},
      {"currency 2.5001", currency(25001), 3, 2.5001f, S_OK},
      {"decimal 0.5", decimal(false, 1, 0, 5), 0, 0.5f, S_OK},
      {"decimal 2.5000000000000000000001", decimal(false, 22, 0x54B, 0x40B1F852BDA00001ULL), 3,
       2.5f, S_OK},
      {"decimal 2^64 (96 bits)", decimal(false, 0, 1, 0), overflow, 18446744073709551616.0f, S_OK},
      {"Empty", empty(), 0, 0, S_OK},
      {"text with blanks and sign", text("  -12 "), -12, -12, S_OK},
      {"text with exponent", text("2.5E+3"), 2500, 2500, S_OK},
      {"text 1e400", text("1e400"), overflow, 0, DISP_E_OVERFLOW},
      {"empty text", text(""), mismatch, 0, DISP_E_TYPEMISMATCH},
      {"text 1.2.3", text("1.2.3"), mismatch, 0, DISP_E_TYPEMISMATCH},
      {"text 12abc", text("12abc"), mismatch, 0, DISP_E_TYPEMISMATCH},
      {"text 1e", text("1e"), mismatch, 0, DISP_E_TYPEMISMATCH},
      {"Null", null(), mismatch, 0, DISP_E_TYPEMISMATCH},
      {"error", error(DISP_E_PARAMNOTFOUND), mismatch, 0, DISP_E_TYPEMISMATCH},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    LONG l = 0;
    const HRESULT hr = to_long(*row.value, l);
    if (row.as_long == mismatch) {
      EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
    } else if (row.as_long == overflow) {
      EXPECT_EQ(hr, DISP_E_OVERFLOW);
    } else {
      EXPECT_EQ(hr, S_OK);
      EXPECT_EQ(l, row.as_long);
    }
    FLOAT f = 0;
    EXPECT_EQ(to_float(*row.value, f), row.float_hr);
    if (row.float_hr == S_OK && std::isnan(row.as_float)) {
      EXPECT_TRUE(std::isnan(f));
    } else if (row.float_hr == S_OK) {
      EXPECT_EQ(f, row.as_float);
    }
  }
}

}  // namespace
}  // namespace quilmar::test
