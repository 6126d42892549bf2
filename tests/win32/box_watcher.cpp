// box_watcher COMMAND...: runs a program (a script host, say), reports its bitness as a line
// "CLIENT: 32-bit" or "CLIENT: 64-bit" and each message box it shows as a line
// "BOX: title|text|buttons|icon" on standard output, presses OK on each box, and exits with the
// program's exit code.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "box_capture.h"

namespace {

using quilmar::test::box_line;
using quilmar::test::is_message_box;
using quilmar::test::press_ok;
using quilmar::test::read_box;

struct Watch {
  DWORD process_id;
  std::set<HWND> pressed;
};

BOOL CALLBACK check_window(HWND window, LPARAM param) {
  auto& watch = *reinterpret_cast<Watch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != watch.process_id || !IsWindowVisible(window) || !is_message_box(window)) return TRUE;
  if (watch.pressed.insert(window).second) {
    std::printf("BOX: %s\n", box_line(read_box(window)).c_str());
    std::fflush(stdout);
  }
  press_ok(window);
  return TRUE;
}

// A 32-bit process on 64-bit Windows runs under WOW64; on 32-bit Windows every process is 32-bit.
int bits_of(HANDLE process) {
  BOOL wow64 = FALSE;
  if (IsWow64Process(process, &wow64) && wow64) return 32;
  BOOL self_wow64 = FALSE;
  const bool windows_64 =
      sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &self_wow64) && self_wow64);
  return windows_64 ? 64 : 32;
}

// The command line after this program's own name.
std::wstring rest_of_command_line() {
  const wchar_t* p = GetCommandLineW();
  const bool quoted = *p == L'"';
  if (quoted) ++p;
  while (*p && (quoted ? *p != L'"' : *p != L' ')) ++p;
  if (quoted && *p) ++p;
  while (*p == L' ') ++p;
  return p;
}

}  // namespace

int main() {
  std::wstring command = rest_of_command_line();
  if (command.empty()) {
    std::fprintf(stderr, "usage: box_watcher COMMAND...\n");
    return 2;
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION child = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &child)) {
    std::fprintf(stderr, "box_watcher: cannot start the command (error %lu)\n", GetLastError());
    return 2;
  }
  std::printf("CLIENT: %d-bit\n", bits_of(child.hProcess));
  std::fflush(stdout);
  Watch watch{child.dwProcessId, {}};
  while (WaitForSingleObject(child.hProcess, 20) == WAIT_TIMEOUT) {
    EnumWindows(check_window, reinterpret_cast<LPARAM>(&watch));
    for (auto it = watch.pressed.begin(); it != watch.pressed.end();)
      it = IsWindow(*it) ? std::next(it) : watch.pressed.erase(it);
  }
  DWORD code = 2;
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return static_cast<int>(code);
}
