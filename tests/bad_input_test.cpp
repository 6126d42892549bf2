// Whatever a client hands the object, through the vtable and through Invoke: every Variant kind
// (as itself, through a typed reference and through a reference to a Variant) as key and as
// payload, and any number (through Invoke: any Variant) as Siz, Spec and Egnore. Each gets its
// documented answer, and the store afterwards passes the verifier and holds exactly what it held
// (plus the new pair where one was stored).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "object.h"
#include "seams.h"
#include "server/avl_object.h"
#include "server/members.h"
#include "store/node_table.h"
#include "store/verify.h"
#include "store_view.h"
#include "values.h"

namespace quilmar::test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A value built fresh for each use (so references can point at storage that lives long enough).
struct Kind {
  std::string name;
  bool key_stored;  // as a key: stored, or refused with the warning box
  std::function<void(VARIANT&)> make;
};

std::vector<Kind> kinds(Counted& object) {
  const auto set = [](VARTYPE vt, auto fill) {
    return [vt, fill](VARIANT& v) {
      v = blank();
      fill(v);
      v.vt = vt;
    };
  };
  const auto text = [](const OLECHAR* s) {
    return [s](VARIANT& v) {
      v = blank();
      v.vt = VT_BSTR;
      v.bstrVal = s ? SysAllocString(s) : nullptr;
    };
  };
  IDispatch* obj = &object;
  return {
      {"Empty", false, set(VT_EMPTY, [](VARIANT&) {})},
      {"Null", false, set(VT_NULL, [](VARIANT&) {})},
      {"I1", true, set(VT_I1, [](VARIANT& v) { v.cVal = -5; })},
      {"UI1", true, set(VT_UI1, [](VARIANT& v) { v.bVal = 200; })},
      {"I2", true, set(VT_I2, [](VARIANT& v) { v.iVal = -32768; })},
      {"UI2", true, set(VT_UI2, [](VARIANT& v) { v.uiVal = 65535; })},
      {"I4", true, set(VT_I4, [](VARIANT& v) { v.lVal = 7; })},
      {"UI4", true, set(VT_UI4, [](VARIANT& v) { v.ulVal = 4000000000u; })},
      {"INT", true, set(VT_INT, [](VARIANT& v) { v.intVal = -9; })},
      {"UINT", true, set(VT_UINT, [](VARIANT& v) { v.uintVal = 9; })},
      {"I8", true, set(VT_I8, [](VARIANT& v) { v.llVal = 9007199254740993LL; })},
      {"UI8", true, set(VT_UI8, [](VARIANT& v) { v.ullVal = 18446744073709551615ULL; })},
      {"R4", true, set(VT_R4, [](VARIANT& v) { v.fltVal = 2.5f; })},
      {"R4 NaN", false, set(VT_R4, [](VARIANT& v) { v.fltVal = kNaN; })},
      {"R4 -inf", true, set(VT_R4, [](VARIANT& v) { v.fltVal = -kInf; })},
      {"R8", true, set(VT_R8, [](VARIANT& v) { v.dblVal = -0.0; })},
      {"R8 NaN", false,
       set(VT_R8, [](VARIANT& v) { v.dblVal = -std::numeric_limits<double>::quiet_NaN(); })},
      {"R8 inf", true, set(VT_R8, [](VARIANT& v) { v.dblVal = kInf; })},
      {"R8 subnormal", true, set(VT_R8, [](VARIANT& v) { v.dblVal = 4.9e-324; })},
      {"CY", true, set(VT_CY, [](VARIANT& v) { v.cyVal.int64 = -12345; })},
      {"DATE", true, set(VT_DATE, [](VARIANT& v) { v.date = 45000.5; })},
      {"BOOL", true, set(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; })},
      {"DECIMAL", true,
       [](VARIANT& v) {
         v = blank();
         v.decVal.scale = 28;
         v.decVal.sign = DECIMAL_NEG;
         v.decVal.Hi32 = 0xFFFFFFFF;
         v.decVal.Lo64 = 0xFFFFFFFFFFFFFFFFULL;
         v.vt = VT_DECIMAL;
       }},
      {"BSTR", true, text(OLESTR("m\xD800z"))},  // a lone surrogate is just a code unit
      {"BSTR \"\"", false, text(OLESTR(""))},
      {"BSTR null", false, text(nullptr)},
      {"ERROR", false, set(VT_ERROR, [](VARIANT& v) { v.scode = DISP_E_PARAMNOTFOUND; })},
      {"DISPATCH", false, set(VT_DISPATCH, [obj](VARIANT& v) { v.pdispVal = obj; })},
      {"UNKNOWN", false, set(VT_UNKNOWN, [obj](VARIANT& v) { v.punkVal = obj; })},
      {"DISPATCH null", false, set(VT_DISPATCH, [](VARIANT& v) { v.pdispVal = nullptr; })},
      {"ARRAY", false, set(VT_ARRAY | VT_I4, [](VARIANT& v) { v.parray = nullptr; })},
      {"RECORD", false, set(VT_RECORD, [](VARIANT&) {})},
      {"VARIANT without reference", false, set(VT_VARIANT, [](VARIANT&) {})},
      {"VOID", false, set(VT_VOID, [](VARIANT&) {})},
      {"unknown tag 0xFFF", false, set(0x0FFF, [](VARIANT&) {})},
  };
}

// How the value reaches the call.
enum class Passing { value, typed_reference, variant_reference, reference_to_nothing };

// A conversion's documented answer: the status and, when it succeeds, the value.
struct Answer {
  HRESULT hr;
  double value = 0;
};
constexpr Answer kNoNumber{DISP_E_TYPEMISMATCH}, kOutOfRange{DISP_E_OVERFLOW};

// Whether the host's Variant copy takes a payload: arrays, records and a bare VARIANT tag are the
// host's own business (the native stand-in copies arrays and refuses the other two; oleaut32 may
// copy them).
enum class Copy { taken, refused, by_host };

// Each kind's answers, written from the documented rules rather than taken from the code under
// test. As a payload by value: stored unless no Variant copy takes it (VOID, an unknown tag; see
// Copy for the rest). As Siz, a float, and as Spec or
// Egnore, a 32-bit integer: numbers of every kind, Boolean (True is -1) and Empty (0) convert,
// integers round halves to even, values out of range overflow (NaN too, as an integer); Null,
// text that is not a number, errors, objects, arrays and records do not convert.
struct Expected {
  const char* kind;
  Copy payload;
  Answer siz, spec;
};
const Expected kExpected[] = {
    {"Empty", Copy::taken, {S_OK, 0}, {S_OK, 0}},
    {"Null", Copy::taken, kNoNumber, kNoNumber},
    {"I1", Copy::taken, {S_OK, -5}, {S_OK, -5}},
    {"UI1", Copy::taken, {S_OK, 200}, {S_OK, 200}},
    {"I2", Copy::taken, {S_OK, -32768}, {S_OK, -32768}},
    {"UI2", Copy::taken, {S_OK, 65535}, {S_OK, 65535}},
    {"I4", Copy::taken, {S_OK, 7}, {S_OK, 7}},
    {"UI4", Copy::taken, {S_OK, 4e9}, kOutOfRange},
    {"INT", Copy::taken, {S_OK, -9}, {S_OK, -9}},
    {"UINT", Copy::taken, {S_OK, 9}, {S_OK, 9}},
    {"I8", Copy::taken, {S_OK, 9007199254740992.0}, kOutOfRange},
    {"UI8", Copy::taken, {S_OK, 18446744073709551616.0}, kOutOfRange},
    {"R4", Copy::taken, {S_OK, 2.5}, {S_OK, 2}},
    {"R4 NaN", Copy::taken, {S_OK, kNaN}, kOutOfRange},
    {"R4 -inf", Copy::taken, kOutOfRange, kOutOfRange},
    {"R8", Copy::taken, {S_OK, -0.0}, {S_OK, 0}},
    {"R8 NaN", Copy::taken, {S_OK, kNaN}, kOutOfRange},
    {"R8 inf", Copy::taken, kOutOfRange, kOutOfRange},
    {"R8 subnormal", Copy::taken, {S_OK, 0}, {S_OK, 0}},
    {"CY", Copy::taken, {S_OK, -1.2345}, {S_OK, -1}},
    {"DATE", Copy::taken, {S_OK, 45000.5}, {S_OK, 45000}},
    {"BOOL", Copy::taken, {S_OK, -1}, {S_OK, -1}},
    {"DECIMAL", Copy::taken, {S_OK, -7.9228162514264337593543950335}, {S_OK, -8}},
    {"BSTR", Copy::taken, kNoNumber, kNoNumber},
    {"BSTR \"\"", Copy::taken, kNoNumber, kNoNumber},
    {"BSTR null", Copy::taken, kNoNumber, kNoNumber},
    {"ERROR", Copy::taken, kNoNumber, kNoNumber},
    {"DISPATCH", Copy::taken, kNoNumber, kNoNumber},
    {"UNKNOWN", Copy::taken, kNoNumber, kNoNumber},
    {"DISPATCH null", Copy::taken, kNoNumber, kNoNumber},
    {"ARRAY", Copy::by_host, kNoNumber, kNoNumber},
    {"RECORD", Copy::by_host, kNoNumber, kNoNumber},
    {"VARIANT without reference", Copy::by_host, kNoNumber, kNoNumber},
    {"VOID", Copy::refused, kNoNumber, kNoNumber},
    {"unknown tag 0xFFF", Copy::refused, kNoNumber, kNoNumber},
};

const Expected& expected(const Kind& kind) {
  for (const Expected& e : kExpected)
    if (kind.name == e.kind) return e;
  ADD_FAILURE() << kind.name << " has no expected answers";
  return kExpected[0];
}

// What a script passes for an argument it leaves out: the error "parameter not found", by value
// or through a reference to a Variant.
bool left_out(const Kind& kind, Passing passing) {
  return kind.name == "ERROR" &&
         (passing == Passing::value || passing == Passing::variant_reference);
}

// A reference leads to its value; a typed reference to Empty or Null names no value at all, and a
// reference to nothing is refused before anything is read. No answer: the host decides, and the
// test checks only that the store acted on its decision.
std::optional<bool> payload_stored(const Kind& kind, Passing passing) {
  const Copy copy = expected(kind).payload;
  if (passing == Passing::reference_to_nothing || copy == Copy::refused) return false;
  if (passing == Passing::typed_reference && (kind.name == "Empty" || kind.name == "Null"))
    return false;
  if (copy == Copy::taken) return true;
#ifdef _WIN32
  return std::nullopt;
#else
  return kind.name == "ARRAY";
#endif
}
Answer converted(const Answer& documented, Passing passing) {
  return passing == Passing::reference_to_nothing ? kNoNumber : documented;
}

struct Argument {
  VARIANT arg = blank(), target = blank();
  bool own_text = false;

  Argument(const Kind& kind, Passing passing) {
    kind.make(target);
    own_text = target.vt == VT_BSTR;
    switch (passing) {
      case Passing::value: arg = target; break;
      case Passing::typed_reference:
        if (target.vt == VT_VARIANT) {  // a reference to a Variant names the Variant itself
          arg.vt = VT_BYREF | VT_VARIANT;
          arg.pvarVal = &target;
          break;
        }
        arg.vt = VT_BYREF | target.vt;
        arg.byref = target.vt == VT_DECIMAL ? static_cast<void*>(&target.decVal)
                                            : static_cast<void*>(&target.llVal);
        break;
      case Passing::variant_reference:
        arg.vt = VT_BYREF | VT_VARIANT;
        arg.pvarVal = &target;
        break;
      case Passing::reference_to_nothing:
        arg.vt = VT_BYREF | VT_VARIANT;
        arg.pvarVal = nullptr;
        break;
    }
  }
  ~Argument() {
    if (own_text) SysFreeString(target.bstrVal);
  }
  Argument(const Argument&) = delete;
  Argument& operator=(const Argument&) = delete;
};

const char* name(Passing p) {
  switch (p) {
    case Passing::value: return "by value";
    case Passing::typed_reference: return "by typed reference";
    case Passing::variant_reference: return "by reference to a Variant";
    default: return "by a reference to nothing";
  }
}

// An object holding a few keys, seen through the vtable and, for the checks, as its store.
struct Object : TestObject<> {
  Object() {
    put(*i4(5), *text("five"));
    put(*text("m"), *i4(1));
    put(*r8(2.5), *empty());
  }
  void put(const VARIANT& key, const VARIANT& payload) {
    VARIANT k = key, p = payload;
    Variant result;
    EXPECT_EQ(get()->Indata(&k, &p, result.get()), S_OK);
    EXPECT_EQ(result->vt, VT_EMPTY);
  }
  LONG data_number() const {
    LONG n = -1;
    EXPECT_EQ(get()->get_DataNumber(&n), S_OK);
    return n;
  }
};

bool is_reference(VARTYPE vt) {
  return (vt & VT_BYREF) != 0;
}

void expect_unchanged(const Object& o, const Snapshot& before) {
  const Report report = verify(o.store());
  EXPECT_TRUE(report.ok()) << report.text();
  EXPECT_TRUE(snapshot(o.store()) == before);
}

TEST(BadInput, EveryKindAsKey) {
  Counted object;
  BoxCapture boxes;
  for (const Kind& kind : kinds(object)) {
    for (Passing passing : {Passing::value, Passing::typed_reference, Passing::variant_reference,
                            Passing::reference_to_nothing}) {
      SCOPED_TRACE(kind.name + " " + name(passing));
      Object o;
      const Snapshot before = snapshot(o.store());
      boxes.clear();
      Argument key(kind, passing);
      const bool stored = kind.key_stored && passing != Passing::reference_to_nothing;
      o.put(key.arg, *text("payload"));
      if (!stored) {
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].title, "WARNING");
        EXPECT_EQ(boxes.boxes()[0].text, warning_text("100"));
        expect_unchanged(o, before);
        continue;
      }
      EXPECT_TRUE(boxes.boxes().empty());
      EXPECT_EQ(o.data_number(), 4);
      const VARIANT& kept = o.store().table()[3].Data;
      EXPECT_FALSE(is_reference(kept.vt)) << "a reference into the caller was kept";
      EXPECT_EQ(compare(kept, key.arg), Order::equal);
      EXPECT_TRUE(verify(o.store()).ok()) << verify(o.store()).text();
    }
  }
  EXPECT_EQ(object.refs, 1u);
}

TEST(BadInput, EveryKindAsPayload) {
  Counted object;
  BoxCapture boxes;
  for (const Kind& kind : kinds(object)) {
    for (Passing passing : {Passing::value, Passing::typed_reference, Passing::variant_reference,
                            Passing::reference_to_nothing}) {
      SCOPED_TRACE(kind.name + " " + name(passing));
      Object o;
      const Snapshot before = snapshot(o.store());
      boxes.clear();
      Argument payload(kind, passing);
      o.put(*i4(1000), payload.arg);
      if (!payload_stored(kind, passing).value_or(o.data_number() == 4)) {
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, warning_text("100"));
        expect_unchanged(o, before);
        continue;
      }
      EXPECT_TRUE(boxes.boxes().empty());
      ASSERT_EQ(o.data_number(), 4);
      EXPECT_FALSE(is_reference(o.store().table()[3].SubData.vt));
      // Keys in order: 2.5, 5, 1000, "m"; the payload is read back from under 1000.
      for (const MODEVAL step : {START_READ, READ_NEXT, READ_NEXT}) {
        MODEVAL asked = step;
        Variant key;
        ASSERT_EQ(o->Read(&asked, key.get()), S_OK);
      }
      Variant got;
      ASSERT_EQ(o->ReadSub(got.get()), S_OK);
      EXPECT_EQ(got->vt, o.store().table()[3].SubData.vt);
      EXPECT_TRUE(verify(o.store()).ok()) << verify(o.store()).text();
    }
  }
  EXPECT_EQ(object.refs, 1u) << "a stored object's reference was not given back";
}

TEST(BadInput, AnySizeForAlloc) {
  // Sizes whose table would be large are refused as an exhausted heap would refuse them, so the
  // test stays small on both targets.
  const AllocationLimit limit(10000);
  const struct {
    float siz;
    bool built;
    LONG memory_size;  // what MemorySize reports afterwards
    HRESULT memory_status;
  } rows[] = {
      {0, true, 0, S_OK},
      {-0.4f, true, 0, S_OK},  // rounds to 0: one slot
      {0.5f, true, 0, S_OK},
      {1.5f, true, 2, S_OK},
      {9999, true, 9999, S_OK},
      {-0.5f, true, 0, S_OK},  // rounds half to even: -0, one slot
      {-1, false, -1, S_OK},
      {-2147483648.0f, false, -2147483647 - 1, S_OK},
      {10001, false, 10001, S_OK},           // memory refused
      {16777216.0f, false, 16777216, S_OK},  // memory refused
      {16777218.0f, false, 16777218, S_OK},  // past 2^24: slot numbers would not be whole
      {3e9f, false, 0, kOverflow},
      {kNaN, false, 0, kOverflow},
      {kInf, false, 0, kOverflow},
      {-kInf, false, 0, kOverflow},
      {std::numeric_limits<float>::max(), false, 0, kOverflow},
      {std::numeric_limits<float>::denorm_min(), true, 0, S_OK},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE("Alloc " + std::to_string(row.siz));
    Object o;
    const Snapshot before = snapshot(o.store());
    FLOAT siz = row.siz;
    VARIANT_BOOL built = 5;
    BoxCapture boxes;
    ASSERT_EQ(o->Alloc(&siz, &built), S_OK);
    EXPECT_EQ(built, row.built ? VARIANT_TRUE : VARIANT_FALSE);
    LONG n = 12345;
    EXPECT_EQ(o->get_MemorySize(&n), row.memory_status);
    EXPECT_EQ(n, row.memory_size);
    EXPECT_TRUE(boxes.boxes().empty());
    if (row.built) {
      EXPECT_EQ(o.data_number(), 0);
      EXPECT_TRUE(verify(o.store()).ok()) << verify(o.store()).text();
      continue;
    }
    // Refused: every key still there, only AllocSize out of step with the table, by design.
    Snapshot after = snapshot(o.store());
    after.alloc_size = before.alloc_size;
    EXPECT_TRUE(after == before);
    for (const std::string& problem : verify(o.store()).problems)
      EXPECT_EQ(problem.rfind("I6", 0), 0u) << problem;
  }
}

TEST(BadInput, AnySpecForRead) {
  const LONG specs[] = {
      WRITE_DATA, 7, -1, 100, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()};
  for (const LONG value : specs) {
    SCOPED_TRACE("Read " + std::to_string(value));
    Object o;
    MODEVAL asked = START_READ;
    Variant first;
    o->Read(&asked, first.get());
    const Snapshot before = snapshot(o.store());
    asked = static_cast<MODEVAL>(value);
    Variant result;
    ASSERT_EQ(o->Read(&asked, result.get()), S_OK);
    EXPECT_EQ(result->vt, VT_EMPTY);
    EXPECT_EQ(asked, value);
    EXPECT_EQ(o.store().read_mode(), value);
    Snapshot after = snapshot(o.store());
    after.read_mode = before.read_mode;
    EXPECT_TRUE(after == before);
    asked = READ_NEXT;  // not blocked: the walk goes on from where the cursor was
    Variant next;
    ASSERT_EQ(o->Read(&asked, next.get()), S_OK);
    EXPECT_EQ(describe(*next), "I4 5");
  }
}

TEST(BadInput, AnyValueForEgnore) {
  const LONG modes[] = {3, -1, 7, std::numeric_limits<LONG>::min(),
                        std::numeric_limits<LONG>::max()};
  for (const LONG value : modes) {
    SCOPED_TRACE("Egnore " + std::to_string(value));
    Object o;
    EGN_MOD mode = static_cast<EGN_MOD>(value);
    ASSERT_EQ(o->put_Egnore(&mode), S_OK);
    mode = NOT_EGNORE;
    ASSERT_EQ(o->get_Egnore(&mode), S_OK);
    EXPECT_EQ(mode, value);
    BoxCapture boxes;
    o.put(*i4(5), *text("again"));  // an equal key: every copy is kept, as under NOT_EGNORE
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(o.data_number(), 4);
    EXPECT_TRUE(verify(o.store()).ok()) << verify(o.store()).text();
  }
}

TEST(BadInput, MissingArgumentsAreRefusedAndChangeNothing) {
  Object o;
  const Snapshot before = snapshot(o.store());
  MODEVAL asked = START_READ;
  FLOAT siz = 1;
  VARIANT_BOOL built;
  Variant v;
  VARIANT key = *i4(1);
  EXPECT_EQ(o->Read(nullptr, v.get()), E_POINTER);
  EXPECT_EQ(o->Read(&asked, nullptr), E_POINTER);
  EXPECT_EQ(o->Alloc(nullptr, &built), E_POINTER);
  EXPECT_EQ(o->Alloc(&siz, nullptr), E_POINTER);
  EXPECT_EQ(o->Indata(nullptr, &key, v.get()), E_POINTER);
  EXPECT_EQ(o->Indata(&key, nullptr, v.get()), E_POINTER);
  EXPECT_EQ(o->Indata(&key, &key, nullptr), E_POINTER);
  EXPECT_EQ(o->ReadSub(nullptr), E_POINTER);
  EXPECT_EQ(o->put_Egnore(nullptr), E_POINTER);
  EXPECT_EQ(o->get_Egnore(nullptr), E_POINTER);
  EXPECT_EQ(o->get_MemorySize(nullptr), E_POINTER);
  EXPECT_EQ(o->get_DataNumber(nullptr), E_POINTER);
  EXPECT_EQ(o->get_GetVersion(nullptr), E_POINTER);
  EXPECT_EQ(asked, START_READ);
  expect_unchanged(o, before);
}

// Through Invoke, with one argument in DISPPARAMS; the answer and the position it blames.
struct Invoked {
  HRESULT hr;
  UINT arg_error = 0xDEADBEEF;
};
Invoked invoke(_clsAVLt* obj, DISPID id, WORD flags, std::vector<VARIANT> args) {
  std::reverse(args.begin(), args.end());  // rgvarg holds the arguments last to first
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params = {args.data(), flags == DISPATCH_PROPERTYPUT ? &put : nullptr,
                       static_cast<UINT>(args.size()), flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
  Variant result;
  EXCEPINFO excep = {};
  Invoked out;
  out.hr = obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.get(), &excep,
                       &out.arg_error);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  return out;
}

TEST(BadInput, EveryKindAsEveryArgumentThroughInvoke) {
  Counted object;
  BoxCapture boxes;
  const AllocationLimit limit(200000);
  for (const Kind& kind : kinds(object)) {
    for (Passing passing : {Passing::value, Passing::typed_reference, Passing::variant_reference,
                            Passing::reference_to_nothing}) {
      SCOPED_TRACE(kind.name + " " + name(passing));
      {  // as the key: stored or refused as through the vtable; left out, a missing argument
        SCOPED_TRACE("as the key");
        Object o;
        const Snapshot before = snapshot(o.store());
        boxes.clear();
        Argument key(kind, passing);
        const Invoked r = invoke(o.get(), dispid::Indata, DISPATCH_METHOD, {key.arg, *text("p")});
        const bool stored = kind.key_stored && passing != Passing::reference_to_nothing;
        EXPECT_EQ(r.hr, left_out(kind, passing) ? DISP_E_PARAMNOTOPTIONAL : S_OK);
        EXPECT_EQ(o.data_number(), stored ? 4 : 3);
        EXPECT_EQ(boxes.boxes().size(), stored || FAILED(r.hr) ? 0u : 1u);
        if (!stored) expect_unchanged(o, before);
        EXPECT_TRUE(verify(o.store()).ok());
      }
      {  // as the payload: stored when the host copies it; left out, the text ""
        SCOPED_TRACE("as the payload");
        Object o;
        boxes.clear();
        Argument payload(kind, passing);
        const Invoked r =
            invoke(o.get(), dispid::Indata, DISPATCH_METHOD, {*i4(1000), payload.arg});
        const bool stored =
            left_out(kind, passing) || payload_stored(kind, passing).value_or(o.data_number() == 4);
        EXPECT_EQ(r.hr, S_OK);
        EXPECT_EQ(o.data_number(), stored ? 4 : 3);
        EXPECT_EQ(boxes.boxes().size(), stored ? 0u : 1u);
        EXPECT_TRUE(verify(o.store()).ok());
      }
      {  // as Siz: converted to a float, or refused with the conversion's answer
        SCOPED_TRACE("as Siz");
        Object o;
        const Snapshot before = snapshot(o.store());
        Argument siz(kind, passing);
        const Answer want = left_out(kind, passing) ? Answer{S_OK, 100000}  // the default
                                                    : converted(expected(kind).siz, passing);
        const Invoked r = invoke(o.get(), dispid::Alloc, DISPATCH_METHOD, {siz.arg});
        EXPECT_EQ(r.hr, want.hr);
        if (SUCCEEDED(want.hr)) {
          const float got = o.store().alloc_size(), value = static_cast<float>(want.value);
          if (std::isnan(value))
            EXPECT_TRUE(std::isnan(got));
          else  // bit for bit: -0 is not 0
            EXPECT_EQ(std::memcmp(&value, &got, sizeof got), 0) << "Siz " << got;
        } else {
          EXPECT_EQ(r.arg_error, 0u);
          expect_unchanged(o, before);
        }
      }
      {  // as Spec and as the value of Egnore: converted to a 32-bit integer, or refused
        SCOPED_TRACE("as Spec and as Egnore");
        Object o;
        Argument value(kind, passing);
        const Answer want = converted(expected(kind).spec, passing);
        const Snapshot before = snapshot(o.store());
        const Invoked read = invoke(o.get(), dispid::Read, DISPATCH_METHOD, {value.arg});
        const Invoked put = invoke(o.get(), dispid::Egnore, DISPATCH_PROPERTYPUT, {value.arg});
        const HRESULT missing = left_out(kind, passing) ? DISP_E_PARAMNOTOPTIONAL : want.hr;
        EXPECT_EQ(read.hr, missing);
        EXPECT_EQ(put.hr, missing);
        if (SUCCEEDED(missing)) {
          EXPECT_EQ(o.store().egnore(), static_cast<LONG>(want.value));
          EXPECT_TRUE(verify(o.store()).ok());
        } else {
          expect_unchanged(o, before);
        }
      }
    }
  }
  EXPECT_EQ(object.refs, 1u);
}

}  // namespace
}  // namespace quilmar::test
