// A client built against quilmar.h as it was before _clsAVLt2 (the frozen copy beside this file),
// run against the registered Quilmar.dll of today: everything it was compiled to call still works,
// through the vtable, by name, from another apartment and through type library 1.0's description.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "../com_client.h"
#include "quilmar/quilmar.h"

namespace {

// The include path leads to the frozen header, which does not define _clsAVLt2.
template <class T, class = void>
struct Defined : std::false_type {};
template <class T>
struct Defined<T, std::void_t<decltype(sizeof(T))>> : std::true_type {};
}  // namespace
struct _clsAVLt2;
static_assert(!Defined<_clsAVLt2>::value, "built against today's quilmar.h, not the frozen one");

namespace {

using quilmar::test::Ref;
using quilmar::test::run_pumping;
using quilmar::test::Var;

void create(Ref<_clsAVLt>& store) {
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(L"Quilmar.clsAVLt", &clsid), S_OK);
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__clsAVLt, store.out()),
            S_OK);
}

// Inserts pear, apple, fig under USE_LAST_DATA, fig twice; returns the keys read ascending.
std::wstring fill_and_walk(_clsAVLt* store) {
  EGN_MOD policy = USE_LAST_DATA;
  EXPECT_EQ(store->put_Egnore(&policy), S_OK);
  const wchar_t* pairs[][2] = {{L"pear", L"3"}, {L"fig", L"7"}, {L"apple", L"5"}, {L"fig", L"8"}};
  for (const auto& pair : pairs) {
    Var key(pair[0]), payload(pair[1]), result;
    EXPECT_EQ(store->Indata(&key.v, &payload.v, &result.v), S_OK);
  }
  std::wstring text;
  MODEVAL mode = START_READ;
  for (int i = 0; i < 10; ++i) {
    Var key, payload;
    EXPECT_EQ(store->Read(&mode, &key.v), S_OK);
    if (mode == FAULT) break;
    EXPECT_EQ(store->ReadSub(&payload.v), S_OK);
    text += (text.empty() ? L"" : L" ") + key.text() + L"=" + payload.text();
    mode = READ_NEXT;
  }
  return text;
}

TEST(OldClient, CallsEveryMemberThroughTheVtable) {
  Ref<_clsAVLt> store;
  create(store);
  EXPECT_EQ(fill_and_walk(store.get()), L"apple=5 fig=8 pear=3");
  LONG n = -1, slots = -1;
  EXPECT_EQ(store->get_DataNumber(&n), S_OK);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(store->get_MemorySize(&slots), S_OK);
  EXPECT_EQ(slots, 100);
  BSTR version = nullptr;
  EXPECT_EQ(store->get_GetVersion(&version), S_OK);
  EXPECT_STREQ(version, L"Ver1.06");
  SysFreeString(version);
  FLOAT size = 10;
  VARIANT_BOOL built = VARIANT_FALSE;
  EXPECT_EQ(store->Alloc(&size, &built), S_OK);
  EXPECT_EQ(built, VARIANT_TRUE);
  EXPECT_EQ(store->get_DataNumber(&n), S_OK);
  EXPECT_EQ(n, 0);
}

TEST(OldClient, CallsByNameWithTheIdsItWasBuiltWith) {
  Ref<_clsAVLt> store;
  create(store);
  fill_and_walk(store.get());
  const wchar_t* names[] = {L"Read",   L"Alloc",      L"Indata",     L"ReadSub",
                            L"Egnore", L"MemorySize", L"DataNumber", L"GetVersion"};
  const DISPID ids[] = {0x60030005, 0x60030008, 0x60030009, 0x6003000A,
                        0x68030003, 0x68030002, 0x68030001, 0x68030000};
  for (int i = 0; i < 8; ++i) {
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(names[i]);
    EXPECT_EQ(store->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    EXPECT_EQ(id, ids[i]) << names[i];
  }
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  Var count;
  EXPECT_EQ(store->Invoke(0x68030001, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &count.v, nullptr,
                          nullptr),
            S_OK);
  EXPECT_EQ(count.text(), L"3");
}

// What an early-bound client built against version 1.0 does: ask the registry for 1.0 and find
// _clsAVLt described as before, in the library that is now 1.1.
TEST(OldClient, TypeLibrary10StillLoadsWithTheOldInterface) {
  Ref<ITypeLib> library;
  ASSERT_EQ(LoadRegTypeLib(LIBID_Quilmar, 1, 0, 0, reinterpret_cast<ITypeLib**>(library.out())),
            S_OK);
  Ref<ITypeInfo> dual, vtable_side;
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID__clsAVLt, reinterpret_cast<ITypeInfo**>(dual.out())),
            S_OK);
  HREFTYPE ref = 0;
  ASSERT_EQ(dual->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
  ASSERT_EQ(dual->GetRefTypeInfo(ref, reinterpret_cast<ITypeInfo**>(vtable_side.out())), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(vtable_side->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->cFuncs, 9);
  EXPECT_EQ(attr->cbSizeVft, (7 + 9) * sizeof(void*));
  vtable_side->ReleaseTypeAttr(attr);
}

struct Apartment {
  IStream* stream = nullptr;
  _clsAVLt* original = nullptr;
  bool through_proxy = false;
  LONG keys = 0;
  std::wstring version;
};

DWORD WINAPI second_apartment(void* param) {
  auto& a = *static_cast<Apartment*>(param);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    Ref<_clsAVLt> store;
    if (SUCCEEDED(CoGetInterfaceAndReleaseStream(a.stream, IID__clsAVLt, store.out()))) {
      a.through_proxy = store.get() != a.original;
      Var key(L"banana"), payload(L"6"), result;
      store->Indata(&key.v, &payload.v, &result.v);
      store->get_DataNumber(&a.keys);
      BSTR version = nullptr;
      if (SUCCEEDED(store->get_GetVersion(&version))) a.version = version;
      SysFreeString(version);
    }
  }
  CoUninitialize();
  return 0;
}

// The interface's registry entries now name library 1.1, whose _clsAVLt the marshaller uses.
TEST(OldClient, CallsFromASecondApartmentGoThroughMarshalling) {
  Ref<_clsAVLt> store;
  create(store);
  fill_and_walk(store.get());
  Apartment a;
  a.original = store.get();
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID__clsAVLt, store.get(), &a.stream), S_OK);
  EXPECT_TRUE(run_pumping(second_apartment, &a)) << "the other thread did not finish";
  EXPECT_TRUE(a.through_proxy);
  EXPECT_EQ(a.keys, 4);
  EXPECT_EQ(a.version, L"Ver1.06");
  LONG n = 0;
  EXPECT_EQ(store->get_DataNumber(&n), S_OK);
  EXPECT_EQ(n, 4);
}

}  // namespace
