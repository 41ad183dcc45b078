#pragma once
// Every message box of the program goes through LMessageBox: text, caption,
// icon and buttons as MB_ flags, answer as IDOK, IDCANCEL, IDYES or IDNO.
// Tests install a hook that answers instead of a real modal box.
#include <functional>
#include <string>

class QWidget;

struct LMessageBoxCall {
  QWidget* owner;
  std::string text;
  std::string caption;
  unsigned type;  // MB_ button set | MB_ icon
};

using LMessageBoxHook = std::function<int(const LMessageBoxCall&)>;

int LMessageBox(QWidget* owner, const std::string& text, const std::string& caption, unsigned type);
// Installs hook (null: real boxes again); returns the previous one.
LMessageBoxHook LSetMessageBoxHook(LMessageBoxHook hook);
