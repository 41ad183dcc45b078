// The study window over a lesson: list order, pages, keys, enabling, and a
// run started and stopped from the keyboard.
#include "study/preview_dlg.h"

#include <QComboBox>
#include <QTreeWidget>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/status_bar.h"
#include "study/open_lesson_dlg.h"
#include "study/settings_pages.h"
#include "tests/study/dialog_test_util.h"
#include "tests/study/study_fixture.h"

using namespace studytest;
using dialogtest::Press;

namespace {

std::vector<std::string> ListTexts(PreviewDlg& window) {
  std::vector<std::string> out;
  auto* list = window.ControlAs<QTreeWidget>(PreviewDlg::kList);
  for (int i = 0; i < list->topLevelItemCount(); ++i) out.push_back(list->topLevelItem(i)->text(0).toStdString());
  return out;
}

std::string StatusText(PreviewDlg& window, int part) {
  return window.ControlAs<LStatusBar>(PreviewDlg::kStatus)->Text(part).toStdString();
}

std::string Page(PreviewDlg& window) {
  auto bytes = testsupport::ReadFileBytes(window.PagePath());
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

// Compare waits for the student's recording of the selected expression.
TEST(PreviewDlg, AWindowsLessonListsInOrderTheKeysMoveThePageSettingsRestartOrCloseAndTheTutorsPreview) {
  SetModeWord("");
  testsupport::PrivateHome home;
  RegSetUserSetting("SystemFolders", "StudentRecordings", home.Path());
  dialogtest::BoxRecorder boxes;
  // A lesson as a Windows machine leaves it: CRLF, upper-case names, tied
  // orders, an explanation in Windows-1252.
  Lesson lesson("Francais", 1);
  const std::string& f = lesson.Folder();
  testsupport::WriteFileText(f + "/CAFE.RAF", "[raf]\r\naudiotype=0\r\n[expression]\r\norder=1\r\n");
  testsupport::WriteWav16(f + "/CAFE.WAV", 22050, 1, Tone(200, 440));
  testsupport::WriteFileText(f + "/CAFE.SCP", "Un caf\xE9, s'il vous pla\xEEt.\r\n");
  testsupport::WriteFileText(f + "/Bonjour.raf", "[raf]\r\naudiotype=0\r\n[expression]\r\norder=0\r\n");
  testsupport::WriteWav16(f + "/Bonjour.wav", 22050, 1, Tone(200, 550));
  testsupport::WriteFileText(f + "/Au revoir.raf", "[raf]\r\naudiotype=0\r\n[expression]\r\norder=1\r\n");
  std::string path = lesson.Path();
  PreviewDlg window(path);
  QTimer::singleShot(0, [&] {
    QWidget* list = window.Control(PreviewDlg::kList);
    EXPECT_EQ(window.Window()->windowTitle(), "Orativo [Francais]");
    EXPECT_EQ(ListTexts(window), (std::vector<std::string>{"Bonjour", "CAFE", "Au revoir"}));
    EXPECT_EQ(window.ControlAs<QComboBox>(PreviewDlg::kMode)->currentIndex(), 1) << "the lesson's study mode";
    EXPECT_EQ(StatusText(window, 2), "Expression 1 of 3");
    for (int id : {PreviewDlg::CM_GO, PreviewDlg::CM_REDO, PreviewDlg::CM_PLAY})
      EXPECT_TRUE(window.ToolBar().IsButtonEnabled(id)) << id;
    EXPECT_FALSE(window.ToolBar().IsButtonEnabled(PreviewDlg::CM_STOP));
    EXPECT_FALSE(window.ToolBar().IsButtonEnabled(PreviewDlg::CM_COMPARE)) << "nothing recorded yet";
    ASSERT_EQ(testsupport::RunCommand("mkdir -p '" + home.File("Francais") + "'"), 0);
    ASSERT_TRUE(testsupport::WriteWav16(window.Runner().GetStudentRecordingPath(0), 22050, 1, Noise(400, 3)));

    Press(list, Qt::Key_Down);
    EXPECT_EQ(StatusText(window, 2), "Expression 2 of 3");
    EXPECT_FALSE(window.ToolBar().IsButtonEnabled(PreviewDlg::CM_COMPARE)) << "no recording of mine";
    EXPECT_NE(Page(window).find("Un caf\xC3\xA9, s'il vous pla\xC3\xAEt."), std::string::npos) << Page(window);
    Press(list, Qt::Key_End);
    Press(list, Qt::Key_Escape);  // nothing runs: the selection stays
    EXPECT_EQ(StatusText(window, 2), "Expression 3 of 3");
    Press(list, Qt::Key_Home);
    EXPECT_EQ(StatusText(window, 2), "Expression 1 of 3");
    EXPECT_TRUE(window.ToolBar().IsButtonEnabled(PreviewDlg::CM_COMPARE)) << "a recording of mine";
    EXPECT_EQ(Page(window).find("caf"), std::string::npos);

    // F3 runs, Esc stops; a change of study mode stops a run too.
    Press(list, Qt::Key_F3);
    EXPECT_EQ(window.Mode(), 1);
    EXPECT_TRUE(window.ToolBar().IsButtonEnabled(PreviewDlg::CM_STOP));
    EXPECT_FALSE(window.ToolBar().IsButtonEnabled(PreviewDlg::CM_GO));
    EXPECT_FALSE(window.ToolBar().IsButtonEnabled(PreviewDlg::CM_REDO));
    Press(list, Qt::Key_Escape);
    EXPECT_EQ(window.Mode(), 0);
    EXPECT_TRUE(window.ToolBar().IsButtonEnabled(PreviewDlg::CM_GO));
    Press(list, Qt::Key_F3);
    auto* mode = window.ControlAs<QComboBox>(PreviewDlg::kMode);
    mode->setCurrentIndex(0);
    emit mode->activated(0);
    EXPECT_EQ(window.Mode(), 0);

    // Settings during a run: new gaps restart the run at the first expression;
    // a changed recordings folder asks to close the window, and OK closes it.
    SetGaps(30, 30);
    window.SendCommand(PreviewDlg::CM_GO);
    ASSERT_TRUE(WaitFor([&] { return StatusText(window, 1) == "Waiting..."; }, 10000));
    window.ControlAs<QTreeWidget>(PreviewDlg::kList)->topLevelItem(1)->setSelected(true);
    dialogtest::FillAndOk({{LGeneralPage::kPlayGap, "1"}});
    window.SendCommand(PreviewDlg::CM_SETTINGS);
    EXPECT_EQ(window.Mode(), 1);
    EXPECT_EQ(StatusText(window, 1), "Playing...") << "the run starts again";
    EXPECT_EQ(StatusText(window, 2), "Expression 1 of 3");
    dialogtest::FillAndOk(
        {{LGeneralPage::kPlayGap, "1"}, {LGeneralPage::kRecordings, QString::fromStdString(home.File("new"))}});
    window.SendCommand(PreviewDlg::CM_SETTINGS);
  });
  EXPECT_TRUE(window.Run(nullptr));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Shut Down");
  EXPECT_EQ(window.Window(), nullptr) << "OK closed the window";
  EXPECT_EQ(LVirtualAudio::OpenOutputs(), 0);

  // The tutor's preview: modal over its owner and never maximised; Open Lesson
  // (Ctrl+O, Ctrl+L) changes its lesson, Cancel keeps it; Close Lesson empties
  // the creator's lesson path.
  SetModeWord("tutor");
  testsupport::TempFolder lessons;
  RegSetUserSetting("SystemFolders", "TutorLessons", lessons.Path());
  Lesson first("One", 0, lessons.Path()), second("Two", 0, lessons.Path());
  first.Add("a", 0, kAudioTypeWav, {});
  second.Add("b", 0, kAudioTypeWav, {});
  second.Add("c", 1, kAudioTypeWav, {});
  // Answers the Open Lesson dialog the key opens: a lesson's row, or Cancel.
  auto answer = [](const QString& row) {
    dialogtest::WhenModal([row](LDialog& open) {
      if (!row.isEmpty()) {
        auto* list = open.ControlAs<QTreeWidget>(OpenLessonDlg::kList);
        list->clearSelection();
        list->findItems(row, Qt::MatchExactly).value(0)->setSelected(true);
      }
      open.SendCommand(row.isEmpty() ? IDCANCEL : IDOK);
    });
  };
  QWidget owner;
  std::string tutorPath = first.Path();
  PreviewDlg preview(tutorPath);
  QTimer::singleShot(0, [&] {
    QWidget* list = preview.Control(PreviewDlg::kList);
    EXPECT_EQ(preview.Window()->windowTitle(), "Preview Lesson [One]");
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_FALSE(preview.Window()->windowState() & Qt::WindowMaximized);
    EXPECT_TRUE(list->isEnabled());
    answer("Two");
    Press(list, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(preview.Window()->windowTitle(), "Preview Lesson [Two]");
    EXPECT_EQ(ListTexts(preview), (std::vector<std::string>{"b", "c"}));
    answer("");  // Cancel keeps the lesson
    Press(list, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(preview.Window()->windowTitle(), "Preview Lesson [Two]");
    preview.SendCommand(PreviewDlg::CM_CLOSE);
    EXPECT_EQ(preview.Window()->windowTitle(), "Preview Lesson");
    preview.SendCommand(IDCANCEL);
  });
  EXPECT_TRUE(preview.Run(&owner));
  EXPECT_TRUE(tutorPath.empty()) << "the creator's lesson path is the preview's";
  EXPECT_TRUE(owner.isEnabled());
  SetModeWord("");
}
