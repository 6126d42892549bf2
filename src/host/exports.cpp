// The library's exported entry points; they only hand over to the factory and the module count.
#include "class_factory.h"
#include "quilmar/quilmar.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  return quilmar::get_class_object(clsid, riid, object);
}

STDAPI DllCanUnloadNow() {
  return quilmar::can_unload_now();
}
