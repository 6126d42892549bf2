#include "host/event_pump.h"

#include "host/seam.h"
#include "host/system.h"

namespace quilmar {
namespace {

Seam<void()> seam;

}  // namespace

EventPumpHook set_event_pump_hook(EventPumpHook hook) {
  return seam.replace(std::move(hook));
}

void yield_events() {
  if (seam.hook()) return seam.hook()();
  system::pump_messages();
}

}  // namespace quilmar
