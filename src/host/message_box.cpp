#include "host/message_box.h"

#include "host/seam.h"
#include "host/system.h"

namespace quilmar {
namespace {

Seam<int(TextView, UINT, TextView)> seam;

}  // namespace

MessageBoxHook set_message_box_hook(MessageBoxHook hook) {
  return seam.replace(std::move(hook));
}

int message_box(TextView text, UINT buttons, TextView title) {
  if (seam.hook()) return seam.hook()(text, buttons, title);
  return system::message_box(text, buttons, title);
}

}  // namespace quilmar
