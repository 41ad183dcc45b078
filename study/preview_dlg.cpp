#include "study/preview_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QToolBar>
#include <QTreeWidget>

#include "controls/level_meter.h"
#include "framework/lfile.h"
#include "framework/settings.h"
#include "framework/widgets/dialog_items.h"
#include "framework/widgets/help.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/run_mode.h"
#include "framework/widgets/splash.h"
#include "framework/widgets/status_bar.h"
#include "framework/widgets/win_defs.h"
#include "framework/widgets/window_size.h"
#include "lessons/expression_order.h"
#include "lessons/expression_page.h"
#include "lessons/lesson.h"
#include "platform/debug_log.h"
#include "platform/program_version.h"
#include "study/choose_lesson.h"
#include "study/compare_view.h"
#include "study/replay_speed.h"
#include "study/settings_pages.h"

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
    {PreviewDlg::CM_COMPARE, "Compare my recording with the tutor's"},
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
    {PreviewDlg::CM_COMPARE, -26, "Compare", "Compare my recording of the selected expression with the tutor's",
     TBSTYLE_BUTTON},
    {0, 0, nullptr, nullptr, TBSTYLE_SEP},
    {PreviewDlg::CM_SETTINGS, -2, "Settings", "Settings", TBSTYLE_BUTTON},
};

const QColor kListBackground(221, 234, 234);
const QColor kEvenRow(240, 252, 255);
const int kPlainImage = 5, kMarkedImage = 7, kPlayingIconId = 6, kRecordingIconId = 2;

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
  LSetControlId(new LDBDisplay(window), PreviewDlg::kLevel);
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

PreviewDlg::PreviewDlg(std::string& lessonPath)
    : lessonPath_(lessonPath), runner_(std::make_unique<StudyRunner>(*this, IsTutorMode())) {
  pagePath_ = ExpressionPreviewPagePath();
}

PreviewDlg::~PreviewDlg() = default;

void PreviewDlg::RunPreview(QWidget* owner, const std::string& lessonPath) {
  std::string copy = lessonPath;
  PreviewDlg window(copy);
  window.Run(owner);
}

const char* PreviewDlg::WindowSection() { return IsTutorMode() ? "PreviewWindow" : "StudentWindow"; }

void PreviewDlg::InitDialog() {
  QDialog* window = Window();
  window->setWindowIcon(LLoadIcon(1));
  RunnerLevel(LLevelRecord::Silence());
  toolbar_.SetToolBar(window, kButtons, int(std::size(kButtons)), IDB_STD_LARGE_COLOR, kToolBar);
  AddReplayControls();
  if (auto* list = ControlAs<QTreeWidget>(kList)) {
    list->setColumnCount(1);
    list->setHeaderLabels({QStringLiteral("Expression")});
    list->setColumnWidth(0, 310);
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, kListBackground);
    list->setPalette(palette);
    list->setToolTip(QStringLiteral("Expression List"));
    QObject::connect(list, &QTreeWidget::itemSelectionChanged, window, [this] {
      int selected = SelectedItem();
      if (selected >= 0) InitExpression(selected);
      UpdateToolBar();
    });
  }
  static const char* const kModes[] = {"Listen All", "Listen then Repeat", nullptr};
  LFillComboBox(*this, kMode, kModes);
  pageView_.Create(Control(kPage));
  WindowSizeSettingsRestore(window, WindowSection(), {160, 80, 505, 494, !IsTutorMode()});
  LayoutControls();  // the status bar's parts exist from here on
  LessonApply();
  if (auto* status = ControlAs<LStatusBar>(kStatus)) status->SetText(0, QStringLiteral(ORATIVO_VERSION_LINE));
  LayoutControls();
}

void PreviewDlg::OpenLesson(const std::string& lessonPath) {
  LDebugLog("PreviewDlg::OpenLesson %s", lessonPath.c_str());
  StopLesson();
  lessonPath_ = lessonPath;
  LessonApply();
}

void PreviewDlg::LessonApply() {
  std::string title;
  LFile::GetFileTitleFromPath(title, lessonPath_);
  QString name = QString::fromStdString(title);
  QString base = IsTutorMode() ? QStringLiteral("Preview Lesson") : QStringLiteral("Orativo");
  Window()->setWindowTitle(LessonOpen() ? QStringLiteral("%1 [%2]").arg(base, name) : base);
  int mode = 0;
  if (LessonOpen()) mode = ProfileReadInt(LLesson::ResolveLessonFile(lessonPath_), "study", "mode", 0);
  if (auto* combo = ControlAs<QComboBox>(kMode)) {
    QSignalBlocker quiet(combo);
    combo->setCurrentIndex(mode == 1 ? 1 : 0);
  }
  InitExpressionList();
  for (int id : {int(kList), int(kMode), int(kPage)}) LEnableControl(*this, id, LessonOpen());
  UpdateToolBar();
}

void PreviewDlg::InitExpressionList() {
  auto* list = ControlAs<QTreeWidget>(kList);
  if (!list) return;
  {
    QSignalBlocker quiet(list);
    list->clear();
  }
  runner_->SetLesson(lessonPath_, ListExpressionsInOrder(lessonPath_));
  if (!LessonOpen()) {
    InitExpression(-1);
    return;
  }
  {
    QSignalBlocker quiet(list);
    for (const LExpressionEntry& e : runner_->Expressions()) {
      auto* item = new QTreeWidgetItem(list, {QString::fromStdString(e.name)});
      item->setData(0, Qt::UserRole, e.order);
      item->setIcon(0, LLoadIcon(kPlainImage));
    }
    LVStripeRows(list, kEvenRow, kListBackground);
  }
  RunnerSelectFirst();
}

void PreviewDlg::InitExpression(int index) {
  auto* status = ControlAs<LStatusBar>(kStatus);
  std::string record = runner_->GetRecording(index);
  if (status)
    status->SetText(2,
                    record.empty()
                        ? QString()
                        : QStringLiteral("Expression %1 of %2").arg(index + 1).arg(int(runner_->Expressions().size())));
  WriteExpressionPage(record, pagePath_, false);
  pageView_.Nagivate(pagePath_);
}

int PreviewDlg::SelectedItem() const {
  auto* list = ControlAs<QTreeWidget>(kList);
  if (!list) return -1;
  const auto items = list->selectedItems();
  return items.isEmpty() ? -1 : list->indexOfTopLevelItem(items.first());
}

void PreviewDlg::SelectItem(int index) {
  auto* list = ControlAs<QTreeWidget>(kList);
  if (!list || index < 0 || index >= list->topLevelItemCount()) return;
  QTreeWidgetItem* item = list->topLevelItem(index);
  list->setCurrentItem(item);
  list->clearSelection();
  item->setSelected(true);
  list->scrollToItem(item);
}

void PreviewDlg::MoveSelection(int key) {
  auto* list = ControlAs<QTreeWidget>(kList);
  if (!list || !list->isEnabled() || list->topLevelItemCount() == 0) return;
  int last = list->topLevelItemCount() - 1, at = SelectedItem();
  switch (key) {
    case VK_UP:
      at = std::max(0, at - 1);
      break;
    case VK_DOWN:
      at = std::min(last, at + 1);
      break;
    case VK_HOME:
      at = 0;
      break;
    default:
      at = last;
      break;
  }
  SelectItem(at);
}

// --- slow replay ------------------------------------------------------------

void PreviewDlg::AddReplayControls() {
  QToolBar* tools = toolbar_.Handle();
  if (!tools) return;
  tools->addSeparator();
  tools->addWidget(new QLabel(QStringLiteral("Speed "), tools));
  auto* speed = new QComboBox(tools);
  const int stored = ReadReplaySpeed();
  for (int percent : ReplaySpeedSteps()) {
    speed->addItem(QString::fromStdString(ReplaySpeedText(percent)), percent);
    if (percent == stored) speed->setCurrentIndex(speed->count() - 1);
  }
  speed->setToolTip(
      QStringLiteral("Speed of the tutor's recording (the pitch stays the same): Ctrl+Down slower, Ctrl+Up faster"));
  speed->setFocusPolicy(Qt::NoFocus);  // the arrow keys stay with the expression list
  tools->addWidget(LSetControlId(speed, kReplaySpeed));
  auto* both = new QCheckBox(QStringLiteral("Slow, then normal"), tools);
  both->setToolTip(QStringLiteral("Listen All plays each expression at the slow speed, then at normal speed"));
  both->setChecked(ReadSlowThenNormal());
  both->setEnabled(stored < kReplaySpeedMax);
  both->setFocusPolicy(Qt::NoFocus);
  tools->addWidget(LSetControlId(both, kSlowThenNormal));
  // Stored at once: a run in progress takes them from its next expression.
  QObject::connect(speed, &QComboBox::currentIndexChanged, both, [speed, both] {
    StoreReplaySpeed(speed->currentData().toInt());
    both->setEnabled(ReadReplaySpeed() < kReplaySpeedMax);
  });
  QObject::connect(both, &QCheckBox::toggled, both, [](bool on) { StoreSlowThenNormal(on); });
}

void PreviewDlg::StepReplaySpeed(int slower) {
  auto* speed = ControlAs<QComboBox>(kReplaySpeed);
  if (speed) speed->setCurrentIndex(std::clamp(speed->currentIndex() + slower, 0, speed->count() - 1));
}

// --- what the runner reports ------------------------------------------------

void PreviewDlg::RunnerStatus(const std::string& text, Icon icon) {
  auto* status = ControlAs<LStatusBar>(kStatus);
  if (!status) return;
  status->SetText(1, QString::fromStdString(text));
  status->SetIcon(1, icon == kPlayingIcon     ? LLoadIcon(kPlayingIconId)
                     : icon == kRecordingIcon ? LLoadIcon(kRecordingIconId)
                                              : QIcon());
}

void PreviewDlg::RunnerLevel(const LLevelRecord& level) {
  if (auto* meter = ControlAs<LDBDisplay>(kLevel)) meter->SetLevels(level);
}

void PreviewDlg::RunnerMark(int index, bool marked) {
  auto* list = ControlAs<QTreeWidget>(kList);
  if (!list || index < 0 || index >= list->topLevelItemCount()) return;
  list->topLevelItem(index)->setIcon(0, LLoadIcon(marked ? kMarkedImage : kPlainImage));
}

void PreviewDlg::RunnerSelectFirst() {
  auto* list = ControlAs<QTreeWidget>(kList);
  if (list && list->topLevelItemCount() > 0) {
    QSignalBlocker quiet(list);
    SelectItem(0);
  }
  InitExpression(0);
}

void PreviewDlg::RunnerMessage(const std::string& text, const std::string& caption, unsigned type) {
  LMessageBox(Window(), text, caption, type);
}

int PreviewDlg::RunnerStudyMode() {
  auto* combo = ControlAs<QComboBox>(kMode);
  return combo && combo->currentIndex() == 1 ? 1 : 0;
}

// --- commands ---------------------------------------------------------------

bool PreviewDlg::CommandEnabled(int id) const {
  bool idle = runner_->Mode() == StudyRunner::kIdle;
  switch (id) {
    case CM_GO:
      return LessonOpen() && idle;
    case CM_STOP:
      return !idle;
    case CM_REDO:
    case CM_PLAY:
      return LessonOpen() && SelectedItem() >= 0 && idle;
    case CM_COMPARE:
      return idle && CanCompare();
    case CM_SETTINGS:
    case CM_OPEN:
    case CM_CLOSE:
    case CM_HELP:
    case CM_EXIT:
      return true;
    default:
      return false;
  }
}

void PreviewDlg::UpdateToolBar() {
  if (!Window()) return;
  for (int id : {int(CM_OPEN), int(CM_GO), int(CM_STOP), int(CM_REDO), int(CM_PLAY), int(CM_COMPARE), int(CM_SETTINGS)})
    toolbar_.EnableButton(id, CommandEnabled(id));
}

bool PreviewDlg::CmOk() {
  StopLesson();
  return true;
}

bool PreviewDlg::CmCancel() {
  StopLesson();
  return true;
}

void PreviewDlg::CmHelp() { DisplayHelp(kHelpTopic); }

void PreviewDlg::CmOpenLesson() {
  StopLesson();
  std::string chosen = lessonPath_;
  if (StudyChooseLesson(*this, chosen)) OpenLesson(chosen);
}

void PreviewDlg::PreviewSetDlg() {
  StudySettingsResult result;
  RunStudySettings(Window(), &result);
  if (result.foldersChanged) {
    const char* text = IsTutorMode()
                           ? "Orativo will now close the preview window because you changed system folders.\n\nPlease "
                             "re-run the preview window to start with the new folders."
                           : "Orativo will now close because you changed system folders.\n\nPlease re-run Orativo to "
                             "start with the new folders.";
    if (LMessageBox(Window(), text, "Shut Down", MB_OKCANCEL | MB_ICONQUESTION) == IDOK) {
      StopLesson();
      Close();
    }
    return;
  }
  // New gaps restart a lesson run from the first expression.
  if (result.gapsChanged && runner_->Mode() == StudyRunner::kRun) {
    StopLesson();
    runner_->CmLessonStart();
  }
  UpdateToolBar();
}

// --- compare -----------------------------------------------------------------

bool PreviewDlg::CanCompare() const {
  const int selected = SelectedItem();
  if (!LessonOpen() || selected < 0) return false;
  const std::string mine = runner_->GetStudentRecordingPath(selected);
  return !mine.empty() && QFileInfo(QString::fromStdString(mine)).isFile();
}

void PreviewDlg::CmCompare() {
  const int selected = SelectedItem();
  CompareDlg compare(Window(), runner_->Expressions()[size_t(selected)].name, runner_->GetRecording(selected),
                     runner_->GetStudentRecordingPath(selected));
  compare.exec();
}

void PreviewDlg::EvCommand(int id, int notifyCode) {
  if (id == kMode && notifyCode == CBN_SELCHANGE) {
    StopLesson();
    return;
  }
  if (!CommandEnabled(id)) return;
  switch (id) {
    case CM_OPEN:
      CmOpenLesson();
      break;
    case CM_CLOSE:
      StopLesson();
      lessonPath_.clear();
      LessonApply();
      break;
    case CM_GO:
      runner_->CmLessonStart();
      break;
    case CM_SETTINGS:
      PreviewSetDlg();
      return;
    case CM_STOP:
      StopLesson();
      break;
    case CM_REDO:
      runner_->CmRedo(SelectedItem());
      break;
    case CM_PLAY:
      runner_->CmPlay(SelectedItem());
      break;
    case CM_COMPARE:
      CmCompare();
      break;
    case CM_HELP:
      CmHelp();
      break;
    case CM_EXIT:
      StopLesson();
      Close();
      return;
    default:
      break;
  }
  UpdateToolBar();
}

bool PreviewDlg::EvKeyDown(int key) {
  switch (key) {
    // Slow replay: the speed a step at a time, without leaving the list.
    case VK_DOWN + KEY_CTRL:
    case VK_UP + KEY_CTRL:
      StepReplaySpeed(key == VK_DOWN + KEY_CTRL ? 1 : -1);
      return true;
    case 'O' + KEY_CTRL:
    case 'L' + KEY_CTRL:
      SendCommand(CM_OPEN);
      return true;
    case VK_F3:
      SendCommand(CM_GO);
      return true;
    case VK_F5:
      SendCommand(CM_REDO);
      return true;
    case VK_F9:
      SendCommand(CM_PLAY);
      return true;
    case VK_F1:
      CmHelp();
      return true;
    case VK_ESCAPE:
      // Esc stops a run and never closes the study window. Like the Stop
      // command it does nothing when idle, so the selection stays put.
      if (runner_->Mode() != StudyRunner::kIdle) StopLesson();
      return true;
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
      MoveSelection(key);
      return true;
    case VK_F4 + KEY_ALT:
      // The menu names Alt+F4; without a window manager nobody else acts on it.
      SendCommand(CM_EXIT);
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
  // A narrow window still shows the runner's status between banner and position.
  int banner = std::max(w - 35 * u, w / 4);
  if (status) status->SetParts({banner, std::max(w - 18 * u, (banner + w) / 2), -1});
  place(kPage, w - (w / 3) * 2, T, (w / 3) * 2, h - S - T);
  place(kMode, 0, T, w / 3, u + 6);
  place(kList, 0, T + u + 10, w / 3, h - S - T - u - (u + 2) - 10);
  place(kLevel, 0, h - S - u, w / 3, u);
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
