// Lets the host process pending events of the calling thread during long walks. Calls the host
// delivers meanwhile (into the same store included) run on this thread, inside the walk.
#pragma once

#include <functional>

namespace quilmar {

void yield_events();

using EventPumpHook = std::function<void()>;

// Replaces the pump (an empty hook restores it); returns the hook that was in place.
EventPumpHook set_event_pump_hook(EventPumpHook hook);

}  // namespace quilmar
