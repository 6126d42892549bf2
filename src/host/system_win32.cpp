#include "host/system.h"

namespace quilmar::system {

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

int message_box(TextView text, UINT buttons, TextView title) {
  const Text t(text), c(title);
  return MessageBoxW(GetActiveWindow(), t.c_str(), c.c_str(), buttons);
}

bool locale_float_text(float value, Text& out) {
  BSTR s = nullptr;
  if (FAILED(VarBstrFromR4(value, LOCALE_USER_DEFAULT, 0, &s)) || !s) return false;
  out.assign(s, SysStringLen(s));
  SysFreeString(s);
  return true;
}

}  // namespace quilmar::system
