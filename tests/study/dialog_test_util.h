#pragma once
// Driving modal dialogs in tests: answers for message boxes, a body run
// inside whichever dialog becomes modal next, texts typed into it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/settings.h"
#include "framework/widgets/control_id.h"
#include "framework/widgets/dialog.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/run_mode.h"
#include "framework/widgets/win_defs.h"

namespace dialogtest {

class ScopedModeWord {
 public:
  explicit ScopedModeWord(const char* word) { SetModeWord(word); }
  ~ScopedModeWord() { SetModeWord(""); }
};

inline void Press(QWidget* to, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent event(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(to, &event);
}

// Records every message box and answers OK.
class BoxRecorder {
 public:
  BoxRecorder() {
    LSetMessageBoxHook([this](const LMessageBoxCall& call) {
      boxes.push_back(call);
      return answer;
    });
  }
  ~BoxRecorder() { LSetMessageBoxHook(nullptr); }
  std::vector<LMessageBoxCall> boxes;
  int answer = IDOK;
};

// Runs body on the dialog object of the next modal window other than `not`.
inline void WhenModal(const std::function<void(LDialog&)>& body, QWidget* notThis = nullptr, int triesLeft = 200) {
  QTimer::singleShot(10, [=] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->isModal() && w != notThis && LDialogWindow::ObjectOf(w)) modal = w;
    }
    LDialog* object = modal && modal != notThis ? LDialogWindow::ObjectOf(modal) : nullptr;
    if (object) {
      body(*object);
    } else if (triesLeft > 0) {
      WhenModal(body, notThis, triesLeft - 1);
    } else {
      ADD_FAILURE() << "no modal dialog appeared";
    }
  });
}

// Types texts (by control id) into the line edits of the next modal sheet
// or dialog, then presses its OK.
inline void FillAndOk(const std::map<int, QString>& texts) {
  QTimer::singleShot(50, [=] {
    QWidget* sheet = QApplication::activeModalWidget();
    for (QLineEdit* edit : sheet->findChildren<QLineEdit*>())
      if (texts.count(LGetControlId(edit))) edit->setText(texts.at(LGetControlId(edit)));
    qobject_cast<QPushButton*>(LFindControl(sheet, IDOK))->click();
  });
}

}  // namespace dialogtest
