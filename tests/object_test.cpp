// The object as a client creates it: through DllGetClassObject and the class factory.
#include "object.h"

#include <gtest/gtest.h>

#include "values.h"

namespace quilmar::test {
namespace {

IClassFactory* factory() {
  IClassFactory* f = nullptr;
  EXPECT_EQ(DllGetClassObject(CLSID_clsAVLt, IID_IClassFactory, reinterpret_cast<void**>(&f)),
            S_OK);
  return f;
}

TEST(Object, ConstructionDefaultsThroughTheVtable) {
  TestObject<> store;
  ASSERT_NE(store.get(), nullptr);
  LONG n = -1;
  EXPECT_EQ(store->get_MemorySize(&n), S_OK);
  EXPECT_EQ(n, 100);
  EXPECT_EQ(store->get_DataNumber(&n), S_OK);
  EXPECT_EQ(n, 0);
  EGN_MOD mode = USE_LAST_DATA;
  EXPECT_EQ(store->get_Egnore(&mode), S_OK);
  EXPECT_EQ(mode, NOT_EGNORE);
  BSTR version = nullptr;
  EXPECT_EQ(store->get_GetVersion(&version), S_OK);
  EXPECT_EQ(Text(version, SysStringLen(version)), T("Ver1.06"));
  SysFreeString(version);
}

TEST(Object, AllocAndEgnoreThroughTheVtable) {
  TestObject<> store;
  EGN_MOD seven = static_cast<EGN_MOD>(7);
  EXPECT_EQ(store->put_Egnore(&seven), S_OK);
  EGN_MOD read = NOT_EGNORE;
  store->get_Egnore(&read);
  EXPECT_EQ(read, 7);
  FLOAT siz = -1;
  VARIANT_BOOL built = VARIANT_TRUE;
  EXPECT_EQ(store->Alloc(&siz, &built), S_OK);
  EXPECT_EQ(built, VARIANT_FALSE);
  EXPECT_EQ(siz, -1);  // declared in and out, never written
  LONG n = 0;
  store->get_MemorySize(&n);
  EXPECT_EQ(n, -1);
  siz = 3e9f;
  EXPECT_EQ(store->Alloc(&siz, &built), S_OK);
  EXPECT_EQ(built, VARIANT_FALSE);
  n = 5;
  EXPECT_EQ(store->get_MemorySize(&n), static_cast<HRESULT>(0x800A0006));
  EXPECT_EQ(n, 0);
  siz = 10.5f;
  EXPECT_EQ(store->Alloc(&siz, &built), S_OK);
  EXPECT_EQ(built, VARIANT_TRUE);
  EXPECT_EQ(store->get_MemorySize(&n), S_OK);
  EXPECT_EQ(n, 10);
  store->get_Egnore(&read);
  EXPECT_EQ(read, NOT_EGNORE);
}

TEST(Object, QueryInterfaceAnswersItsThreeInterfaces) {
  TestObject<> store;
  for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID__clsAVLt}) {
    void* p = nullptr;
    EXPECT_EQ(store->QueryInterface(*iid, &p), S_OK);
    EXPECT_EQ(p, static_cast<void*>(store.get()));
    static_cast<IUnknown*>(p)->Release();
  }
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(store->QueryInterface(IID_IClassFactory, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
}

TEST(Object, FactoryRefusesOtherClassesAndAggregation) {
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(DllGetClassObject(IID__clsAVLt, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(p, nullptr);
  TestObject<> store;
  IUnknown* outer = store.get();
  IClassFactory* f = factory();
  EXPECT_EQ(f->CreateInstance(outer, IID_IUnknown, &p), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(p, nullptr);
  f->Release();
}

TEST(Object, CanUnloadOnlyWhenNothingIsOutstanding) {
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  {
    IClassFactory* f = factory();
    _clsAVLt* store = nullptr;
    f->CreateInstance(nullptr, IID__clsAVLt, reinterpret_cast<void**>(&store));
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    f->LockServer(TRUE);
    store->Release();
    f->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the lock
    f = factory();
    f->LockServer(FALSE);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the factory reference
    f->Release();
  }
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace quilmar::test
