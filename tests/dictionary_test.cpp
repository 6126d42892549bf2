// SortedDictionary's rules, through its vtable (the level that owns them): a dictionary's answers
// and error numbers, its keys and their order. Through IDispatch only the binding is tested
// (tests/dictionary_dispatch_test.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "arrays.h"
#include "host/failure.h"
#include "object.h"
#include "store/verify.h"
#include "values.h"

namespace quilmar::test {
namespace {

using Dictionary = TestObject<ISortedDictionary>;
using V = std::vector<std::string>;

// The elements of a 0-based array of Variants, described.
V described(const VARIANT& array) {
  V out;
  EXPECT_EQ(array.vt, VT_ARRAY | VT_VARIANT);
  LONG low = 1, high = 0;
  SafeArrayGetLBound(array.parray, 1, &low);
  SafeArrayGetUBound(array.parray, 1, &high);
  EXPECT_EQ(low, 0);
  void* data = nullptr;
  SafeArrayAccessData(array.parray, &data);
  for (LONG i = 0; i <= high - low; ++i) out.push_back(describe(static_cast<VARIANT*>(data)[i]));
  SafeArrayUnaccessData(array.parray);
  return out;
}

V keys(const Dictionary& d) {
  Variant none, all;
  none.get()->vt = VT_ERROR;
  none.get()->scode = DISP_E_PARAMNOTFOUND;
  EXPECT_EQ(d->Keys(*none, *none, all.get()), S_OK);
  return described(*all);
}

V items(const Dictionary& d) {
  Variant none, all;
  none.get()->vt = VT_ERROR;
  none.get()->scode = DISP_E_PARAMNOTFOUND;
  EXPECT_EQ(d->Items(*none, *none, all.get()), S_OK);
  return described(*all);
}

LONG count(const Dictionary& d) {
  LONG n = -1;
  EXPECT_EQ(d->get_Count(&n), S_OK);
  return n;
}

TEST(Dictionary, ANewOneIsEmpty) {
  Dictionary d;
  EXPECT_EQ(count(d), 0);
  LONG mode = -1;
  EXPECT_EQ(d->get_CompareMode(&mode), S_OK);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(keys(d), V{});
  EXPECT_EQ(items(d), V{});
}

TEST(Dictionary, KeysAreOrderedByKindThenValue) {
  Dictionary d;
  Counted first, second;
  VARIANT object1 = blank(), object2 = blank();
  object1.vt = object2.vt = VT_DISPATCH;
  object1.pdispVal = &first;
  object2.pdispVal = &second;
  const std::vector<Variant> added =
      values(text("b"), i4(2), error(0x800A07FA), null(), text(""), Variant(object1), r8(-0.5),
             boolean(true), text("A"), currency(15000), Variant(object2), error(0x800A07D7),
             date(2.0) /* 1/1/1900: the day number 2 */);
  for (const Variant& k : added) {
    if (k->vt == VT_DATE) {
      EXPECT_EQ(d->Add(*k, *empty()), kKeyExists) << "a date is its day number, as True is -1";
      continue;
    }
    EXPECT_EQ(d->Add(*k, *i4(0)), S_OK) << describe(*k);
  }
  const bool first_lower = reinterpret_cast<std::uintptr_t>(static_cast<IUnknown*>(&first)) <
                           reinterpret_cast<std::uintptr_t>(static_cast<IUnknown*>(&second));
  V want = {"Null",      "BOOL True",  "R8 -0.5",    "CY 15000",         "I4 2",
            "BSTR \"\"", "BSTR \"A\"", "BSTR \"b\"", "ERROR 0x800A07D7", "ERROR 0x800A07FA"};
  const V got = keys(d);
  ASSERT_EQ(got.size(), want.size() + 2);
  EXPECT_EQ(V(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(want.size())), want);
  EXPECT_EQ(got[want.size() + (first_lower ? 0 : 1)], describe(object1));
  EXPECT_EQ(first.refs, 3u) << "its owner, `added` and the dictionary";
  EXPECT_EQ(d->Remove(object1), S_OK);
  EXPECT_EQ(first.refs, 2u);
  EXPECT_TRUE(verify(d.store()).ok()) << verify(d.store()).text();
}

TEST(Dictionary, EqualNumbersOfAnyKindAreOneKeyAndEmptyIsText) {
  const struct {
    const char* label;
    Variant first, second;
    bool same;
  } rows[] = {
      {"Integer and Long", i2(1), i4(1), true},
      {"Long and Double", i4(3), r8(3.0), true},
      {"True is -1", boolean(true), i4(-1), true},
      {"Currency and Decimal", currency(25000), decimal(false, 1, 0, 25), true},
      {"a 64-bit integer is not rounded", i8(9007199254740993LL), r8(9007199254740992.0), false},
      {"Empty is \"\"", empty(), text(""), true},
      {"\"\" is Empty", text(""), empty(), true},
      {"Empty is not 0", empty(), i4(0), false},
      {"Null is a key of its own", null(), empty(), false},
      {"error values by code", error(0x800A07FA), error(0x800A07FA), true},
  };
  for (const auto& row : rows) {
    Dictionary d;
    EXPECT_EQ(d->Add(*row.first, *text("first")), S_OK) << row.label;
    EXPECT_EQ(d->Add(*row.second, *text("second")), row.same ? kKeyExists : S_OK) << row.label;
    EXPECT_EQ(count(d), row.same ? 1 : 2) << row.label;
    if (row.same) {
      EXPECT_EQ(keys(d), V{describe(*row.first)}) << row.label << ": the first stays";
    }
  }
}

TEST(Dictionary, MembersFollowADictionarysRules) {
  Dictionary d;
  for (const char* k : {"m", "c", "x"}) ASSERT_EQ(d->Add(*text(k), *text(k)), S_OK);
  Variant got;
  // Item of a missing key adds it, with the item Empty.
  EXPECT_EQ(d->get_Item(*text("a"), got.get()), S_OK);
  EXPECT_EQ(got->vt, VT_EMPTY);
  EXPECT_EQ(count(d), 4);
  EXPECT_EQ(d->put_Item(*text("a"), *i4(1)), S_OK) << "replaces";
  EXPECT_EQ(d->put_Item(*text("b"), *i4(2)), S_OK) << "adds";
  EXPECT_EQ(items(d), (V{"I4 1", "I4 2", "BSTR \"c\"", "BSTR \"m\"", "BSTR \"x\""}));
  // Renaming: the pair takes its new place.
  EXPECT_EQ(d->put_Key(*text("m"), *text("d")), S_OK);
  EXPECT_EQ(keys(d), (V{"BSTR \"a\"", "BSTR \"b\"", "BSTR \"c\"", "BSTR \"d\"", "BSTR \"x\""}));
  EXPECT_EQ(d->get_Item(*text("d"), got.get()), S_OK);
  EXPECT_EQ(describe(*got), "BSTR \"m\"");
  Variant unread;  // an out-argument comes in empty: the callee does not free what it held
  const struct {
    const char* label;
    HRESULT got, want;
  } errors[] = {
      {"Add of a key present", d->Add(*text("c"), *empty()), kKeyExists},
      {"Key of a missing key", d->put_Key(*text("q"), *text("r")), kElementNotFound},
      {"Key to a key present", d->put_Key(*text("c"), *text("x")), kKeyExists},
      {"Key to the key itself", d->put_Key(*text("c"), *text("c")), kKeyExists},
      {"Remove of a missing key", d->Remove(*text("q")), kElementNotFound},
      {"NaN as a key", d->Add(*r8(std::nan("")), *empty()), kInvalidArgument},
      {"an array as a key", d->put_Item(*list(0, values(i4(1))), *empty()), DISP_E_TYPEMISMATCH},
      {"an array read as Item", d->get_Item(*list(0, values(i4(1))), unread.get()),
       DISP_E_TYPEMISMATCH},
      {"Remove of an array", d->Remove(*list(0, values(i4(1)))), kElementNotFound},
      {"CompareMode with keys", d->put_CompareMode(1), kInvalidArgument},
  };
  for (const auto& e : errors) EXPECT_EQ(e.got, e.want) << e.label;
  EXPECT_EQ(count(d), 5) << "no failure changed anything";
  VARIANT_BOOL found = VARIANT_TRUE;
  EXPECT_EQ(d->Exists(*r8(std::nan("")), &found), S_OK);
  EXPECT_EQ(found, VARIANT_FALSE) << "a call that only looks answers not found";
  LONG at = 0;
  EXPECT_EQ(d->IndexOf(*list(0, values(i4(1))), &at), S_OK);
  EXPECT_EQ(at, -1);
  EXPECT_EQ(d->RemoveAll(), S_OK);
  EXPECT_EQ(count(d), 0);
}

TEST(Dictionary, TextModeMakesKeysEqualWithoutCase) {
  Dictionary d;
  EXPECT_EQ(d->put_CompareMode(1), S_OK);
  EXPECT_EQ(d->Add(*text("x"), *i4(1)), S_OK);
  EXPECT_EQ(d->Add(*text("X"), *i4(2)), kKeyExists);
  EXPECT_EQ(d->put_Key(*text("x"), *text("X")), kKeyExists) << "\"X\" is the key itself";
  EXPECT_EQ(d->put_Key(*text("X"), *text("y")), S_OK);
  EXPECT_EQ(keys(d), V{"BSTR \"y\""});
}

TEST(Dictionary, ForEachMayRemoveTheCurrentKey) {
  Dictionary d;
  for (LONG k = 1; k <= 6; ++k) ASSERT_EQ(d->Add(*i4(k), *empty()), S_OK);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(d->get__NewEnum(&unknown), S_OK);
  IEnumVARIANT* e = nullptr;
  ASSERT_EQ(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&e)), S_OK);
  unknown->Release();
  V seen;
  for (Variant k; e->Next(1, k.get(), nullptr) == S_OK; k = Variant()) {
    seen.push_back(describe(*k));
    if (k->lVal % 2 == 0) {
      EXPECT_EQ(d->Remove(*k), S_OK);
    }
  }
  e->Release();
  EXPECT_EQ(seen, (V{"I4 1", "I4 2", "I4 3", "I4 4", "I4 5", "I4 6"}));
  EXPECT_EQ(keys(d), (V{"I4 1", "I4 3", "I4 5"}));
}

}  // namespace
}  // namespace quilmar::test
