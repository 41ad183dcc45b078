// LDialog and LKeyDialog driven as a user would: commands by id, keys with
// modifiers, the close box, and the window's lifecycle.
#include "framework/widgets/dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/key_codes.h"
#include "framework/widgets/win_defs.h"

namespace {

constexpr int kEdit = 100;
constexpr int kButton = 120;

bool BuildProbe(QDialog* window) {
  auto* layout = new QVBoxLayout(window);
  layout->addWidget(LSetControlId(new QLineEdit(window), kEdit));
  layout->addWidget(LSetControlId(new QPushButton("Press", window), kButton));
  layout->addWidget(LSetControlId(new QPushButton("OK", window), IDOK));
  return true;
}
const LDialogTemplate kProbe{"probe", BuildProbe};
bool BuildNothing(QDialog*) { return false; }
const LDialogTemplate kBroken{"broken", BuildNothing};

// Records every virtual call in order.
template <class Base>
class Recorder : public Base {
 public:
  std::vector<std::string> calls;
  bool allowOk = true;
  int consumeKey = 0;
  std::vector<int> keysDown, keysUp;

  bool Log(std::string call, bool result = true) {
    calls.push_back(std::move(call));
    return result;
  }
  void InitDialog() override { Log("InitDialog"); }
  bool CmOk() override { return Log("CmOk", allowOk); }
  bool CmCancel() override { return Log("CmCancel"); }
  void CmHelp() override { Log("CmHelp"); }
  void UpdateControls() override { Log("UpdateControls"); }
  void EvCommand(int id, int code) override { Log("EvCommand " + std::to_string(id) + "/" + std::to_string(code)); }
  void DestroyDialog() override { Log("DestroyDialog"); }
  bool EvKeyDown(int key) {
    keysDown.push_back(key);
    return key == consumeKey;
  }
  bool EvKeyUp(int key) {
    keysUp.push_back(key);
    return false;
  }
  void Clear() { calls.clear(); }
  int Count(const std::string& name) const { return int(std::count(calls.begin(), calls.end(), name)); }
};
// A modal dialog and a modeless key dialog.
using ModalProbe = Recorder<LDialog>;
using Probe = Recorder<LKeyDialog>;

// Runs body once the modal loop is going.
int RunModal(LDialog& dialog, const std::function<void()>& body) {
  QTimer::singleShot(0, body);
  return dialog.DoModal(kProbe, nullptr);
}

// Opens probe over owner and runs body inside its loop, then closes it if body did not.
bool OpenAnd(Probe& probe, QWidget* owner, const std::function<void()>& body) {
  QTimer::singleShot(0, [&] {
    body();
    if (probe.Window()) probe.Close();
  });
  return probe.Open(owner, kProbe);
}

void SendKey(QWidget* to, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, bool repeat = false) {
  QKeyEvent event(type, key, modifiers, QString(), repeat);
  QApplication::sendEvent(to, &event);
}

}  // namespace

// Init then update; each command followed by an update, except a refused OK,
// which keeps the window; F1 is Help.
TEST(LDialog, CommandsAreFollowedByUpdatesAndARefusedOkKeepsTheWindow) {
  ModalProbe probe;
  probe.allowOk = false;
  int code = RunModal(probe, [&] {
    EXPECT_EQ(probe.calls, (std::vector<std::string>{"InitDialog", "UpdateControls"}));
    probe.Clear();
    probe.ControlAs<QPushButton>(kButton)->click();
    probe.ControlAs<QLineEdit>(kEdit)->setText("x");
    probe.SendCommand(4711, 3);
    probe.SendCommand(IDOK);
    EXPECT_NE(probe.Window(), nullptr) << "refused OK must keep the dialog open";
    probe.SendCommand(IDHELP);
    SendKey(probe.Window(), QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    EXPECT_EQ(probe.calls,
              (std::vector<std::string>{"EvCommand 120/0", "UpdateControls", "EvCommand 100/768", "UpdateControls",
                                        "EvCommand 4711/3", "UpdateControls", "CmOk", "CmHelp", "CmHelp"}));
    probe.allowOk = true;
    probe.Clear();
    probe.ControlAs<QPushButton>(IDOK)->click();
  });
  EXPECT_EQ(code, IDOK);
  EXPECT_EQ(probe.calls, (std::vector<std::string>{"CmOk", "DestroyDialog"}));
  EXPECT_EQ(probe.Window(), nullptr);
}

// Runs again after closing but not twice at once; messages for a window the
// object left are not dispatched; Cancel, the close box and Escape cancel.
TEST(LDialog, RunsAgainAfterClosingButNotTwiceAtOnce) {
  ModalProbe probe;
  int nested = 0;
  EXPECT_EQ(RunModal(probe,
                     [&] {
                       nested = probe.DoModal(kProbe, nullptr);
                       QPointer<QDialog> window = probe.Window();
                       probe.SendCommand(IDCANCEL);
                       probe.Clear();
                       // The window still exists until the loop returns; it is no longer bound.
                       EXPECT_FALSE(LDialogWindow::StaticDialogProc(window, WM_COMMAND, MakeWParam(kButton, 0), 0));
                     }),
            IDCANCEL);
  EXPECT_EQ(nested, -1);
  EXPECT_TRUE(probe.calls.empty());
  for (int key : {0, int(Qt::Key_Escape)}) {
    EXPECT_EQ(RunModal(probe,
                       [&] {
                         if (key) SendKey(probe.Window(), QEvent::KeyPress, key, Qt::NoModifier);
                         if (!key) probe.Window()->close();  // the close box
                       }),
              IDCANCEL);
  }
  EXPECT_EQ(probe.Count("CmCancel"), 2);
  EXPECT_EQ(probe.Count("DestroyDialog"), 2);
  EXPECT_EQ(probe.DoModal(kBroken, nullptr), -1);
}

TEST(LDialog, TimersArriveAsTimerMessages) {
  struct TimerProbe : ModalProbe {
    std::vector<int> fired;
    bool DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) override {
      if (message == WM_TIMER) {
        fired.push_back(int(wParam));
        KillTimer(int(wParam));
        if (fired.size() == 2) SendCommand(IDCANCEL);
        return true;
      }
      return ModalProbe::DialogProc(message, wParam, lParam);
    }
  } probe;
  RunModal(probe, [&] {
    probe.SetTimer(7, 0);
    probe.SetTimer(3, 5);
  });
  EXPECT_EQ(probe.fired, (std::vector<int>{7, 3}));
}

// Keys reach EvKeyDown with their modifiers, once per press, and those it
// consumes never reach the focused control; the owner is disabled meanwhile;
// a second Open fails; Enter in the edit line is OK and closes the window.
TEST(LKeyDialog, KeysModifiersConsumedKeysAndEnter) {
  Probe probe;
  probe.consumeKey = 'A';
  QWidget owner;
  EXPECT_TRUE(OpenAnd(probe, &owner, [&] {
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_FALSE(probe.Open(nullptr, kProbe));
    auto* edit = probe.ControlAs<QLineEdit>(kEdit);
    SendKey(edit, QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    SendKey(edit, QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier, true);  // held down
    SendKey(edit, QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier, true);
    SendKey(edit, QEvent::KeyRelease, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    SendKey(probe.Window(), QEvent::KeyPress, Qt::Key_X, Qt::AltModifier);
    for (const char* letter : {"a", "b"}) {
      QKeyEvent event(QEvent::KeyPress, Qt::Key_A + letter[0] - 'a', Qt::NoModifier, letter);
      QApplication::sendEvent(edit, &event);
    }
    EXPECT_EQ(edit->text(), "b");
    probe.Window()->show();
    SendKey(edit, QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  }));
  EXPECT_TRUE(owner.isEnabled());
  EXPECT_EQ(probe.keysDown, (std::vector<int>{0x74 + KEY_CTRL + KEY_SHIFT, 'X' + KEY_ALT, 'A', 'B', VK_RETURN}));
  EXPECT_EQ(probe.keysUp, (std::vector<int>{0x74}));
  EXPECT_EQ(probe.Count("CmOk"), 1);
  EXPECT_EQ(probe.Count("DestroyDialog"), 1);
  EXPECT_EQ(probe.Window(), nullptr);
  EXPECT_FALSE(Probe().Open(nullptr, kBroken));
}

// Keys go to the innermost of nested dialogs; OK closes a modeless window.
TEST(LKeyDialog, NestedLoopsGiveKeysToTheInnermostDialog) {
  Probe outer, inner;
  EXPECT_TRUE(OpenAnd(outer, nullptr, [&] {
    QTimer::singleShot(0, [&] {
      SendKey(inner.Control(kEdit), QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
      inner.SendCommand(IDOK);
    });
    inner.Open(outer.Window(), kProbe);
    EXPECT_TRUE(outer.Window()->isEnabled());
    SendKey(outer.Control(kEdit), QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
  }));
  EXPECT_EQ(inner.keysDown, (std::vector<int>{VK_F9}));
  EXPECT_EQ(inner.Count("DestroyDialog"), 1);
  EXPECT_EQ(outer.keysDown, (std::vector<int>{VK_F3}));
}
