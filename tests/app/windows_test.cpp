// The tutor's window as start-up opens it: title, toolbars, enabled states,
// keys, layout rules and stored sizes.

#include <QAction>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/help.h"
#include "framework/widgets/window_size.h"
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
  QSize frame;
  QTimer::singleShot(0, [&] {
    EXPECT_NE(window.Splash().Window(), nullptr);
    EXPECT_FALSE(window.MainToolBar().Button(MainDialog::CM_LESSON_PREVIEW)->isEnabled()) << "no lesson is open";
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
    // The divider never sinks below the explanation's toolbar.
    EXPECT_LT(window.Splitter().GetY(), 240);
    EXPECT_GE(window.Control(MainDialog::kPage)->height(), 0);
    window.Window()->move(0, 0);
    window.Window()->resize(LDesktopRect().width() - 100, 400);
    QApplication::processEvents();
    frame = window.Window()->size();
    window.SendCommand(MainDialog::CM_EXIT);
  });
  EXPECT_TRUE(window.Run());
  EXPECT_EQ(window.Window(), nullptr);
  LSetHelpFolder("");
  EXPECT_EQ(LWindowSettingGetInt("MainWindow", "Maximized", 1), 0);
  EXPECT_EQ(LWindowSettingGetInt("MainWindow", "Width", 0), frame.width());
  EXPECT_EQ(LWindowSettingGetInt("MainWindow", "Height", 0), frame.height());
  EXPECT_GE(frame.width(), LDesktopRect().width() - 100);
  EXPECT_GT(LWindowSettingGetInt("MainWindow", "TextDividerY", 0), 0);
}
