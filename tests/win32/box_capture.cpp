#include "box_capture.h"

#include <iterator>

namespace quilmar::test {
namespace {

// The message box template's control ids: the text, and the icon on Windows and on Wine.
constexpr int kTextId = 0xFFFF;
constexpr int kIconIds[] = {0x14, 0x0440};

std::wstring window_text(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, static_cast<int>(std::size(text)));
  return text;
}

std::wstring class_name(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, static_cast<int>(std::size(name)));
  return name;
}

const wchar_t* button_name(int id) {
  switch (id) {
    case IDOK: return L"OK";
    case IDCANCEL: return L"Cancel";
    case IDABORT: return L"Abort";
    case IDRETRY: return L"Retry";
    case IDIGNORE: return L"Ignore";
    case IDYES: return L"Yes";
    case IDNO: return L"No";
    case IDHELP: return L"Help";
    case IDTRYAGAIN: return L"TryAgain";
    case IDCONTINUE: return L"Continue";
    default: return L"?";
  }
}

// Shown by the box, whether or not the box itself is visible yet.
bool shown(HWND control) {
  return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

BOOL CALLBACK add_button(HWND child, LPARAM list) {
  if (shown(child) && class_name(child) == L"Button") {
    auto& buttons = *reinterpret_cast<std::wstring*>(list);
    if (!buttons.empty()) buttons += L' ';
    buttons += button_name(GetDlgCtrlID(child));
  }
  return TRUE;
}

std::string utf8(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::string escaped(const std::wstring& text) {
  std::string out;
  for (char c : utf8(text)) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

}  // namespace

bool is_message_box(HWND window) {
  return class_name(window) == L"#32770" && GetDlgItem(window, kTextId) != nullptr;
}

SeenBox read_box(HWND window) {
  SeenBox box;
  box.title = window_text(window);
  box.text = window_text(GetDlgItem(window, kTextId));
  EnumChildWindows(window, add_button, reinterpret_cast<LPARAM>(&box.buttons));
  for (int id : kIconIds) {
    HWND icon = GetDlgItem(window, id);
    if (icon && shown(icon) && SendMessageW(icon, STM_GETICON, 0, 0) != 0) box.icon = true;
  }
  return box;
}

void press_ok(HWND window) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
}

std::string box_line(const SeenBox& box) {
  return escaped(box.title) + "|" + escaped(box.text) + "|" + escaped(box.buttons) + "|" +
         (box.icon ? "icon" : "no icon");
}

}  // namespace quilmar::test
