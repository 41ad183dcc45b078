#include "controls/db_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

TEST(LDBEdit, ValueIsClampedToTheRangeAndShownAsText) {
  LDBEdit edit(nullptr, false, 7);
  edit.resize(200, 20);
  edit.SetValue(-40);
  EXPECT_EQ(edit.GetValue(), -36);
  EXPECT_EQ(edit.EditField()->text(), "-36dB");
  edit.SetRange(-127, 127);
  edit.SetValue(-127);
  EXPECT_EQ(edit.EditField()->text(), "--dB");
}

TEST(LDBEdit, ParsesTypedText) {
  EXPECT_EQ(LDBEdit::ParseValueText("5"), 5);
  EXPECT_EQ(LDBEdit::ParseValueText("-12dB"), -12);
  EXPECT_EQ(LDBEdit::ParseValueText("1-2"), -12);  // a minus anywhere
  EXPECT_EQ(LDBEdit::ParseValueText("--dB"), -127);
  EXPECT_EQ(LDBEdit::ParseValueText("-1-"), -127);
  EXPECT_EQ(LDBEdit::ParseValueText("9999"), 127);
  EXPECT_EQ(LDBEdit::ParseValueText("dB"), 0);
}

TEST(LDBEdit, TypingNotifiesTheParentOnceAtOnce) {
  LDBEdit edit(nullptr, false, 7);
  edit.resize(200, 20);
  QSignalSpy spy(&edit, &LDBEdit::Command);
  edit.EditField()->setText("");
  QTest::keyClicks(edit.EditField(), "5");
  EXPECT_EQ(edit.GetValue(), 5);
  ASSERT_EQ(spy.count(), 1);  // sent, not posted
  EXPECT_EQ(spy[0][0].toInt(), 7);
  EXPECT_EQ(spy[0][1].toInt(), LDBEdit::kNotifyChange);
  EXPECT_EQ(edit.EditField()->text(), "5");  // typed text is not rewritten
}

TEST(LDBEdit, DraggingTheThumbFollowsThePointerAndPostsNotices) {
  LDBEdit edit(nullptr, true, 3);  // compact: the slider spans the whole width
  edit.resize(97, 20);
  edit.SetValue(0);
  QSignalSpy spy(&edit, &LDBEdit::Command);
  QPoint thumb = edit.ThumbRect().center();
  QTest::mousePress(&edit, Qt::LeftButton, Qt::NoModifier, thumb);
  QMouseEvent drag(QEvent::MouseMove, QPointF(24, 10), edit.mapToGlobal(QPointF(24, 10)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&edit, &drag);
  EXPECT_EQ(edit.GetValue(), -36 + 24 * 48 / 97);
  EXPECT_EQ(spy.count(), 0);  // posted
  QCoreApplication::processEvents();
  EXPECT_EQ(spy.count(), 1);
  QTest::mouseRelease(&edit, Qt::LeftButton, Qt::NoModifier, QPoint(24, 10));
}

TEST(LDBEdit, KeypadStepsInCompactFormOnly) {
  LDBEdit compact(nullptr, true);
  compact.resize(100, 20);
  compact.SetValue(11);
  QTest::keyClick(&compact, Qt::Key_Plus, Qt::KeypadModifier);
  QTest::keyClick(&compact, Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(compact.GetValue(), 12);
  QTest::keyClick(&compact, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(compact.GetValue(), 11);
}
