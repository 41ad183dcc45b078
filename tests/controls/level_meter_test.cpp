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
