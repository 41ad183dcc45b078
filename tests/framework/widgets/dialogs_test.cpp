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

void Click(QWidget* window, int id) { qobject_cast<QPushButton*>(LFindControl(window, id))->click(); }

// A progress window whose work routine is body.
struct Work : LProgressDialog {
  explicit Work(std::function<bool(Work&)> routine) : LProgressDialog("Copying"), body(std::move(routine)) {}
  bool Process() override { return body(*this); }
  std::function<bool(Work&)> body;
};

// The routine pumps after each step; the pump right after Cancel reports it;
// the owner is disabled meanwhile. Not cancelled: the routine's own result.
TEST(LProgressDialog, WorkRoutinePumpsAndStopsWhenCancelled) {
  QWidget owner;
  for (int cancelAt : {3, -1}) {
    int steps = 0;
    Work work([&](Work& w) {
      EXPECT_FALSE(w.Run(nullptr)) << "a second run while running";
      EXPECT_FALSE(owner.isEnabled());
      w.SetText("Copying lesson", 1);
      w.SetText("ignored", 2);
      EXPECT_EQ(qobject_cast<QLabel*>(LFindControl(w.Window(), LProgressDialog::kLine1))->text(), "Copying lesson");
      for (;;) {
        w.SetProgress(++steps / 10.0);
        if (steps == cancelAt) {
          EXPECT_EQ(qobject_cast<QProgressBar*>(LFindControl(w.Window(), LProgressDialog::kProgress))->value(), 30);
          Click(w.Window(), IDCANCEL);
        }
        if (w.Pump()) return false;
        if (steps == 100) return true;
      }
    });
    EXPECT_EQ(work.Run(&owner), cancelAt < 0);
    EXPECT_EQ(steps, cancelAt < 0 ? 100 : cancelAt) << "the pump right after Cancel must report it";
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(work.Window(), nullptr);
    QApplication::processEvents();  // the cancelled window goes now, once
  }
}

// 0 signalled, 1 cancelled, 2 timed out.
TEST(LProgressDialog, WaitWhilePumpingReportsSignalCancelAndTimeOut) {
  for (int expected : {0, 1, 2}) {
    PlatformEvent event;
    int result = -1;
    Work work([&](Work& w) {
      if (expected == 0) QTimer::singleShot(0, [&] { event.Set(); });
      if (expected == 1) QTimer::singleShot(0, [&] { Click(w.Window(), IDCANCEL); });
      result = w.WaitWhilePumping([&](int ms) { return event.Wait(ms); }, expected == 2 ? 30 : 60000);
      return true;
    });
    work.Run(nullptr);
    EXPECT_EQ(result, expected);
  }
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
    Click(sheet.Window(), IDOK);
    EXPECT_EQ(sheet.CurrentPage(), 1);
    Click(sheet.Window(), IDHELP);
    audio.accept = true;
    Click(sheet.Window(), IDOK);
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
    Click(sheet.Window(), IDC_SHEET_NEXT);
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
