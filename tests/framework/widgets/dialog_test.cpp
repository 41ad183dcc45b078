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
#include <string>
#include <vector>

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

void SendKey(QWidget* to, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, bool repeat = false) {
  QKeyEvent event(type, key, modifiers, QString(), repeat);
  QApplication::sendEvent(to, &event);
}

}  // namespace

TEST(LDialog, OkRefusedKeepsTheWindowAndSkipsUpdateControls) {
  ModalProbe probe;
  probe.allowOk = false;
  int code = RunModal(probe, [&] {
    probe.Clear();
    probe.SendCommand(IDOK);
    EXPECT_NE(probe.Window(), nullptr) << "refused OK must keep the dialog open";
    probe.SendCommand(IDHELP);
    EXPECT_EQ(probe.calls, (std::vector<std::string>{"CmOk", "CmHelp"}));
    probe.allowOk = true;
    probe.Clear();
    probe.ControlAs<QPushButton>(IDOK)->click();
  });
  EXPECT_EQ(code, IDOK);
  EXPECT_EQ(probe.calls, (std::vector<std::string>{"CmOk", "DestroyDialog"}));
  EXPECT_EQ(probe.Window(), nullptr);
}

TEST(LDialog, InitThenUpdateAndCommandsFollowedByUpdate) {
  ModalProbe probe;
  int code = RunModal(probe, [&] {
    EXPECT_EQ(probe.calls, (std::vector<std::string>{"InitDialog", "UpdateControls"}));
    probe.Clear();
    probe.ControlAs<QPushButton>(kButton)->click();
    probe.ControlAs<QLineEdit>(kEdit)->setText("x");
    probe.SendCommand(4711, 3);
    EXPECT_EQ(probe.calls, (std::vector<std::string>{"EvCommand 120/0", "UpdateControls", "EvCommand 100/768",
                                                     "UpdateControls", "EvCommand 4711/3", "UpdateControls"}));
    probe.SendCommand(IDCANCEL);
  });
  EXPECT_EQ(code, IDCANCEL);
  EXPECT_EQ(probe.Count("DestroyDialog"), 1);
}

TEST(LDialog, CloseBoxEscapeAndF1MapToCancelAndHelp) {
  ModalProbe probe;
  int code = RunModal(probe, [&] {
    SendKey(probe.Window(), QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    probe.Window()->close();  // the close box
  });
  EXPECT_EQ(code, IDCANCEL);
  EXPECT_EQ(probe.Count("CmHelp"), 1);
  EXPECT_EQ(probe.Count("CmCancel"), 1);

  ModalProbe second;
  code = RunModal(second, [&] { SendKey(second.Window(), QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier); });
  EXPECT_EQ(code, IDCANCEL);
}

TEST(LDialog, RunsAgainAfterClosingButNotTwiceAtOnce) {
  ModalProbe probe;
  int nested = 0;
  int code = RunModal(probe, [&] {
    nested = probe.DoModal(kProbe, nullptr);
    probe.SendCommand(IDOK);
  });
  EXPECT_EQ(code, IDOK);
  EXPECT_EQ(nested, -1);
  EXPECT_EQ(RunModal(probe, [&] { probe.SendCommand(IDCANCEL); }), IDCANCEL);
  EXPECT_EQ(probe.Count("DestroyDialog"), 2);
  EXPECT_EQ(probe.DoModal(kBroken, nullptr), -1);
}

TEST(LDialog, MessagesForAWindowTheObjectLeftAreNotDispatched) {
  ModalProbe probe;
  QPointer<QDialog> window;
  RunModal(probe, [&] {
    window = probe.Window();
    probe.SendCommand(IDOK);
    probe.Clear();
    // The window still exists until the loop returns; it is no longer bound.
    EXPECT_FALSE(LDialogWindow::StaticDialogProc(window, WM_COMMAND, MakeWParam(kButton, 0), 0));
  });
  EXPECT_TRUE(probe.calls.empty());
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

class KeyDialogTest : public ::testing::Test {
 protected:
  // Opens probe over owner and runs body inside its loop, then closes it.
  void OpenAnd(Probe& probe, QWidget* owner, const std::function<void()>& body) {
    QTimer::singleShot(0, [&] {
      body();
      if (probe.Window()) probe.Close();
    });
    opened = probe.Open(owner, kProbe);
  }
  bool opened = false;
};

TEST_F(KeyDialogTest, KeysReachEvKeyDownWithModifiersAndOnlyOncePerPress) {
  Probe probe;
  QWidget owner;
  OpenAnd(probe, &owner, [&] {
    EXPECT_FALSE(owner.isEnabled());
    QWidget* edit = probe.Control(kEdit);
    SendKey(edit, QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    SendKey(edit, QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier, true);  // held down
    SendKey(edit, QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier, true);
    SendKey(edit, QEvent::KeyRelease, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    SendKey(probe.Window(), QEvent::KeyPress, Qt::Key_X, Qt::AltModifier);
  });
  EXPECT_TRUE(opened);
  EXPECT_TRUE(owner.isEnabled());
  EXPECT_EQ(probe.keysDown, (std::vector<int>{0x74 + KEY_CTRL + KEY_SHIFT, 'X' + KEY_ALT}));
  EXPECT_EQ(probe.keysUp, (std::vector<int>{0x74}));
  EXPECT_EQ(probe.Count("DestroyDialog"), 1);
  EXPECT_EQ(probe.Window(), nullptr);
}

TEST_F(KeyDialogTest, ConsumedKeysNeverReachTheFocusedControl) {
  Probe probe;
  probe.consumeKey = 'A';
  OpenAnd(probe, nullptr, [&] {
    auto* edit = probe.ControlAs<QLineEdit>(kEdit);
    QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QApplication::sendEvent(edit, &a);
    QKeyEvent b(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b");
    QApplication::sendEvent(edit, &b);
    EXPECT_EQ(edit->text(), "b");
  });
  EXPECT_EQ(probe.keysDown, (std::vector<int>{'A', 'B'}));
}

TEST_F(KeyDialogTest, SecondOpenFailsAndAFailedTemplateReturnsAtOnce) {
  Probe probe;
  OpenAnd(probe, nullptr, [&] { EXPECT_FALSE(probe.Open(nullptr, kProbe)); });
  Probe broken;
  EXPECT_FALSE(broken.Open(nullptr, kBroken));
}

TEST_F(KeyDialogTest, OkAndCancelCloseTheModelessWindow) {
  Probe probe;
  QTimer::singleShot(0, [&] { probe.SendCommand(IDOK); });
  EXPECT_TRUE(probe.Open(nullptr, kProbe));
  EXPECT_EQ(probe.Count("DestroyDialog"), 1);
  // Enter in the edit line is OK as well.
  Probe enter;
  QTimer::singleShot(0, [&] {
    enter.Window()->show();
    SendKey(enter.Control(kEdit), QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  });
  EXPECT_TRUE(enter.Open(nullptr, kProbe));
  EXPECT_EQ(enter.Count("CmOk"), 1);
}

TEST_F(KeyDialogTest, NestedLoopsGiveKeysToTheInnermostDialog) {
  Probe outer, inner;
  OpenAnd(outer, nullptr, [&] {
    QTimer::singleShot(0, [&] {
      SendKey(inner.Control(kEdit), QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
      inner.Close();
    });
    inner.Open(outer.Window(), kProbe);
    EXPECT_TRUE(outer.Window()->isEnabled());
    SendKey(outer.Control(kEdit), QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
  });
  EXPECT_EQ(inner.keysDown, (std::vector<int>{VK_F9}));
  EXPECT_EQ(outer.keysDown, (std::vector<int>{VK_F3}));
}
