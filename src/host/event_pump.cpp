#include "host/event_pump.h"

#include "host/system.h"

namespace quilmar {
namespace {

EventPumpHook& hook() {
  static EventPumpHook h;
  return h;
}

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
  system::pump_messages();
}

}  // namespace quilmar
