// The tutor window on real lesson folders: list, drops by mouse, renames,
// explanations, enabled commands, keys and lesson commands.
#include "tutor/main_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeySequence>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <set>

#include "framework/settings.h"
#include "framework/widgets/controls.h"
#include "framework/widgets/help.h"
#include "framework/widgets/key_codes.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/run_mode.h"
#include "framework/widgets/win_defs.h"
#include "lessons/lesson_files.h"
#include "lessons/rich_audio_file.h"
#include "study/preview_dlg.h"
#include "tutor_fixture.h"

namespace {

class TutorWindow : public ::testing::Test {
 protected:
  TutorWindow() {
    SetModeWord("Tutor");
    LSetMessageBoxHook([this](const LMessageBoxCall& call) {
      boxes.push_back(call.caption);
      return answer;
    });
  }
  ~TutorWindow() override {
    LSetMessageBoxHook(nullptr);
    SetModeWord("");
  }
  // Runs body in the window's loop over lesson (may be ""), then closes it.
  void Run(const std::string& lesson, const std::function<void()>& body) {
    window.SetStartLesson(lesson);
    QTimer::singleShot(0, [&] {
      body();
      window.SendCommand(MainDialog::CM_EXIT);
    });
    EXPECT_TRUE(window.Run());
  }
  QTreeWidget* List() { return window.ControlAs<QTreeWidget>(MainDialog::kList); }
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    for (int i = 0; i < List()->topLevelItemCount(); ++i)
      rows.push_back(List()->topLevelItem(i)->text(0).toStdString());
    return rows;
  }
  QPoint RowCenter(int row) { return List()->visualItemRect(List()->topLevelItem(row)).center(); }
  // A mouse event where the windowing system would deliver it: to the
  // widget holding the mouse, else to the list.
  void Mouse(QEvent::Type type, QPoint inList, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = {}) {
    QWidget* viewport = List()->viewport();
    QWidget* to = QWidget::mouseGrabber() ? QWidget::mouseGrabber() : viewport;
    QPoint local = to->mapFromGlobal(viewport->mapToGlobal(inList));
    Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, viewport->mapToGlobal(inList), button, buttons, mods);
    QApplication::sendEvent(to, &event);
  }
  void Click(int row, Qt::KeyboardModifiers mods = {}) {
    Mouse(QEvent::MouseButtonPress, RowCenter(row), Qt::LeftButton, mods);
    Mouse(QEvent::MouseButtonRelease, RowCenter(row), Qt::NoButton, mods);
  }

  TutorLessons lessons;
  MainDialog window;
  std::vector<std::string> boxes;
  int answer = IDOK;
};

std::set<int> EnabledMenu(MainDialog& window) {
  window.SendMessage(WM_INITMENUPOPUP);
  std::set<int> ids;
  for (QAction* a : window.Window()->findChildren<QAction*>())
    if (a->objectName().startsWith("menu") && a->isEnabled()) ids.insert(a->property("controlId").toInt());
  return ids;
}

std::set<int> EnabledTools(MainDialog& window) {
  std::set<int> ids;
  for (int bar = 0; bar < 4; ++bar)
    for (QAction* a : window.ToolBar(bar).Handle()->actions())
      if (!a->isSeparator() && a->isEnabled()) ids.insert(a->property("commandId").toInt());
  return ids;
}

struct DragCase {
  std::vector<int> drag;  // rows selected, the first one pressed
  int onto;               // row under the mouse at release; 4: below the last row
  std::vector<int> orders;
  std::vector<std::string> list;
};

class DragByMouse : public TutorWindow, public ::testing::WithParamInterface<DragCase> {};

}  // namespace

TEST_P(DragByMouse, DropsTheSelectedRowsBeforeTheRowUnderTheMouse) {
  const DragCase& c = GetParam();
  std::string lesson = lessons.MakeLesson("Drag", {"R1", "R2", "R3", "R4"});
  Run(lesson, [&] {
    ASSERT_EQ(Rows(), (std::vector<std::string>{"R1", "R2", "R3", "R4"}));
    Click(c.drag[0]);
    for (size_t i = 1; i < c.drag.size(); ++i) Click(c.drag[i], Qt::ControlModifier);
    QPoint from = RowCenter(c.drag[0]);
    QPoint to = c.onto < 4 ? RowCenter(c.onto)
                           : RowCenter(3) + QPoint(0, 3 * List()->visualItemRect(List()->topLevelItem(3)).height());
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    Mouse(QEvent::MouseMove, from + QPoint(0, 3), Qt::LeftButton);
    Mouse(QEvent::MouseMove, from + QPoint(0, 30), Qt::LeftButton);
    EXPECT_TRUE(window.Dragging());
    EXPECT_EQ(QWidget::mouseGrabber(), window.Window()) << "the window holds the mouse during the drag";
    Mouse(QEvent::MouseMove, to, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
    EXPECT_FALSE(window.Dragging());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(Rows(), c.list);
    EXPECT_TRUE(List()->topLevelItem(0)->isSelected()) << "the first row is selected after a drop";
  });
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(TutorLessons::Order(lesson, "R" + std::to_string(i + 1)), c.orders[size_t(i)]) << i;
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, DragByMouse,
                         ::testing::Values(DragCase{{0}, 2, {2, 1, 4, 5}, {"R2", "R1", "R3", "R4"}},
                                           DragCase{{3}, 1, {0, 3, 4, 1}, {"R1", "R4", "R2", "R3"}},
                                           DragCase{{1}, 4, {0, 4, 2, 3}, {"R1", "R3", "R4", "R2"}},
                                           DragCase{{1, 3}, 0, {3, 0, 5, 1}, {"R2", "R4", "R1", "R3"}}));

TEST_F(TutorWindow, OpeningALessonChangesNoFileAndListsByOrderThenName) {
  std::string lesson = lessons.MakeLesson("Open", {"b", "a", "z"}, {3, 3, 1});
  LRichAudioFile::WriteExplanation(TutorLessons::Record(lesson, "a"), "text");
  auto before = TutorLessons::Snapshot(lesson);
  Run(lesson, [&] {
    EXPECT_EQ(window.Window()->windowTitle(), "Orativo [Open]");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"z", "a", "b"}));
    Click(1);
    Click(2);
    window.SendCommand(MainDialog::CM_LESSON_CLOSE);
    EXPECT_EQ(window.Window()->windowTitle(), "Orativo");
    EXPECT_EQ(List()->topLevelItemCount(), 0);
  });
  EXPECT_EQ(TutorLessons::Snapshot(lesson), before);
}

TEST_F(TutorWindow, NewExpressionIsNumberedAfterTheLastRowAndRenamedInPlace) {
  std::string lesson = lessons.MakeLesson("New", {"Expression", "Expression 2"}, {4, 9});
  Run(lesson, [&] {
    window.SendCommand(MainDialog::CM_EXPRESSION_NEW);
    EXPECT_EQ(TutorLessons::Order(lesson, "Expression 3"), 10);
    auto* editor = List()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr) << "the new row's label is being edited";
    editor->setText("Au revoir");
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::qWait(50);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Expression", "Expression 2", "Au revoir"}));
    EXPECT_NE(window.Window(), nullptr) << "Enter ends the edit, not the program";
    // Its own name in other letters is refused and nothing moves.
    auto before = TutorLessons::Snapshot(lesson);
    window.UpdateExpressionName(2, "AU REVOIR");
    EXPECT_EQ(boxes, (std::vector<std::string>{"Expression Exists"}));
    EXPECT_EQ(TutorLessons::Snapshot(lesson), before);
  });
}

TEST_F(TutorWindow, DeleteTakesEveryFileOfTheSelectionButNeverTheLessonFile) {
  std::string lesson = lessons.MakeLesson("Words", {"words", "keep", "gone"});
  LRichAudioFile::WriteExplanation(TutorLessons::Record(lesson, "gone"), "bye");
  auto lessonBytes = testsupport::ReadFileBytes(lesson);
  Run(lesson, [&] {
    Click(0);
    Click(2, Qt::ControlModifier);
    answer = IDCANCEL;
    window.SendCommand(MainDialog::CM_EXPRESSION_DELETE);
    EXPECT_EQ(Rows().size(), 3u);
    answer = IDOK;
    window.SendCommand(MainDialog::CM_EXPRESSION_DELETE);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"keep"}));
  });
  EXPECT_EQ(testsupport::ReadFileBytes(lesson), lessonBytes);
  auto files = TutorLessons::Snapshot(lesson);
  EXPECT_EQ(files.size(), 2u) << "Words.ini and keep.raf; no page or explanation left behind";
}

TEST_F(TutorWindow, TypedExplanationIsSavedLaterToTheExpressionItWasTypedFor) {
  std::string lesson = lessons.MakeLesson("Explain", {"One", "Two"});
  Run(lesson, [&] {
    auto* edit = window.ControlAs<QPlainTextEdit>(MainDialog::kExplanation);
    EXPECT_TRUE(edit->toPlainText().isEmpty()) << "the placeholder is not text";
    QTest::keyClicks(edit, "first");
    EXPECT_FALSE(LRichAudioFile::ReadExplanation(TutorLessons::Record(lesson, "One")))
        << "nothing is written while the tutor types";
    Click(1);  // within the delay
    EXPECT_EQ(LRichAudioFile::ReadExplanation(TutorLessons::Record(lesson, "One")).value_or(""), "first");
    EXPECT_FALSE(LRichAudioFile::ReadExplanation(TutorLessons::Record(lesson, "Two")));
    QTest::qWait(100);  // the window's activation shows the expression afresh
    QTest::keyClicks(edit, "second");
    QElapsedTimer clock;
    clock.start();
    while (!LRichAudioFile::ReadExplanation(TutorLessons::Record(lesson, "Two")) && clock.elapsed() < 5000)
      QTest::qWait(20);
    EXPECT_GE(clock.elapsed(), 600);
    EXPECT_EQ(LRichAudioFile::ReadExplanation(TutorLessons::Record(lesson, "Two")).value_or(""), "second");
    EXPECT_FALSE(List()->topLevelItem(1)->icon(2).isNull()) << "the row shows its explanation mark";
  });
}

TEST_F(TutorWindow, MenuAndToolbarsEnableByLessonAndSelection) {
  using M = MainDialog;
  const std::set<int> always = {M::CM_LESSON_NEW,  M::CM_LESSON_OPEN,   M::CM_SETTINGS,
                                M::CM_EXIT,        M::CM_HELP_CONTENTS, M::CM_WEB_HOME,
                                M::CM_WEB_SUPPORT, M::CM_WEB_MAKER,     M::CM_HELP_ABOUT};
  std::set<int> lessonOpen = always;
  lessonOpen.insert(
      {M::CM_LESSON_DELETE, M::CM_LESSON_CLOSE, M::CM_LESSON_PREVIEW, M::CM_LESSON_PROPERTIES, M::CM_EXPRESSION_NEW});
  std::set<int> selected = lessonOpen;
  selected.insert({M::CM_EXPRESSION_DELETE, M::CM_EXPRESSION_RENAME, M::CM_EXPLANATION_EXISTING});
  // Without an image or audio only their New and Load commands apply.
  const std::set<int> media = {M::CM_IMAGE_NEW, M::CM_IMAGE_EXISTING, M::CM_AUDIO_NEW, M::CM_AUDIO_EXISTING};
  selected.insert(media.begin(), media.end());
  const std::set<int> toolsNone = {M::CM_LESSON_NEW, M::CM_LESSON_OPEN, M::CM_SETTINGS};
  std::set<int> toolsLesson = toolsNone;
  toolsLesson.insert({M::CM_LESSON_PROPERTIES, M::CM_EXPRESSION_NEW, M::CM_LESSON_PREVIEW});
  std::set<int> toolsSelected = toolsLesson;
  toolsSelected.insert(M::CM_EXPLANATION_EXISTING);
  toolsSelected.insert(media.begin(), media.end());

  std::string lesson = lessons.MakeLesson("Rules", {"One"});
  Run(lesson, [&] {
    EXPECT_EQ(EnabledMenu(window), selected);
    EXPECT_EQ(EnabledTools(window), toolsSelected);
    EXPECT_TRUE(window.Control(M::kExplanation)->isEnabled());
    List()->clearSelection();
    EXPECT_EQ(EnabledMenu(window), lessonOpen);
    EXPECT_EQ(EnabledTools(window), toolsLesson);
    EXPECT_FALSE(window.Control(M::kExplanation)->isEnabled());
    window.SendCommand(M::CM_LESSON_CLOSE);
    EXPECT_EQ(EnabledMenu(window), always);
    EXPECT_EQ(EnabledTools(window), toolsNone);
    EXPECT_FALSE(window.Control(M::kList)->isEnabled());
  });
}

// Every key a menu row, a tooltip or a status tip names does something.
TEST_F(TutorWindow, EveryKeyTheWindowNamesIsBound) {
  std::set<QString> keys;
  QRegularExpression named(R"((?:Ctrl\+(?:Del|[A-Z])|(?<!Alt\+)F\d+))");
  Run("", [&] {
    std::vector<QString> texts;
    for (QAction* a : window.Window()->findChildren<QAction*>()) texts.push_back(a->text() + " " + a->toolTip());
    for (int i = 0; i < MainDialog::kStatusTexts; ++i) texts.push_back(MainDialog::StatusText(i));
    for (const QString& text : texts)
      for (auto it = named.globalMatch(text); it.hasNext();) keys.insert(it.next().captured());
    // Commands that open dialogs are answered by closing them.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
      if (LHelpWindow()) LHelpWindow()->close();
    });
    closer.start(20);
    List()->setFocus();
    for (const QString& key : keys) {
      QKeySequence sequence(key);
      ASSERT_EQ(sequence.count(), 1) << key.toStdString();
      QKeyCombination combo = sequence[0];
      EXPECT_TRUE(window.EvKeyDown(KeyValueFromQt(combo.key(), combo.keyboardModifiers()))) << key.toStdString();
    }
  });
  EXPECT_TRUE(keys.count("Ctrl+N") && keys.count("Ctrl+O") && keys.count("Ctrl+Del") && keys.count("F3"));
}

TEST_F(TutorWindow, PreviewWorksOnACopyOfTheLessonPath) {
  std::string lesson = lessons.MakeLesson("Preview", {"One"});
  Run(lesson, [&] {
    std::string seen;
    QTimer::singleShot(0, [&] {
      auto* preview = dynamic_cast<PreviewDlg*>(LKeyDialog::Running());
      ASSERT_NE(preview, nullptr);
      seen = preview->Window()->windowTitle().toStdString();
      preview->SendCommand(PreviewDlg::CM_CLOSE);
      preview->SendCommand(IDCANCEL);
    });
    window.SendCommand(MainDialog::CM_LESSON_PREVIEW);
    EXPECT_EQ(seen, "Preview Lesson [Preview]");
    EXPECT_EQ(window.LessonPath(), lesson);
    EXPECT_EQ(window.Window()->windowTitle(), "Orativo [Preview]");
  });
}

TEST_F(TutorWindow, AFailedNewLessonSaysSoAndKeepsTheOpenLesson) {
  std::string lesson = lessons.MakeLesson("Kept", {"One"});
  Run(lesson, [&] {
    // The lessons folder cannot hold a new lesson: it is a file.
    testsupport::WriteFileText(lessons.Folder() + "/blocked", "");
    RegSetUserSetting("SystemFolders", "TutorLessons", lessons.Folder() + "/blocked");
    QTimer::singleShot(0, [] {
      auto* edit = QApplication::activeModalWidget()->findChild<QLineEdit*>();
      edit->setText("Fresh");
      QTest::keyClick(edit, Qt::Key_Return);
    });
    window.SendCommand(MainDialog::CM_LESSON_NEW);
    EXPECT_EQ(boxes, (std::vector<std::string>{"New Lesson"}));
    EXPECT_EQ(window.LessonPath(), lesson);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"One"}));
  });
}
