// A Windows C++ client of the registered Quilmar.dll: creates the store by its programmatic
// identifier, fills it and reads it both ways through the vtable.
#include <cstdio>

#include "quilmar/quilmar.h"

namespace {

VARIANT text(const wchar_t* s) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(s);
  return v;
}

void print(VARIANT& key, VARIANT& payload) {
  VARIANT k, p;
  VariantInit(&k);
  VariantInit(&p);
  VariantChangeType(&k, &key, 0, VT_BSTR);
  VariantChangeType(&p, &payload, 0, VT_BSTR);
  std::printf("  %-8ls %ls\n", k.bstrVal, p.bstrVal);
  VariantClear(&k);
  VariantClear(&p);
}

// Reads every key from `first` on, stepping with `step`, until the store answers FAULT.
void read_all(_clsAVLt* store, MODEVAL first, MODEVAL step) {
  for (MODEVAL mode = first;; mode = step) {
    VARIANT key, payload;
    VariantInit(&key);
    VariantInit(&payload);
    if (FAILED(store->Read(&mode, &key)) || mode == FAULT) break;
    store->ReadSub(&payload);
    print(key, payload);
    VariantClear(&key);
    VariantClear(&payload);
  }
}

const wchar_t* const kWords[][2] = {
    {L"mango", L"1"}, {L"kiwi", L"2"}, {L"apple", L"3"}, {L"kiwi", L"4"}, {L"date", L"5"}};

void fill(_clsAVLt* store) {
  for (auto& w : kWords) {
    VARIANT key = text(w[0]), payload = text(w[1]), result;
    VariantInit(&result);
    store->Indata(&key, &payload, &result);
    VariantClear(&key);
    VariantClear(&payload);
  }
}

}  // namespace

int main() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CLSID clsid;
  _clsAVLt* store = nullptr;
  if (FAILED(CLSIDFromProgID(L"Quilmar.clsAVLt", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__clsAVLt,
                              reinterpret_cast<void**>(&store)))) {
    std::fprintf(stderr, "Quilmar.clsAVLt is not registered: run regsvr32 Quilmar.dll\n");
    return 1;
  }
  fill(store);
  LONG keys = 0, slots = 0;
  store->get_DataNumber(&keys);
  store->get_MemorySize(&slots);
  std::printf("%ld keys, slots 0 to %ld; ascending (key, payload):\n", static_cast<long>(keys),
              static_cast<long>(slots));
  read_all(store, START_READ, READ_NEXT);
  // The step past the end blocked reading: Alloc empties the store and opens it again.
  FLOAT size = 100;
  VARIANT_BOOL built;
  store->Alloc(&size, &built);
  fill(store);
  std::printf("descending:\n");
  read_all(store, END_READ, READ_BACK);
  store->Release();
  CoUninitialize();
  return 0;
}
