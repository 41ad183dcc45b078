#include "tutor_fixture.h"

#include <QTimer>
#include <filesystem>

#include "framework/settings.h"
#include "framework/widgets/file_dialogs.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/run_mode.h"
#include "lessons/lesson.h"
#include "tutor/expression_drop.h"

TutorLessons::TutorLessons() { RegSetUserSetting("SystemFolders", "TutorLessons", folder_.Path()); }

TutorLessons::~TutorLessons() { RegSetUserSetting("SystemFolders", "TutorLessons", ""); }

std::string TutorLessons::MakeLesson(const std::string& name, const std::vector<std::string>& expressions,
                                     const std::vector<int>& orders) {
  std::string lesson;
  LLesson::CreateLesson(folder_.Path(), name, lesson);
  for (size_t i = 0; i < expressions.size(); ++i) {
    std::string record = Record(lesson, expressions[i]);
    ProfileWriteString(record, "raf", "audiotype", "0");
    WriteExpressionOrder(record, i < orders.size() ? orders[i] : int(i));
  }
  return lesson;
}

std::string TutorLessons::Record(const std::string& lessonPath, const std::string& name) {
  return ExpressionRecordPath(lessonPath, name);
}

int TutorLessons::Order(const std::string& lessonPath, const std::string& name) {
  return ReadExpressionOrder(Record(lessonPath, name));
}

std::map<std::string, std::vector<uint8_t>> TutorLessons::Snapshot(const std::string& lessonPath) {
  return testsupport::Snapshot(std::filesystem::path(lessonPath).parent_path().string());
}

TutorWindowTest::TutorWindowTest() {
  SetModeWord("Tutor");
  LSetMessageBoxHook([this](const LMessageBoxCall& call) {
    boxes.push_back(call.caption);
    return answer;
  });
}

TutorWindowTest::~TutorWindowTest() {
  LSetMessageBoxHook(nullptr);
  LSetFileDialogHook(nullptr);
  SetModeWord("");
}

void TutorWindowTest::Run(const std::string& lesson, const std::function<void()>& body) {
  window.SetStartLesson(lesson);
  QTimer::singleShot(0, [&] {
    body();
    window.SendCommand(MainDialog::CM_EXIT);
  });
  EXPECT_TRUE(window.Run());
}

std::vector<std::string> TutorWindowTest::Rows() {
  std::vector<std::string> rows;
  for (int i = 0; i < List()->topLevelItemCount(); ++i) rows.push_back(List()->topLevelItem(i)->text(0).toStdString());
  return rows;
}

void TutorWindowTest::Select(int row) {
  List()->clearSelection();
  List()->topLevelItem(row)->setSelected(true);
}
