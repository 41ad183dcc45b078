// The window framework driven as a user would. LDialog and LKeyDialog:
// commands by id, keys with modifiers, the close box, and the window's
// lifecycle. The ready-made dialogs: text entry, progress with pumping and
// cancel, property sheets and wizards. Window size persistence, help, the
// page view, toolbars, the splitter, the splash window and About box, the
// control helpers, and the open-file dialog's filters.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <map>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/file_dialogs.h"
#include "framework/widgets/help.h"
#include "framework/widgets/html_object.h"
#include "framework/widgets/key_codes.h"
#include "framework/widgets/move_bar.h"
#include "framework/widgets/progress_dialog.h"
#include "framework/widgets/property_sheet.h"
#include "framework/widgets/splash.h"
#include "framework/widgets/text_edit_dlg.h"
#include "framework/widgets/toolbar.h"
#include "framework/widgets/win_defs.h"
#include "framework/widgets/window_size.h"
#include "platform/signal_event.h"
#include "tests/support/test_support.h"

namespace {

enum { kEdit = 100, kButton = 120, kFast = 130, kList = 140 };  // control ids of the probe dialog

const LDialogTemplate kProbe{"probe", [](QDialog* window) {
                               auto* layout = new QVBoxLayout(window);
                               layout->addWidget(LSetControlId(new QLineEdit(window), kEdit));
                               layout->addWidget(LSetControlId(new QPushButton("Press", window), kButton));
                               layout->addWidget(LSetControlId(new QPushButton("OK", window), IDOK));
                               layout->addWidget(LSetControlId(new QPushButton("Fast", window), kFast));
                               auto* list = new QTreeWidget(window);
                               for (int i = 0; i < 3; ++i) new QTreeWidgetItem(list, {QString::number(i)});
                               list->setSelectionMode(QAbstractItemView::ExtendedSelection);
                               layout->addWidget(LSetControlId(list, kList));
                               return true;
                             }};
const LDialogTemplate kBroken{"broken", [](QDialog*) { return false; }};

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

void SendKey(QWidget* to, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, bool repeat = false,
             const QString& text = {}) {
  QKeyEvent event(type, key, modifiers, text, repeat);
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
    probe.calls.clear();
    probe.ControlAs<QPushButton>(kButton)->click();
    probe.ControlAs<QLineEdit>(kEdit)->setText("x");
    probe.SendCommand(4711, 3);
    probe.SendCommand(IDOK);
    probe.SendCommand(IDHELP);
    SendKey(probe.Window(), QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    EXPECT_EQ(probe.calls,
              (std::vector<std::string>{"EvCommand 120/0", "UpdateControls", "EvCommand 100/768", "UpdateControls",
                                        "EvCommand 4711/3", "UpdateControls", "CmOk", "CmHelp", "CmHelp"}));
    probe.allowOk = true;
    probe.calls.clear();
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
  int code = RunModal(probe, [&] {
    EXPECT_EQ(probe.DoModal(kProbe, nullptr), -1);
    QPointer<QDialog> window = probe.Window();
    probe.SendCommand(IDCANCEL);
    probe.calls.clear();
    // The window still exists until the loop returns; it is no longer bound.
    EXPECT_FALSE(LDialogWindow::StaticDialogProc(window, WM_COMMAND, MakeWParam(kButton, 0), 0));
  });
  EXPECT_EQ(code, IDCANCEL);
  EXPECT_TRUE(probe.calls.empty());
  EXPECT_EQ(RunModal(probe, [&] { probe.Window()->close(); }), IDCANCEL);  // the close box
  EXPECT_EQ(RunModal(probe, [&] { SendKey(probe.Window(), QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier); }),
            IDCANCEL);
  EXPECT_EQ(probe.Count("CmCancel"), 2);
  EXPECT_EQ(probe.Count("DestroyDialog"), 2);
  EXPECT_EQ(probe.DoModal(kBroken, nullptr), -1);
}

TEST(LDialog, TimersArriveAsTimerMessages) {
  struct TimerProbe : ModalProbe {
    std::vector<int> fired;
    bool DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) override {
      if (message != WM_TIMER) return ModalProbe::DialogProc(message, wParam, lParam);
      fired.push_back(int(wParam));
      KillTimer(int(wParam));
      if (fired.size() == 2) SendCommand(IDCANCEL);
      return true;
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
// a second Open fails; keys go to the innermost of nested dialogs; Enter in
// the edit line is OK and closes the window.
TEST(LKeyDialog, KeysModifiersConsumedKeysAndEnter) {
  Probe probe;
  probe.consumeKey = 'A';
  QWidget owner;
  QTimer::singleShot(0, [&] {
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_FALSE(probe.Open(nullptr, kProbe));
    auto* edit = probe.ControlAs<QLineEdit>(kEdit);
    for (bool repeat : {false, true, true})  // pressed, then held down
      SendKey(edit, QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier, repeat);
    SendKey(edit, QEvent::KeyRelease, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    SendKey(probe.Window(), QEvent::KeyPress, Qt::Key_X, Qt::AltModifier);
    SendKey(edit, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, false, "a");
    SendKey(edit, QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, false, "b");
    EXPECT_EQ(edit->text(), "b");
    // A nested dialog's loop gets the keys while it runs; OK closes it.
    Probe inner;
    QTimer::singleShot(0, [&] {
      SendKey(inner.Control(kEdit), QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
      inner.SendCommand(IDOK);
    });
    EXPECT_TRUE(inner.Open(probe.Window(), kProbe));
    EXPECT_EQ(inner.keysDown, (std::vector<int>{VK_F9}));
    EXPECT_EQ(inner.Count("DestroyDialog"), 1);
    EXPECT_TRUE(probe.Window()->isEnabled());
    probe.Window()->show();
    SendKey(edit, QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    if (probe.Window()) probe.Close();  // Enter did not close it
  });
  EXPECT_TRUE(probe.Open(&owner, kProbe));
  EXPECT_TRUE(owner.isEnabled());
  EXPECT_EQ(probe.keysDown, (std::vector<int>{0x74 + KEY_CTRL + KEY_SHIFT, 'X' + KEY_ALT, 'A', 'B', VK_RETURN}));
  EXPECT_EQ(probe.keysUp, (std::vector<int>{0x74}));
  EXPECT_EQ(probe.Count("CmOk"), 1);
  EXPECT_EQ(probe.Count("DestroyDialog"), 1);
  EXPECT_EQ(probe.Window(), nullptr);
  EXPECT_FALSE(Probe().Open(nullptr, kBroken));
}

// The edit starts selected; Cancel keeps the buffer; OK takes the edit, cut
// to the longest text.
TEST(LTextEditDlg, OkTakesTheEditCancelKeepsTheBufferLongTextIsCut) {
  std::string text = "Lesson 1";
  LTextEditDlg dialog(text, "Enter lesson name");
  for (int id : {IDCANCEL, IDOK}) {
    QTimer::singleShot(0, [&] {
      EXPECT_EQ(dialog.ControlAs<QLabel>(LTextEditDlg::kPrompt)->text(), "Enter lesson name");
      auto* edit = dialog.ControlAs<QLineEdit>(LTextEditDlg::kEdit);
      EXPECT_EQ(edit->selectedText(), "Lesson 1");
      edit->setText(QString(400, 'x'));
      dialog.ControlAs<QPushButton>(id)->click();
    });
    EXPECT_EQ(dialog.Run(nullptr), id);
    EXPECT_EQ(text, id == IDOK ? std::string(LTextEditDlg::kMaxText, 'x') : "Lesson 1");
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
TEST(LProgressDialog, WorkRoutinePumpsStopsWhenCancelledAndWaits) {
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

  // Waiting while pumping: 0 signalled, 1 cancelled, 2 timed out.
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

const LDialogTemplate kPage{"page", [](QDialog* window) {
                              auto* layout = new QVBoxLayout(window);
                              layout->addWidget(LSetControlId(new QLineEdit(window), 100));
                              window->setWindowTitle("Page");
                              return true;
                            }};

using Page = Recorder<LPropertyPage>;
struct Step : Recorder<LWizardPage> {
  int buttons = PSWIZB_BACK | PSWIZB_NEXT;
  void InitDialog() override { SetWizardButtons(buttons); }
  void PageActivated() override { Log("Activated"); }
  void PageLeaving() override { Log("Leaving"); }
};

TEST(LPropertySheet, ApplyRefusedByAPageKeepsTheSheetOnThatPage) {
  Page general, audio;
  general.PreparePage(kPage);
  audio.PreparePage(kPage, {}, {}, true);
  audio.allowOk = false;
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
    audio.allowOk = true;
    Click(sheet.Window(), IDOK);
  });
  EXPECT_EQ(sheet.Run(nullptr), IDOK);
  EXPECT_EQ(audio.Count("CmHelp"), 1);
  EXPECT_EQ(general.Count("CmOk"), 2);
  EXPECT_EQ(audio.Count("CmOk"), 2);
  EXPECT_EQ(general.Window(), nullptr);
}

TEST(LPropertySheet, WizardNextAndFinishObeyThePages) {
  Step first, last;
  first.PreparePage(kPage, "First", "Choose");
  last.PreparePage(kPage, "Last", "Done");
  last.buttons = PSWIZB_BACK | PSWIZB_FINISH;
  first.allowOk = last.allowOk = false;
  LPropertySheet sheet("Wizard", LPropertySheet::kWizard);
  sheet.AddPage(&first);
  sheet.AddPage(&last);
  QTimer::singleShot(0, [&] {
    sheet.PressNext();
    EXPECT_EQ(sheet.CurrentPage(), 0);
    first.allowOk = true;
    Click(sheet.Window(), IDC_SHEET_NEXT);
    EXPECT_EQ(sheet.CurrentPage(), 1);
    QApplication::processEvents();  // the buttons arrive as a posted message
    EXPECT_FALSE(LFindControl(sheet.Window(), IDC_SHEET_NEXT)->isEnabled());
    EXPECT_TRUE(LFindControl(sheet.Window(), IDC_SHEET_FINISH)->isEnabled());
    sheet.PressFinish();
    EXPECT_EQ(sheet.CurrentPage(), 1);
    last.allowOk = true;
    sheet.PressFinish();
  });
  EXPECT_EQ(sheet.Run(nullptr), IDOK);
  EXPECT_EQ(first.calls, (std::vector<std::string>{"UpdateControls", "Activated", "UpdateControls", "CmOk", "CmOk",
                                                   "Leaving", "DestroyDialog"}));
  EXPECT_EQ(last.calls, (std::vector<std::string>{"UpdateControls", "Activated", "UpdateControls", "CmOk", "CmOk",
                                                  "DestroyDialog"}));
}

// Restore goes through this clamp; a stored width beyond the desktop comes back cut to it.
TEST(WindowSize, ClampFitsSizeAndEdgesToTheDesktop) {
  QRect desktop(0, 0, 1024, 768);
  EXPECT_EQ(LClampToDesktop(QRect(160, 80, 5000, 494), desktop), QRect(0, 80, 1024, 494));
  EXPECT_EQ(LClampToDesktop(QRect(-50, -20, 300, 200), desktop), QRect(0, 0, 300, 200));
  EXPECT_EQ(LClampToDesktop(QRect(900, 700, 300, 200), desktop), QRect(724, 568, 300, 200));
  EXPECT_EQ(LClampToDesktop(QRect(10, 10, 300, 9000), desktop), QRect(10, 0, 300, 768));
  EXPECT_EQ(LClampToDesktop(QRect(100, 50, 300, 200), QRect(200, 100, 800, 600)), QRect(200, 100, 300, 200));
}

TEST(WindowSize, StoreRestoreAndTheMinimisedAndMaximisedCases) {
  std::map<std::string, int> values;  // an in-memory settings store
  LSetWindowSizeStorage({[&](const std::string& s, const std::string& k, int fallback) {
                           auto it = values.find(s + "/" + k);
                           return it == values.end() ? fallback : it->second;
                         },
                         [&](const std::string& s, const std::string& k, int v) { values[s + "/" + k] = v; }});
  QWidget window;
  window.setGeometry(120, 90, 400, 300);
  window.show();
  WindowSizeSettingsStore(&window, "Test");

  // Stored and restored again the window keeps its size: no growth by its frame.
  QWidget again;
  WindowSizeSettingsRestore(&again, "Test", {});
  again.show();
  EXPECT_EQ(again.size(), window.size());
  EXPECT_EQ(again.frameGeometry().topLeft(), window.frameGeometry().topLeft());

  // Minimised: nothing is stored, the old size stays.
  auto before = values;
  window.resize(200, 100);
  window.setWindowState(Qt::WindowMinimized);
  WindowSizeSettingsStore(&window, "Test");
  EXPECT_EQ(values, before);

  // Maximised: only the flag.
  window.setWindowState(Qt::WindowMaximized);
  WindowSizeSettingsStore(&window, "Test");
  EXPECT_EQ(values["Test/Maximized"], 1);
  EXPECT_EQ(values["Test/Width"], before["Test/Width"]);

  // A right edge past the desktop is cut when stored.
  QWidget wide;
  wide.setGeometry(LDesktopRect().right() - 100, 10, 400, 200);
  wide.show();
  WindowSizeSettingsStore(&wide, "Wide");
  EXPECT_EQ(values["Wide/X"] + values["Wide/Width"] + (wide.frameGeometry().width() - wide.width()),
            LDesktopRect().left() + LDesktopRect().width());

  // Defaults apply to a section never stored; maximised comes back maximised.
  QWidget fresh;
  WindowSizeSettingsRestore(&fresh, "Fresh", {10, 20, 300, 200, true});
  EXPECT_TRUE(fresh.windowState() & Qt::WindowMaximized);
  QWidget plain;
  WindowSizeSettingsRestore(&plain, "Plain", {10, 20, 300, 200, false});
  EXPECT_EQ(plain.frameGeometry().topLeft(), QPoint(10, 20));
  EXPECT_FALSE(plain.windowState() & Qt::WindowMaximized);
  LSetWindowSizeStorage({});
}

// A missing topic shows nothing; every topic the windows use and every link
// exists. (The windows' tests open the contents and the topics.)
TEST(Help, TopicsAndLinksExistAndAMissingTopicShowsNothing) {
  LSetHelpFolder(ORATIVO_HELP_SOURCE);
  DisplayHelp(9999);
  EXPECT_EQ(LHelpShownFile(), "");
  LSetHelpFolder("");
  QDir folder(ORATIVO_HELP_SOURCE);
  for (int topic : {101, 102, 103, 104, 105, 107}) EXPECT_TRUE(folder.exists(QString("%1.html").arg(topic))) << topic;
  QRegularExpression link("href=\"([^\"#:]+)\"");
  for (const QString& page : folder.entryList({"*.html"})) {
    QFile file(folder.filePath(page));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    for (auto it = link.globalMatch(QString::fromUtf8(file.readAll())); it.hasNext();) {
      QString target = it.next().captured(1);
      EXPECT_TRUE(folder.exists(target)) << page.toStdString() << " links to missing " << target.toStdString();
    }
  }
}

TEST(LHTMLObject, LifecycleAndTheAddressLimit) {
  testsupport::TempFolder temp;
  std::string page = temp.File("llpreview.htm");
  testsupport::WriteFileText(page, "<html><body><p>Bonjour</p></body></html>");
  QWidget host;
  host.resize(300, 200);
  LHTMLObject view;
  view.Nagivate(page);  // before Create: nothing to show it in
  view.Create(&host);
  ASSERT_NE(view.Browser(), nullptr);
  EXPECT_EQ(view.Browser()->geometry(), host.contentsRect());
  view.Nagivate(page);
  EXPECT_TRUE(view.Browser()->toPlainText().contains("Bonjour"));

  host.resize(500, 420);
  view.EvSize();
  EXPECT_EQ(view.Browser()->geometry(), host.contentsRect());

  view.Nagivate("/" + std::string(300, 'a') + ".htm");
  EXPECT_EQ(view.Address().size(), LHTMLObject::kMaxAddress);

  // The page was rewritten under the same name: the view shows the new text.
  view.Nagivate(page);
  testsupport::WriteFileText(page, "<html><body><p>Salut</p></body></html>");
  view.Nagivate(page);
  EXPECT_TRUE(view.Browser()->toPlainText().contains("Salut"));

  view.Destroy();
  EXPECT_EQ(view.Browser(), nullptr);
  view.Nagivate(page);
  view.EvSize();
  EXPECT_TRUE(host.findChildren<QTextBrowser*>().isEmpty());
}

// Toolbar buttons from a table send their commands, a disabled one nothing;
// a push-and-hold button sends press, release and the click that follows;
// list selection and text limits.
TEST(Controls, ToolbarPushAndHoldListSelectionAndTextLimits) {
  ModalProbe holder;
  const LToolBarButton table[] = {
      {1001, -21, "New Lesson", "Create a New Lesson (Ctrl+L)", TBSTYLE_BUTTON},
      {0, 0, nullptr, nullptr, TBSTYLE_SEP},
      {2011, -4, "Play", "Play the audio", TBSTYLE_CHECK},
      {1005, 3, "Standard", nullptr, TBSTYLE_BUTTON},
  };
  LToolBar bar;
  RunModal(holder, [&] {
    holder.calls.clear();
    ASSERT_TRUE(bar.SetToolBar(holder.Window(), table, 4, IDB_STD_LARGE_COLOR, 80));
    EXPECT_FALSE(bar.SetToolBar(holder.Window(), table, 4, IDB_STD_LARGE_COLOR, 80));
    EXPECT_EQ(holder.Control(80), bar.Handle());
    EXPECT_TRUE(bar.Button(2011) && bar.Button(2011)->isCheckable());
    qobject_cast<QToolButton*>(bar.Handle()->widgetForAction(bar.Button(1001)))->click();
    bar.EnableButton(1005, false);
    EXPECT_FALSE(bar.IsButtonEnabled(1005));
    bar.Button(1005)->trigger();  // disabled: nothing
    ASSERT_TRUE(SetUpDownButton(holder, kFast));
    EXPECT_FALSE(SetUpDownButton(holder, 999));
    auto* button = holder.ControlAs<QPushButton>(kFast);
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
    auto* list = holder.ControlAs<QTreeWidget>(kList);
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(1)->setSelected(true);
    LVSelect(holder, kList, 2);
    EXPECT_EQ(list->selectedItems(), QList<QTreeWidgetItem*>{list->topLevelItem(2)});
    EXPECT_EQ(list->currentItem(), list->topLevelItem(2));
    LSetControlText(holder, kFast, std::string(300, 'x'));
    EXPECT_EQ(LGetControlText(holder, kFast).size(), 259u);
    LEnableControl(holder, kFast, false);
    EXPECT_FALSE(button->isEnabled());
    holder.SendCommand(IDCANCEL);
  });
  // Press (BN_PUSHED_DOWN), release (BN_PUSHED_UP) and the click that follows.
  EXPECT_EQ(holder.calls, (std::vector<std::string>{"EvCommand 1001/0", "UpdateControls", "EvCommand 130/16",
                                                    "UpdateControls", "EvCommand 130/17", "UpdateControls",
                                                    "EvCommand 130/0", "UpdateControls", "CmCancel", "DestroyDialog"}));
}

TEST(LHMoveBar, GripZoneDragAndScaling) {
  QWidget window;
  window.resize(640, 400);
  LHMoveBar bar;
  bar.SetY(200);
  EXPECT_FALSE(bar.EvLButtonDown(&window, 196));
  EXPECT_FALSE(bar.EvLButtonDown(&window, 204));
  EXPECT_FALSE(bar.EvMouseMove(&window, 150));
  EXPECT_TRUE(bar.EvMouseMove(&window, 202));
  EXPECT_EQ(window.cursor().shape(), Qt::SplitVCursor);
  EXPECT_FALSE(bar.EvMouseMove(&window, 100));

  EXPECT_TRUE(bar.EvLButtonDown(&window, 197));
  ASSERT_NE(bar.Band(), nullptr);
  EXPECT_EQ(bar.Band()->geometry(), QRect(0, 195, 640, 4));
  EXPECT_TRUE(bar.EvMouseMove(&window, 120));  // while dragging any y counts
  EXPECT_EQ(bar.Band()->geometry().y(), 118);
  EXPECT_TRUE(bar.EvLButtonUp(&window, 125));
  EXPECT_EQ(bar.GetY(), 125);
  EXPECT_TRUE(bar.Band()->isHidden());
  EXPECT_FALSE(bar.EvLButtonUp(&window, 125));

  bar.SetY(200);
  bar.EvSize(&window);
  for (int height : {600, 599}) {  // then 299.5, which rounds to the nearest pixel
    window.resize(640, height);
    bar.EvSize(&window);
    EXPECT_EQ(bar.GetY(), 300) << height;
  }
}

TEST(LSplashScreen, ShowsCentredAndAClickClosesIt) {
  LSplashScreen splash;
  splash.Display(nullptr);
  QPointer<QWidget> window = splash.Window();
  ASSERT_TRUE(window);
  EXPECT_EQ(window->x(), (LDesktopRect().width() - window->width()) / 2);
  splash.Display(nullptr);  // a second display replaces the first window
  QApplication::processEvents();
  EXPECT_FALSE(window);
  window = splash.Window();
  QTest::mouseClick(window, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_FALSE(window);
}

TEST(LAboutBox, PictureIgnoresClicksAndTheButtonOpensTheWebPage) {
  std::vector<std::string> opened;
  LSetWebPageHook([&](const std::string& address) { opened.push_back(address); });
  LAboutBox about;
  QTimer::singleShot(0, [&] {
    QWidget* picture = about.Control(LAboutBox::kPicture);
    ASSERT_NE(picture, nullptr);
    QTest::mouseClick(picture, Qt::LeftButton);
    EXPECT_TRUE(about.Window() && picture->isVisible());
    about.ControlAs<QPushButton>(LAboutBox::kWebButton)->click();
    about.ControlAs<QPushButton>(IDOK)->click();
  });
  EXPECT_EQ(about.Run(nullptr), IDOK);
  LSetWebPageHook(nullptr);
  EXPECT_EQ(opened, std::vector<std::string>{std::string(kMakerWebSite) + "/orativo/index.html"});
}

// As a desktop dialog that matches letter case exactly would apply the filters.
bool Offered(const std::string& line, const QString& name) {
  QString patterns = QString::fromStdString(line).section('(', -1).chopped(1);
  for (const QString& pattern : patterns.split(' ', Qt::SkipEmptyParts))
    if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern)).match(name).hasMatch())
      return true;
  return false;
}

TEST(FileFilters, NamesInEitherCaseAreOfferedAndOthersNot) {
  std::vector<std::string> lines = LFileDialogNameFilters(
      {{"Bitmap Files(*.bmp)", "*.bmp;"}, {"JPEG (*.jpg, *.jpeg, *.jpe, *.jfif)", "*.jpg; *.jpeg; *.jpe; *.jfif"}});
  ASSERT_EQ(lines.size(), 2u);
  const std::tuple<int, const char*, bool> names[] = {{0, "SCAN.BMP", true},   {1, "PHOTO.JPG", true},
                                                      {1, "photo.jpeg", true}, {1, "Photo.Jpg", true},
                                                      {1, "photo.png", false}, {0, "photo.jpg", false}};
  for (auto [line, name, offered] : names) EXPECT_EQ(Offered(lines[size_t(line)], name), offered) << name;
  EXPECT_EQ(QString::fromStdString(lines[0]).section(" (", 0, 0), "Bitmap Files");
}

}  // namespace
