#include "study/choose_lesson.h"

#include <QDir>
#include <QFileInfo>

#include "framework/widgets/dialog.h"
#include "framework/widgets/win_defs.h"
#include "lessons/lesson_files.h"
#include "study/open_lesson_dlg.h"

bool StudyChooseLesson(LDialog& owner, std::string& lessonPath) {
  std::string chosen = lessonPath;
  OpenLessonDlg dialog(chosen);
  if (dialog.Run(owner.Window()) != IDOK || chosen.empty()) return false;
  lessonPath = chosen;
  return true;
}

std::string StudyResolveLessonArgument(const std::string& path) {
  if (path.empty()) return "";
  QFileInfo info(QString::fromStdString(path));
  std::string full = QDir::cleanPath(info.absoluteFilePath()).toStdString();
  if (info.isDir()) {
    std::string name = QFileInfo(QString::fromStdString(full)).fileName().toStdString();
    full = lessonfiles::ResolveCase(full + "/" + name + ".ini");
  } else if (!info.isFile() || info.suffix().toLower() != QStringLiteral("ini")) {
    return "";
  }
  if (!QFileInfo(QString::fromStdString(full)).isFile()) return "";
  return full;
}
