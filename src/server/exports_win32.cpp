// The exported entry points of self-registration, which only Windows has.
#include "server/registration.h"

STDAPI DllRegisterServer() {
  return quilmar::register_server();
}

STDAPI DllUnregisterServer() {
  return quilmar::unregister_server();
}
