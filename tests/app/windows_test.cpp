// The tutor and study windows as start-up opens them: titles, menus,
// toolbars, enabled states, keys, layout rules and stored sizes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <functional>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/help.h"
#include "framework/widgets/status_bar.h"
#include "framework/widgets/win_defs.h"
#include "framework/widgets/window_size.h"
#include "study/preview_dlg.h"
#include "tests/study/dialog_test_util.h"
#include "tutor/main_dialog.h"

using dialogtest::ScopedModeWord;

namespace {

void Press(QWidget* to, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent event(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(to, &event);
}

// Runs body inside the window's own loop; the body must close the window.
template <class Window, class... Args>
void RunWindow(Window& window, const std::function<void()>& body, Args... args) {
  QTimer::singleShot(0, body);
  EXPECT_TRUE(window.Run(args...));
}

}  // namespace

TEST(MainDialog, OpensWithTitleToolbarsAndTheSplash) {
  ScopedModeWord tutor("Tutor");
  LSetHelpFolder(ORATIVO_HELP_SOURCE);
  MainDialog window;
  RunWindow(window, [&] {
    QDialog* w = window.Window();
    EXPECT_EQ(w->windowTitle(), "Orativo");
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
    // Enter on the list is OK, which the tutor window always allows.
    window.SendCommand(MainDialog::CM_EXIT);
  });
  EXPECT_EQ(window.Window(), nullptr);
  LSetHelpFolder("");
}

TEST(MainDialog, DividerKeepsClearOfToolbarsAndStoresWithTheWindow) {
  ScopedModeWord tutor("Tutor");
  LWindowSettingSetInt("MainWindow", "Maximized", 0);
  LWindowSettingSetInt("MainWindow", "TextDividerY", 206);
  MainDialog window;
  int dividerSmall = 0, pageHeight = -1;
  QSize frame;
  RunWindow(window, [&] {
    window.Window()->resize(600, 240);
    QApplication::processEvents();
    dividerSmall = window.Splitter().GetY();
    pageHeight = window.Control(MainDialog::kPage)->height();
    window.Window()->move(0, 0);
    window.Window()->resize(LDesktopRect().width() - 100, 400);
    QApplication::processEvents();
    frame = window.Window()->size();
    window.SendCommand(IDCANCEL);
  });
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
  RunWindow(
      window,
      [&] {
        QDialog* w = window.Window();
        EXPECT_EQ(w->windowTitle(), "Orativo");
        EXPECT_TRUE(w->windowState() & Qt::WindowMaximized) << "students start maximised";
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
      },
      nullptr);
  EXPECT_EQ(LWindowSettingGetInt("StudentWindow", "Maximized", 0), 1);
  LSetHelpFolder("");
}

TEST(PreviewDlg, TutorPreviewTitlesTheLessonAndCloseLessonEmptiesTheCreatorsPath) {
  ScopedModeWord tutor("tutor");
  std::string lesson = "/lessons/French Verbs/French Verbs.ini";
  QWidget owner;
  owner.setWindowTitle("Orativo [French Verbs]");
  PreviewDlg window(lesson);
  QString before, after;
  bool ownerDisabled = false, maximized = true;
  RunWindow(
      window,
      [&] {
        before = window.Window()->windowTitle();
        ownerDisabled = !owner.isEnabled();
        maximized = window.Window()->windowState() & Qt::WindowMaximized;
        EXPECT_TRUE(window.Control(PreviewDlg::kList)->isEnabled());
        window.SendCommand(PreviewDlg::CM_CLOSE);
        after = window.Window()->windowTitle();
        window.SendCommand(IDCANCEL);
      },
      &owner);
  EXPECT_EQ(before, "Preview Lesson [French Verbs]");
  EXPECT_EQ(after, "Preview Lesson");
  EXPECT_TRUE(lesson.empty()) << "the creator's lesson path is the window's";
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(owner.isEnabled());
  EXPECT_FALSE(maximized);
}
