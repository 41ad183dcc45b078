#include "framework/widgets/message_box.h"

#include <QMessageBox>

#include "framework/widgets/win_defs.h"

namespace {
LMessageBoxHook& Hook() {
  static LMessageBoxHook hook;
  return hook;
}
}  // namespace

LMessageBoxHook LSetMessageBoxHook(LMessageBoxHook hook) {
  LMessageBoxHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

int LMessageBox(QWidget* owner, const std::string& text, const std::string& caption, unsigned type) {
  if (Hook()) return Hook()({owner, text, caption, type});
  QMessageBox box(owner);
  // A box without caption text is titled "Error", as users know it.
  box.setWindowTitle(caption.empty() ? QStringLiteral("Error") : QString::fromStdString(caption));
  // "\r" line breaks come from texts written for the other platform.
  box.setText(QString::fromStdString(text).replace("\r\n", "\n").replace('\r', '\n'));
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
      box.setIcon(QMessageBox::Critical);
      break;
    case MB_ICONQUESTION:
      box.setIcon(QMessageBox::Question);
      break;
    case MB_ICONEXCLAMATION:
      box.setIcon(QMessageBox::Warning);
      break;
    case MB_ICONINFORMATION:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case MB_YESNOCANCEL:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
    case MB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok:
      return IDOK;
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    default:
      return (type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
  }
}
