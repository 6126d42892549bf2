#include "host/message_box.h"

#include <cstdio>

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
#ifdef _WIN32
  const Text t(text), c(title);
  return MessageBoxW(GetActiveWindow(), t.c_str(), c.c_str(), buttons);
#else
  // No user to ask: the box goes to standard error and counts as OK.
  std::fprintf(stderr, "[%s] %s\n", to_utf8(title).c_str(), to_utf8(text).c_str());
  return 1;
#endif
}

}  // namespace quilmar
