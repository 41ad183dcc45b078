#include "controls/panel_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/test_support.h"

// A first take from a later point continues the file's own audio, bit for
// bit, when the formats agree; otherwise it starts at the beginning.
TEST(LPanelTake, FirstTakeFromLaterContinuesTheFilesAudio) {
  testsupport::TempFolder folder;
  const std::string path = folder.File("hello.wav");
  std::vector<int16_t> old = testsupport::Tone(8000, 2, 16000, 300, 9000);
  ASSERT_TRUE(testsupport::WriteWav16(path, 8000, 2, old));
  for (int32_t rate : {8000, 11025}) {
    SCOPED_TRACE(rate);
    LPanelFile file("hello", path, rate, 2);
    LPanelTake take(file);
    LSoundSinkRef sink = take.OpenSink(1000);
    ASSERT_TRUE(sink.IsUsable());
    const int32_t start = rate == 8000 ? 8000 : 0;
    EXPECT_EQ(sink->sPosition, start);
    EXPECT_FALSE(take.TakeHoldsAudio());  // the copy alone is no recording
    std::vector<int32_t> added(size_t(4000) * 2, SampleFrom16(1234));
    sink->Write(added.data(), 4000);
    sink.Release();
    int readRate = 0, channels = 0;
    std::vector<int16_t> samples;
    ASSERT_TRUE(testsupport::ReadWav16(take.WorkPath(), &readRate, &channels, &samples));
    ASSERT_EQ(samples.size(), size_t(start + 4000) * 2);
    EXPECT_TRUE(std::equal(samples.begin(), samples.begin() + start * 2, old.begin()));
    EXPECT_EQ(samples.back(), 1234);
    EXPECT_TRUE(take.TakeHoldsAudio());
  }
  // Neither take was finished: the work file is gone.
  EXPECT_FALSE(testsupport::ReadFileBytes(folder.File("hello.take.wav")).size());
}
