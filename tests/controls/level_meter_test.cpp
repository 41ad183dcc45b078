#include "controls/level_meter.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

LLevelRecord Levels(std::initializer_list<int> levels) {
  LLevelRecord record;
  record.channels = uint8_t(levels.size());
  int i = 0;
  for (int level : levels) record.level[i++] = int8_t(level);
  return record;
}

QImage Render(QWidget& widget) { return widget.grab().toImage(); }

bool IsGreen(QColor c) { return c.green() > 100 && c.red() < 120 && c.blue() < 120; }
bool IsRed(QColor c) { return c.red() > 100 && c.green() < 100 && c.blue() < 100; }
bool IsBlack(QColor c) { return c.red() == 0 && c.green() == 0 && c.blue() == 0; }

}  // namespace

TEST(LDBDisplay, ZeroDecibelsSitsAtThreeQuartersOfTheWidth) {
  LDBDisplay meter;
  meter.resize(193, 20);
  EXPECT_EQ(meter.ColumnOf(0), 144);  // 36 * 192 / 48
  EXPECT_EQ(meter.ColumnOf(-36), 0);
  EXPECT_EQ(meter.ColumnOf(12), 192);

  meter.SetLevels(Levels({0}));
  QImage image = Render(meter);
  EXPECT_TRUE(IsGreen(image.pixelColor(143, 8)));
  EXPECT_TRUE(IsBlack(image.pixelColor(145, 8)));
}

TEST(LDBDisplay, GreenThenRedAboveZeroAndClampedToTheScale) {
  LDBDisplay meter;
  meter.resize(193, 20);
  meter.SetLevels(Levels({20}));
  EXPECT_EQ(meter.Level(0), 12);
  QImage image = Render(meter);
  EXPECT_TRUE(IsGreen(image.pixelColor(100, 8)));
  EXPECT_TRUE(IsRed(image.pixelColor(150, 8)));
  EXPECT_TRUE(IsRed(image.pixelColor(190, 8)));

  meter.SetLevels(Levels({-50}));
  EXPECT_EQ(meter.Level(0), -36);
  image = Render(meter);
  for (int x : {0, 50, 150, 190}) EXPECT_TRUE(IsBlack(image.pixelColor(x, 8))) << x;
  // The frame: white along the bottom and the right edge.
  EXPECT_EQ(image.pixelColor(50, 19), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(192, 5), QColor(Qt::white));
}

TEST(LDBDisplay, ChannelsSplitIntoBandsAndNineChannelsShowEight) {
  LDBDisplay meter;
  meter.resize(97, 33);
  meter.SetLevels(Levels({0, -36}));
  QImage image = Render(meter);
  EXPECT_TRUE(IsGreen(image.pixelColor(40, 5)));   // band 0: rows 0..15
  EXPECT_TRUE(IsBlack(image.pixelColor(40, 25)));  // band 1: rows 16..31

  meter.SetLevels(Levels({12, 12, 12, 12, 12, 12, 12, 12, -36}));
  EXPECT_EQ(meter.ChannelCount(), 8);
  image = Render(meter);
  EXPECT_TRUE(IsRed(image.pixelColor(90, 30)));  // the eighth band is full; no ninth
}

TEST(LDBDisplay, DisabledOrEmptyMeterIsGrey) {
  LDBDisplay meter;
  meter.resize(50, 10);
  EXPECT_EQ(Render(meter).pixelColor(20, 5), QColor(128, 128, 128));
  meter.SetLevels(Levels({0}));
  meter.setEnabled(false);
  EXPECT_EQ(Render(meter).pixelColor(20, 5), QColor(128, 128, 128));
}

TEST(LDBDisplay, BitmapsAreNineByThirtyTwoWithShading) {
  QImage green = LDBGreenBitmap();
  EXPECT_EQ(green.size(), QSize(9, 32));
  EXPECT_NE(green.pixelColor(3, 10), green.pixelColor(3, 30));
  EXPECT_EQ(LDBRedBitmap().size(), QSize(9, 32));
}
