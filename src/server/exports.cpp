// The library's exported entry points; they only hand over to the factory, the module count and
// the registration service.
#include "quilmar/quilmar.h"
#include "server/class_factory.h"

#ifdef _WIN32
#include "server/registration.h"
#endif

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  return quilmar::get_class_object(clsid, riid, object);
}

STDAPI DllCanUnloadNow() {
  return quilmar::can_unload_now();
}

#ifdef _WIN32
STDAPI DllRegisterServer() {
  return quilmar::register_server();
}

STDAPI DllUnregisterServer() {
  return quilmar::unregister_server();
}
#endif
