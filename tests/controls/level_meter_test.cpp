// The level meter keeps to the channels it has room for.
#include "controls/level_meter.h"

#include <gtest/gtest.h>

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
