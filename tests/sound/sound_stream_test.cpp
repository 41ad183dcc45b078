#include "sound/sound_stream.h"

#include <gtest/gtest.h>

#include "tests/support/memory_audio.h"

using namespace testsupport;

// A rate of 0 and channel counts that do not fit the 8-bit field (256 would
// wrap to 0, 257 to 1) make the stream invalid, with usable stand-in values.
TEST(SoundStream, FormatsThatDoNotFitAreInvalid) {
  const std::pair<int, unsigned> cases[] = {{0, 0}, {8000, 0}, {8000, 256}, {8000, 257}, {8000, 70000}, {8000, 255}};
  for (auto [rate, count] : cases) {
    SCOPED_TRACE(count);
    const bool fits = rate > 0 && count > 0 && count < 256;
    MemorySource source({}, rate, count, kSampleFullScale);
    EXPECT_EQ(source.error, fits ? kSoundOk : kSoundBadFormat);
    EXPECT_EQ(source.sampleRate, rate ? rate : 44100);
    EXPECT_EQ(source.channels, fits ? count : 1);
    EXPECT_EQ(MemorySink(8000, count).IsUsable(), count > 0 && count < 256);
    EXPECT_EQ(MemorySink(8000, count).channels, count > 0 && count < 256 ? count : 1);
  }
}

// Handles share their object and free it on the last release; an empty
// source handle reads zeros and stays at zero.
TEST(SoundStream, HandlesShareAndFreeOnLastRelease) {
  bool sourceDeleted = false, sinkDeleted = false;
  {
    LSoundSourceRef a(new MemorySource({1}, 8000, 1, kSampleFullScale, &sourceDeleted));
    LSoundSourceRef b = a;
    b = b;  // self-assignment keeps the object
    EXPECT_EQ(a->refCount, 2);
    b.Reset();
    EXPECT_EQ(b->error, kSoundMissingSource);
    std::vector<int32_t> buffer(10, 7);
    b->Read(buffer.data(), 10);
    EXPECT_EQ(buffer, std::vector<int32_t>(10, 0));
    b->Seek(50);
    EXPECT_EQ(b->GetPosition(), 0);
    EXPECT_EQ(b->GetLength(), 0);
    EXPECT_EQ(LSoundSourceRef::Null(kSoundCannotOpen)->error, kSoundCannotOpen);
    EXPECT_EQ(a->refCount, 1);

    LSoundSinkRef c(new MemorySink(8000, 1, &sinkDeleted)), d;
    EXPECT_TRUE(d.IsEmpty());
    d = c;
    d = d;
    EXPECT_EQ(c->refCount, 2);
    c.Release();
    EXPECT_TRUE(c.IsEmpty());
    d->Write(std::vector<int32_t>(5).data(), 5);
    EXPECT_EQ(d->sPosition, 5);
    EXPECT_FALSE(sourceDeleted || sinkDeleted);
  }
  EXPECT_TRUE(sourceDeleted && sinkDeleted);
}

TEST(SoundTime, ConversionsAndTextFormsStayDefined) {
  LSoundTime t;
  t.SetSamples(22050, 22050);
  EXPECT_EQ(t.ms, 1000);
  t.SetSamples(5, 0);
  EXPECT_EQ(t.ms, 1000);
  // Ten hours at 44.1 kHz would overflow a one-step 32-bit product.
  t.SetSamples(44100 * 36000, 44100);
  EXPECT_EQ(t.ms, 36000000);
  EXPECT_EQ(LSoundTime::MsToFrames(36000000, 44100), 44100 * 36000);
  EXPECT_EQ(LSoundTime::FramesToMs(1000, 0), 0);
  EXPECT_EQ(LSoundTime::FramesToMs(-1500, 1000), -1500);
  EXPECT_EQ(LSoundTime::FramesToMs(7, 10000000), 0);
  EXPECT_EQ(LSoundTime::FramesToMs(INT32_MAX, 196000), 10956549);
  EXPECT_EQ(LSoundTime::MsToFrames(999, 196000), 195804);
  EXPECT_EQ(LSoundTime::MsToFrames(-250, 8000), -2000);
  EXPECT_EQ(LSoundTime(-1500).GetTextMilliseconds(), "-0:00:01.500");
  EXPECT_EQ(LSoundTime(1234567).GetTextHundredths(), "0:20:34.57");
  EXPECT_EQ(LSoundTime(3723999).GetTextMilliseconds(), "1:02:03.999");
  // Runaway numbers saturate; stray characters are skipped.
  const std::pair<const char*, int> texts[] = {{"1:02:03.5", 3723500},
                                               {"-0:00:01.500", -1500},
                                               {"0:00:02.12345", 2123},
                                               {"2:03:04.005", 7384005},
                                               {"99999999999999999999999999:99999999999999", INT32_MAX},
                                               {"-x1y:2z", -62000},
                                               {"", 0}};
  for (const auto& [text, ms] : texts) {
    LSoundTime t;
    t.SetText(text);
    EXPECT_EQ(t.ms, ms) << text;
  }
}

TEST(SoundSample, ConversionsAtTheExtremesWrapWithoutOverflow) {
  EXPECT_EQ(SampleTo16(INT32_MAX), 0);  // (2^31 + 7) >> 4 is 2^27: the low 16 bits are 0
  EXPECT_EQ(SampleTo16(INT32_MIN), 0);
  EXPECT_EQ(SampleTo16(0x7FFF7), 32767);
  EXPECT_EQ(SampleTo16(0x7FFF8), -32768);
  EXPECT_EQ(SampleTo8(INT32_MAX), 128);
  EXPECT_EQ(SampleTo8(INT32_MIN), 128);
  EXPECT_EQ(SampleTo8(-2049), 127);
  EXPECT_EQ(SampleTo8(-2048), 128);
}
