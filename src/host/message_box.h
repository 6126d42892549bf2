// The modal message box the store shows its user, with a seam that tests use to capture it.
#pragma once

#include <functional>

#include "host/text.h"

namespace quilmar {

// Shows a modal box on the caller's thread and returns the button pressed.
int message_box(TextView text, UINT buttons, TextView title);

using MessageBoxHook = std::function<int(TextView text, UINT buttons, TextView title)>;

// Replaces the box (an empty hook restores it); returns the hook that was in place.
MessageBoxHook set_message_box_hook(MessageBoxHook hook);

}  // namespace quilmar
