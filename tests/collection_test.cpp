// _clsAVLt2, the collection members, through the vtable and through IDispatch: results, errors as
// status codes or exceptions, arrays, the enumerator, and the references and strings they hold.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "com_stand_in/live_strings.h"
#include "host/failure.h"
#include "object.h"
#include "quilmar/quilmar.h"
#include "server/members.h"
#include "values.h"

namespace quilmar::test {
namespace {

const VARIANT kMissing = [] {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}();

// A store with the keys b, d, d, f (payloads b1, d1, d2, f1) behind _clsAVLt2.
struct Store2 : TestObject<_clsAVLt2> {
  Store2() {
    for (const char* pair : {"b1", "d1", "d2", "f1"}) {
      Variant key = text(std::string(1, pair[0]).c_str()), payload = text(pair);
      EXPECT_EQ(get()->Indata(key.get(), payload.get(), Variant().get()), S_OK);
    }
  }
};

std::string text_of(const VARIANT& v) {
  return v.vt == VT_BSTR ? to_utf8(TextView(v.bstrVal, SysStringLen(v.bstrVal))) : describe(v);
}

// The elements of a 0-based array of Variants as text, "" for an empty one.
std::string joined(const VARIANT& array) {
  EXPECT_EQ(array.vt, VT_ARRAY | VT_VARIANT);
  if (array.vt != (VT_ARRAY | VT_VARIANT)) return "?";
  LONG low = 1, high = 0;
  EXPECT_EQ(SafeArrayGetDim(array.parray), 1u);
  EXPECT_EQ(SafeArrayGetLBound(array.parray, 1, &low), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(array.parray, 1, &high), S_OK);
  EXPECT_EQ(low, 0);
  void* data = nullptr;
  EXPECT_EQ(SafeArrayAccessData(array.parray, &data), S_OK);
  std::string out;
  for (LONG i = 0; i <= high; ++i) {
    if (i) out += ",";
    out += text_of(static_cast<VARIANT*>(data)[i]);
  }
  SafeArrayUnaccessData(array.parray);
  return out;
}

TEST(Collection, BothInterfacesAreOneObject) {
  Store2 s;
  _clsAVLt* old = nullptr;
  ASSERT_EQ(s->QueryInterface(IID__clsAVLt, reinterpret_cast<void**>(&old)), S_OK);
  EXPECT_EQ(static_cast<void*>(old), static_cast<void*>(s.get()));
  LONG count = 0, number = 0;
  EXPECT_EQ(s->get_Count(&count), S_OK);
  EXPECT_EQ(old->get_DataNumber(&number), S_OK);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(number, 4);
  old->Release();
}

TEST(Collection, ItemExistsAndFindByKey) {
  Store2 s;
  const long bstrs = live_bstr_count();
  const struct {
    const char* key;
    bool there;
    const char* payload;  // Item's, of the first equal key
  } rows[] = {{"d", true, "d1"}, {"f", true, "f1"}, {"c", false, ""}, {"", false, ""}};
  for (const auto& row : rows) {
    Variant key = text(row.key), item;
    VARIANT_BOOL exists = 0, found = 0;
    EXPECT_EQ(s->Exists(*key, &exists), S_OK);
    EXPECT_EQ(exists, row.there ? VARIANT_TRUE : VARIANT_FALSE) << row.key;
    const HRESULT hr = s->get_Item(*key, item.get());
    EXPECT_EQ(hr, row.there ? S_OK : kSubscriptOutOfRange) << row.key;
    if (row.there) {
      EXPECT_EQ(text_of(*item), row.payload);
    }
    EXPECT_EQ(s->Find(*key, &found), S_OK);
    EXPECT_EQ(found, exists) << row.key;
    if (!row.there) continue;
    Variant sub;
    EXPECT_EQ(s->ReadSub(sub.get()), S_OK);
    EXPECT_EQ(text_of(*sub), row.payload);  // Find put the cursor there
  }
  EXPECT_EQ(live_bstr_count(), bstrs);
}

TEST(Collection, ItemPutReplacesTheFirstEqualOrInsertsAndRefusesWithErrors) {
  Store2 s;
  Counted object;
  Variant d = text("d"), a = text("a"), x = text("x"), blank = text(""), null_key = null();
  VARIANT holder;
  VariantInit(&holder);
  holder.vt = VT_DISPATCH;
  holder.pdispVal = &object;
  EXPECT_EQ(s->put_Item(*d, *x), S_OK);
  EXPECT_EQ(s->putref_Item(*a, holder), S_OK);
  EXPECT_EQ(object.refs, 2u);  // the store holds one
  EXPECT_EQ(s->put_Item(*blank, *x), kInvalidArgument);
  EXPECT_EQ(s->put_Item(*null_key, *x), kInvalidArgument);
  Variant items;
  EXPECT_EQ(s->Items(kMissing, kMissing, items.get()), S_OK);
  EXPECT_EQ(joined(*items), "vt 9,b1,x,d2,f1");
  EXPECT_EQ(object.refs, 3u);  // and the array one
  items = Variant();
  EXPECT_EQ(s->put_Item(*a, *x), S_OK);
  EXPECT_EQ(object.refs, 1u);  // and gave it back when replaced
}

// Each mode's landing is the store's (lookup_test.cpp); here: its binding.
TEST(Collection, SeekAnswersTheKeyAndMovesTheCursorOrAnswersEmpty) {
  Store2 s;
  const struct {
    const char* key;
    LONG how;
    const char* lands;  // "" for none: Empty and the cursor unchanged
    const char* sub;    // the payload there
  } rows[] = {{"d", SEEK_LAST_EQ, "d", "d2"}, {"f", SEEK_AFTER, "", ""}};
  for (const auto& row : rows) {
    Variant key = text(row.key), landed, sub;
    MODEVAL start = START_READ;
    EXPECT_EQ(s->Read(&start, Variant().get()), S_OK);  // the cursor on b
    EXPECT_EQ(s->Seek(*key, static_cast<SEEKMODE>(row.how), landed.get()), S_OK);
    const bool lands = *row.lands;
    EXPECT_EQ(landed->vt, lands ? VT_BSTR : VT_EMPTY) << row.key << " " << row.how;
    if (lands) {
      EXPECT_EQ(text_of(*landed), row.lands);
    }
    EXPECT_EQ(s->ReadSub(sub.get()), S_OK);
    EXPECT_EQ(text_of(*sub), lands ? row.sub : "b1") << row.key << " " << row.how;
  }
  Variant d = text("d"), landed;
  EXPECT_EQ(s->Seek(*d, static_cast<SEEKMODE>(3), landed.get()), kInvalidArgument);
}

TEST(Collection, KeysAndItemsBetweenOptionalBounds) {
  Store2 s;
  Variant b = text("b"), c = text("c"), e = text("e"), z = text("z"), nan = r8(std::nan("")), empty;
  const long bstrs = live_bstr_count();
  const struct {
    const VARIANT& low;
    const VARIANT& high;
    const char* keys;
    const char* items;
  } rows[] = {
      {kMissing, kMissing, "b,d,d,f", "b1,d1,d2,f1"},
      {*c, kMissing, "d,d,f", "d1,d2,f1"},
      {kMissing, *e, "b,d,d", "b1,d1,d2"},
      {*b, *e, "b,d,d", "b1,d1,d2"},
      {*e, *c, "", ""},  // low above high
      {*z, kMissing, "", ""},
      {*nan, kMissing, "", ""},
      {*empty, *e, "b,d,d", "b1,d1,d2"},  // JScript's undefined leaves a bound out
      {*c, *empty, "d,d,f", "d1,d2,f1"},
  };
  for (const auto& row : rows) {
    Variant keys, items;
    EXPECT_EQ(s->Keys(row.low, row.high, keys.get()), S_OK);
    EXPECT_EQ(s->Items(row.low, row.high, items.get()), S_OK);
    EXPECT_EQ(joined(*keys), row.keys);
    EXPECT_EQ(joined(*items), row.items);
    if (!*row.keys) {
      LONG high = 0;
      EXPECT_EQ(SafeArrayGetUBound(keys->parray, 1, &high), S_OK);
      EXPECT_EQ(high, -1);
    }
  }
  EXPECT_EQ(live_bstr_count(), bstrs);
}

TEST(Collection, EnumeratorsWalkTheKeysOnTheirOwnAndHoldTheStore) {
  Store2 s;
  MODEVAL mode = START_READ;
  EXPECT_EQ(s->Read(&mode, Variant().get()), S_OK);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(s->get__NewEnum(&unknown), S_OK);
  IEnumVARIANT* walk = nullptr;
  ASSERT_EQ(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&walk)), S_OK);
  unknown->Release();
  VARIANT got[3];
  ULONG fetched = 9;
  EXPECT_EQ(walk->Next(1, got, nullptr), S_OK);  // no count asked for
  EXPECT_EQ(text_of(got[0]), "b");
  VariantClear(&got[0]);
  IEnumVARIANT* copy = nullptr;
  ASSERT_EQ(walk->Clone(&copy), S_OK);
  EXPECT_EQ(walk->Skip(2), S_OK);
  EXPECT_EQ(walk->Next(3, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(text_of(got[0]), "f");
  VariantClear(&got[0]);
  EXPECT_EQ(walk->Next(3, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(copy->Next(3, got, &fetched), S_OK);  // the clone kept its place
  EXPECT_EQ(text_of(got[0]) + text_of(got[1]) + text_of(got[2]), "ddf");
  for (VARIANT& v : got) VariantClear(&v);
  EXPECT_EQ(walk->Reset(), S_OK);
  EXPECT_EQ(walk->Skip(5), S_FALSE);
  Variant sub;
  EXPECT_EQ(s->ReadSub(sub.get()), S_OK);
  EXPECT_EQ(text_of(*sub), "b1");  // the cursor stayed where Read left it
  s->AddRef();
  EXPECT_EQ(s->Release(), 3u);  // the object, and one per enumerator
  copy->Release();
  EXPECT_EQ(walk->Release(), 0u);
  s->AddRef();
  EXPECT_EQ(s->Release(), 1u);
}

TEST(Collection, AnEnumeratorOutlivesTheClientsReference) {
  IUnknown* unknown = nullptr;
  {
    Store2 s;
    ASSERT_EQ(s->get__NewEnum(&unknown), S_OK);
  }
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  auto* walk = static_cast<IEnumVARIANT*>(unknown);
  VARIANT got[4];
  ULONG fetched = 0;
  EXPECT_EQ(walk->Next(4, got, &fetched), S_OK);
  EXPECT_EQ(fetched, 4u);
  for (VARIANT& v : got) VariantClear(&v);
  unknown->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

// Through IDispatch, as scripts call: defaults, by-reference arguments, errors as exceptions.
TEST(Collection, ScriptCallsReachTheNewMembers) {
  Store2 s;
  Variant d = text("d"), c = text("c"), v = text("v"), blank = text(""), how = i4(SEEK_LAST_EQ);
  Variant bad_how = i4(7);
  VARIANT d_ref = by_ref(*d.get());
  constexpr WORD kGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
  const struct {
    DISPID id;
    WORD flags;
    std::vector<VARIANT> args;  // in the caller's order
    bool named_put;             // the last argument is the value put
    HRESULT hr;
    SCODE scode;
    std::string result;
  } rows[] = {
      {dispid::Count, kGet, {}, false, S_OK, 0, "I4 4"},
      {DISPID_VALUE, kGet, {d_ref}, false, S_OK, 0, "d1"},
      {DISPID_VALUE, kGet, {*c}, false, DISP_E_EXCEPTION, kSubscriptOutOfRange, "Empty"},
      {dispid::Exists, DISPATCH_METHOD, {*c}, false, S_OK, 0, "BOOL False"},
      {dispid::Find, DISPATCH_METHOD, {*d}, false, S_OK, 0, "BOOL True"},
      {dispid::Seek, DISPATCH_METHOD, {*c}, false, S_OK, 0, "d"},  // How left out: SEEK_AFTER_EQ
      {dispid::Seek, DISPATCH_METHOD, {*d, *how}, false, S_OK, 0, "d"},
      {dispid::Seek,
       DISPATCH_METHOD,
       {*d, *bad_how},
       false,
       DISP_E_EXCEPTION,
       kInvalidArgument,
       "Empty"},
      {DISPID_VALUE, DISPATCH_PROPERTYPUT, {*c, *v}, true, S_OK, 0, "Empty"},
      {DISPID_VALUE,
       DISPATCH_PROPERTYPUTREF,
       {*blank, *v},
       true,
       DISP_E_EXCEPTION,
       kInvalidArgument,
       "Empty"},
      {DISPID_VALUE, kGet, {*c}, false, S_OK, 0, "v"},
      {dispid::Keys, DISPATCH_METHOD, {*c}, false, S_OK, 0, "ARRAY"},
  };
  for (const auto& row : rows) {
    std::vector<VARIANT> rgvarg(row.args.rbegin(), row.args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {rgvarg.data(), row.named_put ? &put : nullptr,
                         static_cast<UINT>(rgvarg.size()), row.named_put ? 1u : 0u};
    Variant result;
    EXCEPINFO excep = {};
    const HRESULT hr = s->Invoke(row.id, IID_NULL, LOCALE_USER_DEFAULT, row.flags, &params,
                                 result.get(), &excep, nullptr);
    EXPECT_EQ(hr, row.hr) << row.id;
    EXPECT_EQ(excep.scode, row.scode) << row.id;
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    const std::string seen = result->vt & VT_ARRAY ? "ARRAY" : text_of(*result);
    EXPECT_EQ(seen.substr(0, row.result.size()), row.result) << row.id;
  }
  Variant keys;
  DISPPARAMS none = {};
  ASSERT_EQ(
      s->Invoke(dispid::Keys, IID_NULL, 0, DISPATCH_METHOD, &none, keys.get(), nullptr, nullptr),
      S_OK);
  EXPECT_EQ(joined(*keys), "b,c,d,d,f");
}

// JScript calls _clsAVLt2's property reads as methods (its Enumerator too); For Each reads
// _NewEnum as a property. Writes stay writes.
TEST(Collection, PropertyReadsAnswerEveryWayOfAskingForThem) {
  Store2 s;
  Variant d = text("d"), x = text("x");
  constexpr WORD kMethodOnly = DISPATCH_METHOD, kGetOnly = DISPATCH_PROPERTYGET;
  const struct {
    DISPID id;
    WORD flags;
    VARIANT* arg;
    HRESULT hr;
    VARTYPE vt;
  } rows[] = {
      {DISPID_NEWENUM, kMethodOnly, nullptr, S_OK, VT_UNKNOWN},
      {DISPID_NEWENUM, kGetOnly, nullptr, S_OK, VT_UNKNOWN},
      {DISPID_NEWENUM, kMethodOnly | kGetOnly, nullptr, S_OK, VT_UNKNOWN},
      {dispid::Count, kMethodOnly, nullptr, S_OK, VT_I4},
      {DISPID_VALUE, kMethodOnly, d.get(), S_OK, VT_BSTR},
      {DISPID_VALUE, kMethodOnly, x.get(), DISP_E_EXCEPTION, VT_EMPTY},  // error 9, not "no member"
      {DISPID_NEWENUM, DISPATCH_PROPERTYPUT, x.get(), DISP_E_MEMBERNOTFOUND, VT_EMPTY},
      {dispid::Count, DISPATCH_PROPERTYPUT, x.get(), DISP_E_MEMBERNOTFOUND, VT_EMPTY},
  };
  for (const auto& row : rows) {
    DISPID put = DISPID_PROPERTYPUT;
    const bool putting = row.flags == DISPATCH_PROPERTYPUT;
    DISPPARAMS params = {row.arg, putting ? &put : nullptr, row.arg ? 1u : 0u, putting ? 1u : 0u};
    Variant result;
    EXCEPINFO excep = {};
    EXPECT_EQ(s->Invoke(row.id, IID_NULL, 0, row.flags, &params, result.get(), &excep, nullptr),
              row.hr)
        << row.id << " " << row.flags;
    EXPECT_EQ(result->vt, row.vt) << row.id << " " << row.flags;
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
  }
}

TEST(Collection, RemoveRemoveCurrentAndRemoveAllThroughTheVtable) {
  const long bstrs = live_bstr_count();
  Store2 s;
  Counted object;
  VARIANT holder;
  VariantInit(&holder);
  holder.vt = VT_DISPATCH;
  holder.pdispVal = &object;
  Variant e = text("e"), d = text("d"), nothing = text("c"), blank = text("");
  ASSERT_EQ(s->putref_Item(*e, holder), S_OK);
  LONG removed = -1, count = 0;
  EXPECT_EQ(s->Remove(*d, &removed), S_OK);
  EXPECT_EQ(removed, 2);
  for (const Variant* absent : {&nothing, &blank}) {
    EXPECT_EQ(s->Remove(**absent, &removed), S_OK);
    EXPECT_EQ(removed, 0);
  }
  EXPECT_EQ(s->Remove(*d, nullptr), E_POINTER);
  VARIANT_BOOL found = VARIANT_FALSE;
  EXPECT_EQ(s->Find(*e, &found), S_OK);
  Variant next;
  EXPECT_EQ(s->RemoveCurrent(next.get()), S_OK);
  EXPECT_EQ(text_of(*next), "f");
  EXPECT_EQ(object.refs, 1u) << "the removed payload was released";
  Variant sub;
  EXPECT_EQ(s->ReadSub(sub.get()), S_OK);
  EXPECT_EQ(text_of(*sub), "f1");
  EXPECT_EQ(s->RemoveCurrent(nullptr), E_POINTER);
  EXPECT_EQ(s->get_Count(&count), S_OK);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(s->RemoveAll(), S_OK);
  EXPECT_EQ(s->get_Count(&count), S_OK);
  EXPECT_EQ(count, 0);
  LONG slots = 0;
  EXPECT_EQ(s->get_MemorySize(&slots), S_OK);
  EXPECT_EQ(slots, 100);
  Variant none;
  EXPECT_EQ(s->RemoveCurrent(none.get()), S_OK);
  EXPECT_EQ(text_of(*none), "");
  none = Variant();
  next = Variant();
  sub = Variant();
  if (bstrs >= 0) {  // counted by the stand-ins only
    EXPECT_EQ(live_bstr_count(), bstrs + 4) << "the store holds no string; the test its four keys";
  }
}

TEST(Collection, ScriptCallsReachTheRemovals) {
  Store2 s;
  Variant d = text("d");
  VARIANT d_ref = by_ref(*d.get());
  const struct {
    DISPID id;
    std::vector<VARIANT> args;
    HRESULT hr;
    std::string result;
  } rows[] = {
      {dispid::Remove, {d_ref}, S_OK, "I4 2"},
      {dispid::Remove, {}, DISP_E_BADPARAMCOUNT, "Empty"},
      {dispid::RemoveCurrent, {}, S_OK, "f"},  // the cursor on b, the first key
      {dispid::RemoveAll, {}, S_OK, "Empty"},
      {dispid::RemoveAll, {d_ref}, DISP_E_BADPARAMCOUNT, "Empty"},
  };
  for (const auto& row : rows) {
    std::vector<VARIANT> rgvarg(row.args.rbegin(), row.args.rend());
    DISPPARAMS params = {rgvarg.data(), nullptr, static_cast<UINT>(rgvarg.size()), 0};
    Variant result;
    const HRESULT hr = s->Invoke(row.id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                 result.get(), nullptr, nullptr);
    EXPECT_EQ(hr, row.hr) << row.id;
    EXPECT_EQ(text_of(*result), row.result) << row.id;
  }
  const struct {
    const char* name;
    DISPID id;
  } names[] = {{"remove", dispid::Remove},
               {"REMOVECURRENT", dispid::RemoveCurrent},
               {"RemoveAll", dispid::RemoveAll}};
  for (const auto& n : names) {
    Text name = T(n.name);
    LPOLESTR list[] = {name.data()};
    DISPID id = 0;
    EXPECT_EQ(s->GetIDsOfNames(IID_NULL, list, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, n.id) << n.name;
  }
}

}  // namespace
}  // namespace quilmar::test
