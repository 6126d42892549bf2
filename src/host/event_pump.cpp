#include "host/event_pump.h"

#include "quilmar/com_types.h"

namespace quilmar {
namespace {

EventPumpHook& hook() {
  static EventPumpHook h;
  return h;
}

#ifdef _WIN32
// One look at the message queue costs microseconds, a walk's step nanoseconds: look at most
// once per tick interval and return at once otherwise.
constexpr DWORD kInterval = 10;

void pump_messages() {
  static thread_local DWORD last = 0;
  const DWORD now = GetTickCount();
  if (now - last < kInterval) return;
  last = now;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {  // leave it for the client's own message loop
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}
#endif

}  // namespace

EventPumpHook set_event_pump_hook(EventPumpHook h) {
  EventPumpHook old = std::move(hook());
  hook() = std::move(h);
  return old;
}

void yield_events() {
  if (hook()) {
    hook()();
    return;
  }
#ifdef _WIN32
  pump_messages();
#endif
}

}  // namespace quilmar
