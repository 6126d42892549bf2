// The library entry point. It runs under the loader lock, so it does no store work: it only keeps
// the module handle, which registration needs to find this file's path and resources.
#include "server/registration.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) quilmar::set_library_module(instance);
  return TRUE;
}
