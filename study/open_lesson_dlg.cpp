#include "study/open_lesson_dlg.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "framework/widgets/controls.h"
#include "framework/widgets/help.h"
#include "framework/widgets/run_mode.h"
#include "framework/widgets/win_defs.h"
#include "lessons/lesson.h"
#include "study/dialog_layout.h"
#include "study/lesson_access.h"
#include "study/lesson_secure_dlg.h"

namespace {

constexpr size_t kMaxName = 259;

bool BuildOpenLesson(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Open Lesson"));
  auto* layout = new QVBoxLayout(window);
  auto* listGroup = AddGroup(window, layout, QStringLiteral("Lesson List"));
  auto* listLayout = new QVBoxLayout(listGroup);
  auto* list = new QTreeWidget(listGroup);
  list->setMinimumSize(240, 140);
  listLayout->addWidget(LSetControlId(list, OpenLessonDlg::kList));
  auto* textGroup = AddGroup(window, layout, QStringLiteral("Selected Lesson Description"));
  auto* textLayout = new QVBoxLayout(textGroup);
  auto* description = new QLabel(textGroup);
  description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  description->setWordWrap(true);
  description->setMinimumHeight(110);
  description->setTextFormat(Qt::PlainText);
  textLayout->addWidget(LSetControlId(description, OpenLessonDlg::kDescription));
  AddDialogButtons(window, layout, QStringLiteral("Open"));
  window->resize(300, 380);
  return true;
}

}  // namespace

const LDialogTemplate& OpenLessonDlg::Template() {
  static const LDialogTemplate kTemplate{"OPENLESSONDLG", BuildOpenLesson};
  return kTemplate;
}

void OpenLessonDlg::InitDialog() {
  auto* list = ControlAs<QTreeWidget>(kList);
  if (!list) return;
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setRootIsDecorated(false);
  list->header()->hide();
  static const LListColumn kColumns[] = {{"Expression", 220, Qt::AlignLeft}, {nullptr, 0, Qt::AlignLeft}};
  LVSetColumns(*this, kList, kColumns);
  static const int kIcons[] = {3, 0};
  LVSetImages(*this, kList, kIcons);
  QObject::connect(list, &QTreeWidget::itemSelectionChanged, Window(), [this] {
    InitLessonDetails();
    UpdateControls();
  });
  // A double click is an OK, queued so that the click has finished first.
  QObject::connect(list, &QTreeWidget::itemDoubleClicked, Window(), [this] {
    QMetaObject::invokeMethod(
        Window(), [this] { SendCommand(IDOK); }, Qt::QueuedConnection);
  });
  InitLessonList();
}

void OpenLessonDlg::InitLessonList() {
  auto* list = ControlAs<QTreeWidget>(kList);
  if (!list) return;
  lessonsFolder_ = LLesson::GetLessonsFolder(IsTutorMode());
  list->clear();
  QIcon icon = LLoadIcon(3);
  for (const std::string& name : LLesson::ListLessons(lessonsFolder_)) {
    auto* item = new QTreeWidgetItem(list, QStringList{QString::fromStdString(name)});
    item->setIcon(0, icon);
  }
  LVSelect(*this, kList, 0);
  InitLessonDetails();
}

void OpenLessonDlg::InitLessonDetails() {
  std::string path = GetSelectedLessonPath();
  std::string text = path.empty() ? std::string() : LLesson::GetDescription(path);
  LSetControlText(*this, kDescription, QString::fromStdString(text).remove(QLatin1Char('\r')).toStdString());
}

std::string OpenLessonDlg::GetSelectedLessonPath() const {
  auto* list = ControlAs<QTreeWidget>(kList);
  if (!list) return "";
  QList<QTreeWidgetItem*> selected = list->selectedItems();
  if (selected.isEmpty()) return "";
  std::string name = selected.first()->text(0).toStdString().substr(0, kMaxName);
  return LLesson::GetLessonPath(lessonsFolder_, name);
}

void OpenLessonDlg::UpdateControls() { LEnableControl(*this, IDOK, !GetSelectedLessonPath().empty()); }

bool OpenLessonDlg::CmOk() {
  std::string path = GetSelectedLessonPath();
  if (path.empty()) return false;
  if (IsTutorMode() && LessonIsProtected(path)) {
    LessonSecureDlg login(path);
    if (login.Run(Window()) != IDOK) return false;
  }
  lessonPath_ = path;
  return true;
}

void OpenLessonDlg::CmHelp() { DisplayHelp(IsTutorMode() ? kTutorHelp : kStudentHelp); }
