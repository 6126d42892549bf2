// Creates a store as a C++ client does and prints what it holds.
#include <cstdio>

#include "quilmar/quilmar.h"

int main() {
  IClassFactory* factory = nullptr;
  _clsAVLt* store = nullptr;
  if (FAILED(DllGetClassObject(CLSID_clsAVLt, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory))) ||
      FAILED(factory->CreateInstance(nullptr, IID__clsAVLt, reinterpret_cast<void**>(&store)))) {
    std::fprintf(stderr, "cannot create clsAVLt\n");
    return 1;
  }
  LONG slots = 0, keys = 0;
  store->get_MemorySize(&slots);
  store->get_DataNumber(&keys);
  std::printf("clsAVLt: %ld keys, slots 0 to %ld\n", static_cast<long>(keys),
              static_cast<long>(slots));
  store->Release();
  factory->Release();
  return 0;
}
