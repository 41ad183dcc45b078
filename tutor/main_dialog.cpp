#include "tutor/main_dialog.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include "companion/related_programs.h"
#include "controls/db_edit.h"
#include "controls/level_meter.h"
#include "framework/lfile.h"
#include "framework/settings.h"
#include "framework/widgets/dialog_items.h"
#include "framework/widgets/file_dialogs.h"
#include "framework/widgets/help.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/status_bar.h"
#include "framework/widgets/text_edit_dlg.h"
#include "framework/widgets/win_defs.h"
#include "framework/widgets/window_size.h"
#include "lessons/expression_order.h"
#include "lessons/expression_page.h"
#include "lessons/lesson.h"
#include "lessons/lesson_files.h"
#include "lessons/rich_audio_file.h"
#include "platform/program_version.h"
#include "study/lesson_access.h"
#include "study/preview_dlg.h"
#include "tutor/expression_edit.h"
#include "tutor/lesson_dialogs.h"

namespace {

constexpr char kSection[] = "MainWindow";

const std::vector<LMenuRow> kMenu1 = {
    {0, "|&Lesson"},
    {MainDialog::CM_LESSON_NEW, "&New Lesson\tCtrl+N"},
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
    {MainDialog::CM_LESSON_NEW, -21, "New Lesson", "Create a New Lesson (Ctrl+N)", TBSTYLE_BUTTON},
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

constexpr int kOrderRole = Qt::UserRole;
constexpr int kAudioRole = Qt::UserRole + 1;
constexpr int kImageRole = Qt::UserRole + 2;

const char kNameInvalidText[] = "The name must contain text.";
const char kExpressionExistsText[] =
    "The expression cannot be renamed because another expression with the same name already exists. Please try "
    "another name.";

QFrame* Placeholder(QWidget* parent, int id) {
  auto* frame = new QFrame(parent);
  frame->setFrameShape(QFrame::StyledPanel);
  LSetControlId(frame, id);
  return frame;
}

// Keeps the text of a finished label edit for the window, which renames the
// files once the list has closed the editor; the row itself is rebuilt from
// disk, never edited in place.
class LabelDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    // Enter on an unchanged name (a new expression kept as "Expression 3") is no rename.
    if (auto* edit = qobject_cast<QLineEdit*>(editor); edit && edit->text() != index.data().toString()) {
      row_ = index.row();
      text_ = edit->text().toStdString();
    }
  }
  // The finished edit's row (-1: none, e.g. cancelled) and text.
  int Take(std::string& text) {
    int row = row_;
    text = std::move(text_);
    row_ = -1;
    return row;
  }

 private:
  mutable int row_ = -1;
  mutable std::string text_;
};

// Watches the list's mouse: a move with the button held on a selected row
// starts the window's drag, which then holds the mouse itself.
class DragStarter : public QObject {
 public:
  DragStarter(QTreeWidget* list, MainDialog* window) : QObject(list), list_(list), window_(window) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        pending_ = mouse->button() == Qt::LeftButton && list_->itemAt(mouse->position().toPoint());
        press_ = mouse->position().toPoint();
        item_ = list_->itemAt(press_);
        return false;
      }
      case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!pending_ || !(mouse->buttons() & Qt::LeftButton)) return false;
        if (!item_ || !item_->isSelected()) {
          pending_ = false;
          return false;
        }
        if ((mouse->position().toPoint() - press_).manhattanLength() >= QApplication::startDragDistance()) {
          pending_ = false;
          window_->StartDrag();
        }
        return true;  // a press on the selection never turns into a rubber band
      }
      case QEvent::MouseButtonRelease:
        pending_ = false;
        return false;
      default:
        return false;
    }
  }

 private:
  QTreeWidget* list_;
  MainDialog* window_;
  bool pending_ = false;
  QPoint press_;
  QTreeWidgetItem* item_ = nullptr;
};

bool BuildTemplate1(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Orativo"));
  window->setSizeGripEnabled(true);
  window->setMouseTracking(true);
  LSetControlId(LBuildMenu(window, kMenu1), 1);
  auto* list = new QTreeWidget(window);
  list->setRootIsDecorated(false);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setDragEnabled(false);
  list->setUniformRowHeights(true);
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
  auto* explanation = new QPlainTextEdit(window);
  // A real placeholder: shown greyed, never part of the text that is saved.
  explanation->setPlaceholderText(QStringLiteral("[Type explanation about this expression here]"));
  LSetControlId(explanation, MainDialog::kExplanation);
  Placeholder(window, MainDialog::kPage);
  for (int id : {MainDialog::kExplanationHost, MainDialog::kImageHost, MainDialog::kAudioHost}) {
    QFrame* host = Placeholder(window, id);
    host->setFrameShape(QFrame::NoFrame);
  }
  auto* position = new QScrollBar(Qt::Horizontal, window);
  position->setRange(0, 100);
  LSetControlId(position, MainDialog::kPosition);
  LSetControlId(new LDBDisplay(window), MainDialog::kLevel);
  auto* volume = new LDBEdit(window, false, MainDialog::kVolume);
  volume->SetRange(-36, 10);  // -36 dB mutes; above +10 dB only clips
  LSetControlId(volume, MainDialog::kVolume);
  window->resize(LDialogUnitsToPixelsX(window, 399), LDialogUnitsToPixelsY(window, 256));
  return true;
}

bool IsTextField(QWidget* widget) {
  return qobject_cast<QLineEdit*>(widget) || qobject_cast<QPlainTextEdit*>(widget) || qobject_cast<QTextEdit*>(widget);
}

}  // namespace

const LDialogTemplate& MainDialog::Template() {
  static const LDialogTemplate kTemplate{"1", BuildTemplate1};
  return kTemplate;
}

MainDialog::MainDialog() : pagePath_(ExpressionPreviewPagePath()) {}

MainDialog::~MainDialog() = default;

const char* MainDialog::StatusText(int index) {
  static const char* const kTexts[kStatusTexts] = {
      ORATIVO_VERSION_LINE " - Kestrelon language software",
      "Press Ctrl+N to create a new lesson.",
      "Press Ctrl+O to open a lesson you made before.",
      "Press Ctrl+E to add an expression to the open lesson.",
      "Press F2 to rename the selected expression.",
      "Press F3 to try the lesson as your students see it.",
      "Type the explanation under the picture; it is saved as you type.",
      "Press Ctrl+Del in the list to delete the selected expressions.",
      "Press F1 for help on this window.",
      ORATIVO_VERSION_LINE " - Kestrelon language software",
      "Drag expressions in the list to reorder them, then press F3 to hear the new order.",
      "Ctrl+click selects several expressions, which you can drag together.",
      "Press F2, type the expression's words and press Enter to name it.",
      ORATIVO_VERSION_LINE " - Kestrelon language software",
      "Right-click the list for the expression commands, or press F2 to rename.",
      "Press Ctrl+L to load an explanation from a text file.",
      "Press Ctrl+E and type the new expression's name at once.",
      ORATIVO_VERSION_LINE " - Kestrelon language software",
      "Set a password and the study mode in Lesson Properties, then press F3 to try them.",
      "Press Ctrl+O to switch to another lesson; your typing is saved first.",
  };
  return kTexts[((index % kStatusTexts) + kStatusTexts) % kStatusTexts];
}

QTreeWidget* MainDialog::List() const { return ControlAs<QTreeWidget>(kList); }

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
    QObject::connect(status, &LStatusBar::clicked, window,
                     [this] { ShowMenuAt("Internet Resources", QCursor::pos()); });
  if (QTreeWidget* list = List()) {
    auto* labels = new LabelDelegate(list);
    list->setItemDelegateForColumn(0, labels);
    // Connected after the list's own handler, so the editor is closed first.
    QObject::connect(labels, &QAbstractItemDelegate::closeEditor, window, [this, labels] {
      std::string text;
      if (int row = labels->Take(text); row >= 0) UpdateExpressionName(row, text);
    });
    list->viewport()->installEventFilter(new DragStarter(list, this));
    QObject::connect(list, &QTreeWidget::itemSelectionChanged, window, [this] {
      if (rebuilding_) return;
      UpdateControls();
      if (QTreeWidget* l = List(); l && !l->selectedItems().isEmpty()) InitCurrentExpression();
    });
    QObject::connect(list, &QTreeWidget::itemDoubleClicked, window, [this] { RunCommand(CM_AUDIO_PLAY); });
  }
  // The divider is kept in client coordinates below the menu bar.
  splitter_.SetY(LWindowSettingGetInt(kSection, "TextDividerY", kDefaultDivider) + MenuHeight());
  WindowSizeSettingsRestore(window, kSection, {160, 80, 505, 494, true});
  pageView_.Create(Control(kPage));
  if (!startLesson_.empty()) {
    std::string file = LLesson::ResolveLessonFile(startLesson_);
    if (lessonfiles::FileExists(file) && LLesson::IsLessonPath(file) && !LessonIsProtected(file))
      lessonPath_ = file;
    else  // a message or the login is asked once the window is up
      QTimer::singleShot(0, window, [this, file] { OpenLesson(file); });
  }
  LessonApply();
  if (auto* position = ControlAs<QScrollBar>(kPosition)) position->setRange(0, 100);
  InitMedia();
  SetTimer(1, 0);
  LayoutControls();
}

void MainDialog::LessonApply() {
  bool open = !lessonPath_.empty();
  for (int id : {int(kList), int(kExplanation), int(kPage)}) LEnableControl(*this, id, open);
  toolbars_[0].EnableButton(CM_LESSON_PROPERTIES, open);
  toolbars_[0].EnableButton(CM_LESSON_PREVIEW, open);
  QString title = QStringLiteral("Orativo");
  if (open) {
    std::string name;
    LFile::GetFileTitleFromPath(name, lessonPath_);
    title += QStringLiteral(" [%1]").arg(QString::fromStdString(name));
  }
  Window()->setWindowTitle(title);
  InitExpressionList(0);
}

TutorState MainDialog::State() const {
  TutorState state;
  state.lessonOpen = !lessonPath_.empty();
  state.mediaCommands = true;
  state.playerIdle = !AudioPlaying();
  if (QTreeWidget* list = List(); list && state.lessonOpen) {
    const auto selected = list->selectedItems();
    if (!selected.isEmpty()) {
      // The first selected row in list order is the expression the commands act on.
      QTreeWidgetItem* first = nullptr;
      for (int i = 0; i < list->topLevelItemCount() && !first; ++i)
        if (list->topLevelItem(i)->isSelected()) first = list->topLevelItem(i);
      state.expressionSelected = first != nullptr;
      state.audioLength = first && first->data(0, kAudioRole).toBool();
      state.imageExists = first && first->data(0, kImageRole).toBool();
    }
  }
  return state;
}

void MainDialog::UpdateControls() {
  TutorState state = State();
  for (int i = 0; i < 4; ++i)
    for (QAction* action : toolbars_[i].Handle() ? toolbars_[i].Handle()->actions() : QList<QAction*>())
      if (!action->isSeparator()) {
        int id = action->property("commandId").toInt();
        action->setEnabled(TutorToolEnabled(id, state));
      }
  LEnableControl(*this, kExplanation, state.expressionSelected);
  LEnableControls(*this, kPosition, kVolume, TutorPlaybackControlsEnabled(state));
}

void MainDialog::SetMenuStates() {
  TutorState state = State();
  const auto actions = Window()->findChildren<QAction*>();
  for (QAction* action : actions) {
    int id = action->property("controlId").toInt();
    if (id && action->objectName().startsWith(QStringLiteral("menu"))) action->setEnabled(TutorMenuEnabled(id, state));
  }
}

void MainDialog::RunCommand(int id) {
  if (TutorMenuEnabled(id, State())) SendCommand(id);
}

void MainDialog::CmHelp() { DisplayHelpContents(); }

void MainDialog::EvCommand(int id, int notifyCode) {
  if (id == kExplanation) {
    if (notifyCode == EN_CHANGE && !filling_ && explanation_.Changed()) SetTimer(2, ExplanationSaver::kSaveDelayMs);
    return;
  }
  if (id == kVolume) {
    if (notifyCode == LDBEdit::kNotifyChange) ApplyPlayVolume();
    return;
  }
  // A drag holds the list's rows: nothing else may change them meanwhile.
  if (dragImage_) return;
  if (!TutorMenuEnabled(id, State())) return;
  switch (id) {
    case CM_LESSON_NEW:
      CmLessonNew();
      break;
    case CM_LESSON_OPEN:
      CmLessonOpen();
      break;
    case CM_LESSON_DELETE:
      CmLessonDelete();
      break;
    case CM_LESSON_CLOSE:
      CmLessonClose();
      break;
    case CM_LESSON_PREVIEW:
      CmLessonPreview();
      break;
    case CM_LESSON_PROPERTIES:
      CmLessonProperties();
      break;
    case CM_SETTINGS:
      CmSettings();
      break;
    case CM_EXIT:
      if (CmCancel()) Close();
      break;
    case CM_EXPRESSION_NEW:
      CmExpressionNew();
      break;
    case CM_EXPRESSION_DELETE:
      CmExpressionDelete();
      break;
    case CM_EXPRESSION_RENAME:
      CmExpressionRename();
      break;
    case CM_EXPLANATION_EXISTING:
      CmExplanationAddExisting();
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
      MediaCommand(id);
      break;
  }
}

bool MainDialog::EvKeyDown(int key) {
  if (dragImage_) {
    // During a drag only Esc does something: it drops nothing.
    if (key == VK_ESCAPE) ClearDrag();
    return true;
  }
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
    case 'N' + KEY_CTRL:
      RunCommand(CM_LESSON_NEW);
      return true;
    case 'O' + KEY_CTRL:
      RunCommand(CM_LESSON_OPEN);
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
    case VK_DELETE + KEY_CTRL:
      // In a text field Ctrl+Del deletes a word.
      if (IsTextField(QApplication::focusWidget())) return false;
      RunCommand(CM_EXPRESSION_DELETE);
      return true;
    default:
      return false;
  }
}

void MainDialog::EvTimer(int id) {
  KillTimer(id);
  switch (id) {
    case 1:
      if (auto* status = ControlAs<LStatusBar>(kStatus))
        status->SetText(0, QString::fromUtf8(StatusText(statusIndex_)));
      statusIndex_ = (statusIndex_ + 1) % kStatusTexts;
      SetTimer(1, 8000);
      break;
    case 2:
      SaveExplanation();
      break;
    case 3:
    case 4:
      if (QTreeWidget* list = List()) {
        QScrollBar* bar = list->verticalScrollBar();
        bar->setValue(bar->value() + (id == 3 ? -bar->singleStep() : bar->singleStep()));
      }
      SetTimer(id, kAutoscrollMs);
      break;
    case 5:
      RunRelatedProgramsSheet(Window());
      break;
    default:
      break;
  }
}

// --- Lesson commands ----------------------------------------------------------

void MainDialog::CmLessonNew() {
  std::string lessonsFolder = LLesson::GetLessonsFolder(true);
  for (;;) {
    std::string name;
    LTextEditDlg ask(name, "Enter lesson name");
    if (ask.Run(Window()) != IDOK) return;
    std::string clean;
    if (!LFile::GetValidFileName(clean, name)) {
      LMessageBox(Window(), kNameInvalidText, "Name Invalid", MB_ICONINFORMATION | MB_OK);
      continue;
    }
    std::string existing = LLesson::FindLesson(lessonsFolder, clean);
    if (!existing.empty()) {
      int answer = LMessageBox(Window(),
                               "There is another project with the same name already exists. Do you want to replace it?",
                               "Orativo", MB_ICONQUESTION | MB_YESNOCANCEL);
      if (answer == IDCANCEL) return;
      if (answer == IDNO) continue;
      std::string replaced = LLesson::GetLessonPath(lessonsFolder, existing);
      std::string openFolder, replacedFolder;
      LFile::GetFolderFromPath(openFolder, lessonPath_);
      LFile::GetFolderFromPath(replacedFolder, replaced);
      const bool replacingOpen = !lessonPath_.empty() && lessonfiles::EqualNoCase(openFolder, replacedFolder);
      if (replacingOpen) {
        SaveExplanation();
        explanation_.Release();
      }
      if (!LLesson::ReplaceLesson(lessonsFolder, clean)) {
        LMessageBox(Window(), "The lesson \"" + existing + "\" could not be replaced.", "New Lesson",
                    MB_ICONERROR | MB_OK);
        if (replacingOpen) ShowLessonAfterFailure();
        return;
      }
      if (replacingOpen) {
        lessonPath_.clear();
        LessonApply();
      }
    }
    std::string created;
    LLessonError error = LLessonError::kNone;
    if (!LLesson::CreateLesson(lessonsFolder, clean, created, &error)) {
      // The open lesson stays as it was.
      LMessageBox(Window(), LLesson::ErrorMessage(error, lessonsFolder), "New Lesson", MB_ICONERROR | MB_OK);
      // A name that is too long can be shortened at once.
      if (error == LLessonError::kNameTooLong || error == LLessonError::kInvalidName) continue;
      return;
    }
    SaveExplanation();
    lessonPath_ = created;
    LessonApply();
    return;
  }
}

void MainDialog::OpenLesson(const std::string& lessonPath) {
  std::string file = LLesson::ResolveLessonFile(lessonPath);
  if (!window_ || file.empty() || !lessonfiles::FileExists(file)) return;
  // Not under a dialog or the preview, which work on the lesson open now.
  if (QApplication::activeModalWidget() || LKeyDialog::Running() != this) return;
  if (!LLesson::IsLessonPath(file)) {
    std::string name;
    LFile::GetFileTitleFromPath(name, file);
    LMessageBox(Window(),
                "\"" + file +
                    "\" is not a lesson of Orativo: a lesson file lies in a folder of its own name, as in \"" + name +
                    "/" + name + ".ini\".",
                "Open Lesson", MB_ICONINFORMATION | MB_OK);
    return;
  }
  // The same login as Open Lesson asks for a protected lesson.
  if (!RunLessonLogin(Window(), file)) return;
  SaveExplanation();
  lessonPath_ = file;
  LessonApply();
}

void MainDialog::CmLessonOpen() {
  SaveExplanation();
  std::string chosen = lessonPath_;
  if (!RunOpenLessonDialog(Window(), chosen)) return;
  lessonPath_ = chosen;
  LessonApply();
}

void MainDialog::CmLessonDelete() {
  if (LMessageBox(Window(), "Are you sure you want to delete the current lesson?", "Confirm Delete",
                  MB_ICONQUESTION | MB_OKCANCEL) != IDOK)
    return;
  SaveExplanation();
  explanation_.Release();
  if (!LLesson::DeleteLesson(lessonPath_)) {
    LMessageBox(Window(), "The lesson could not be deleted.", "Delete Lesson", MB_ICONERROR | MB_OK);
    ShowLessonAfterFailure();
    return;
  }
  lessonPath_.clear();
  LessonApply();
}

void MainDialog::ShowLessonAfterFailure() {
  // Some files may be gone: show what is left, or no lesson when its file went.
  if (!lessonfiles::FileExists(LLesson::ResolveLessonFile(lessonPath_))) lessonPath_.clear();
  LessonApply();
}

void MainDialog::CmLessonClose() {
  SaveExplanation();
  lessonPath_.clear();
  LessonApply();
}

void MainDialog::CmLessonPreview() {
  SaveExplanation();
  // The study window may open or close lessons: it works on a copy, so the
  // tutor's own lesson (and what Delete acts on) stays as it was.
  PreviewDlg::RunPreview(Window(), lessonPath_);
  InitCurrentExpression();
}

void MainDialog::CmLessonProperties() {
  SaveExplanation();
  std::string path = lessonPath_;
  // A rename stands even when a later write failed and the tutor then cancelled.
  if (!RunLessonPropertiesDialog(Window(), path) && path == lessonPath_) return;
  lessonPath_ = path;
  LessonApply();
}

void MainDialog::CmSettings() {
  bool foldersChanged = false;
  if (!RunSettingsDialog(Window(), foldersChanged) || !foldersChanged) return;
  if (LMessageBox(Window(),
                  "Orativo will now close because you changed system folders.\r\rPlease re-run Orativo to start with "
                  "the new folders.",
                  "Shut Down", MB_ICONQUESTION | MB_OKCANCEL) == IDOK)
    SendCommand(CM_EXIT);
}

// --- Expression list ------------------------------------------------------------

void MainDialog::StripeRows() {
  QTreeWidget* list = List();
  if (!list) return;
  const QBrush even(QColor(240, 252, 255));
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    for (int c = 0; c < list->columnCount(); ++c) list->topLevelItem(i)->setBackground(c, i % 2 == 0 ? even : QBrush());
}

void MainDialog::InitExpressionList(int row) {
  QTreeWidget* list = List();
  if (!list) return;
  rebuilding_ = true;
  list->clear();
  if (!lessonPath_.empty()) {
    for (const LExpressionEntry& entry : ListExpressionsInOrder(lessonPath_)) {
      auto* item = new QTreeWidgetItem(list, {QString::fromStdString(entry.name)});
      item->setFlags(item->flags() | Qt::ItemIsEditable);
      item->setIcon(0, LLoadIcon(5));
      item->setData(0, kOrderRole, entry.order);
      UpdateExpressionData(ExpressionRecordPath(lessonPath_, entry.name), list->topLevelItemCount() - 1);
    }
    StripeRows();
    int count = list->topLevelItemCount();
    if (count > 0) {
      QTreeWidgetItem* item = list->topLevelItem(std::min(row, count - 1));
      item->setSelected(true);
      list->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
      list->scrollToItem(item);
    }
  }
  rebuilding_ = false;
  InitCurrentExpression();
  UpdateControls();
}

void MainDialog::UpdateExpressionData(const std::string& recordPath, int row) {
  QTreeWidget* list = List();
  QTreeWidgetItem* item = list ? list->topLevelItem(row) : nullptr;
  if (!item) return;
  int length = 0;
  {
    LSoundSourceRef source = LRichAudioFile::OpenSource(recordPath);
    if (source.IsUsable() && source->sampleRate > 0)
      length = LSoundTime::FramesToMs(source->GetLength(), source->sampleRate);
  }
  std::optional<std::string> text = LRichAudioFile::ReadExplanation(recordPath);
  std::string ext = ProfileReadString(lessonfiles::ResolveExpressionFile(recordPath), "image", "file", ".bmp");
  std::string image;
  LFile::ApplyNewFileExtension(image, recordPath, ext);
  bool hasImage = lessonfiles::FileExists(lessonfiles::ResolveExpressionFile(image));
  const QIcon mark = LLoadIcon(4);
  item->setIcon(1, length != 0 ? mark : QIcon());
  item->setIcon(2, text && !text->empty() ? mark : QIcon());
  item->setIcon(3, hasImage ? mark : QIcon());
  item->setData(0, kAudioRole, length != 0);
  item->setData(0, kImageRole, hasImage);
}

bool MainDialog::GetRecording(int row, std::string& recordPath) const {
  QTreeWidget* list = List();
  recordPath.clear();
  if (lessonPath_.empty() || row < 0 || !list || row >= list->topLevelItemCount()) return false;
  std::string name = list->topLevelItem(row)->text(0).toStdString();
  if (name.empty()) return false;
  recordPath = ExpressionRecordPath(lessonPath_, name);
  return true;
}

bool MainDialog::GetCurrentExpression(std::string& recordPath) const {
  QTreeWidget* list = List();
  if (list)
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      if (list->topLevelItem(i)->isSelected()) return GetRecording(i, recordPath);
  recordPath.clear();
  return false;
}

void MainDialog::FillExplanation(const std::string& text) {
  auto* edit = ControlAs<QPlainTextEdit>(kExplanation);
  if (!edit) return;
  // Showing the same expression afresh (the window's activation) keeps the
  // tutor's cursor where it is.
  QString fresh = QString::fromStdString(text);
  if (edit->toPlainText() == fresh) return;
  filling_ = true;
  edit->setPlainText(fresh);
  filling_ = false;
}

void MainDialog::InitCurrentExpression() {
  SaveExplanation();
  std::string record;
  if (!GetCurrentExpression(record)) {
    // Nothing selected: the edit belongs to no expression, so nothing typed is saved anywhere.
    explanation_.Release();
    FillExplanation("");
    return;
  }
  WriteExpressionPage(record, pagePath_, true);
  pageView_.Nagivate(pagePath_);
  // Text that could not be saved stays in the edit, so the tutor can still copy it.
  if (!explanation_.HoldsUnsaved(record)) FillExplanation(LRichAudioFile::ReadExplanation(record).value_or(""));
  explanation_.Filled(record);
  QTreeWidget* list = List();
  for (int i = 0; list && i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->isSelected()) {
      UpdateExpressionData(record, i);
      break;
    }
}

void MainDialog::SaveExplanation() {
  if (!explanation_.Pending()) return;
  KillTimer(2);
  auto* edit = ControlAs<QPlainTextEdit>(kExplanation);
  bool tell = false;
  std::string written = explanation_.Save(edit ? edit->toPlainText().toStdString() : std::string(), &tell);
  // Told from the event loop: saves run inside clicks, focus changes and closing.
  if (tell) QTimer::singleShot(0, Window(), [this] { TellExplanationNotSaved(); });
  QTreeWidget* list = List();
  for (int i = 0; list && !written.empty() && i < list->topLevelItemCount(); ++i) {
    std::string record;
    if (GetRecording(i, record) && record == written) UpdateExpressionData(record, i);
  }
}

void MainDialog::TellExplanationNotSaved() {
  LMessageBox(Window(), "The explanation could not be saved: the lesson's files cannot be written.", "Explanation",
              MB_ICONERROR | MB_OK);
}

void MainDialog::ListNewExpression(const std::string& recordPath) {
  QTreeWidget* list = List();
  // After the last row: its number plus one, read from its record now.
  std::string last;
  int count = list ? list->topLevelItemCount() : 0;
  WriteExpressionOrder(recordPath, count > 0 && GetRecording(count - 1, last) ? ReadExpressionOrder(last) + 1 : 0);
  SaveExplanation();
  std::string name;
  LFile::GetFileTitleFromPath(name, recordPath);
  InitExpressionList(0);
  for (int i = 0; list && i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->text(0).toStdString() == name) {
      list->clearSelection();
      list->topLevelItem(i)->setSelected(true);
      list->setCurrentItem(list->topLevelItem(i), 0, QItemSelectionModel::NoUpdate);
      list->scrollToItem(list->topLevelItem(i));
      break;
    }
}

void MainDialog::CmExpressionNew() {
  std::string record;
  switch (CreateExpression(lessonPath_, record)) {
    case NewExpressionResult::kDone:
      break;
    case NewExpressionResult::kNoFreeName:
      LMessageBox(Window(),
                  "There is no free name for a new expression: \"Expression\" to \"Expression 399\" are all taken. "
                  "Rename some of them and try again.",
                  "New Expression", MB_ICONINFORMATION | MB_OK);
      return;
    case NewExpressionResult::kFailed:
      LMessageBox(Window(), "The new expression cannot be written in the lesson's folder.", "New Expression",
                  MB_ICONERROR | MB_OK);
      return;
  }
  ListNewExpression(record);
  CmExpressionRename();
}

void MainDialog::CmExpressionDelete() {
  if (LMessageBox(Window(), "Are you sure you want to delete the selected expression(s) from the lesson?",
                  "Confirm Delete", MB_ICONQUESTION | MB_OKCANCEL) != IDOK)
    return;
  // What was typed is kept until the expression is really gone.
  SaveExplanation();
  QTreeWidget* list = List();
  for (int i = 0; list && i < list->topLevelItemCount(); ++i) {
    std::string record;
    if (list->topLevelItem(i)->isSelected() && GetRecording(i, record)) {
      if (record == explanation_.Owner()) explanation_.Release();
      LRichAudioFile::Delete(record);
    }
  }
  InitExpressionList(0);
}

void MainDialog::CmExpressionRename() {
  QTreeWidget* list = List();
  if (!list) return;
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->isSelected()) {
      list->setFocus();
      list->editItem(list->topLevelItem(i), 0);
      return;
    }
}

void MainDialog::UpdateExpressionName(int row, const std::string& text) {
  std::string record;
  if (!window_ || !GetRecording(row, record)) return;
  // A change still waiting goes to the files under their present name.
  SaveExplanation();
  RenameOutcome outcome = RenameExpression(record, text);
  switch (outcome.result) {
    case RenameResult::kDone:
      if (record == explanation_.Owner()) explanation_.Release();
      InitExpressionList(0);
      return;
    case RenameResult::kNameInvalid:
      LMessageBox(Window(), kNameInvalidText, "Name Invalid", MB_ICONINFORMATION | MB_OK);
      break;
    case RenameResult::kTooLong:
      LMessageBox(Window(),
                  "The name is too long for the expression's files in this lesson's folder. Please enter a shorter "
                  "name.",
                  "Name Too Long", MB_ICONINFORMATION | MB_OK);
      break;
    case RenameResult::kExists:
      LMessageBox(Window(), kExpressionExistsText, "Expression Exists", MB_ICONINFORMATION | MB_OK);
      break;
    case RenameResult::kBlocked:
      LMessageBox(Window(),
                  "The expression cannot be renamed because the file \"" + outcome.blockingFile +
                      "\" is already in the lesson's folder. Move or delete that file, or try another name.",
                  "Expression Not Renamed", MB_ICONINFORMATION | MB_OK);
      break;
    case RenameResult::kFailed:
      LMessageBox(Window(), "The expression's files cannot be renamed. Please try another name.",
                  "Expression Not Renamed", MB_ICONINFORMATION | MB_OK);
      break;
    case RenameResult::kNoRecord:
      break;
  }
  InitExpressionList(0);
}

void MainDialog::CmExplanationAddExisting() {
  std::string record;
  if (!GetCurrentExpression(record)) return;
  std::string folder = RegGetUserSetting("Settings", "AddTextDir", ""), file;
  if (!LOpenFileDialog(Window(), file, "Locate File", folder, {{"Text Documents (*.txt)", "*.txt"}}, "txt")) return;
  RegSetUserSetting("Settings", "AddTextDir", folder);
  std::string text = LRichAudioFile::ToUtf8(LFile::ReadTextFile(file));
  KillTimer(2);
  explanation_.Filled(record);
  FillExplanation(text);
  if (!text.empty() && !LRichAudioFile::WriteExplanation(record, text)) {
    explanation_.MarkUnsaved();  // the imported text stays in the edit
    TellExplanationNotSaved();
  }
  InitCurrentExpression();
}

// --- Drag and drop ----------------------------------------------------------------

DropHit MainDialog::HitTest(int y, int* row) const {
  QTreeWidget* list = List();
  *row = -1;
  if (!list) return DropHit::kOther;
  QPoint p = list->viewport()->mapFrom(Window(), QPoint(10, y));
  if (p.y() < 0) return DropHit::kAbove;
  if (p.y() >= list->viewport()->height()) return DropHit::kBelow;
  if (QTreeWidgetItem* item = list->itemAt(p)) {
    *row = list->indexOfTopLevelItem(item);
    return DropHit::kOnItem;
  }
  return DropHit::kNowhere;
}

void MainDialog::StartDrag() {
  ClearDrag();
  QTreeWidget* list = List();
  if (!list) return;
  // One picture of all selected rows that can be seen, one under the other.
  std::vector<QPixmap> rows;
  int width = 0, height = 0;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    QRect rect = list->visualItemRect(item);
    if (!item->isSelected() || !rect.intersects(list->viewport()->rect())) continue;
    rect.setLeft(0);
    rect.setWidth(list->viewport()->width());
    rows.push_back(list->viewport()->grab(rect));
    width = std::max(width, rect.width());
    height += rect.height();
  }
  if (rows.empty()) return;
  QPixmap picture(width, height);
  picture.fill(Qt::transparent);
  {
    QPainter painter(&picture);
    int y = 0;
    for (const QPixmap& p : rows) {
      painter.drawPixmap(0, y, p);
      y += p.height();
    }
  }
  auto* image = new QLabel(
      nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
  image->setAttribute(Qt::WA_DeleteOnClose);
  image->setPixmap(picture);
  image->setWindowOpacity(0.7);
  image->resize(picture.size());
  image->move(QCursor::pos() + QPoint(8, 8));
  image->show();
  dragImage_ = image;
  autoscroll_ = false;
  KillTimer(3);
  KillTimer(4);
  Window()->grabMouse(Qt::DragMoveCursor);
}

void MainDialog::Drag(int y) {
  int row;
  DropHit hit = HitTest(y, &row);
  if (hit == DropHit::kAbove || hit == DropHit::kBelow) {
    if (!autoscroll_) {
      autoscroll_ = true;
      SetTimer(hit == DropHit::kAbove ? 3 : 4, kAutoscrollMs);
    }
  } else {
    autoscroll_ = false;
    KillTimer(3);
    KillTimer(4);
  }
}

void MainDialog::EndDrag(int y) {
  QTreeWidget* list = List();
  int row;
  DropHit hit = HitTest(y + 6, &row);
  int count = list ? list->topLevelItemCount() : 0;
  std::vector<bool> selected(size_t(count), false);
  for (int i = 0; i < count; ++i) selected[size_t(i)] = list->topLevelItem(i)->isSelected();
  std::vector<int> orders = DropOrders(selected, DropTarget(hit, row, count));
  for (int i = 0; i < count; ++i) {
    std::string record;
    if (GetRecording(i, record)) WriteExpressionOrder(record, orders[size_t(i)]);
  }
  ClearDrag();
  InitExpressionList(0);
}

void MainDialog::ClearDrag() {
  if (!dragImage_) return;
  dragImage_->close();
  dragImage_ = nullptr;
  autoscroll_ = false;
  KillTimer(3);
  KillTimer(4);
  if (Window()) Window()->releaseMouse();
}

// --- Window ----------------------------------------------------------------------

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
  if (QTreeWidget* list = List()) {
    int others = list->columnWidth(1) + list->columnWidth(2) + list->columnWidth(3);
    // The viewport follows the list's size only after layout; its frame is known now.
    int client = list->contentsRect().width() -
                 (list->verticalScrollBar()->isVisible() ? list->verticalScrollBar()->width() : 0);
    list->setColumnWidth(0, std::max(40, client - others));
  }
}

void MainDialog::ShowMenuAt(const char* name, const QPoint& global) {
  if (!Window()) return;
  if (QMenu* menu = Window()->findChild<QMenu*>(QString::fromUtf8(name))) menu->popup(global);
}

bool MainDialog::DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) {
  int y = int(int16_t(HiWord(uintptr_t(lParam))));
  int x = int(int16_t(LoWord(uintptr_t(lParam))));
  switch (message) {
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) return true;
      splitter_.EvSize(Window());
      LayoutControls();
      pageView_.EvSize();
      Window()->update();
      return true;
    case WM_ACTIVATE:
      if (!dragImage_) InitCurrentExpression();
      return false;
    case WM_LBUTTONDOWN:
      return splitter_.EvLButtonDown(Window(), y);
    case WM_MOUSEMOVE:
      if (splitter_.EvMouseMove(Window(), y)) return true;
      if (dragImage_) {
        dragImage_->move(Window()->mapToGlobal(QPoint(x, y)) + QPoint(8, 8));
        Drag(y);
        return true;
      }
      return false;
    case WM_LBUTTONUP:
      if (splitter_.EvLButtonUp(Window(), y)) {
        LayoutControls();
        pageView_.EvSize();
        Window()->update();
        return true;
      }
      if (dragImage_) {
        EndDrag(y);
        return true;
      }
      return false;
    case WM_TIMER:
      EvTimer(int(wParam));
      return true;
    case WM_INITMENUPOPUP:
      SetMenuStates();
      return true;
    case WM_CONTEXTMENU: {
      QPoint global(int(int16_t(LoWord(uintptr_t(lParam)))), y);
      auto over = [&](int id) {
        QWidget* control = Control(id);
        return control && control->rect().contains(control->mapFromGlobal(global));
      };
      if (over(kList))
        ShowMenuAt("Expression", global);
      else if (over(kStatus))
        ShowMenuAt("Internet Resources", global);
      return true;
    }
    default:
      return LKeyDialog::DialogProc(message, wParam, lParam);
  }
}

void MainDialog::DestroyDialog() {
  ClearDrag();
  WindowSizeSettingsStore(Window(), kSection);
  LWindowSettingSetInt(kSection, "TextDividerY", splitter_.GetY() - MenuHeight());
  SaveExplanation();
  StopPlayback();
  pageView_.Destroy();
}
