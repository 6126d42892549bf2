// Reads a message box on screen as the user would see it, and presses its OK button. Used by the
// C++ client's CBT hook and by the watcher that runs scripts.
#pragma once

#include <windows.h>

#include <string>

namespace quilmar::test {

struct SeenBox {
  std::wstring title;
  std::wstring text;
  std::wstring buttons;  // the visible buttons, by name: "OK", "OK Cancel", ...
  bool icon = false;
};

// A dialog of the system's message-box class.
bool is_message_box(HWND window);

SeenBox read_box(HWND window);

// Posts the press of the box's OK button; the box's modal loop then closes it.
void press_ok(HWND window);

// One line of UTF-8: title|text|buttons|icon, with CR and LF in the text written as \r and \n.
std::string box_line(const SeenBox& box);

}  // namespace quilmar::test
