#include "study/choose_lesson.h"

#include <QDir>
#include <QFileInfo>

#include "framework/widgets/dialog.h"
#include "framework/widgets/file_dialogs.h"
#include "framework/widgets/run_mode.h"
#include "lessons/lesson.h"
#include "lessons/lesson_files.h"

bool StudyChooseLesson(LDialog& owner, std::string& lessonPath) {
  std::string folder = LLesson::GetLessonsFolder(IsTutorMode());
  std::string file;
  if (!LOpenFileDialog(owner.Window(), file, "Open Lesson", folder, {{"Lessons (*.ini)", "*.ini"}}, "ini"))
    return false;
  std::string chosen = StudyResolveLessonArgument(file);
  if (chosen.empty()) return false;
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
