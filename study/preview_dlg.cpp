#include "study/preview_dlg.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QToolBar>
#include <QTreeWidget>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/help.h"
#include "framework/widgets/run_mode.h"
#include "framework/widgets/splash.h"
#include "framework/widgets/status_bar.h"
#include "framework/widgets/win_defs.h"
#include "framework/widgets/window_size.h"

namespace {

const std::vector<LMenuRow> kMenu2 = {
    {0, "|&Lesson"},
    {PreviewDlg::CM_OPEN, "&Open Lesson\tCtrl+L"},
    {PreviewDlg::CM_CLOSE, "&Close Lesson"},
    {0, "-"},
    {PreviewDlg::CM_GO, "&Go\tF3"},
    {PreviewDlg::CM_STOP, "&Stop\tEsc"},
    {PreviewDlg::CM_REDO, "Redo the selected expression\tF5"},
    {PreviewDlg::CM_PLAY, "Play the selected expression\tF9"},
    {0, "-"},
    {PreviewDlg::CM_SETTINGS, "Settings"},
    {PreviewDlg::CM_HELP, "Help\tF1"},
    {0, "-"},
    {PreviewDlg::CM_EXIT, "E&xit\tAlt+F4"},
    {0, nullptr},
};

const LToolBarButton kButtons[] = {
    {PreviewDlg::CM_OPEN, -6, "Open", "Open an existing lesson", TBSTYLE_BUTTON},
    {0, 0, nullptr, nullptr, TBSTYLE_SEP},
    {PreviewDlg::CM_GO, -12, "Go", "Start the lesson", TBSTYLE_BUTTON},
    {PreviewDlg::CM_STOP, -25, "Stop", "Stop the lesson", TBSTYLE_BUTTON},
    {0, 0, nullptr, nullptr, TBSTYLE_SEP},
    {PreviewDlg::CM_REDO, -19, "Redo", "Re-record my recording of the selected expression", TBSTYLE_BUTTON},
    {PreviewDlg::CM_PLAY, -10, "Play", "Play tutor's recording then play my recording of the selected expression",
     TBSTYLE_BUTTON},
    {0, 0, nullptr, nullptr, TBSTYLE_SEP},
    {PreviewDlg::CM_SETTINGS, -2, "Settings", "Settings", TBSTYLE_BUTTON},
};

const QColor kListBackground(221, 234, 234);

bool BuildTemplate4(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Preview Lesson"));
  window->setSizeGripEnabled(true);
  LSetControlId(LBuildMenu(window, kMenu2), 2);
  auto* mode = new QComboBox(window);
  LSetControlId(mode, PreviewDlg::kMode);
  auto* list = new QTreeWidget(window);
  list->setRootIsDecorated(false);
  list->setHeaderHidden(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  LSetControlId(list, PreviewDlg::kList);
  auto* level = new QFrame(window);
  level->setFrameShape(QFrame::StyledPanel);
  LSetControlId(level, PreviewDlg::kLevel);
  auto* page = new QFrame(window);
  page->setFrameShape(QFrame::StyledPanel);
  LSetControlId(page, PreviewDlg::kPage);
  LSetControlId(new LStatusBar(window), PreviewDlg::kStatus);
  auto* unused = new QLabel(window);
  unused->hide();
  LSetControlId(unused, PreviewDlg::kUnused);
  window->resize(LDialogUnitsToPixelsX(window, 450), LDialogUnitsToPixelsY(window, 211));
  return true;
}

}  // namespace

const LDialogTemplate& PreviewDlg::Template() {
  static const LDialogTemplate kTemplate{"4", BuildTemplate4};
  return kTemplate;
}

PreviewDlg::PreviewDlg(std::string& lessonPath) : lessonPath_(lessonPath) {
  pagePath_ = QDir::temp().filePath(QStringLiteral("llpreview.htm")).toStdString();
}

PreviewDlg::~PreviewDlg() = default;

const char* PreviewDlg::WindowSection() { return IsTutorMode() ? "PreviewWindow" : "StudentWindow"; }

void PreviewDlg::InitDialog() {
  QDialog* window = Window();
  window->setWindowIcon(LLoadIcon(1));
  toolbar_.SetToolBar(window, kButtons, int(std::size(kButtons)), IDB_STD_LARGE_COLOR, kToolBar);
  if (auto* list = ControlAs<QTreeWidget>(kList)) {
    list->setColumnCount(1);
    list->setHeaderLabels({QStringLiteral("Expression")});
    list->setColumnWidth(0, 310);
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, kListBackground);
    list->setPalette(palette);
    list->setToolTip(QStringLiteral("Expression List"));
    QObject::connect(list, &QTreeWidget::itemSelectionChanged, window, [this] {
      if (auto* l = ControlAs<QTreeWidget>(kList)) {
        QTreeWidgetItem* item = l->currentItem();
        if (item && item->isSelected()) InitExpression(l->indexOfTopLevelItem(item));
      }
      UpdateToolBar();
    });
  }
  static const char* const kModes[] = {"Listen All", "Listen then Repeat", nullptr};
  LFillComboBox(*this, kMode, kModes);
  pageView_.Create(Control(kPage));
  WindowSizeSettingsRestore(window, WindowSection(), {160, 80, 505, 494, !IsTutorMode()});
  LessonApply();
  if (auto* status = ControlAs<LStatusBar>(kStatus)) status->SetText(0, QStringLiteral("Orativo v 1.01"));
  LayoutControls();
}

void PreviewDlg::LessonApply() {
  QString name = QFileInfo(QString::fromStdString(lessonPath_)).completeBaseName();
  QString base = IsTutorMode() ? QStringLiteral("Preview Lesson") : QStringLiteral("Orativo");
  Window()->setWindowTitle(LessonOpen() ? QStringLiteral("%1 [%2]").arg(base, name) : base);
  if (auto* mode = ControlAs<QComboBox>(kMode)) mode->setCurrentIndex(0);
  InitExpressionList();
  for (int id : {int(kList), int(kMode), int(kPage)}) LEnableControl(*this, id, LessonOpen());
  UpdateToolBar();
}

void PreviewDlg::InitExpressionList() {
  if (auto* list = ControlAs<QTreeWidget>(kList)) list->clear();
  // The lesson store fills the list once it exists; until then no lesson
  // has expressions to show.
  InitExpression(-1);
}

void PreviewDlg::InitExpression(int index) {
  auto* status = ControlAs<LStatusBar>(kStatus);
  auto* list = ControlAs<QTreeWidget>(kList);
  bool resolved = LessonOpen() && index >= 0 && list && index < list->topLevelItemCount() &&
                  !list->topLevelItem(index)->text(0).isEmpty();
  if (status)
    status->SetText(
        2, resolved ? QStringLiteral("Expression %1 of %2").arg(index + 1).arg(list->topLevelItemCount()) : QString());
  if (QFileInfo::exists(QString::fromStdString(pagePath_))) pageView_.Nagivate(pagePath_);
}

bool PreviewDlg::CommandEnabled(int id) const {
  auto* list = const_cast<PreviewDlg*>(this)->ControlAs<QTreeWidget>(kList);
  bool selected = list && !list->selectedItems().isEmpty();
  switch (id) {
    case CM_GO:
      return false;  // the study runner arrives with the sound engine
    case CM_STOP:
      return iMode_ != 0;
    case CM_REDO:
    case CM_PLAY:
      return LessonOpen() && selected && iMode_ == 0 && false;
    case CM_OPEN:
      return false;  // the Open Lesson dialog arrives with the lesson store
    case CM_SETTINGS:
      return false;  // the settings pages arrive later
    case CM_CLOSE:
    case CM_HELP:
    case CM_EXIT:
      return true;
    default:
      return false;
  }
}

void PreviewDlg::UpdateToolBar() {
  for (int id : {int(CM_OPEN), int(CM_GO), int(CM_STOP), int(CM_REDO), int(CM_PLAY), int(CM_SETTINGS)})
    toolbar_.EnableButton(id, CommandEnabled(id));
}

void PreviewDlg::StopLesson() { iMode_ = 0; }

bool PreviewDlg::CmOk() {
  StopLesson();
  return true;
}

bool PreviewDlg::CmCancel() {
  StopLesson();
  return true;
}

void PreviewDlg::CmHelp() { DisplayHelp(kHelpTopic); }

void PreviewDlg::EvCommand(int id, int notifyCode) {
  if (id == kMode && notifyCode == CBN_SELCHANGE) {
    StopLesson();
    return;
  }
  if (!CommandEnabled(id)) return;
  switch (id) {
    case CM_CLOSE:
      StopLesson();
      lessonPath_.clear();
      LessonApply();
      break;
    case CM_STOP:
      StopLesson();
      break;
    case CM_HELP:
      CmHelp();
      break;
    case CM_EXIT:
      StopLesson();
      Close();
      break;
    default:
      break;
  }
  if (Window()) UpdateToolBar();
}

bool PreviewDlg::EvKeyDown(int key) {
  switch (key) {
    case 'O' + KEY_CTRL:
      if (CommandEnabled(CM_OPEN)) SendCommand(CM_OPEN);
      return true;
    case VK_F3:
      if (CommandEnabled(CM_GO)) SendCommand(CM_GO);
      return true;
    case VK_F5:
      if (CommandEnabled(CM_REDO)) SendCommand(CM_REDO);
      return true;
    case VK_F9:
      if (CommandEnabled(CM_PLAY)) SendCommand(CM_PLAY);
      return true;
    case VK_F1:
      CmHelp();
      return true;
    case VK_ESCAPE:
      // Esc stops a run and never closes the study window.
      StopLesson();
      UpdateToolBar();
      return true;
    case VK_RETURN:
      return true;
    default:
      return false;
  }
}

void PreviewDlg::LayoutControls() {
  QDialog* window = Window();
  if (!window) return;
  QMenuBar* bar = window->findChild<QMenuBar*>();
  int menu = bar ? bar->sizeHint().height() : 0;
  if (bar) bar->setGeometry(0, 0, window->width(), menu);
  int w = window->width(), h = window->height() - menu;
  int u = LDialogUnitsToPixelsY(window, 10);
  QToolBar* tools = toolbar_.Handle();
  int T = tools ? tools->sizeHint().height() : 0;
  if (tools) tools->setGeometry(0, menu, w, T);
  auto* status = ControlAs<LStatusBar>(kStatus);
  int S = status ? status->height() : 0;
  auto place = [&](int id, int x, int y, int width, int height) {
    LMoveControl(*this, id, x, menu + y, width, height);
  };
  place(kStatus, 0, h - S, w, S);
  if (status) status->SetParts({w - 35 * u, w - 18 * u, -1});
  place(kPage, w - (w / 3) * 2, T, (w / 3) * 2, h - S - T);
  place(kMode, 0, T, w / 3, u + 6);
  place(kList, 0, T + u + 10, w / 3, h - S - T - u - (u + 2) - 10);
  place(kLevel, 0, h - S - u - 2 + 2, w / 3, u);
  if (auto* list = ControlAs<QTreeWidget>(kList)) list->setColumnWidth(0, std::max(30, list->viewport()->width()));
  pageView_.EvSize();
}

bool PreviewDlg::DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) LayoutControls();
      return true;
    case WM_INITMENUPOPUP: {
      const auto actions = Window()->findChildren<QAction*>();
      for (QAction* action : actions)
        if (int id = action->property("controlId").toInt()) action->setEnabled(CommandEnabled(id));
      return true;
    }
    default:
      return LKeyDialog::DialogProc(message, wParam, lParam);
  }
}

void PreviewDlg::DestroyDialog() {
  WindowSizeSettingsStore(Window(), WindowSection());
  StopLesson();
  pageView_.Destroy();
}
