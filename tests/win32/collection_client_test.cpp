// A C++ client built against the header of type library 1.1, whose newest interface was
// _clsAVLt2, run against today's registered Quilmar.dll: the collection members through the
// vtable, their failures as status codes, and Find, Item and Remove from another apartment through
// the marshaller that the registered library drives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com_client.h"
#include "quilmar/quilmar.h"

namespace quilmar::test {
namespace {

constexpr HRESULT kInvalidArgument = static_cast<HRESULT>(0x800A0005);
constexpr HRESULT kOutOfMemory = static_cast<HRESULT>(0x800A0007);
constexpr HRESULT kSubscriptOutOfRange = static_cast<HRESULT>(0x800A0009);

// An optional Variant left out, as a script leaves it out.
VARIANT missing() {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

// "a b c": the elements of a 0-based array of Variants; "(not an array)" otherwise.
std::wstring elements(const Var& array) {
  if (array.v.vt != (VT_ARRAY | VT_VARIANT) || SafeArrayGetDim(array.v.parray) != 1)
    return L"(not an array)";
  LONG low = 1, high = 0;
  SafeArrayGetLBound(array.v.parray, 1, &low);
  SafeArrayGetUBound(array.v.parray, 1, &high);
  if (low != 0) return L"(lower bound " + std::to_wstring(low) + L")";
  std::wstring text;
  for (LONG i = low; i <= high; ++i) {
    Var element;
    SafeArrayGetElement(array.v.parray, &i, &element.v);
    text += (text.empty() ? L"" : L" ") + element.text();
  }
  return text;
}

class Collection : public testing::Test {
 protected:
  void SetUp() override {
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"Quilmar.clsAVLt", &clsid), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__clsAVLt2, store_.out()),
              S_OK);
  }

  HRESULT put(VARIANT key, const wchar_t* payload) {
    Var value(payload);
    return store_->put_Item(key, value.v);
  }
  HRESULT put(LONG key, const wchar_t* payload) {
    Var k(key);
    return put(k.v, payload);
  }
  // 10=a 20=b1 20=b2 30=c, the two 20s in the order inserted.
  void fill() {
    EXPECT_EQ(put(20, L"b1"), S_OK);
    EXPECT_EQ(put(10, L"a"), S_OK);
    EXPECT_EQ(put(30, L"c"), S_OK);
    Var twenty(20), b2(L"b2"), ignored;
    EXPECT_EQ(store_->Indata(&twenty, &b2, &ignored), S_OK);  // put_Item would replace b1
  }
  std::wstring read_sub() {
    Var payload;
    EXPECT_EQ(store_->ReadSub(&payload), S_OK);
    return payload.text();
  }
  std::wstring read(MODEVAL mode) {
    Var key;
    EXPECT_EQ(store_->Read(&mode, &key), S_OK);
    return mode == FAULT ? L"FAULT" : key.text();
  }
  LONG count() {
    LONG n = -1;
    EXPECT_EQ(store_->get_Count(&n), S_OK);
    return n;
  }

  Ref<_clsAVLt2> store_;
};

TEST_F(Collection, OneObjectAnswersForBothInterfacesAndDescribesTheNewOne) {
  Ref<_clsAVLt> old;
  ASSERT_EQ(store_->QueryInterface(IID__clsAVLt, old.out()), S_OK);
  Ref<_clsAVLt2> again;
  ASSERT_EQ(old->QueryInterface(IID__clsAVLt2, again.out()), S_OK);
  Ref<IUnknown> one, two;
  ASSERT_EQ(store_->QueryInterface(IID_IUnknown, one.out()), S_OK);
  ASSERT_EQ(old->QueryInterface(IID_IUnknown, two.out()), S_OK);
  EXPECT_EQ(one.get(), two.get()) << "one object";
  Ref<IEnumVARIANT> not_here;
  EXPECT_EQ(store_->QueryInterface(IID_IEnumVARIANT, not_here.out()), E_NOINTERFACE);

  // Early-bound tools ask IDispatch for the description: the newest interface's, which derives
  // from the one this client knows and lists every member it knows.
  Ref<ITypeInfo> info;
  ASSERT_EQ(store_->GetTypeInfo(0, 0, reinterpret_cast<ITypeInfo**>(info.out())), S_OK);
  HREFTYPE ref = 0;
  Ref<ITypeInfo> iface, base;  // the dual's interface side, then what it derives from
  ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
  ASSERT_EQ(info->GetRefTypeInfo(ref, reinterpret_cast<ITypeInfo**>(iface.out())), S_OK);
  ASSERT_EQ(iface->GetRefTypeOfImplType(0, &ref), S_OK);
  ASSERT_EQ(iface->GetRefTypeInfo(ref, reinterpret_cast<ITypeInfo**>(base.out())), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(base->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualIID(attr->guid, IID__clsAVLt2));
  base->ReleaseTypeAttr(attr);
  const wchar_t* names[] = {L"Find", L"Read", L"Item"};
  const MEMBERID want[] = {0x60040003, 0x60030005, DISPID_VALUE};
  for (int i = 0; i < 3; ++i) {
    MEMBERID id = 1;
    EXPECT_EQ(info->GetIDsOfNames(const_cast<LPOLESTR*>(&names[i]), 1, &id), S_OK);
    EXPECT_EQ(id, want[i]) << names[i];
  }
}

TEST_F(Collection, ItemReadsReplacesAndInserts) {
  fill();
  EXPECT_EQ(count(), 4);
  struct Case {
    LONG key;
    const wchar_t* payload;  // nullptr: none stored
  };
  for (const Case& c : {Case{10, L"a"}, Case{20, L"b1"}, Case{30, L"c"}, Case{25, nullptr}}) {
    Var key(c.key), payload, payload_again;
    VARIANT_BOOL exists = VARIANT_TRUE;
    EXPECT_EQ(store_->Exists(key.v, &exists), S_OK);
    EXPECT_EQ(exists, c.payload ? VARIANT_TRUE : VARIANT_FALSE) << c.key;
    EXPECT_EQ(store_->get_Item(key.v, &payload), c.payload ? S_OK : kSubscriptOutOfRange);
    EXPECT_EQ(payload.text(), c.payload ? c.payload : L"(empty)") << c.key;
  }
  EXPECT_EQ(put(20, L"new"), S_OK);  // the first equal key's payload
  EXPECT_EQ(put(25, L"d"), S_OK);    // no equal key: inserted
  EXPECT_EQ(count(), 5);
  Var items;
  EXPECT_EQ(store_->Items(missing(), missing(), &items), S_OK);
  EXPECT_EQ(elements(items), L"a new b2 d c");

  // An object goes in by reference, with Set or without.
  Ref<_clsAVLt2> other;
  ASSERT_EQ(
      CoCreateInstance(CLSID_clsAVLt, nullptr, CLSCTX_INPROC_SERVER, IID__clsAVLt2, other.out()),
      S_OK);
  Var object_key(L"object"), object, back;
  object.v.vt = VT_DISPATCH;
  object.v.pdispVal = other.get();
  other->AddRef();
  EXPECT_EQ(store_->putref_Item(object_key.v, object.v), S_OK);
  EXPECT_EQ(store_->get_Item(object_key.v, &back), S_OK);
  ASSERT_EQ(back.v.vt, VT_DISPATCH);
  EXPECT_EQ(back.v.pdispVal, static_cast<IDispatch*>(other.get()));
}

TEST_F(Collection, FailuresAreStatusCodesAndLeaveTheStoreAsItWas) {
  fill();
  Var empty_text(L""), nothing, payload;
  EXPECT_EQ(store_->put_Item(empty_text.v, nothing.v), kInvalidArgument);  // a key never stored
  EXPECT_EQ(store_->get_Item(empty_text.v, &payload), kSubscriptOutOfRange);
  Var key(20), found;
  EXPECT_EQ(store_->Seek(key.v, static_cast<SEEKMODE>(3), &found), kInvalidArgument);
  EXPECT_EQ(found.v.vt, VT_EMPTY);
  EXPECT_EQ(count(), 4);

  // A full table that cannot grow (a fractional size's): no room, reported without a box.
  FLOAT one_slot = 0.4f;
  VARIANT_BOOL built = VARIANT_FALSE;
  ASSERT_EQ(store_->Alloc(&one_slot, &built), S_OK);
  EXPECT_EQ(built, VARIANT_TRUE);
  EXPECT_EQ(put(40, L"x"), S_OK);
  EXPECT_EQ(put(41, L"x"), kOutOfMemory);
  Ref<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, reinterpret_cast<IErrorInfo**>(info.out())), S_OK);
  BSTR description = nullptr;
  EXPECT_EQ(info->GetDescription(&description), S_OK);
  EXPECT_STREQ(description, L"Out of memory");
  SysFreeString(description);
}

TEST_F(Collection, FindAndSeekPutTheCursorOnTheKeyTheyChoose) {
  fill();
  struct Case {
    LONG key;
    SEEKMODE how;
    const wchar_t* landed;  // "key=payload" under the cursor, or "(empty)": none qualifies
  };
  const Case cases[] = {
      {20, SEEK_FIRST_EQ, L"20=b1"},   {20, SEEK_LAST_EQ, L"20=b2"},
      {25, SEEK_FIRST_EQ, L"(empty)"}, {25, SEEK_AFTER_EQ, L"30=c"},
      {20, SEEK_AFTER_EQ, L"20=b1"},   {20, SEEK_AFTER, L"30=c"},
      {30, SEEK_AFTER, L"(empty)"},    {25, SEEK_BEFORE_EQ, L"20=b2"},
      {20, SEEK_BEFORE, L"10=a"},      {10, SEEK_BEFORE, L"(empty)"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(read(START_READ), L"10");  // a known place, so that "unchanged" shows
    Var key(c.key), found;
    ASSERT_EQ(store_->Seek(key.v, c.how, &found), S_OK);
    const std::wstring landed =
        found.v.vt == VT_EMPTY ? L"(empty)" : found.text() + L"=" + read_sub();
    EXPECT_EQ(landed, c.landed) << c.key << " mode " << c.how;
    if (found.v.vt == VT_EMPTY) {
      EXPECT_EQ(read_sub(), L"a") << "the cursor stays";
    }
  }

  // Find: the first equal key, then reading on from there; a step off the end blocks reading
  // until a Find lands.
  Var twenty(20), absent(25), ten(10);
  VARIANT_BOOL hit = VARIANT_FALSE;
  ASSERT_EQ(store_->Find(twenty.v, &hit), S_OK);
  EXPECT_EQ(hit, VARIANT_TRUE);
  EXPECT_EQ(read_sub(), L"b1");
  EXPECT_EQ(read(READ_NEXT), L"20");
  EXPECT_EQ(read_sub(), L"b2");
  ASSERT_EQ(store_->Find(absent.v, &hit), S_OK);
  EXPECT_EQ(hit, VARIANT_FALSE);
  EXPECT_EQ(read_sub(), L"b2");
  EXPECT_EQ(read(READ_NEXT), L"30");
  EXPECT_EQ(read(READ_NEXT), L"FAULT");
  ASSERT_EQ(store_->Find(ten.v, &hit), S_OK);
  EXPECT_EQ(hit, VARIANT_TRUE);
  EXPECT_EQ(read(READ_NEXT), L"20");
}

TEST_F(Collection, KeysAndItemsAreZeroBasedArraysWithinTheBounds) {
  fill();
  Var fifteen(15), twenty(20), forty(40), fifty(50);
  struct Case {
    VARIANT low, high;
    const wchar_t* keys;
    const wchar_t* items;
  };
  const Case cases[] = {
      {missing(), missing(), L"10 20 20 30", L"a b1 b2 c"},
      {fifteen.v, missing(), L"20 20 30", L"b1 b2 c"},
      {missing(), twenty.v, L"10 20 20", L"a b1 b2"},
      {twenty.v, twenty.v, L"20 20", L"b1 b2"},
      {forty.v, fifty.v, L"", L""},
  };
  for (const Case& c : cases) {
    Var keys, items;
    ASSERT_EQ(store_->Keys(c.low, c.high, &keys), S_OK);
    ASSERT_EQ(store_->Items(c.low, c.high, &items), S_OK);
    EXPECT_EQ(elements(keys), c.keys);
    EXPECT_EQ(elements(items), c.items);
    if (*c.keys) continue;
    LONG upper = -2;
    SafeArrayGetUBound(keys.v.parray, 1, &upper);
    EXPECT_EQ(upper, -1) << "an empty array, as UBound sees it";
  }
}

// The keys an enumerator hands out, `batch` at a time.
std::wstring enumerate(IEnumVARIANT* keys, ULONG batch) {
  std::wstring text;
  for (;;) {
    std::vector<VARIANT> got(batch);
    for (VARIANT& v : got) VariantInit(&v);
    ULONG fetched = 99;
    const HRESULT hr = keys->Next(batch, got.data(), &fetched);
    for (ULONG i = 0; i < fetched && i < batch; ++i) {
      Var key;
      key.v = got[i];
      text += (text.empty() ? L"" : L" ") + key.text();
    }
    if (hr != S_OK) {
      EXPECT_EQ(hr, S_FALSE);
      EXPECT_LT(fetched, batch);
      return text;
    }
    EXPECT_EQ(fetched, batch);
  }
}

TEST_F(Collection, NewEnumWalksTheKeysWithoutMovingTheCursor) {
  fill();
  Var thirty(30);
  VARIANT_BOOL hit = VARIANT_FALSE;
  ASSERT_EQ(store_->Find(thirty.v, &hit), S_OK);
  Ref<IUnknown> unknown;
  ASSERT_EQ(store_->get__NewEnum(reinterpret_cast<IUnknown**>(unknown.out())), S_OK);
  Ref<IEnumVARIANT> keys;
  ASSERT_EQ(unknown->QueryInterface(IID_IEnumVARIANT, keys.out()), S_OK);
  EXPECT_EQ(enumerate(keys.get(), 1), L"10 20 20 30");
  EXPECT_EQ(keys->Reset(), S_OK);
  EXPECT_EQ(enumerate(keys.get(), 3), L"10 20 20 30");
  EXPECT_EQ(keys->Reset(), S_OK);
  EXPECT_EQ(keys->Skip(2), S_OK);
  Ref<IEnumVARIANT> clone;
  ASSERT_EQ(keys->Clone(reinterpret_cast<IEnumVARIANT**>(clone.out())), S_OK);
  Var one;
  EXPECT_EQ(keys->Next(1, &one.v, nullptr), S_OK);  // no count asked for
  EXPECT_EQ(one.text(), L"20");
  EXPECT_EQ(enumerate(clone.get(), 100), L"20 30") << "the clone keeps its own position";
  EXPECT_EQ(keys->Skip(5), S_FALSE);
  EXPECT_EQ(read_sub(), L"c") << "the store's cursor did not move";
}

// Removal through the vtable: counts, the cursor moving on, an enumerator standing on a removed
// key going on with the next one, and RemoveAll keeping the policy.
TEST_F(Collection, RemoveRemoveCurrentAndRemoveAllThroughTheVtable) {
  fill();
  Ref<IUnknown> unknown;
  ASSERT_EQ(store_->get__NewEnum(reinterpret_cast<IUnknown**>(unknown.out())), S_OK);
  Ref<IEnumVARIANT> keys;
  ASSERT_EQ(unknown->QueryInterface(IID_IEnumVARIANT, keys.out()), S_OK);
  Var first;
  ASSERT_EQ(keys->Next(1, &first.v, nullptr), S_OK);
  ASSERT_EQ(first.text(), L"10");

  Var ten(10), twenty(20), absent(99), landed;
  LONG removed = -1;
  EXPECT_EQ(store_->Remove(absent.v, &removed), S_OK);
  EXPECT_EQ(removed, 0);
  EXPECT_EQ(store_->Remove(ten.v, &removed), S_OK) << "the enumerator stands on 10";
  EXPECT_EQ(removed, 1);
  EXPECT_EQ(enumerate(keys.get(), 10), L"20 20 30");

  VARIANT_BOOL hit = VARIANT_FALSE;
  ASSERT_EQ(store_->Find(twenty.v, &hit), S_OK);
  EXPECT_EQ(store_->RemoveCurrent(&landed), S_OK);
  EXPECT_EQ(landed.text(), L"20");
  EXPECT_EQ(read_sub(), L"b2") << "the cursor is on the copy of 20 that remains";
  EXPECT_EQ(count(), 2);
  EXPECT_EQ(store_->Remove(twenty.v, &removed), S_OK);
  EXPECT_EQ(removed, 1);
  EXPECT_EQ(read_sub(), L"c") << "Remove of the cursor's key moves it on";

  const EGN_MOD policy = USE_LAST_DATA;
  EGN_MOD copy = policy;
  ASSERT_EQ(store_->put_Egnore(&copy), S_OK);
  EXPECT_EQ(store_->RemoveAll(), S_OK);
  EXPECT_EQ(count(), 0);
  Var none;
  EXPECT_EQ(store_->RemoveCurrent(&none), S_OK);
  EXPECT_EQ(none.text(), L"") << "nothing to remove";
  EGN_MOD now = NOT_EGNORE;
  EXPECT_EQ(store_->get_Egnore(&now), S_OK);
  EXPECT_EQ(now, policy);
}

// What the other apartment's thread saw.
struct OtherApartment {
  DWORD cookie = 0;  // the object's entry in the global interface table
  _clsAVLt2* original = nullptr;
  bool through_proxy = false;
  HRESULT found_status = E_FAIL, item_status = E_FAIL, missing_status = S_OK;
  HRESULT keys_status = E_FAIL, enum_status = E_FAIL, remove_status = E_FAIL;
  LONG removed = -1;
  VARIANT_BOOL found = VARIANT_FALSE;
  std::wstring item, seek, keys, enumerated;
};

DWORD WINAPI call_from_another_apartment(void* param) {
  auto& a = *static_cast<OtherApartment*>(param);
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    Ref<IGlobalInterfaceTable> table;
    Ref<_clsAVLt2> store;
    if (SUCCEEDED(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IGlobalInterfaceTable, table.out())) &&
        SUCCEEDED(table->GetInterfaceFromGlobal(a.cookie, IID__clsAVLt2, store.out()))) {
      a.through_proxy = store.get() != a.original;
      Var key(L"b"), absent(L"zz"), payload, nothing, after(L"bb"), landed, keys;
      a.found_status = store->Find(key.v, &a.found);
      a.item_status = store->get_Item(key.v, &payload);
      a.item = payload.text();
      a.missing_status = store->get_Item(absent.v, &nothing);
      store->Seek(after.v, SEEK_AFTER_EQ, &landed);
      a.seek = landed.text();
      a.keys_status = store->Keys(missing(), missing(), &keys);
      a.keys = elements(keys);
      Ref<IUnknown> unknown;
      Ref<IEnumVARIANT> walk;
      a.enum_status = store->get__NewEnum(reinterpret_cast<IUnknown**>(unknown.out()));
      if (SUCCEEDED(a.enum_status))
        a.enum_status = unknown->QueryInterface(IID_IEnumVARIANT, walk.out());
      if (SUCCEEDED(a.enum_status)) a.enumerated = enumerate(walk.get(), 2);
      Var gone(L"a");
      a.remove_status = store->Remove(gone.v, &a.removed);
    }
  }
  CoUninitialize();
  return 0;
}

// The object lives in this thread's single-threaded apartment; a thread of the multithreaded
// apartment reaches it through a proxy built from the registered type library.
TEST_F(Collection, FindAndItemFromAnotherApartmentGoThroughTheMarshaller) {
  for (const wchar_t* k : {L"c", L"a", L"b"}) {
    Var key(k);
    ASSERT_EQ(put(key.v, (std::wstring(L"payload of ") + k).c_str()), S_OK);
  }
  Ref<IGlobalInterfaceTable> table;
  ASSERT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IGlobalInterfaceTable, table.out()),
            S_OK);
  OtherApartment a;
  a.original = store_.get();
  ASSERT_EQ(table->RegisterInterfaceInGlobal(store_.get(), IID__clsAVLt2, &a.cookie), S_OK);
  // The calls arrive as messages on this thread, the object's own.
  EXPECT_TRUE(run_pumping(call_from_another_apartment, &a)) << "the other thread did not finish";
  EXPECT_EQ(table->RevokeInterfaceFromGlobal(a.cookie), S_OK);

  EXPECT_TRUE(a.through_proxy);
  EXPECT_EQ(a.found_status, S_OK);
  EXPECT_EQ(a.found, VARIANT_TRUE);
  EXPECT_EQ(a.item_status, S_OK);
  EXPECT_EQ(a.item, L"payload of b");
  EXPECT_EQ(a.missing_status, kSubscriptOutOfRange);
  EXPECT_EQ(a.seek, L"c");
  EXPECT_EQ(a.keys_status, S_OK);
  EXPECT_EQ(a.keys, L"a b c");
  EXPECT_EQ(a.enum_status, S_OK);
  EXPECT_EQ(a.enumerated, L"a b c");
  EXPECT_EQ(a.remove_status, S_OK);
  EXPECT_EQ(a.removed, 1);
  EXPECT_EQ(count(), 2);
  // The remote Seek moved this very object's cursor.
  EXPECT_EQ(read_sub(), L"payload of c");
}

}  // namespace
}  // namespace quilmar::test
