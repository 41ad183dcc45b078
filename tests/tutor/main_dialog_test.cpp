// The tutor window on real lesson folders: list, drops by mouse, renames,
// explanations, enabled commands, keys and lesson commands.
#include "tutor/main_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QKeySequence>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <chrono>
#include <set>

#include "framework/widgets/help.h"
#include "framework/widgets/key_codes.h"
#include "lessons/lesson_files.h"
#include "lessons/rich_audio_file.h"
#include "study/lesson_access.h"
#include "study/preview_dlg.h"
#include "tutor_fixture.h"

namespace {

struct TutorWindow : TutorWindowTest {
  // Each modal sheet with line edits gets the next texts of `typed`, then
  // Return; when none are left it is closed. `sheets` counts them.
  TutorWindow() {
    QObject::connect(&sheetTimer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      auto edits = modal ? modal->findChildren<QLineEdit*>() : QList<QLineEdit*>();
      if (edits.isEmpty()) return;
      ++sheets;
      if (typed.empty()) {
        modal->close();
        return;
      }
      for (int i = 0; i < edits.size() && i < typed.front().size(); ++i) edits[i]->setText(typed.front()[i]);
      typed.erase(typed.begin());
      QTest::keyClick(edits.back(), Qt::Key_Return);
    });
    sheetTimer_.start(10);
  }
  std::vector<QStringList> typed;
  int sheets = 0;
  QTimer sheetTimer_;
};

// The enabled menu rows; a toolbar button must be enabled exactly when its menu row is.
std::set<int> EnabledCommands(MainDialog& window) {
  window.SendMessage(WM_INITMENUPOPUP);
  std::set<int> ids;
  for (QAction* a : window.Window()->findChildren<QAction*>())
    if (a->objectName().startsWith("menu") && a->isEnabled()) ids.insert(a->property("controlId").toInt());
  for (int bar = 0; bar < 4; ++bar)
    for (QAction* a : window.ToolBar(bar).Handle()->actions())
      EXPECT_TRUE(a->isSeparator() || a->isEnabled() == (ids.count(a->property("commandId").toInt()) > 0))
          << "tool " << a->property("commandId").toInt();
  return ids;
}

}  // namespace

// Rows dragged by the mouse drop before the row under it; the window holds the
// mouse meanwhile and scrolls above the list. While rows are dragged, keys
// run no command; Esc drops nothing. Equal orders list the same on every file
// system, as in the study window. Lesson commands need a lesson, expression
// commands a selection; without an image or audio only their New and Load
// commands apply. The preview works on a copy of the lesson path. Every key a
// menu row, a tooltip or a status tip names does something.
TEST_F(TutorWindow, DropsByMouseListOrderEnabledCommandsAndKeys) {
  struct {
    std::vector<int> drag;  // rows selected, the first one pressed
    int onto;               // row under the mouse at release; 4: below the last row
    std::vector<int> orders;
    std::vector<std::string> list;
  } cases[] = {{{0}, 2, {2, 1, 4, 5}, {"R2", "R1", "R3", "R4"}},
               {{3}, 1, {0, 3, 4, 1}, {"R1", "R4", "R2", "R3"}},
               {{1}, 4, {0, 4, 2, 3}, {"R1", "R3", "R4", "R2"}},
               {{1, 3}, 0, {3, 0, 5, 1}, {"R2", "R4", "R1", "R3"}},
               {{1}, 1, {0, 1, 4, 5}, {"R1", "R2", "R3", "R4"}}};  // onto itself: nothing moves
  auto startDrag = [&](int row) {
    Mouse(QEvent::MouseButtonPress, RowCenter(row), Qt::LeftButton);
    Mouse(QEvent::MouseMove, RowCenter(row) + QPoint(0, 3), Qt::LeftButton);
    Mouse(QEvent::MouseMove, RowCenter(row) + QPoint(0, 30), Qt::LeftButton);
    EXPECT_TRUE(window.Dragging());
    EXPECT_EQ(QWidget::mouseGrabber(), window.Window()) << "the window holds the mouse during the drag";
  };
  std::string held = lessons.MakeLesson("Held", {"R1", "R2", "R3"});
  auto before = TutorLessons::Snapshot(held);
  using M = MainDialog;
  std::set<int> menu = {M::CM_LESSON_NEW, M::CM_LESSON_OPEN, M::CM_SETTINGS,  M::CM_EXIT,      M::CM_HELP_CONTENTS,
                        M::CM_WEB_HOME,   M::CM_WEB_SUPPORT, M::CM_WEB_MAKER, M::CM_HELP_ABOUT};
  const std::set<int> lessonMenu = {M::CM_LESSON_DELETE, M::CM_LESSON_CLOSE, M::CM_LESSON_PREVIEW,
                                    M::CM_LESSON_PROPERTIES, M::CM_EXPRESSION_NEW};
  const std::set<int> selectedMenu = {
      M::CM_EXPLANATION_EXISTING, M::CM_IMAGE_NEW,         M::CM_IMAGE_EXISTING,   M::CM_AUDIO_NEW,
      M::CM_AUDIO_EXISTING,       M::CM_EXPRESSION_DELETE, M::CM_EXPRESSION_RENAME};
  auto with = [](std::set<int> a, const std::set<int>& b) { return a.insert(b.begin(), b.end()), a; };
  std::string lesson = lessons.MakeLesson("Open", {"b", "a", "z", "C"}, {3, 3, 1, 3});
  LRichAudioFile::WriteExplanation(ExpressionRecordPath(lesson, "a"), "text");
  auto opened = TutorLessons::Snapshot(lesson);
  std::set<QString> keys;
  QRegularExpression named(R"((?:Ctrl\+(?:Del|[A-Z])|(?<!Alt\+)F\d+))");
  Run(held, [&] {
    startDrag(0);
    EXPECT_TRUE(window.EvKeyDown('E' + KEY_CTRL));
    window.SendCommand(MainDialog::CM_EXPRESSION_DELETE);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(window.EvKeyDown(VK_ESCAPE));
    EXPECT_FALSE(window.Dragging());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    Mouse(QEvent::MouseButtonRelease, RowCenter(2), Qt::NoButton);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"R1", "R2", "R3"}));
    for (size_t n = 0; n < std::size(cases); ++n) {
      SCOPED_TRACE(n);
      const auto& c = cases[n];
      std::string dragged = lessons.MakeLesson("Drag" + std::to_string(n), {"R1", "R2", "R3", "R4"});
      window.OpenLesson(dragged);
      Click(c.drag[0]);
      for (size_t i = 1; i < c.drag.size(); ++i) Click(c.drag[i], Qt::ControlModifier);
      int rowHeight = List()->visualItemRect(List()->topLevelItem(3)).height();
      QPoint to = c.onto < 4 ? RowCenter(c.onto) : RowCenter(3) + QPoint(0, 3 * rowHeight);
      startDrag(c.drag[0]);
      Mouse(QEvent::MouseMove, QPoint(to.x(), -4), Qt::LeftButton);
      EXPECT_TRUE(window.HasTimer(3)) << "above the list it scrolls up";
      Mouse(QEvent::MouseMove, to, Qt::LeftButton);
      EXPECT_FALSE(window.HasTimer(3));
      Mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
      EXPECT_FALSE(window.Dragging());
      EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
      EXPECT_EQ(Rows(), c.list);
      EXPECT_TRUE(List()->topLevelItem(0)->isSelected()) << "the first row is selected after a drop";
      for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ReadExpressionOrder(ExpressionRecordPath(dragged, "R" + std::to_string(i + 1))), c.orders[size_t(i)])
            << i;
    }
    window.OpenLesson(lesson);
    EXPECT_EQ(window.Window()->windowTitle(), "Orativo [Open]");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"z", "C", "b", "a"})) << "ties as the study window lists them";
    Click(1);
    Click(2);
    EXPECT_EQ(EnabledCommands(window), with(with(menu, lessonMenu), selectedMenu));
    EXPECT_TRUE(window.Control(M::kExplanation)->isEnabled());
    std::string seen;
    QTimer::singleShot(0, [&] {
      auto* preview = dynamic_cast<PreviewDlg*>(LKeyDialog::Running());
      ASSERT_NE(preview, nullptr);
      seen = preview->Window()->windowTitle().toStdString();
      preview->SendCommand(PreviewDlg::CM_CLOSE);
      preview->SendCommand(IDCANCEL);
    });
    window.SendCommand(M::CM_LESSON_PREVIEW);
    EXPECT_EQ(seen, "Preview Lesson [Open]");
    EXPECT_EQ(window.LessonPath(), lesson) << "the preview closed its copy of the lesson only";
    EXPECT_EQ(window.Window()->windowTitle(), "Orativo [Open]");
    List()->clearSelection();
    EXPECT_EQ(EnabledCommands(window), with(menu, lessonMenu));
    EXPECT_FALSE(window.Control(M::kExplanation)->isEnabled());
    window.SendCommand(M::CM_LESSON_CLOSE);
    EXPECT_EQ(window.Window()->windowTitle(), "Orativo");
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    EXPECT_EQ(EnabledCommands(window), menu);
    EXPECT_FALSE(window.Control(M::kList)->isEnabled());
    QString texts;
    for (QAction* a : window.Window()->findChildren<QAction*>()) texts += a->text() + " " + a->toolTip() + "\n";
    for (int i = 0; i < MainDialog::kStatusTexts; ++i) texts += QString(MainDialog::StatusText(i)) + "\n";
    for (auto it = named.globalMatch(texts); it.hasNext();) keys.insert(it.next().captured());
    // Commands that open dialogs are answered by closing them.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
      if (LHelpWindow()) LHelpWindow()->close();
    });
    closer.start(20);
    List()->setFocus();
    for (const QString& key : keys) {
      QKeyCombination combo = QKeySequence(key)[0];
      EXPECT_TRUE(window.EvKeyDown(KeyValueFromQt(combo.key(), combo.keyboardModifiers()))) << key.toStdString();
    }
    QTest::keyClick(List(), Qt::Key_Return);
    EXPECT_NE(window.Window(), nullptr) << "Enter in the list never ends the program";
  });
  EXPECT_EQ(TutorLessons::Snapshot(held), before);
  EXPECT_EQ(TutorLessons::Snapshot(lesson), opened);
  EXPECT_TRUE(keys.count("Ctrl+N") && keys.count("Ctrl+O") && keys.count("Ctrl+Del") && keys.count("F3"));
}

// A new expression is numbered after the last row and renamed in place; Delete
// takes every file of the selection, even one named like the lesson, but never
// the lesson file. Typing is saved later to the expression it was typed for; a
// loaded explanation replaces the text, and an empty file writes nothing.
TEST_F(TutorWindow, NewRenameDeleteAndExplanationsKeepEachFileWhereItBelongs) {
  std::string lesson = lessons.MakeLesson("Words", {"words", "keep", "Expression", "Expression 2"}, {0, 1, 4, 9});
  LRichAudioFile::WriteExplanation(ExpressionRecordPath(lesson, "Expression 2"), "bye");
  std::vector<uint8_t> lessonBytes;
  std::string explain = lessons.MakeLesson("Explain", {"One", "Two", "Three", "Four"});
  auto said = [&](const char* name) { return LRichAudioFile::ReadExplanation(ExpressionRecordPath(explain, name)); };
  testsupport::WriteFileText(lessons.Folder() + "/notes.txt", "From a file");
  testsupport::WriteFileText(lessons.Folder() + "/empty.txt", "");
  std::string chosen;
  LSetFileDialogHook([&](const std::string&, const std::string&) { return chosen; });
  Run(lesson, [&] {
    window.SendCommand(MainDialog::CM_EXPRESSION_NEW);
    EXPECT_EQ(ReadExpressionOrder(ExpressionRecordPath(lesson, "Expression 3")), 10);
    QTest::keyClick(List()->viewport()->findChild<QLineEdit*>(), Qt::Key_Return);
    QTest::qWait(50);
    EXPECT_TRUE(boxes.empty()) << "keeping the offered name is no rename";
    window.SendCommand(MainDialog::CM_EXPRESSION_RENAME);
    auto* editor = List()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr) << "the new row's label is being edited";
    editor->setText("Au revoir");
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::qWait(50);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"words", "keep", "Expression", "Expression 2", "Au revoir"}));
    EXPECT_NE(window.Window(), nullptr) << "Enter ends the edit, not the program";
    // Its own name in other letters is refused and nothing moves.
    auto before = TutorLessons::Snapshot(lesson);
    window.UpdateExpressionName(4, "AU REVOIR");
    EXPECT_EQ(boxes, (std::vector<std::string>{"Expression Exists"}));
    EXPECT_EQ(TutorLessons::Snapshot(lesson), before);
    lessonBytes = testsupport::ReadFileBytes(lesson);
    Click(0);
    for (int row : {2, 3, 4}) Click(row, Qt::ControlModifier);
    answer = IDCANCEL;
    window.SendCommand(MainDialog::CM_EXPRESSION_DELETE);
    EXPECT_EQ(Rows().size(), 5u);
    // Typing waits to be saved when the expression goes: no explanation is left behind.
    QTest::keyClicks(window.ControlAs<QPlainTextEdit>(MainDialog::kExplanation), "late");
    answer = IDOK;
    window.SendCommand(MainDialog::CM_EXPRESSION_DELETE);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"keep"}));
    QTest::qWait(1000);
    window.OpenLesson(explain);
    auto* edit = window.ControlAs<QPlainTextEdit>(MainDialog::kExplanation);
    EXPECT_TRUE(edit->toPlainText().isEmpty()) << "the placeholder is not text";
    QTest::keyClicks(edit, "fir");
    EXPECT_FALSE(said("One")) << "nothing is written while the tutor types";
    window.SendMessage(WM_ACTIVATE, 0);  // another window comes and goes: typing goes on where it was
    QTest::keyClicks(edit, "st");
    Click(1);  // within the delay
    EXPECT_EQ(said("One").value_or(""), "first");
    EXPECT_FALSE(said("Two"));
    QTest::qWait(100);  // the window's activation shows the expression afresh
    QTest::keyClicks(edit, "second");
    auto typedAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(testsupport::WaitFor([&] { return said("Two").has_value(); }, 5000));
    EXPECT_GE(std::chrono::steady_clock::now() - typedAt, std::chrono::milliseconds(600));
    EXPECT_EQ(said("Two").value_or(""), "second");
    EXPECT_FALSE(List()->topLevelItem(1)->icon(2).isNull()) << "the row shows its explanation mark";
    Click(2);
    QTest::keyClicks(edit, "typed");
    chosen = lessons.Folder() + "/notes.txt";
    window.SendCommand(MainDialog::CM_EXPLANATION_EXISTING);
    EXPECT_EQ(edit->toPlainText(), "From a file");
    Click(3);
    chosen = lessons.Folder() + "/empty.txt";
    window.SendCommand(MainDialog::CM_EXPLANATION_EXISTING);
  });
  EXPECT_EQ(testsupport::ReadFileBytes(lesson), lessonBytes);
  EXPECT_EQ(TutorLessons::Snapshot(lesson).size(), 2u) << "Words.ini and keep.raf; no page or explanation left behind";
  EXPECT_EQ(said("Three").value_or(""), "From a file");
  EXPECT_FALSE(said("Four"));
}

// A lesson that does not come through Open Lesson (given on the command line,
// or handed over by a later copy) still asks for its Login. New Lesson asks for
// a name until it is usable and replaces a lesson only on Yes.
TEST_F(TutorWindow, AHandedOverLessonAsksForItsLoginAndNewLessonForAUsableName) {
  struct {
    std::vector<QStringList> typed;       // names entered in turn; then the entry is cancelled
    int answer;                           // to the message box
    std::vector<std::string> boxes;       // captions seen
    std::string openAfter;                // title of the window at the end
    bool oldLessonKept, blocked = false;  // blocked: the lessons folder is a file, it cannot hold a lesson
  } cases[] = {{{{".."}, {"Colours"}}, IDOK, {"Name Invalid"}, "Orativo [Colours]", true},
               {{{"greetings"}, {"Shapes"}}, IDNO, {"Orativo"}, "Orativo [Shapes]", true},
               {{{"greetings"}}, IDCANCEL, {"Orativo"}, "Orativo [Numbers]", true},
               {{}, IDOK, {}, "Orativo [Numbers]", true},
               {{{"Fresh"}}, IDOK, {"New Lesson"}, "Orativo [Numbers]", true, true},
               {{{"GREETINGS"}}, IDYES, {"Orativo"}, "Orativo [GREETINGS]", false}};
  std::string old = lessons.MakeLesson("Greetings", {"Bonjour"});
  std::string open = lessons.MakeLesson("Numbers", {"Un"});
  testsupport::WriteFileText(lessons.Folder() + "/blocked", "");
  std::string locked = lessons.MakeLesson("Locked", {"One"});
  ProfileWriteBool(locked, "password", "enabled", true);
  ProfileWriteString(locked, "user", "name", "ann");
  ProfileWriteString(locked, "user", "pw", EncodeLessonPassword("secret"));
  ProfileFlush(locked);
  Run(locked, [&] {
    QTest::qWait(300);
    EXPECT_EQ(sheets, 1) << "the command line's lesson";
    EXPECT_EQ(window.LessonPath(), "");
    window.OpenLesson(locked);
    EXPECT_EQ(sheets, 2);
    EXPECT_EQ(window.LessonPath(), "");
    typed = {{"ann", "secret"}};
    window.OpenLesson(locked);
    EXPECT_EQ(sheets, 3);
    EXPECT_EQ(window.LessonPath(), locked);
    for (const auto& c : cases) {
      SCOPED_TRACE(c.openAfter + " " + std::to_string(c.typed.size()));
      window.OpenLesson(open);
      boxes.clear();
      answer = c.answer;
      typed = c.typed;
      RegSetUserSetting("SystemFolders", "TutorLessons", lessons.Folder() + (c.blocked ? "/blocked" : ""));
      window.SendCommand(MainDialog::CM_LESSON_NEW);
      EXPECT_EQ(boxes, c.boxes);
      EXPECT_EQ(window.Window()->windowTitle().toStdString(), c.openAfter);
      EXPECT_EQ(lessonfiles::FileExists(ExpressionRecordPath(old, "Bonjour")), c.oldLessonKept);
    }
  });
}

// A lesson file outside a folder of its own name is refused: renaming or
// deleting it would act on the folder it happens to lie in. A failed delete
// says so and shows what is left.
TEST_F(TutorWindow, ALooseLessonFileIsNotOpenedAndAFailedDeleteSaysSo) {
  std::string docs = lessons.Folder() + "/Documents";
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(docs)));
  testsupport::WriteFileText(docs + "/Greetings.ini", "[create]\n");
  testsupport::WriteFileText(docs + "/Greetings.raf", "");
  std::string lesson = lessons.MakeLesson("Stuck", {"One"});
  // The folder cannot be removed.
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(lesson.substr(0, lesson.rfind('/')) + "/inner")));
  Run(docs + "/Greetings.ini", [&] {
    // The command line's lesson is refused once the window is up; a slow
    // machine may take a while to get there.
    testsupport::WaitFor([&] { return !boxes.empty(); });
    EXPECT_EQ(window.LessonPath(), "");
    window.OpenLesson(docs + "/Greetings.ini");
    EXPECT_EQ(window.LessonPath(), "");
    EXPECT_EQ(boxes, (std::vector<std::string>{"Open Lesson", "Open Lesson"}));
    boxes.clear();
    window.OpenLesson(lesson);
    window.SendCommand(MainDialog::CM_LESSON_DELETE);
    EXPECT_EQ(boxes, (std::vector<std::string>{"Confirm Delete", "Delete Lesson"}));
    EXPECT_EQ(window.LessonPath().empty(), !lessonfiles::FileExists(lesson));
  });
}
