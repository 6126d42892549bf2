#include "host/message_box.h"

#include "host/system.h"

namespace quilmar {
namespace {

MessageBoxHook& hook() {
  static MessageBoxHook h;
  return h;
}

}  // namespace

MessageBoxHook set_message_box_hook(MessageBoxHook h) {
  MessageBoxHook old = std::move(hook());
  hook() = std::move(h);
  return old;
}

int message_box(TextView text, UINT buttons, TextView title) {
  if (hook()) return hook()(text, buttons, title);
  return system::message_box(text, buttons, title);
}

}  // namespace quilmar
