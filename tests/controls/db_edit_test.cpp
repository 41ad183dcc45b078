// The dB slider and the level meter.
#include "controls/db_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "controls/level_meter.h"

// Digits are appended, a minus anywhere makes the number negative, a second
// one is the floor.
TEST(LDBEdit, ParsesTypedText) {
  const std::pair<const char*, int> cases[] = {{"5", 5},      {"-12dB", -12}, {"1-2", -12}, {"--dB", -127},
                                               {"-1-", -127}, {"9999", 127},  {"dB", 0}};
  for (auto [text, value] : cases) EXPECT_EQ(LDBEdit::ParseValueText(text), value) << text;
}

// The value is clamped to the range and shown as text; typing notifies the
// parent once, at once, and the typed text is not rewritten.
TEST(LDBEdit, ClampedShownAndTyped) {
  LDBEdit edit(nullptr, false, 7);
  edit.resize(200, 20);
  edit.SetValue(-40);
  EXPECT_EQ(edit.GetValue(), -36);
  EXPECT_EQ(edit.EditField()->text(), "-36dB");
  QSignalSpy spy(&edit, &LDBEdit::Command);
  edit.EditField()->setText("");
  QTest::keyClicks(edit.EditField(), "5");
  EXPECT_EQ(edit.GetValue(), 5);
  ASSERT_EQ(spy.count(), 1);  // sent, not posted
  EXPECT_EQ(spy[0], (QList<QVariant>{7, LDBEdit::kNotifyChange}));
  EXPECT_EQ(edit.EditField()->text(), "5");
  edit.SetRange(-127, 127);
  edit.SetValue(-127);
  EXPECT_EQ(edit.EditField()->text(), "--dB");
}

// Compact, the slider spans the whole width: a drag follows the pointer and
// posts its notices; the keypad's + and - step.
TEST(LDBEdit, CompactDragAndKeypad) {
  LDBEdit edit(nullptr, true, 3);
  edit.resize(97, 20);
  edit.SetValue(0);
  QSignalSpy spy(&edit, &LDBEdit::Command);
  QTest::mousePress(&edit, Qt::LeftButton, Qt::NoModifier, edit.ThumbRect().center());
  QMouseEvent drag(QEvent::MouseMove, QPointF(24, 10), edit.mapToGlobal(QPointF(24, 10)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&edit, &drag);
  EXPECT_EQ(edit.GetValue(), -36 + 24 * 48 / 97);
  EXPECT_EQ(spy.count(), 0);  // posted
  QCoreApplication::processEvents();
  EXPECT_EQ(spy.count(), 1);
  QTest::mouseRelease(&edit, Qt::LeftButton, Qt::NoModifier, QPoint(24, 10));
  edit.SetValue(11);
  QTest::keyClick(&edit, Qt::Key_Plus, Qt::KeypadModifier);
  QTest::keyClick(&edit, Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(edit.GetValue(), 12);
  QTest::keyClick(&edit, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(edit.GetValue(), 11);
}

// The level meter keeps to the channels it has room for.
TEST(LDBDisplay, NineChannelsShowEight) {
  LDBDisplay meter;
  meter.resize(97, 33);
  LLevelRecord record;
  record.channels = 9;
  for (int i = 0; i < 9; ++i) record.level[i] = 12;
  meter.SetLevels(record);
  EXPECT_EQ(meter.ChannelCount(), 8);
  EXPECT_FALSE(meter.grab().isNull());
}
