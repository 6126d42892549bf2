// What the host services ask of the operating system. Each build links one implementation, chosen
// in CMakeLists.txt: system_win32.cpp on Windows, system_stub.cpp on hosts without a window system.
#pragma once

#include "host/text.h"

namespace quilmar::system {

// Delivers the calling thread's pending window messages; returns at once when it looked recently.
void pump_messages();

// Shows a modal box on the caller's thread and returns the button pressed.
int message_box(TextView text, UINT buttons, TextView title);

// The float as the user's locale writes it; false where the system does not format numbers.
bool locale_float_text(float value, Text& out);

}  // namespace quilmar::system
