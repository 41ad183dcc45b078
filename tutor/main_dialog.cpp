#include "tutor/main_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QToolBar>
#include <QTreeWidget>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/help.h"
#include "framework/widgets/status_bar.h"
#include "framework/widgets/win_defs.h"
#include "framework/widgets/window_size.h"

namespace {

constexpr char kSection[] = "MainWindow";

const std::vector<LMenuRow> kMenu1 = {
    {0, "|&Lesson"},
    {MainDialog::CM_LESSON_NEW, "&New Lesson\tCtrl+L"},
    {MainDialog::CM_LESSON_OPEN, "&Open Lesson\tCtrl+O"},
    {MainDialog::CM_LESSON_DELETE, "&Delete Lesson"},
    {MainDialog::CM_LESSON_CLOSE, "Close Lesson"},
    {0, "-"},
    {MainDialog::CM_LESSON_PREVIEW, "Preview Lesson\tF3"},
    {MainDialog::CM_LESSON_PROPERTIES, "Lesson Properties"},
    {MainDialog::CM_SETTINGS, "Settings"},
    {0, "-"},
    {MainDialog::CM_EXIT, "E&xit\tAlt+F4"},
    {0, nullptr},
    {0, "|&Expression"},
    {MainDialog::CM_EXPRESSION_NEW, "&New Expression\tCtrl+E"},
    {MainDialog::CM_EXPRESSION_DELETE, "&Delete Expression\tCtrl+Del"},
    {MainDialog::CM_EXPRESSION_RENAME, "&Rename Expression\tF2"},
    {0, "-"},
    {0, "|&Image"},
    {MainDialog::CM_IMAGE_NEW, "&Create New\tF8"},
    {MainDialog::CM_IMAGE_EXISTING, "&Load Existing\tCtrl+I"},
    {MainDialog::CM_IMAGE_REMOVE, "&Remove"},
    {MainDialog::CM_IMAGE_EDIT, "&Edit"},
    {0, nullptr},
    {0, "|E&xplanation"},
    {MainDialog::CM_EXPLANATION_EXISTING, "&Load Existing\tCtrl+L"},
    {0, nullptr},
    {0, "|&Audio"},
    {MainDialog::CM_AUDIO_PLAY, "&Play\tF9"},
    {MainDialog::CM_AUDIO_NEW, "&Create New\tF5"},
    {MainDialog::CM_AUDIO_EXISTING, "&Load Existing\tCtrl+A"},
    {MainDialog::CM_AUDIO_REMOVE, "&Remove"},
    {MainDialog::CM_AUDIO_EDIT, "&Edit"},
    {0, nullptr},
    {0, nullptr},
    {0, "|&Help"},
    {MainDialog::CM_HELP_CONTENTS, "&Help Contents\tF1"},
    {0, "|Internet Resources"},
    {MainDialog::CM_WEB_HOME, "Orativo Homepage"},
    {MainDialog::CM_WEB_SUPPORT, "Orativo Technical Support"},
    {0, "-"},
    {0, "-"},
    {MainDialog::CM_WEB_MAKER, "Kestrelon Homepage"},
    {0, nullptr},
    {0, "-"},
    {MainDialog::CM_HELP_ABOUT, "&About Orativo"},
    {0, nullptr},
};

const LToolBarButton kMainButtons[] = {
    {MainDialog::CM_LESSON_NEW, -21, "New Lesson", "Create a New Lesson (Ctrl+L)", TBSTYLE_BUTTON},
    {MainDialog::CM_LESSON_OPEN, -6, "Open Lesson", "Open an Existing Lesson (Ctrl+O)", TBSTYLE_BUTTON},
    {MainDialog::CM_LESSON_PROPERTIES, -20, "Lesson Properties", "Set the Lesson Properties", TBSTYLE_BUTTON},
    {MainDialog::CM_EXPRESSION_NEW, -5, "New Expression", "Create a New Expression (Ctrl+E)", TBSTYLE_BUTTON},
    {0, 0, nullptr, nullptr, TBSTYLE_SEP},
    {MainDialog::CM_SETTINGS, -2, "Settings", "Settings", TBSTYLE_BUTTON},
    {MainDialog::CM_LESSON_PREVIEW, -9, "Preview", "Preview Lesson (F3)", TBSTYLE_BUTTON},
};
const LToolBarButton kExplanationButtons[] = {
    {MainDialog::CM_EXPLANATION_EXISTING, -13, "Load Existing",
     "Load an existing explanation for the selected expression (Ctrl+L)", TBSTYLE_BUTTON},
};
const LToolBarButton kImageButtons[] = {
    {MainDialog::CM_IMAGE_NEW, -22, "Create New", "Create a plain image for the selected expression (F8).",
     TBSTYLE_BUTTON},
    {MainDialog::CM_IMAGE_EXISTING, -24, "Load Existing",
     "Load an existing image for the selected expression (Ctrl+I).", TBSTYLE_BUTTON},
    {MainDialog::CM_IMAGE_REMOVE, -14, "Remove", "Remove the image of the selected expression", TBSTYLE_BUTTON},
    {MainDialog::CM_IMAGE_EDIT, -15, "Edit", "Edit the image of the selected expression", TBSTYLE_BUTTON},
};
const LToolBarButton kAudioButtons[] = {
    {MainDialog::CM_AUDIO_PLAY, -4, "Play", "Play the audio of the selected expression (F9).", TBSTYLE_CHECK},
    {MainDialog::CM_AUDIO_NEW, -7, "Record New", "Create a new audio for the selected expression (F5).",
     TBSTYLE_BUTTON},
    {MainDialog::CM_AUDIO_EXISTING, -23, "Load Existing",
     "Load an existing audio for the selected expression (Ctrl+A).", TBSTYLE_BUTTON},
    {MainDialog::CM_AUDIO_REMOVE, -8, "Remove", "Remove the audio of the selected expression", TBSTYLE_BUTTON},
    {MainDialog::CM_AUDIO_EDIT, -11, "Edit", "Edit the audio of the selected expression", TBSTYLE_BUTTON},
};

const LToolRow kControlTips[] = {
    {MainDialog::kList, "Expression List of Current Lesson. Drag and drop the expression to re-order it."},
    {MainDialog::kStatus, "Click to view Kestrelon Internet Resources"},
    {MainDialog::kExplanation,
     "Explanation of the selected expression. Type in or press Ctrl+L to add an existing file."},
    {MainDialog::kPage, "Image of the selected expression."},
    {MainDialog::kVolume, "Play Volume."},
};

// Commands whose handlers are in place; the others come with the lesson,
// expression and media work and stay disabled until then.
bool Implemented(int id) {
  switch (id) {
    case MainDialog::CM_LESSON_CLOSE:
    case MainDialog::CM_EXIT:
    case MainDialog::CM_HELP_CONTENTS:
    case MainDialog::CM_WEB_HOME:
    case MainDialog::CM_WEB_SUPPORT:
    case MainDialog::CM_WEB_MAKER:
    case MainDialog::CM_HELP_ABOUT:
      return true;
    default:
      return false;
  }
}

QFrame* Placeholder(QWidget* parent, int id) {
  auto* frame = new QFrame(parent);
  frame->setFrameShape(QFrame::StyledPanel);
  LSetControlId(frame, id);
  return frame;
}

bool BuildTemplate1(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Orativo"));
  window->setSizeGripEnabled(true);
  window->setMouseTracking(true);
  LSetControlId(LBuildMenu(window, kMenu1), 1);
  auto* list = new QTreeWidget(window);
  list->setRootIsDecorated(false);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->header()->setSectionsClickable(false);
  list->setColumnCount(4);
  list->setHeaderLabels({QStringLiteral("Expression"), QString(), QString(), QString()});
  list->headerItem()->setIcon(1, LLoadBitmap(17));
  list->headerItem()->setIcon(2, LLoadBitmap(3));
  list->headerItem()->setIcon(3, LLoadBitmap(18));
  list->setColumnWidth(0, 190);
  for (int c = 1; c < 4; ++c) list->setColumnWidth(c, 30);
  LSetControlId(list, MainDialog::kList);
  LSetControlId(new LStatusBar(window), MainDialog::kStatus);
  LSetControlId(new QPlainTextEdit(window), MainDialog::kExplanation);
  Placeholder(window, MainDialog::kPage);
  for (int id : {MainDialog::kExplanationHost, MainDialog::kImageHost, MainDialog::kAudioHost}) {
    QFrame* host = Placeholder(window, id);
    host->setFrameShape(QFrame::NoFrame);
  }
  auto* position = new QScrollBar(Qt::Horizontal, window);
  position->setRange(0, 100);
  LSetControlId(position, MainDialog::kPosition);
  Placeholder(window, MainDialog::kLevel)->setObjectName(QStringLiteral("levelMeter"));
  auto* volume = new QLineEdit(QStringLiteral("0 dB"), window);
  volume->setAlignment(Qt::AlignCenter);
  LSetControlId(volume, MainDialog::kVolume);
  window->resize(LDialogUnitsToPixelsX(window, 399), LDialogUnitsToPixelsY(window, 256));
  return true;
}

}  // namespace

const LDialogTemplate& MainDialog::Template() {
  static const LDialogTemplate kTemplate{"1", BuildTemplate1};
  return kTemplate;
}

MainDialog::MainDialog() { pagePath_ = QDir::temp().filePath(QStringLiteral("llpreview.htm")).toStdString(); }

MainDialog::~MainDialog() = default;

const char* MainDialog::StatusText(int index) {
  static const char* const kTexts[kStatusTexts] = {
      "Orativo v 1.01 - Kestrelon language software",
      "Record every expression in your own voice: press F5 on the selected expression.",
      "Preview a lesson exactly as your students see it: press F3.",
      "Add a picture to an expression to make it easier to remember.",
      "Explanations appear under the picture in the study window.",
      "Drag an expression in the list to change the order of the lesson.",
      "Protect a lesson with a user name and password in Lesson Properties.",
      "Students can redo any expression and compare their voice with yours.",
      "Visit the Kestrelon home page for more language tools.",
      "Orativo v 1.01 - Kestrelon language software",
      "Use the audio editor to trim silence from a recording.",
      "Short expressions are learnt faster than long sentences.",
      "The level meter shows how loud the recording is.",
      "Orativo v 1.01 - Kestrelon language software",
      "Set the default study mode of a lesson in Lesson Properties.",
      "Load existing WAV or MP3 files instead of recording anew.",
      "Press F1 at any time for help.",
      "Orativo v 1.01 - Kestrelon language software",
      "Kestrelon programs are made for teachers and learners.",
      "Click here for Kestrelon Internet Resources.",
  };
  return kTexts[((index % kStatusTexts) + kStatusTexts) % kStatusTexts];
}

void MainDialog::InitDialog() {
  QWidget* window = Window();
  splash_.Display(window);
  window->setWindowIcon(LLoadIcon(1));
  toolbars_[0].SetToolBar(window, kMainButtons, int(std::size(kMainButtons)), IDB_STD_LARGE_COLOR, kMainBar);
  toolbars_[1].SetToolBar(Control(kExplanationHost), kExplanationButtons, int(std::size(kExplanationButtons)),
                          IDB_STD_SMALL_COLOR, kExplanationBar);
  toolbars_[2].SetToolBar(Control(kImageHost), kImageButtons, int(std::size(kImageButtons)), IDB_STD_SMALL_COLOR,
                          kImageBar);
  toolbars_[3].SetToolBar(Control(kAudioHost), kAudioButtons, int(std::size(kAudioButtons)), IDB_STD_SMALL_COLOR,
                          kAudioBar);
  for (int i = 1; i < 4; ++i) {
    toolbars_[i].Handle()->setIconSize(QSize(16, 16));
  }
  LAddTools(*this, kControlTips, int(std::size(kControlTips)));
  if (auto* status = ControlAs<LStatusBar>(kStatus))
    QObject::connect(status, &LStatusBar::clicked, window, [window] {
      if (QMenu* menu = window->findChild<QMenu*>(QStringLiteral("Internet Resources"))) menu->popup(QCursor::pos());
    });
  // The divider is kept in client coordinates below the menu bar.
  splitter_.SetY(LWindowSettingGetInt(kSection, "TextDividerY", kDefaultDivider) + MenuHeight());
  WindowSizeSettingsRestore(window, kSection, {160, 80, 505, 494, true});
  LessonApply();
  pageView_.Create(Control(kPage));
  if (auto* position = ControlAs<QScrollBar>(kPosition)) position->setRange(0, 100);
  SetTimer(1, 0);
  LayoutControls();
}

void MainDialog::LessonApply() {
  bool open = !lessonPath_.empty();
  for (int id : {int(kList), int(kExplanation), int(kPage)}) LEnableControl(*this, id, open);
  toolbars_[0].EnableButton(CM_LESSON_PROPERTIES, open && Implemented(CM_LESSON_PROPERTIES));
  toolbars_[0].EnableButton(CM_LESSON_PREVIEW, open && Implemented(CM_LESSON_PREVIEW));
  QString title = QStringLiteral("Orativo");
  if (open) title += QStringLiteral(" [%1]").arg(QFileInfo(QString::fromStdString(lessonPath_)).completeBaseName());
  Window()->setWindowTitle(title);
  if (auto* list = ControlAs<QTreeWidget>(kList)) list->clear();
}

bool MainDialog::CommandAvailable(int id) const {
  if (!Implemented(id)) return false;
  if (id == CM_LESSON_CLOSE) return !lessonPath_.empty();
  return true;
}

void MainDialog::UpdateControls() {
  // No expression can be selected before the expression list exists.
  for (int i = 1; i < 4; ++i)
    for (QAction* action : toolbars_[i].Handle() ? toolbars_[i].Handle()->actions() : QList<QAction*>())
      if (!action->isSeparator()) action->setEnabled(CommandAvailable(action->property("commandId").toInt()));
  for (int id : {int(CM_LESSON_NEW), int(CM_LESSON_OPEN), int(CM_EXPRESSION_NEW), int(CM_SETTINGS)})
    toolbars_[0].EnableButton(id, CommandAvailable(id));
  LEnableControls(*this, kPosition, kVolume, false);
}

void MainDialog::SetMenuStates() {
  const auto actions = Window()->findChildren<QAction*>();
  for (QAction* action : actions) {
    int id = action->property("controlId").toInt();
    if (id) action->setEnabled(CommandAvailable(id));
  }
}

void MainDialog::RunCommand(int id) {
  if (CommandAvailable(id)) SendCommand(id);
}

void MainDialog::CmHelp() { DisplayHelpContents(); }

void MainDialog::EvCommand(int id, int /*notifyCode*/) {
  if (!CommandAvailable(id)) return;
  switch (id) {
    case CM_LESSON_CLOSE:
      lessonPath_.clear();
      LessonApply();
      break;
    case CM_EXIT:
      if (CmCancel()) Close();
      break;
    case CM_HELP_CONTENTS:
      CmHelp();
      break;
    case CM_WEB_HOME:
      OpenWebPage("orativo/index");
      break;
    case CM_WEB_SUPPORT:
      OpenWebPage("orativo/support");
      break;
    case CM_WEB_MAKER:
      OpenWebPage("index");
      break;
    case CM_HELP_ABOUT: {
      LAboutBox about;
      about.Run(Window());
      break;
    }
    default:
      break;
  }
}

bool MainDialog::EvKeyDown(int key) {
  switch (key) {
    case VK_F1:
      CmHelp();
      return true;
    case VK_ESCAPE:
      return true;
    case VK_F2:
      RunCommand(CM_EXPRESSION_RENAME);
      return true;
    case VK_F3:
      RunCommand(CM_LESSON_PREVIEW);
      return true;
    case VK_F5:
      RunCommand(CM_AUDIO_NEW);
      return true;
    case VK_F8:
      RunCommand(CM_IMAGE_NEW);
      return true;
    case VK_F9:
      RunCommand(CM_AUDIO_PLAY);
      return true;
    case 'E' + KEY_CTRL:
      RunCommand(CM_EXPRESSION_NEW);
      return true;
    case 'I' + KEY_CTRL:
      RunCommand(CM_IMAGE_EXISTING);
      return true;
    case 'L' + KEY_CTRL:
      RunCommand(CM_EXPLANATION_EXISTING);
      return true;
    case 'A' + KEY_CTRL:
      RunCommand(CM_AUDIO_EXISTING);
      return true;
    default:
      return false;
  }
}

void MainDialog::EvTimer(int id) {
  KillTimer(id);
  if (id == 1) {
    if (auto* status = ControlAs<LStatusBar>(kStatus)) status->SetText(0, QString::fromUtf8(StatusText(statusIndex_)));
    statusIndex_ = (statusIndex_ + 1) % kStatusTexts;
    SetTimer(1, 8000);
  }
}

int MainDialog::MenuHeight() const {
  QMenuBar* bar = Window() ? Window()->findChild<QMenuBar*>() : nullptr;
  return bar ? bar->sizeHint().height() : 0;
}

void MainDialog::LayoutControls() {
  QWidget* window = Window();
  if (!window) return;
  int menu = MenuHeight();
  if (QMenuBar* bar = window->findChild<QMenuBar*>()) bar->setGeometry(0, 0, window->width(), menu);
  int W = window->width(), H = window->height() - menu;
  auto place = [&](int id, int x, int y, int w, int h) { LMoveControl(*this, id, x, menu + y, w, h); };
  QWidget* status = Control(kStatus);
  int s = status ? status->height() : 0;
  place(kStatus, 0, H - s, W, s);
  int R = H - s;
  QToolBar* mainBar = toolbars_[0].Handle();
  int t = mainBar ? mainBar->sizeHint().height() : 0;
  if (mainBar) mainBar->setGeometry(0, menu, W, t);
  int h = toolbars_[1].Handle() ? toolbars_[1].Handle()->sizeHint().height() : 0;
  R -= t;
  int d = splitter_.GetY() - menu;
  if (d < t + 30) d = t + 60;
  if (R - h < d) d = R - h - 15;
  int third = W / 3, w = W - W / 3;
  place(kList, 0, t + 1, third, R);
  place(kImageHost, third, t + 1, w, h);
  place(kPage, third, t + h + 2, w, d - h - t);
  place(kExplanationHost, third, d + 4, w, h);
  int e = H - s - d - 2 - 2 * h;
  place(kExplanation, third, d + 4 + h, w, e);
  int a = d + 4 + h + e;
  place(kAudioHost, third, a, w * 2 / 3, h);
  int row = h / 3 - 1;
  place(kLevel, third + w * 2 / 3, a, w / 3, row);
  place(kVolume, third + w * 2 / 3, a + row, w / 3, row);
  place(kPosition, third + w * 2 / 3, a + 2 * row, w / 3, row);
  splitter_.SetY(d + menu);
  for (int i = 1; i < 4; ++i) toolbars_[i].AutoSize();
  if (auto* list = ControlAs<QTreeWidget>(kList)) {
    int others = list->columnWidth(1) + list->columnWidth(2) + list->columnWidth(3);
    // The viewport follows the list's size only after layout; its frame is known now.
    int client = list->contentsRect().width() -
                 (list->verticalScrollBar()->isVisible() ? list->verticalScrollBar()->width() : 0);
    list->setColumnWidth(0, std::max(40, client - others));
  }
}

bool MainDialog::DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) {
  int y = int(int16_t(HiWord(uintptr_t(lParam))));
  switch (message) {
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) return true;
      splitter_.EvSize(Window());
      LayoutControls();
      pageView_.EvSize();
      Window()->update();
      return true;
    case WM_LBUTTONDOWN:
      return splitter_.EvLButtonDown(Window(), y);
    case WM_MOUSEMOVE:
      return splitter_.EvMouseMove(Window(), y);
    case WM_LBUTTONUP:
      if (splitter_.EvLButtonUp(Window(), y)) {
        LayoutControls();
        pageView_.EvSize();
        Window()->update();
        return true;
      }
      return false;
    case WM_TIMER:
      EvTimer(int(wParam));
      return true;
    case WM_INITMENUPOPUP:
      SetMenuStates();
      return true;
    case WM_CONTEXTMENU:
      return true;
    default:
      return LKeyDialog::DialogProc(message, wParam, lParam);
  }
}

void MainDialog::DestroyDialog() {
  WindowSizeSettingsStore(Window(), kSection);
  LWindowSettingSetInt(kSection, "TextDividerY", splitter_.GetY() - MenuHeight());
  pageView_.Destroy();
}
