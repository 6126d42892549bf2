// A C++ client of the registered Quilmar.dll: creation by programmatic identifier, calls through
// the vtable, message boxes, a second apartment, and unloading.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "box_capture.h"
#include "com_client.h"
#include "quilmar/quilmar.h"

namespace quilmar::test {
namespace {

Ref<_clsAVLt>& create(Ref<_clsAVLt>& store) {
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID(L"Quilmar.clsAVLt", &clsid), S_OK);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__clsAVLt, store.out()),
            S_OK);
  return store;
}

LONG data_number(_clsAVLt* store) {
  LONG n = -1;
  EXPECT_EQ(store->get_DataNumber(&n), S_OK);
  return n;
}

void insert(_clsAVLt* store, VARIANT* key, const wchar_t* payload = L"") {
  Var data(payload), result;
  EXPECT_EQ(store->Indata(key, &data, &result), S_OK);
  EXPECT_EQ(result.v.vt, VT_EMPTY);
}

void insert(_clsAVLt* store, const wchar_t* key, const wchar_t* payload = L"") {
  Var k(key);
  insert(store, &k, payload);
}

// "key=payload key=payload ...", from `first` on until FAULT.
std::wstring walk(_clsAVLt* store, MODEVAL first, MODEVAL step) {
  std::wstring text;
  MODEVAL mode = first;
  for (int i = 0; i < 50; ++i) {
    Var key, payload;
    EXPECT_EQ(store->Read(&mode, &key), S_OK);
    if (mode == FAULT) break;
    EXPECT_EQ(store->ReadSub(&payload), S_OK);
    text += (text.empty() ? L"" : L" ") + key.text() + L"=" + payload.text();
    mode = step;
  }
  return text;
}

// An export of the loaded library, as the function type it has.
template <class F>
F library_export(const char* name) {
  const FARPROC proc = GetProcAddress(GetModuleHandleW(L"Quilmar.dll"), name);
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
}

bool alloc(_clsAVLt* store, FLOAT size) {
  VARIANT_BOOL built = VARIANT_FALSE;
  EXPECT_EQ(store->Alloc(&size, &built), S_OK);
  return built == VARIANT_TRUE;
}

TEST(Registration, ProgIdAndClassLeadToEachOther) {
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(L"Quilmar.clsAVLt", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_clsAVLt));
  LPOLESTR prog_id = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(CLSID_clsAVLt, &prog_id), S_OK);
  EXPECT_STREQ(prog_id, L"Quilmar.clsAVLt");
  CoTaskMemFree(prog_id);
}

// Which Quilmar.dll a process loaded: the file that its own registry view names (on 64-bit Windows
// a 32-bit process reads the 32-bit view). The test run says which bitness this client must have.
TEST(Registration, TheProcessLoadsTheFileItsViewNames) {
  if (const char* bits = std::getenv("QUILMAR_CLIENT_BITS")) {
    EXPECT_EQ(std::to_string(sizeof(void*) * 8), bits) << "the client's bitness";
  }
  wchar_t registered[1024] = {};
  DWORD size = sizeof registered;
  ASSERT_EQ(RegGetValueW(HKEY_CLASSES_ROOT,
                         L"CLSID\\{1B489C75-85E8-4326-B849-E3ECEA4207BB}\\InprocServer32", nullptr,
                         RRF_RT_REG_SZ, nullptr, registered, &size),
            ERROR_SUCCESS);
  Ref<_clsAVLt> store;
  create(store);
  wchar_t loaded[1024] = {};
  ASSERT_GT(GetModuleFileNameW(GetModuleHandleW(L"Quilmar.dll"), loaded, 1024), 0u);
  EXPECT_EQ(lstrcmpiW(loaded, registered), 0)
      << std::wstring(loaded) << " loaded, " << std::wstring(registered) << " registered";
}

TEST(Client, NewObjectThroughCoCreateInstance) {
  Ref<_clsAVLt> store;
  create(store);
  ASSERT_NE(store.get(), nullptr);
  LONG size = -1;
  EXPECT_EQ(store->get_MemorySize(&size), S_OK);
  EXPECT_EQ(size, 100);
  EXPECT_EQ(data_number(store.get()), 0);
  EGN_MOD mode = USE_LAST_DATA;
  EXPECT_EQ(store->get_Egnore(&mode), S_OK);
  EXPECT_EQ(mode, NOT_EGNORE);
  BSTR version = nullptr;
  EXPECT_EQ(store->get_GetVersion(&version), S_OK);
  EXPECT_STREQ(version, L"Ver1.06");
  SysFreeString(version);
  Ref<IDispatch> dispatch;
  EXPECT_EQ(store->QueryInterface(IID_IDispatch, dispatch.out()), S_OK);
}

TEST(Client, ExportsByNameAndOrdinalAndTheFactorysRefusals) {
  Ref<_clsAVLt> store;
  create(store);  // loads the library
  HMODULE dll = GetModuleHandleW(L"Quilmar.dll");
  ASSERT_NE(dll, nullptr);
  const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                         "DllUnregisterServer"};
  for (WORD ordinal = 1; ordinal <= 4; ++ordinal) {
    FARPROC by_name = GetProcAddress(dll, names[ordinal - 1]);
    EXPECT_NE(by_name, nullptr) << names[ordinal - 1];
    EXPECT_EQ(by_name, GetProcAddress(dll, MAKEINTRESOURCEA(ordinal))) << ordinal;
  }
  auto get_class_object =
      library_export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
  ASSERT_NE(get_class_object, nullptr);
  void* object = &object;
  EXPECT_EQ(get_class_object(IID__clsAVLt, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);

  Ref<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_clsAVLt, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.out()),
            S_OK);
  Ref<IUnknown> inner;
  EXPECT_EQ(factory->CreateInstance(store.get(), IID_IUnknown, inner.out()), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(inner.get(), nullptr);
}

struct PolicyCase {
  EGN_MOD policy;
  const wchar_t* ascending;
  const wchar_t* descending;
};

TEST(Client, InsertsUnderEachPolicyAndReadsBothWays) {
  const PolicyCase cases[] = {
      {NOT_EGNORE, L"7=n apple=a pear=p1 pear=p2", L"pear=p2 pear=p1 apple=a 7=n"},
      {USE_FIRST_DATA, L"7=n apple=a pear=p1", L"pear=p1 apple=a 7=n"},
      {USE_LAST_DATA, L"7=n apple=a pear=p2", L"pear=p2 apple=a 7=n"},
  };
  for (const PolicyCase& c : cases) {
    Ref<_clsAVLt> store;
    create(store);
    EGN_MOD policy = c.policy;
    EXPECT_EQ(store->put_Egnore(&policy), S_OK);
    insert(store.get(), L"pear", L"p1");
    insert(store.get(), L"apple", L"a");
    insert(store.get(), L"pear", L"p2");
    Var seven(7);
    insert(store.get(), &seven, L"n");
    EXPECT_EQ(walk(store.get(), START_READ, READ_NEXT), c.ascending) << c.policy;
    EXPECT_TRUE(alloc(store.get(), 100));  // reading is blocked after the step past the end
    store->put_Egnore(&policy);
    insert(store.get(), L"pear", L"p1");
    insert(store.get(), L"apple", L"a");
    insert(store.get(), L"pear", L"p2");
    insert(store.get(), &seven, L"n");
    EXPECT_EQ(walk(store.get(), END_READ, READ_BACK), c.descending) << c.policy;
  }
}

TEST(Client, StepPastTheEndWritesFaultBack) {
  Ref<_clsAVLt> store;
  create(store);
  insert(store.get(), L"only");
  MODEVAL mode = START_READ;
  Var first, past;
  EXPECT_EQ(store->Read(&mode, &first), S_OK);
  EXPECT_EQ(first.text(), L"only");
  EXPECT_EQ(mode, START_READ);
  mode = READ_NEXT;
  EXPECT_EQ(store->Read(&mode, &past), S_OK);
  EXPECT_EQ(past.v.vt, VT_BSTR);
  EXPECT_EQ(past.text(), L"");
  EXPECT_EQ(mode, FAULT);
}

TEST(Client, OverflowFailureReachesTheCallerAndTheObjectStaysUsable) {
  Ref<_clsAVLt> store;
  create(store);
  EXPECT_FALSE(alloc(store.get(), 3e9f));
  LONG size = 5;
  EXPECT_EQ(store->get_MemorySize(&size), static_cast<HRESULT>(0x800A0006));
  EXPECT_EQ(size, 0);
  // What a C++ client's error handling reads: the error info set by the failed call.
  Ref<ISupportErrorInfo> support;
  ASSERT_EQ(store->QueryInterface(IID_ISupportErrorInfo, support.out()), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__clsAVLt), S_OK);
  Ref<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, reinterpret_cast<IErrorInfo**>(info.out())), S_OK);
  BSTR description = nullptr;
  EXPECT_EQ(info->GetDescription(&description), S_OK);
  EXPECT_STREQ(description, L"Overflow");
  SysFreeString(description);
  EXPECT_TRUE(alloc(store.get(), 100));
  EXPECT_EQ(store->get_MemorySize(&size), S_OK);
  EXPECT_EQ(size, 100);
}

TEST(Client, TwoObjectsAreIndependent) {
  Ref<_clsAVLt> one, two;
  create(one);
  create(two);
  insert(one.get(), L"mine");
  EXPECT_EQ(data_number(one.get()), 1);
  EXPECT_EQ(data_number(two.get()), 0);
  MODEVAL mode = START_READ;
  Var key;
  EXPECT_EQ(two->Read(&mode, &key), S_OK);
  EXPECT_EQ(key.text(), L"");
}

std::vector<SeenBox>* boxes_seen = nullptr;

LRESULT CALLBACK on_cbt(int code, WPARAM wparam, LPARAM lparam) {
  const auto window = reinterpret_cast<HWND>(wparam);
  if (code == HCBT_ACTIVATE && boxes_seen && is_message_box(window)) {
    boxes_seen->push_back(read_box(window));
    press_ok(window);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

// Captures and dismisses the message boxes this thread shows while it lives.
class BoxCatcher {
 public:
  BoxCatcher() : hook_(SetWindowsHookExW(WH_CBT, on_cbt, nullptr, GetCurrentThreadId())) {
    boxes_seen = &seen;
  }
  ~BoxCatcher() {
    boxes_seen = nullptr;
    UnhookWindowsHookEx(hook_);
  }
  std::vector<SeenBox> seen;

 private:
  HHOOK hook_;
};

TEST(Client, WarningBoxShownWithItsTitleTextAndButtons) {
  Ref<_clsAVLt> store;
  create(store);
  BoxCatcher catcher;
  EXPECT_TRUE(alloc(store.get(), 0.4f));  // one slot, which never grows
  insert(store.get(), L"x", L"payload");
  insert(store.get(), L"y", L"payload");
  EXPECT_EQ(data_number(store.get()), 1);
  ASSERT_EQ(catcher.seen.size(), 1u);
  EXPECT_EQ(catcher.seen[0].title, L"WARNING");
  EXPECT_EQ(catcher.seen[0].text, L"Quilmar.DLL No Memory.\r\n(AllocSize=0.4 Failed)");
  EXPECT_EQ(catcher.seen[0].buttons, L"OK");
  EXPECT_FALSE(catcher.seen[0].icon);
}

// What the second apartment's thread saw.
struct Apartment {
  IStream* stream = nullptr;
  _clsAVLt* original = nullptr;
  bool through_proxy = false;
  HRESULT insert = E_FAIL, count = E_FAIL, read = E_FAIL, failure = S_OK;
  LONG keys = 0;
  MODEVAL mode = READ_BACK;
};

DWORD WINAPI second_apartment(void* param) {
  auto& a = *static_cast<Apartment*>(param);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    Ref<_clsAVLt> store;
    if (SUCCEEDED(CoGetInterfaceAndReleaseStream(a.stream, IID__clsAVLt, store.out()))) {
      a.through_proxy = store.get() != a.original;
      Var key(L"from the other thread"), payload(L"p"), result;
      a.insert = store->Indata(&key, &payload, &result);
      a.count = store->get_DataNumber(&a.keys);
      Var value;
      a.read = store->Read(&a.mode, &value);  // nothing before "before": FAULT comes back
      FLOAT huge = 3e9f;
      VARIANT_BOOL built;
      store->Alloc(&huge, &built);
      LONG size;
      a.failure = store->get_MemorySize(&size);
    }
  }
  CoUninitialize();
  return 0;
}

TEST(Client, CallsFromASecondApartmentGoThroughMarshalling) {
  Ref<_clsAVLt> store;
  create(store);
  insert(store.get(), L"before");
  MODEVAL mode = END_READ;
  Var last;
  store->Read(&mode, &last);
  Apartment a;
  a.original = store.get();
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID__clsAVLt, store.get(), &a.stream), S_OK);
  HANDLE thread = CreateThread(nullptr, 0, second_apartment, &a, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  // The calls arrive as messages on this thread, the object's own.
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  CloseHandle(thread);
  EXPECT_TRUE(a.through_proxy);
  EXPECT_EQ(a.insert, S_OK);
  EXPECT_EQ(a.count, S_OK);
  EXPECT_EQ(a.keys, 2);
  EXPECT_EQ(a.read, S_OK);
  EXPECT_EQ(a.mode, FAULT);
  EXPECT_EQ(a.failure, static_cast<HRESULT>(0x800A0006));
  LONG size = 0;  // the other thread's refused Alloc left its size on this very object
  EXPECT_EQ(store->get_MemorySize(&size), static_cast<HRESULT>(0x800A0006));
  EXPECT_EQ(data_number(store.get()), 2);
}

using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

// Runs last: it needs every other object released.
// Address space taken from the process in blocks, to leave the store only what is left over.
class Ballast {
 public:
  // Reserves blocks until the address space refuses more, then gives `spare` bytes back.
  explicit Ballast(SIZE_T spare) {
    const SIZE_T block = 16 << 20;
    while (void* p = VirtualAlloc(nullptr, block, MEM_RESERVE, PAGE_NOACCESS)) blocks_.push_back(p);
    for (SIZE_T freed = 0; freed < spare && !blocks_.empty(); freed += block) drop_one();
  }
  ~Ballast() { release(); }
  void release() {
    while (!blocks_.empty()) drop_one();
  }

 private:
  void drop_one() {
    VirtualFree(blocks_.back(), 0, MEM_RELEASE);
    blocks_.pop_back();
  }
  std::vector<void*> blocks_;
};

TEST(Pressure, GrownUntilTheAddressSpaceRefusesThenReadBackCompletely) {
  if (sizeof(void*) == 8) GTEST_SKIP() << "a 64-bit address space does not run out";
  Ref<_clsAVLt> store;
  create(store);
  BoxCatcher catcher;
  Ballast ballast(192 << 20);
  LONG stored = 0;
  for (LONG k = 0;; ++k) {
    Var key(k), payload, result;
    store->Indata(&key, &payload, &result);
    if (data_number(store.get()) == stored) break;  // refused: the table could not grow
    stored = k + 1;
  }
  ballast.release();
  ASSERT_GT(stored, 100000);
  std::printf("%ld keys stored before the table could not grow\n", static_cast<long>(stored));
  ASSERT_EQ(catcher.seen.size(), 1u);
  EXPECT_EQ(catcher.seen[0].title, L"WARNING");
  LONG slots = 0;
  store->get_MemorySize(&slots);
  EXPECT_EQ(catcher.seen[0].text,
            L"Quilmar.DLL No Memory.\r\n(AllocSize=" + std::to_wstring(slots + 100) + L" Failed)");
  MODEVAL mode = START_READ;
  for (LONG k = 0; k < stored; ++k) {
    Var key;
    ASSERT_EQ(store->Read(&mode, &key), S_OK);
    ASSERT_EQ(key.v.vt, VT_I4);
    ASSERT_EQ(key.v.lVal, k);
    mode = READ_NEXT;
  }
  Var past;
  store->Read(&mode, &past);
  EXPECT_EQ(mode, FAULT);
}

TEST(Unload, TenThousandObjectsComeAndGo) {
  for (int i = 0; i < 10000; ++i) {
    Ref<_clsAVLt> store;
    create(store);
    Var key(static_cast<LONG>(i));
    insert(store.get(), &key, L"payload");
    ASSERT_EQ(data_number(store.get()), 1);
  }
  auto can_unload = library_export<CanUnloadNow>("DllCanUnloadNow");
  ASSERT_NE(can_unload, nullptr);
  EXPECT_EQ(can_unload(), S_OK);
}

TEST(Unload, DllCanUnloadNowFollowsObjectsAndLocks) {
  Ref<_clsAVLt> store;
  create(store);
  auto can_unload = library_export<CanUnloadNow>("DllCanUnloadNow");
  ASSERT_NE(can_unload, nullptr);
  EXPECT_EQ(can_unload(), S_FALSE);
  store.reset();
  EXPECT_EQ(can_unload(), S_OK);
  Ref<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_clsAVLt, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.out()),
            S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.reset();
  EXPECT_EQ(can_unload(), S_FALSE);
  ASSERT_EQ(CoGetClassObject(CLSID_clsAVLt, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.out()),
            S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory.reset();
  EXPECT_EQ(can_unload(), S_OK);
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_EQ(GetModuleHandleW(L"Quilmar.dll"), nullptr) << "COM unloads the library";
}

}  // namespace
}  // namespace quilmar::test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
