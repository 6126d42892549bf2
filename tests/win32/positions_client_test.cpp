// A C++ client of type library 1.2 through the registered Quilmar.dll: one call per member of
// _clsAVLt3 and of SortedDictionary's ISortedDictionary through the vtable, their failures as
// status codes with an error object, the descriptions early-bound tools read, and one call of
// each interface from another apartment through the marshaller the registered library drives.
// What the members do is the store's and tested there; these are the bindings.
#include <gtest/gtest.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "com_client.h"
#include "quilmar/quilmar.h"

namespace quilmar::test {
namespace {

constexpr HRESULT kInvalidArgument = static_cast<HRESULT>(0x800A0005);
constexpr HRESULT kSubscriptOutOfRange = static_cast<HRESULT>(0x800A0009);
constexpr HRESULT kKeyExists = static_cast<HRESULT>(0x800A01C9);        // 457
constexpr HRESULT kElementNotFound = static_cast<HRESULT>(0x800A802B);  // 32811

VARIANT missing() {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

// A 0-based 1-D array of Variants holding `values` (which it takes), owned by the Var.
void make_array(Var& out, std::vector<VARIANT> values) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
  for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
    SafeArrayPutElement(array, &i, &values[i]);
    VariantClear(&values[i]);
  }
  out.v.vt = VT_ARRAY | VT_VARIANT;
  out.v.parray = array;
}

VARIANT text(const wchar_t* s) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(s);
  return v;
}

// The array's elements row by row ("a|1 b|2" for a 2-D one), with its bounds first.
std::wstring describe(const Var& array) {
  if (!(array.v.vt & VT_ARRAY)) return L"(not an array)";
  SAFEARRAY* a = array.v.parray;
  const UINT dims = SafeArrayGetDim(a);
  LONG low1 = 0, high1 = -1, low2 = 0, high2 = 0;
  SafeArrayGetLBound(a, 1, &low1);
  SafeArrayGetUBound(a, 1, &high1);
  if (dims == 2) {
    SafeArrayGetLBound(a, 2, &low2);
    SafeArrayGetUBound(a, 2, &high2);
  }
  std::wstring out = L"[" + std::to_wstring(low1) + L".." + std::to_wstring(high1);
  if (dims == 2) out += L"," + std::to_wstring(low2) + L".." + std::to_wstring(high2);
  out += L"]";
  for (LONG r = low1; r <= high1; ++r) {
    out += L" ";
    for (LONG c = low2; c <= (dims == 2 ? high2 : low2); ++c) {
      LONG at[2] = {r, c};
      Var element;
      SafeArrayGetElement(a, at, &element.v);
      out += (c == low2 ? L"" : L"|") + element.text();
    }
  }
  return out;
}

std::wstring error_description() {
  Ref<IErrorInfo> info;
  if (GetErrorInfo(0, reinterpret_cast<IErrorInfo**>(info.out())) != S_OK) return L"(none)";
  BSTR description = nullptr;
  info->GetDescription(&description);
  std::wstring text = description ? description : L"";
  SysFreeString(description);
  return text;
}

std::wstring type_name(ITypeInfo* info) {
  BSTR name = nullptr;
  info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
  std::wstring text = name ? name : L"";
  SysFreeString(name);
  return text;
}

TEST(Positions, EveryMemberOfTheThirdInterface) {
  Ref<_clsAVLt3> store;
  ASSERT_EQ(
      CoCreateInstance(CLSID_clsAVLt, nullptr, CLSCTX_INPROC_SERVER, IID__clsAVLt3, store.out()),
      S_OK);
  EXPECT_EQ(store->put_CompareMode(1), S_OK);
  LONG mode = -1;
  EXPECT_EQ(store->get_CompareMode(&mode), S_OK);
  EXPECT_EQ(mode, 1);

  Var source;
  make_array(source, {text(L"pear"), text(L"Apple"), text(L"fig")});
  LONG taken = -1;
  EXPECT_EQ(store->Load(source.v, missing(), missing(), &taken), S_OK);
  EXPECT_EQ(taken, 3);
  EXPECT_EQ(store->put_CompareMode(0), kInvalidArgument) << "not while it holds keys";

  Var key;
  EXPECT_EQ(store->KeyAt(0, &key.v), S_OK);
  EXPECT_EQ(key.text(), L"Apple");
  Var payload(L"green");
  EXPECT_EQ(store->put_ItemAt(1, payload.v), S_OK);
  Var read;
  EXPECT_EQ(store->get_ItemAt(1, &read.v), S_OK);
  EXPECT_EQ(read.text(), L"green");
  Var probe(L"PEAR");
  LONG index = -2;
  EXPECT_EQ(store->IndexOf(probe.v, &index), S_OK);
  EXPECT_EQ(index, 2) << "text mode";
  EXPECT_EQ(store->put_Position(2), S_OK);
  LONG position = -2;
  EXPECT_EQ(store->get_Position(&position), S_OK);
  EXPECT_EQ(position, 2);

  Var all;
  EXPECT_EQ(store->ToArray(missing(), missing(), &all.v), S_OK);
  EXPECT_EQ(describe(all), L"[1..3,1..2] Apple| fig|green pear|");

  Var unsorted, sorted;
  make_array(unsorted, {text(L"b"), text(L"C"), text(L"a")});
  EXPECT_EQ(store->Sort(unsorted.v, missing(), missing(), &sorted.v), S_OK);
  EXPECT_EQ(describe(sorted), L"[0..2] a b C");

  EXPECT_EQ(store->RemoveAt(0), S_OK);
  // Failures: a status code and an error object with the conventional text.
  Var nothing;
  EXPECT_EQ(store->KeyAt(5, &nothing.v), kSubscriptOutOfRange);
  EXPECT_EQ(error_description(), L"Subscript out of range");
  EXPECT_EQ(store->RemoveAt(-1), kSubscriptOutOfRange);
  EXPECT_EQ(store->put_Position(2), kSubscriptOutOfRange);
  // A row the store cannot hold: the description names it.
  Var bad;
  VARIANT error_cell;
  error_cell.vt = VT_ERROR;
  error_cell.scode = static_cast<SCODE>(0x800A07FA);  // a cell's #N/A
  make_array(bad, {text(L"kiwi"), error_cell});
  EXPECT_EQ(store->Load(bad.v, missing(), missing(), &taken), kInvalidArgument);
  EXPECT_EQ(error_description(), L"Invalid procedure call or argument (row 1)");  // its index
  LONG count = -1;
  EXPECT_EQ(store->get_Count(&count), S_OK);
  EXPECT_EQ(count, 2) << "nothing of the failed Load stays";
}

TEST(Positions, TheClassDescribesTheThirdInterface) {
  Ref<IDispatch> store;
  ASSERT_EQ(
      CoCreateInstance(CLSID_clsAVLt, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, store.out()),
      S_OK);
  Ref<ITypeInfo> info;
  ASSERT_EQ(store->GetTypeInfo(0, 0, reinterpret_cast<ITypeInfo**>(info.out())), S_OK);
  EXPECT_EQ(type_name(info.get()), L"_clsAVLt3");
  const wchar_t* name = L"KeyAt";
  MEMBERID id = 0;
  EXPECT_EQ(info->GetIDsOfNames(const_cast<LPOLESTR*>(&name), 1, &id), S_OK);
  EXPECT_EQ(id, 0x6004000B);
}

class Dictionary : public testing::Test {
 protected:
  void SetUp() override {
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"Quilmar.SortedDictionary", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_SortedDictionary));
    ASSERT_EQ(
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ISortedDictionary, dict_.out()),
        S_OK);
  }
  HRESULT add(const wchar_t* key, LONG item) {
    Var k(key), i(item);
    return dict_->Add(k.v, i.v);
  }
  Ref<ISortedDictionary> dict_;
};

TEST_F(Dictionary, EveryMemberThroughTheVtable) {
  EXPECT_EQ(dict_->put_CompareMode(1), S_OK);
  for (const wchar_t* k : {L"Smith", L"brown", L"Jones"}) EXPECT_EQ(add(k, 7), S_OK);
  EXPECT_EQ(add(L"BROWN", 1), kKeyExists);
  EXPECT_EQ(error_description(),
            L"This key is already associated with an element of this collection");
  LONG mode = -1, count = -1;
  EXPECT_EQ(dict_->get_CompareMode(&mode), S_OK);
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(dict_->get_Count(&count), S_OK);
  EXPECT_EQ(count, 3);

  Var smith(L"smith"), twelve(12L), got;
  EXPECT_EQ(dict_->put_Item(smith.v, twelve.v), S_OK);
  EXPECT_EQ(dict_->get_Item(smith.v, &got.v), S_OK);
  EXPECT_EQ(got.text(), L"12");
  VARIANT_BOOL exists = VARIANT_FALSE;
  EXPECT_EQ(dict_->Exists(smith.v, &exists), S_OK);
  EXPECT_EQ(exists, VARIANT_TRUE);
  Var jones(L"Jones"), taylor(L"Taylor");
  EXPECT_EQ(dict_->put_Key(jones.v, taylor.v), S_OK);

  Var keys, items;
  EXPECT_EQ(dict_->Keys(missing(), missing(), &keys.v), S_OK);
  EXPECT_EQ(describe(keys), L"[0..2] brown Smith Taylor");
  EXPECT_EQ(dict_->Items(missing(), missing(), &items.v), S_OK);
  EXPECT_EQ(describe(items), L"[0..2] 7 12 7");

  Var key, item;
  EXPECT_EQ(dict_->KeyAt(1, &key.v), S_OK);
  EXPECT_EQ(key.text(), L"Smith");
  EXPECT_EQ(dict_->put_ItemAt(0, twelve.v), S_OK);
  EXPECT_EQ(dict_->get_ItemAt(0, &item.v), S_OK);
  EXPECT_EQ(item.text(), L"12");
  LONG index = -2;
  EXPECT_EQ(dict_->IndexOf(taylor.v, &index), S_OK);
  EXPECT_EQ(index, 2);
  Var s(L"S"), found;
  EXPECT_EQ(dict_->Seek(s.v, SEEK_AFTER_EQ, &found.v), S_OK);
  EXPECT_EQ(found.text(), L"Smith");
  Var table;
  EXPECT_EQ(dict_->ToArray(missing(), missing(), &table.v), S_OK);
  EXPECT_EQ(describe(table), L"[1..3,1..2] brown|12 Smith|12 Taylor|7");

  Ref<IUnknown> unknown;
  Ref<IEnumVARIANT> walk;
  EXPECT_EQ(dict_->get__NewEnum(reinterpret_cast<IUnknown**>(unknown.out())), S_OK);
  ASSERT_EQ(unknown->QueryInterface(IID_IEnumVARIANT, walk.out()), S_OK);
  Var first;
  ULONG fetched = 0;
  EXPECT_EQ(walk->Next(1, &first.v, &fetched), S_OK);
  EXPECT_EQ(first.text(), L"brown");

  EXPECT_EQ(dict_->RemoveAt(0), S_OK);
  EXPECT_EQ(dict_->Remove(smith.v), S_OK);
  EXPECT_EQ(dict_->Remove(smith.v), kElementNotFound);
  EXPECT_EQ(error_description(), L"Element not found");
  Var nothing;
  EXPECT_EQ(dict_->KeyAt(1, &nothing.v), kSubscriptOutOfRange);
  EXPECT_EQ(dict_->RemoveAll(), S_OK);
  Var source;
  make_array(source, {text(L"b"), text(L"a")});
  LONG taken = -1;
  EXPECT_EQ(dict_->Load(source.v, missing(), missing(), &taken), S_OK);
  EXPECT_EQ(taken, 2);
  Var unsorted, sorted;
  make_array(unsorted, {text(L"b"), text(L"a")});
  EXPECT_EQ(dict_->Sort(unsorted.v, missing(), missing(), &sorted.v), S_OK);
  EXPECT_EQ(describe(sorted), L"[0..1] a b");
}

TEST_F(Dictionary, DescribesItsClassAndInterface) {
  Ref<IProvideClassInfo> provider;
  ASSERT_EQ(dict_->QueryInterface(IID_IProvideClassInfo, provider.out()), S_OK);
  Ref<ITypeInfo> coclass, iface;
  ASSERT_EQ(provider->GetClassInfo(reinterpret_cast<ITypeInfo**>(coclass.out())), S_OK);
  EXPECT_EQ(type_name(coclass.get()), L"SortedDictionary");
  ASSERT_EQ(dict_->GetTypeInfo(0, 0, reinterpret_cast<ITypeInfo**>(iface.out())), S_OK);
  EXPECT_EQ(type_name(iface.get()), L"ISortedDictionary");
}

// Calls of both new interfaces from a multithreaded apartment reach the objects through the
// marshaller the registered library drives.
struct OtherApartment {
  DWORD store_cookie = 0, dict_cookie = 0;
  HRESULT key_status = E_FAIL, exists_status = E_FAIL, missing_status = S_OK;
  std::wstring key;
  VARIANT_BOOL exists = VARIANT_FALSE;
};

DWORD WINAPI call_from_another_apartment(void* param) {
  auto& a = *static_cast<OtherApartment*>(param);
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    Ref<IGlobalInterfaceTable> table;
    CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                     IID_IGlobalInterfaceTable, table.out());
    Ref<_clsAVLt3> store;
    Ref<ISortedDictionary> dict;
    if (table.get() &&
        SUCCEEDED(table->GetInterfaceFromGlobal(a.store_cookie, IID__clsAVLt3, store.out())) &&
        SUCCEEDED(
            table->GetInterfaceFromGlobal(a.dict_cookie, IID_ISortedDictionary, dict.out()))) {
      Var key, none;
      a.key_status = store->KeyAt(0, &key.v);
      a.key = key.text();
      a.missing_status = store->KeyAt(9, &none.v);
      Var probe(L"x");
      a.exists_status = dict->Exists(probe.v, &a.exists);
    }
  }
  CoUninitialize();
  return 0;
}

TEST_F(Dictionary, NewInterfacesFromAnotherApartment) {
  Ref<_clsAVLt3> store;
  ASSERT_EQ(
      CoCreateInstance(CLSID_clsAVLt, nullptr, CLSCTX_INPROC_SERVER, IID__clsAVLt3, store.out()),
      S_OK);
  Var k(L"k"), payload(L"p"), ignored;
  ASSERT_EQ(store->Indata(&k.v, &payload.v, &ignored.v), S_OK);
  ASSERT_EQ(add(L"x", 1), S_OK);
  Ref<IGlobalInterfaceTable> table;
  ASSERT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IGlobalInterfaceTable, table.out()),
            S_OK);
  OtherApartment a;
  ASSERT_EQ(table->RegisterInterfaceInGlobal(store.get(), IID__clsAVLt3, &a.store_cookie), S_OK);
  ASSERT_EQ(table->RegisterInterfaceInGlobal(dict_.get(), IID_ISortedDictionary, &a.dict_cookie),
            S_OK);
  EXPECT_TRUE(run_pumping(call_from_another_apartment, &a)) << "the other thread did not finish";
  EXPECT_EQ(table->RevokeInterfaceFromGlobal(a.store_cookie), S_OK);
  EXPECT_EQ(table->RevokeInterfaceFromGlobal(a.dict_cookie), S_OK);
  EXPECT_EQ(a.key_status, S_OK);
  EXPECT_EQ(a.key, L"k");
  EXPECT_EQ(a.missing_status, kSubscriptOutOfRange);
  EXPECT_EQ(a.exists_status, S_OK);
  EXPECT_EQ(a.exists, VARIANT_TRUE);
}

}  // namespace
}  // namespace quilmar::test
