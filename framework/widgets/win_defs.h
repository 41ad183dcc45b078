#pragma once
// The small numeric vocabulary the windows share: command ids, message and
// notification codes, message-box flags and key codes. The values are the
// ones the rest of the program is written against, so they stay as numbers.
#include <cstdint>

// Command ids common to every dialog.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDHELP = 9;

// Messages given to DialogProc.
constexpr unsigned WM_DESTROY = 0x0002;
constexpr unsigned WM_SIZE = 0x0005;
constexpr unsigned WM_ACTIVATE = 0x0006;
constexpr unsigned WM_ENDSESSION = 0x0016;
constexpr unsigned WM_NOTIFY = 0x004E;
constexpr unsigned WM_HELP = 0x0053;
constexpr unsigned WM_CONTEXTMENU = 0x007B;
constexpr unsigned WM_KEYDOWN = 0x0100;
constexpr unsigned WM_KEYUP = 0x0101;
constexpr unsigned WM_SYSKEYDOWN = 0x0104;
constexpr unsigned WM_SYSKEYUP = 0x0105;
constexpr unsigned WM_COMMAND = 0x0111;
constexpr unsigned WM_TIMER = 0x0113;
constexpr unsigned WM_HSCROLL = 0x0114;
constexpr unsigned WM_INITMENUPOPUP = 0x0117;
constexpr unsigned WM_MOUSEMOVE = 0x0200;
constexpr unsigned WM_LBUTTONDOWN = 0x0201;
constexpr unsigned WM_LBUTTONUP = 0x0202;

// WM_SIZE first parameter.
constexpr uintptr_t SIZE_RESTORED = 0;
constexpr uintptr_t SIZE_MINIMIZED = 1;
constexpr uintptr_t SIZE_MAXIMIZED = 2;

// Notification codes carried by WM_COMMAND.
constexpr int BN_CLICKED = 0;
constexpr int CBN_SELCHANGE = 1;
constexpr int EN_CHANGE = 0x0300;
constexpr int BN_PUSHED_DOWN = 0x10;  // push-and-hold button pressed
constexpr int BN_PUSHED_UP = 0x11;    // push-and-hold button released

// Property-sheet notifications (WM_NOTIFY codes) and their results.
constexpr int PSN_SETACTIVE = -200;
constexpr int PSN_KILLACTIVE = -201;
constexpr int PSN_APPLY = -202;
constexpr int PSN_HELP = -205;
constexpr int PSN_WIZBACK = -206;
constexpr int PSN_WIZNEXT = -207;
constexpr int PSN_WIZFINISH = -208;
constexpr int PSNRET_NOERROR = 0;
constexpr int PSNRET_INVALID_NOCHANGEPAGE = 2;
constexpr int PSWIZB_BACK = 1;
constexpr int PSWIZB_NEXT = 2;
constexpr int PSWIZB_FINISH = 4;
// Sheet button ids.
constexpr int IDC_SHEET_APPLY = 0x3021;
constexpr int IDC_SHEET_BACK = 0x3023;
constexpr int IDC_SHEET_NEXT = 0x3024;
constexpr int IDC_SHEET_FINISH = 0x3025;

// Message-box types and icons.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_YESNOCANCEL = 0x3;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_TYPEMASK = 0x0F;
constexpr unsigned MB_ICONMASK = 0xF0;

// Modifier bits folded into the key value given to EvKeyDown.
constexpr int KEY_ALT = 0x10000;
constexpr int KEY_CTRL = 0x20000;
constexpr int KEY_SHIFT = 0x40000;

// Virtual-key codes.
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_PAUSE = 0x13;
constexpr int VK_CAPITAL = 0x14;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_F1 = 0x70;
constexpr int VK_F2 = 0x71;
constexpr int VK_F3 = 0x72;
constexpr int VK_F4 = 0x73;
constexpr int VK_F5 = 0x74;
constexpr int VK_F8 = 0x77;
constexpr int VK_F9 = 0x78;
constexpr int VK_F24 = 0x87;

constexpr uintptr_t MakeWParam(int low, int high) {
  return uintptr_t(uint16_t(low)) | (uintptr_t(uint16_t(high)) << 16);
}
constexpr int LoWord(uintptr_t value) { return int(value & 0xFFFF); }
constexpr int HiWord(uintptr_t value) { return int((value >> 16) & 0xFFFF); }
