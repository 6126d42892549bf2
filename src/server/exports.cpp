// The library's exported entry points on every host; they only hand over to the factory and the
// module count. Windows adds registration (exports_win32.cpp).
#include "quilmar/quilmar.h"
#include "server/class_factory.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  return quilmar::get_class_object(clsid, riid, object);
}

STDAPI DllCanUnloadNow() {
  return quilmar::can_unload_now();
}
