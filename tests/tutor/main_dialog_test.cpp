// The tutor window on real lesson folders: list, drops by mouse, renames,
// explanations, enabled commands, keys and lesson commands.
#include "tutor/main_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeySequence>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <set>

#include "framework/settings.h"
#include "framework/widgets/dialog_items.h"
#include "framework/widgets/file_dialogs.h"
#include "framework/widgets/help.h"
#include "framework/widgets/key_codes.h"
#include "framework/widgets/message_box.h"
#include "lessons/expression_order.h"
#include "lessons/lesson_files.h"
#include "lessons/rich_audio_file.h"
#include "study/lesson_access.h"
#include "study/preview_dlg.h"
#include "tutor_fixture.h"

namespace {

class TutorWindow : public TutorWindowTest {
 protected:
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
    Mouse(QEvent::MouseMove, QPoint(from.x(), -4), Qt::LeftButton);
    EXPECT_TRUE(window.HasTimer(3)) << "above the list it scrolls up";
    Mouse(QEvent::MouseMove, to, Qt::LeftButton);
    EXPECT_FALSE(window.HasTimer(3));
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
                                           DragCase{{1, 3}, 0, {3, 0, 5, 1}, {"R2", "R4", "R1", "R3"}},
                                           // Onto itself: the list stays as it was.
                                           DragCase{{1}, 1, {0, 1, 4, 5}, {"R1", "R2", "R3", "R4"}}));

// Equal orders list the same on every file system, as in the study window.
TEST_F(TutorWindow, OpeningALessonChangesNoFileAndListsTiesAsTheStudyWindowDoes) {
  std::string lesson = lessons.MakeLesson("Open", {"b", "a", "z", "C"}, {3, 3, 1, 3});
  LRichAudioFile::WriteExplanation(TutorLessons::Record(lesson, "a"), "text");
  auto before = TutorLessons::Snapshot(lesson);
  Run(lesson, [&] {
    EXPECT_EQ(window.Window()->windowTitle(), "Orativo [Open]");
    std::vector<std::string> study;
    for (const LExpressionEntry& e : ListExpressionsInOrder(lesson)) study.push_back(e.name);
    EXPECT_EQ(Rows(), study);
    EXPECT_EQ(Rows().front(), "z");
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
    QTest::keyClick(List()->viewport()->findChild<QLineEdit*>(), Qt::Key_Return);
    QTest::qWait(50);
    EXPECT_TRUE(boxes.empty()) << "keeping the offered name is no rename";
    window.SendCommand(MainDialog::CM_EXPRESSION_RENAME);
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
    // Typing waits to be saved when the expression goes: no explanation is left behind.
    QTest::keyClicks(window.ControlAs<QPlainTextEdit>(MainDialog::kExplanation), "late");
    answer = IDOK;
    window.SendCommand(MainDialog::CM_EXPRESSION_DELETE);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"keep"}));
    QTest::qWait(1000);
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
    QTest::keyClicks(edit, "fir");
    EXPECT_FALSE(LRichAudioFile::ReadExplanation(TutorLessons::Record(lesson, "One")))
        << "nothing is written while the tutor types";
    window.SendMessage(WM_ACTIVATE, 0);  // another window comes and goes: typing goes on where it was
    QTest::keyClicks(edit, "st");
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

TEST_F(TutorWindow, LoadedExplanationReplacesTheTextAndAnEmptyFileWritesNothing) {
  std::string lesson = lessons.MakeLesson("Load", {"One", "Two"});
  testsupport::WriteFileText(lessons.Folder() + "/notes.txt", "From a file");
  testsupport::WriteFileText(lessons.Folder() + "/empty.txt", "");
  std::string chosen;
  LSetFileDialogHook([&](const std::string&, const std::string&) { return chosen; });
  Run(lesson, [&] {
    auto* edit = window.ControlAs<QPlainTextEdit>(MainDialog::kExplanation);
    QTest::keyClicks(edit, "typed");
    chosen = lessons.Folder() + "/notes.txt";
    window.SendCommand(MainDialog::CM_EXPLANATION_EXISTING);
    EXPECT_EQ(edit->toPlainText(), "From a file");
    Click(1);
    chosen = lessons.Folder() + "/empty.txt";
    window.SendCommand(MainDialog::CM_EXPLANATION_EXISTING);
  });
  LSetFileDialogHook(nullptr);
  EXPECT_EQ(LRichAudioFile::ReadExplanation(TutorLessons::Record(lesson, "One")).value_or(""), "From a file");
  EXPECT_FALSE(LRichAudioFile::ReadExplanation(TutorLessons::Record(lesson, "Two")));
}

// Lesson commands need a lesson, expression commands a selection; without an
// image or audio only their New and Load commands apply.
TEST_F(TutorWindow, MenuAndToolbarsEnableByLessonAndSelection) {
  using M = MainDialog;
  std::set<int> menu = {M::CM_LESSON_NEW, M::CM_LESSON_OPEN, M::CM_SETTINGS,  M::CM_EXIT,      M::CM_HELP_CONTENTS,
                        M::CM_WEB_HOME,   M::CM_WEB_SUPPORT, M::CM_WEB_MAKER, M::CM_HELP_ABOUT};
  std::set<int> tools = {M::CM_LESSON_NEW, M::CM_LESSON_OPEN, M::CM_SETTINGS};
  const std::set<int> lessonMenu = {M::CM_LESSON_DELETE, M::CM_LESSON_CLOSE, M::CM_LESSON_PREVIEW,
                                    M::CM_LESSON_PROPERTIES, M::CM_EXPRESSION_NEW};
  const std::set<int> lessonTools = {M::CM_LESSON_PROPERTIES, M::CM_EXPRESSION_NEW, M::CM_LESSON_PREVIEW};
  const std::set<int> selectedTools = {M::CM_EXPLANATION_EXISTING, M::CM_IMAGE_NEW, M::CM_IMAGE_EXISTING,
                                       M::CM_AUDIO_NEW, M::CM_AUDIO_EXISTING};
  std::set<int> selectedMenu = selectedTools;
  selectedMenu.insert({M::CM_EXPRESSION_DELETE, M::CM_EXPRESSION_RENAME});
  auto with = [](std::set<int> a, const std::set<int>& b) { return a.insert(b.begin(), b.end()), a; };
  Run(lessons.MakeLesson("Rules", {"One"}), [&] {
    EXPECT_EQ(EnabledMenu(window), with(with(menu, lessonMenu), selectedMenu));
    EXPECT_EQ(EnabledTools(window), with(with(tools, lessonTools), selectedTools));
    EXPECT_TRUE(window.Control(M::kExplanation)->isEnabled());
    List()->clearSelection();
    EXPECT_EQ(EnabledMenu(window), with(menu, lessonMenu));
    EXPECT_EQ(EnabledTools(window), with(tools, lessonTools));
    EXPECT_FALSE(window.Control(M::kExplanation)->isEnabled());
    window.SendCommand(M::CM_LESSON_CLOSE);
    EXPECT_EQ(EnabledMenu(window), menu);
    EXPECT_EQ(EnabledTools(window), tools);
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
    QTest::keyClick(List(), Qt::Key_Return);
    EXPECT_NE(window.Window(), nullptr) << "Enter in the list never ends the program";
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

namespace {

struct NewLessonCase {
  std::vector<std::string> typed;  // names entered in turn; then the entry is cancelled
  std::vector<int> answers;        // answers to the message boxes in turn
  std::vector<std::string> boxes;  // captions seen
  std::string openAfter;           // title of the window at the end
  bool oldLessonKept;
  bool blocked = false;  // the lessons folder cannot hold a new lesson: it is a file
};

class NewLesson : public TutorWindow, public ::testing::WithParamInterface<NewLessonCase> {};

}  // namespace

TEST_P(NewLesson, AsksForANameUntilItIsUsableAndReplacesOnlyOnYes) {
  const NewLessonCase& c = GetParam();
  std::string old = lessons.MakeLesson("Greetings", {"Bonjour"});
  std::string open = lessons.MakeLesson("Numbers", {"Un"});
  std::vector<int> answers = c.answers;
  LSetMessageBoxHook([&](const LMessageBoxCall& call) {
    boxes.push_back(call.caption);
    int a = answers.empty() ? IDCANCEL : answers.front();
    if (!answers.empty()) answers.erase(answers.begin());
    return a;
  });
  std::vector<std::string> typed = c.typed;
  QTimer entry;
  QObject::connect(&entry, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* edit = modal ? modal->findChild<QLineEdit*>() : nullptr;
    if (!edit) return;
    if (typed.empty()) {
      modal->close();
      return;
    }
    edit->setText(QString::fromStdString(typed.front()));
    typed.erase(typed.begin());
    QTest::keyClick(edit, Qt::Key_Return);
  });
  entry.start(10);
  std::string title;
  Run(open, [&] {
    if (c.blocked) {
      testsupport::WriteFileText(lessons.Folder() + "/blocked", "");
      RegSetUserSetting("SystemFolders", "TutorLessons", lessons.Folder() + "/blocked");
    }
    window.SendCommand(MainDialog::CM_LESSON_NEW);
    title = window.Window()->windowTitle().toStdString();
  });
  EXPECT_EQ(boxes, c.boxes);
  EXPECT_EQ(title, c.openAfter);
  EXPECT_EQ(lessonfiles::FileExists(TutorLessons::Record(old, "Bonjour")), c.oldLessonKept);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, NewLesson,
    ::testing::Values(NewLessonCase{{"..", "Colours"}, {}, {"Name Invalid"}, "Orativo [Colours]", true},
                      NewLessonCase{{"GREETINGS"}, {IDYES}, {"Orativo"}, "Orativo [GREETINGS]", false},
                      NewLessonCase{{"greetings", "Colours"}, {IDNO}, {"Orativo"}, "Orativo [Colours]", true},
                      NewLessonCase{{"greetings"}, {IDCANCEL}, {"Orativo"}, "Orativo [Numbers]", true},
                      NewLessonCase{{}, {}, {}, "Orativo [Numbers]", true},
                      NewLessonCase{{"Fresh"}, {}, {"New Lesson"}, "Orativo [Numbers]", true, true}));

namespace {

struct ArrivalCase {
  bool atStart;  // given on the command line, else handed over by a later copy
  bool logIn;    // the Login is answered, else cancelled
};

class TutorLogin : public TutorWindow, public ::testing::WithParamInterface<ArrivalCase> {};

}  // namespace

// A lesson that does not come through Open Lesson still asks for its Login.
TEST_P(TutorLogin, GuardsAProtectedLessonThatComesWithoutOpenLesson) {
  const ArrivalCase& c = GetParam();
  std::string lesson = lessons.MakeLesson("Locked", {"One"});
  ProfileWriteBool(lesson, "password", "enabled", true);
  ProfileWriteString(lesson, "user", "name", "ann");
  ProfileWriteString(lesson, "user", "pw", EncodeLessonPassword("secret"));
  ProfileFlush(lesson);
  int logins = 0;
  QTimer login;
  QObject::connect(&login, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    auto edits = modal ? modal->findChildren<QLineEdit*>() : QList<QLineEdit*>();
    if (edits.size() != 2) return;
    ++logins;
    if (!c.logIn) {
      modal->close();
      return;
    }
    edits[0]->setText("ann");
    edits[1]->setText("secret");
    QTest::keyClick(edits[1], Qt::Key_Return);
  });
  login.start(10);
  std::string opened = "unset";
  Run(c.atStart ? lesson : "", [&] {
    if (!c.atStart) window.OpenLesson(lesson);
    QTest::qWait(300);
    opened = window.LessonPath();
  });
  EXPECT_EQ(logins, 1);
  EXPECT_EQ(opened, c.logIn ? lesson : "");
}

INSTANTIATE_TEST_SUITE_P(Arrivals, TutorLogin,
                         ::testing::Values(ArrivalCase{true, true}, ArrivalCase{true, false}, ArrivalCase{false, true},
                                           ArrivalCase{false, false}));

// A lesson file outside a folder of its own name is refused: renaming or
// deleting it would act on the folder it happens to lie in.
TEST_F(TutorWindow, ALooseLessonFileIsNotOpened) {
  std::string docs = lessons.Folder() + "/Documents";
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(docs)));
  testsupport::WriteFileText(docs + "/Greetings.ini", "[create]\n");
  testsupport::WriteFileText(docs + "/Greetings.raf", "");
  std::string opened = "unset";
  Run(docs + "/Greetings.ini", [&] {
    // The command line's lesson is refused once the window is up; a slow
    // machine may take a while to get there.
    testsupport::WaitFor([&] { return !boxes.empty(); });
    opened = window.LessonPath();
    window.OpenLesson(docs + "/Greetings.ini");
  });
  EXPECT_EQ(opened, "");
  EXPECT_EQ(boxes, (std::vector<std::string>{"Open Lesson", "Open Lesson"}));
}

TEST_F(TutorWindow, AFailedDeleteSaysSoAndShowsWhatIsLeft) {
  std::string lesson = lessons.MakeLesson("Stuck", {"One"});
  std::string folder = lesson.substr(0, lesson.rfind('/'));
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder + "/inner")));  // the folder cannot be removed
  Run(lesson, [&] {
    window.SendCommand(MainDialog::CM_LESSON_DELETE);
    EXPECT_EQ(boxes, (std::vector<std::string>{"Confirm Delete", "Delete Lesson"}));
    EXPECT_EQ(window.LessonPath().empty(), !lessonfiles::FileExists(lesson));
  });
}

// While rows are dragged, keys run no command; Esc drops nothing.
TEST_F(TutorWindow, EscCancelsADragAndOtherKeysWait) {
  std::string lesson = lessons.MakeLesson("Held", {"R1", "R2", "R3"});
  auto before = TutorLessons::Snapshot(lesson);
  Run(lesson, [&] {
    Click(0);
    QPoint from = RowCenter(0);
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    Mouse(QEvent::MouseMove, from + QPoint(0, 30), Qt::LeftButton);
    ASSERT_TRUE(window.Dragging());
    EXPECT_TRUE(window.EvKeyDown('E' + KEY_CTRL));
    window.SendCommand(MainDialog::CM_EXPRESSION_DELETE);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(window.EvKeyDown(VK_ESCAPE));
    EXPECT_FALSE(window.Dragging());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    Mouse(QEvent::MouseButtonRelease, RowCenter(2), Qt::NoButton);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"R1", "R2", "R3"}));
  });
  EXPECT_EQ(TutorLessons::Snapshot(lesson), before);
}
