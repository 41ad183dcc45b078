#include "app/startup.h"

#include <QDir>
#include <algorithm>
#include <cctype>
#include <fstream>

#include "app/running_copy.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/run_mode.h"
#include "framework/widgets/win_defs.h"
#include "lessons/lesson.h"
#include "lessons/sample_lessons.h"
#include "platform/debug_log.h"
#include "platform/program_version.h"
#include "setup/install_dialog.h"
#include "study/choose_lesson.h"
#include "study/preview_dlg.h"
#include "tutor/main_dialog.h"

const char kCorruptSetupText[] =
    "Installation file corrupt.\n\nA checksum error was detected in your install file, please redownload file and "
    "install again.";

std::string StartupModeWord(const std::vector<std::string>& arguments) {
  for (size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == "-x") return i + 1 < arguments.size() ? arguments[i + 1].substr(0, kModeWordMax) : "";
  }
  return "";
}

std::string StartupLessonArgument(const std::vector<std::string>& arguments) {
  for (size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == "-x") {
      ++i;
      continue;
    }
    if (QString::fromStdString(arguments[i]).compare(QStringLiteral("/install"), Qt::CaseInsensitive) == 0) continue;
    return arguments[i];
  }
  return "";
}

std::string StartupFolder(const std::string& programPath) {
  size_t cut = programPath.find_last_of("\\/");
  if (cut == std::string::npos) return "";
  return programPath.substr(0, std::min(cut, kFolderMax));
}

uint32_t ReadTrailer(const std::string& programPath) {
  std::ifstream file(programPath, std::ios::binary);
  if (!file) return 0;
  file.seekg(0, std::ios::end);
  std::streamoff size = file.tellg();
  if (size < 4) return 0;
  file.seekg(size - 4);
  unsigned char bytes[4];
  if (!file.read(reinterpret_cast<char*>(bytes), 4)) return 0;
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

bool IsSetupName(const std::string& programPath) {
  size_t slash = programPath.find_last_of("\\/");
  std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return name.find("SETUP") != std::string::npos;
}

RunRole ChooseRole(const std::string& programPath, uint32_t trailer, bool copyRunning, const std::string& modeWord) {
  if (IsSetupName(programPath) && trailer != kInstallMarker) return RunRole::kCorruptSetup;
  if (trailer == kInstallMarker) return RunRole::kInstall;
  if (trailer == kUninstallMarker) return RunRole::kUninstall;
  if (copyRunning) return RunRole::kBringToFront;
  return IsTutorModeWord(modeWord) ? RunRole::kTutor : RunRole::kStudent;
}

int RunStartup(const std::vector<std::string>& arguments, const std::string& programFile) {
  SetModeWord(StartupModeWord(arguments));
  // The setup starts "/install" without a mode word: that run is the tutor's, with the related programs offer.
  const bool afterInstall =
      arguments.size() > 1 &&
      QString::fromStdString(arguments[1]).compare(QStringLiteral("/install"), Qt::CaseInsensitive) == 0;
  if (afterInstall && StartupModeWord(arguments).empty()) SetModeWord("Tutor");
  // Before the current folder changes: a relative lesson path is the user's.
  std::string lessonArgument = StartupLessonArgument(arguments);
  std::string lessonPath = StudyResolveLessonArgument(lessonArgument);
  if (!lessonArgument.empty() && lessonPath.empty()) LDebugLog("Startup no lesson at %s", lessonArgument.c_str());
  std::string folder = StartupFolder(programFile);
  if (!folder.empty()) QDir::setCurrent(QString::fromStdString(folder));
  uint32_t trailer = ReadTrailer(programFile);

  if (IsSetupName(programFile) && trailer != kInstallMarker) {
    LMessageBox(nullptr, kCorruptSetupText, "Install Error", MB_ICONEXCLAMATION | MB_OK);
    return 0;
  }
  if (trailer == kInstallMarker) return RunInstall(programFile, [] { return LRunningCopy::AskToClose(); });
  if (trailer == kUninstallMarker) return RunUninstall(programFile, [] { return LRunningCopy::AskToClose(); });

  std::string answer = LRunningCopy::AskToShow(5000, lessonPath);
  if (!answer.empty() && answer != "none") {
    LDebugLog("Startup running copy shown %s", answer.c_str());
    return 0;
  }
  LRunningCopy copy;
  copy.Listen();
  OfferSampleLessonsOnce(folder + "/samples", LLesson::GetLessonsFolder(IsTutorMode()));

  if (IsTutorMode()) {
    MainDialog window;
    window.SetStartLesson(lessonPath);
    copy.SetLessonHandler([&window](const std::string& lesson) {
      if (window.Window()) window.OpenLesson(lesson);
    });
    window.SetOfferRelatedPrograms(afterInstall);
    window.Run();
    copy.SetLessonHandler(nullptr);
  } else {
    PreviewDlg window(lessonPath);
    copy.SetLessonHandler([&window](const std::string& lesson) {
      if (window.Window()) window.OpenLesson(lesson);
    });
    window.Run(nullptr);
    copy.SetLessonHandler(nullptr);
  }
  return 0;
}
