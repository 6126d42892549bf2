#include <cstdio>

#include "host/system.h"

namespace quilmar::system {

void pump_messages() {}

// No user to ask: the box goes to standard error and counts as OK.
int message_box(TextView text, UINT, TextView title) {
  std::fprintf(stderr, "[%s] %s\n", to_utf8(title).c_str(), to_utf8(text).c_str());
  return 1;
}

bool locale_float_text(float, Text&) {
  return false;
}

}  // namespace quilmar::system
