// The tutor and study windows as start-up opens them: titles, menus,
// toolbars, enabled states, keys, layout rules and stored sizes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QTimer>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/help.h"
#include "framework/widgets/status_bar.h"
#include "framework/widgets/win_defs.h"
#include "framework/widgets/window_size.h"
#include "study/preview_dlg.h"
#include "tests/study/dialog_test_util.h"
#include "tutor/main_dialog.h"

using dialogtest::Press;
using dialogtest::ScopedModeWord;

// The divider keeps clear of the toolbars and is stored with the window.
TEST(MainDialog, OpensWithTitleToolbarsAndTheSplashAndStoresItsLayout) {
  ScopedModeWord tutor("Tutor");
  LSetHelpFolder(ORATIVO_HELP_SOURCE);
  LWindowSettingSetInt("MainWindow", "Maximized", 0);
  LWindowSettingSetInt("MainWindow", "TextDividerY", 206);
  MainDialog window;
  int dividerSmall = 0, pageHeight = -1;
  QSize frame;
  QTimer::singleShot(0, [&] {
    EXPECT_EQ(window.Window()->windowTitle(), "Orativo");
    EXPECT_NE(window.Splash().Window(), nullptr);
    QAction* preview = window.MainToolBar().Button(MainDialog::CM_LESSON_PREVIEW);
    ASSERT_NE(preview, nullptr);
    EXPECT_FALSE(preview->isEnabled()) << "no lesson is open";
    EXPECT_FALSE(window.ToolBar(3).Button(MainDialog::CM_AUDIO_PLAY)->isEnabled());
    EXPECT_FALSE(window.Control(MainDialog::kList)->isEnabled());
    EXPECT_FALSE(window.Control(MainDialog::kExplanation)->isEnabled());

    // Esc is consumed; F1 shows the contents.
    Press(window.Control(MainDialog::kList), Qt::Key_Escape);
    EXPECT_NE(window.Window(), nullptr);
    Press(window.Control(MainDialog::kList), Qt::Key_F1);
    EXPECT_EQ(LHelpShownFile(), std::string(ORATIVO_HELP_SOURCE) + "/index.html");
    LHelpWindow()->close();

    window.Window()->resize(600, 240);
    QApplication::processEvents();
    dividerSmall = window.Splitter().GetY();
    pageHeight = window.Control(MainDialog::kPage)->height();
    window.Window()->move(0, 0);
    window.Window()->resize(LDesktopRect().width() - 100, 400);
    QApplication::processEvents();
    frame = window.Window()->size();
    window.SendCommand(MainDialog::CM_EXIT);
  });
  EXPECT_TRUE(window.Run());
  EXPECT_EQ(window.Window(), nullptr);
  LSetHelpFolder("");
  // The divider never sinks below the explanation's toolbar.
  EXPECT_LT(dividerSmall, 240);
  EXPECT_GE(pageHeight, 0);
  EXPECT_EQ(LWindowSettingGetInt("MainWindow", "Maximized", 1), 0);
  EXPECT_EQ(LWindowSettingGetInt("MainWindow", "Width", 0), frame.width());
  EXPECT_EQ(LWindowSettingGetInt("MainWindow", "Height", 0), frame.height());
  EXPECT_GE(frame.width(), LDesktopRect().width() - 100);
  EXPECT_GT(LWindowSettingGetInt("MainWindow", "TextDividerY", 0), 0);
}

TEST(PreviewDlg, StudentWindowStartsWithoutALessonAndEverythingIdle) {
  ScopedModeWord student("");
  LSetHelpFolder(ORATIVO_HELP_SOURCE);
  std::string lesson;
  PreviewDlg window(lesson);
  QTimer::singleShot(0, [&] {
    EXPECT_EQ(window.Window()->windowTitle(), "Orativo");
    EXPECT_TRUE(window.Window()->windowState() & Qt::WindowMaximized) << "students start maximised";
    for (int id : {PreviewDlg::kList, PreviewDlg::kMode, PreviewDlg::kPage})
      EXPECT_FALSE(window.Control(id)->isEnabled()) << id;
    for (int id : {PreviewDlg::CM_GO, PreviewDlg::CM_STOP, PreviewDlg::CM_REDO, PreviewDlg::CM_PLAY})
      EXPECT_FALSE(window.ToolBar().IsButtonEnabled(id)) << id;
    EXPECT_EQ(window.ControlAs<LStatusBar>(PreviewDlg::kStatus)->Text(2), "") << "no expression count";
    // Esc and Enter never close the study window; F1 opens its topic.
    Press(window.Control(PreviewDlg::kList), Qt::Key_Escape);
    Press(window.Control(PreviewDlg::kList), Qt::Key_Return);
    EXPECT_NE(window.Window(), nullptr);
    Press(window.Control(PreviewDlg::kList), Qt::Key_F1);
    EXPECT_EQ(LHelpShownFile(), std::string(ORATIVO_HELP_SOURCE) + "/105.html");
    LHelpWindow()->close();
    window.SendCommand(PreviewDlg::CM_EXIT);
  });
  EXPECT_TRUE(window.Run(nullptr));
  EXPECT_EQ(LWindowSettingGetInt("StudentWindow", "Maximized", 0), 1);
  LSetHelpFolder("");
}

// The tutor's preview is modal over its owner, never maximised; Close Lesson
// empties the creator's lesson path.
TEST(PreviewDlg, TutorPreviewTitlesTheLessonAndCloseLessonEmptiesTheCreatorsPath) {
  ScopedModeWord tutor("tutor");
  std::string lesson = "/lessons/French Verbs/French Verbs.ini";
  QWidget owner;
  owner.setWindowTitle("Orativo [French Verbs]");
  PreviewDlg window(lesson);
  QTimer::singleShot(0, [&] {
    EXPECT_EQ(window.Window()->windowTitle(), "Preview Lesson [French Verbs]");
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_FALSE(window.Window()->windowState() & Qt::WindowMaximized);
    EXPECT_TRUE(window.Control(PreviewDlg::kList)->isEnabled());
    window.SendCommand(PreviewDlg::CM_CLOSE);
    EXPECT_EQ(window.Window()->windowTitle(), "Preview Lesson");
    window.SendCommand(IDCANCEL);
  });
  EXPECT_TRUE(window.Run(&owner));
  EXPECT_TRUE(lesson.empty()) << "the creator's lesson path is the window's";
  EXPECT_TRUE(owner.isEnabled());
}
