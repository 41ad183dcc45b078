// The ready-made dialogs: text entry, progress with pumping and cancel,
// property sheets and wizards, and message boxes through the hook.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>
#include <thread>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/progress_dialog.h"
#include "framework/widgets/property_sheet.h"
#include "framework/widgets/text_edit_dlg.h"
#include "framework/widgets/win_defs.h"
#include "platform/signal_event.h"

TEST(LTextEditDlg, OkTakesTheEditCancelKeepsTheBufferLongTextIsCut) {
  std::string text = "Lesson 1";
  LTextEditDlg dialog(text, "Enter lesson name");
  QTimer::singleShot(0, [&] {
    EXPECT_EQ(dialog.ControlAs<QLabel>(LTextEditDlg::kPrompt)->text(), "Enter lesson name");
    auto* edit = dialog.ControlAs<QLineEdit>(LTextEditDlg::kEdit);
    EXPECT_EQ(edit->selectedText(), "Lesson 1");
    edit->setText("Verbs");
    dialog.SendCommand(IDOK);
  });
  EXPECT_EQ(dialog.Run(nullptr), IDOK);
  EXPECT_EQ(text, "Verbs");

  for (int id : {IDCANCEL, IDOK}) {
    QTimer::singleShot(0, [&] {
      dialog.ControlAs<QLineEdit>(LTextEditDlg::kEdit)->setText(QString(400, 'x'));
      dialog.ControlAs<QPushButton>(id)->click();
    });
    EXPECT_EQ(dialog.Run(nullptr), id);
    EXPECT_EQ(text, id == IDOK ? std::string(LTextEditDlg::kMaxText, 'x') : "Verbs");
  }
}

namespace {

// Works in steps, pumping after each; the user cancels after a few.
class CountingWork : public LProgressDialog {
 public:
  CountingWork() : LProgressDialog("Copying") {}
  int steps = 0;
  int cancelAt = 3;

 protected:
  bool Process() override {
    EXPECT_FALSE(Run(nullptr)) << "a second run while running";
    SetText("Copying lesson", 1);
    SetText("ignored", 2);
    EXPECT_EQ(qobject_cast<QLabel*>(LFindControl(Window(), kLine1))->text(), "Copying lesson");
    for (;;) {
      ++steps;
      SetProgress(steps / 10.0);
      if (steps == cancelAt) {
        EXPECT_EQ(qobject_cast<QProgressBar*>(LFindControl(Window(), kProgress))->value(), 30);
        qobject_cast<QPushButton*>(LFindControl(Window(), IDCANCEL))->click();
      }
      if (Pump()) return false;
      if (steps == 100) return true;
    }
  }
};

TEST(LProgressDialog, WorkRoutinePumpsAndStopsWhenCancelled) {
  QWidget owner;
  CountingWork work;
  bool ownerDisabled = false;
  QTimer::singleShot(0, [&] { ownerDisabled = !owner.isEnabled(); });
  EXPECT_FALSE(work.Run(&owner));
  EXPECT_EQ(work.steps, 3) << "the pump right after Cancel must report it";
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(owner.isEnabled());
  EXPECT_EQ(work.Window(), nullptr);
  QApplication::processEvents();  // the cancelled window goes now, once
  // Not cancelled: the routine's own result.
  CountingWork whole;
  whole.cancelAt = -1;
  EXPECT_TRUE(whole.Run(nullptr));
  EXPECT_EQ(whole.steps, 100);
}

class Waiter : public LProgressDialog {
 public:
  Waiter() : LProgressDialog("Waiting") {}
  std::function<int(Waiter&)> body;
  int result = -1;

 protected:
  bool Process() override {
    result = body(*this);
    return true;
  }
};

// Runs body as a progress window's work routine; returns what body returned.
int RunWaiter(const std::function<int(Waiter&)>& body) {
  Waiter waiter;
  waiter.body = body;
  waiter.Run(nullptr);
  return waiter.result;
}

TEST(LProgressDialog, WaitWhilePumpingReportsSignalCancelAndTimeOut) {
  PlatformEvent event, never;
  EXPECT_EQ(RunWaiter([&](Waiter& w) {
              std::thread worker([&] { event.Set(); });
              int r = w.WaitWhilePumping([&](int ms) { return event.Wait(ms); }, 60000);
              worker.join();
              return r;
            }),
            0);
  EXPECT_EQ(RunWaiter([&](Waiter& w) {
              QTimer::singleShot(0, [&] { qobject_cast<QPushButton*>(LFindControl(w.Window(), IDCANCEL))->click(); });
              return w.WaitWhilePumping([&](int ms) { return never.Wait(ms); }, 60000);
            }),
            1);
  EXPECT_EQ(RunWaiter([&](Waiter& w) { return w.WaitWhilePumping([&](int ms) { return never.Wait(ms); }, 30); }), 2);
}

bool BuildPage(QDialog* window) {
  auto* layout = new QVBoxLayout(window);
  layout->addWidget(LSetControlId(new QLineEdit(window), 100));
  window->setWindowTitle("Page");
  return true;
}
const LDialogTemplate kPage{"page", BuildPage};

class Page : public LPropertyPage {
 public:
  bool accept = true;
  int applied = 0, helped = 0;
  bool CmOk() override {
    ++applied;
    return accept;
  }
  void CmHelp() override { ++helped; }
};

class Step : public LWizardPage {
 public:
  bool accept = true;
  int buttons = PSWIZB_BACK | PSWIZB_NEXT;
  std::vector<std::string> calls;
  bool CmOk() override {
    calls.push_back("CmOk");
    return accept;
  }
  void InitDialog() override { SetWizardButtons(buttons); }
  void PageActivated() override { calls.push_back("Activated"); }
  void PageLeaving() override { calls.push_back("Leaving"); }
  void UpdateControls() override { calls.push_back("Update"); }
};

TEST(LPropertySheet, ApplyRefusedByAPageKeepsTheSheetOnThatPage) {
  Page general, audio;
  general.PreparePage(kPage);
  audio.PreparePage(kPage, {}, {}, true);
  audio.accept = false;
  LPropertySheet sheet("Settings", LPropertySheet::kNoApply | LPropertySheet::kHasHelp);
  sheet.AddPage(&general);
  sheet.AddPage(&audio);
  QTimer::singleShot(0, [&] {
    EXPECT_EQ(LFindControl(sheet.Window(), IDC_SHEET_APPLY), nullptr);
    // OK and Cancel sent to a page are the sheet's, not the page's.
    general.SendCommand(IDOK);
    qobject_cast<QPushButton*>(LFindControl(sheet.Window(), IDOK))->click();
    EXPECT_EQ(sheet.CurrentPage(), 1);
    qobject_cast<QPushButton*>(LFindControl(sheet.Window(), IDHELP))->click();
    audio.accept = true;
    qobject_cast<QPushButton*>(LFindControl(sheet.Window(), IDOK))->click();
  });
  EXPECT_EQ(sheet.Run(nullptr), IDOK);
  EXPECT_EQ(audio.helped, 1);
  EXPECT_EQ(general.applied, 2);
  EXPECT_EQ(audio.applied, 2);
  EXPECT_EQ(general.Window(), nullptr);
}

TEST(LPropertySheet, WizardNextAndFinishObeyThePages) {
  Step first, last;
  first.PreparePage(kPage, "First", "Choose");
  last.PreparePage(kPage, "Last", "Done");
  last.buttons = PSWIZB_BACK | PSWIZB_FINISH;
  first.accept = false;
  last.accept = false;
  LPropertySheet sheet("Wizard", LPropertySheet::kWizard);
  sheet.AddPage(&first);
  sheet.AddPage(&last);
  QTimer::singleShot(0, [&] {
    sheet.PressNext();
    EXPECT_EQ(sheet.CurrentPage(), 0);
    first.accept = true;
    qobject_cast<QPushButton*>(LFindControl(sheet.Window(), IDC_SHEET_NEXT))->click();
    EXPECT_EQ(sheet.CurrentPage(), 1);
    QApplication::processEvents();  // the buttons arrive as a posted message
    EXPECT_FALSE(LFindControl(sheet.Window(), IDC_SHEET_NEXT)->isEnabled());
    EXPECT_TRUE(LFindControl(sheet.Window(), IDC_SHEET_FINISH)->isEnabled());
    sheet.PressFinish();
    EXPECT_EQ(sheet.CurrentPage(), 1);
    last.accept = true;
    sheet.PressFinish();
  });
  EXPECT_EQ(sheet.Run(nullptr), IDOK);
  EXPECT_EQ(first.calls, (std::vector<std::string>{"Update", "Activated", "Update", "CmOk", "CmOk", "Leaving"}));
  EXPECT_EQ(last.calls, (std::vector<std::string>{"Update", "Activated", "Update", "CmOk", "CmOk"}));
}

}  // namespace
