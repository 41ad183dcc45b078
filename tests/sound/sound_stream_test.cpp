#include "sound/sound_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/debug_log.h"

namespace {

// A source of 100 frames counting 1, 2, 3... on one channel.
class CountingSource : public LSoundSourceBase {
 public:
  explicit CountingSource(bool* deleted = nullptr) : LSoundSourceBase(8000, 1, kSampleFullScale), deleted_(deleted) {}
  ~CountingSource() override {
    if (deleted_) *deleted_ = true;
  }
  void Read(int32_t* buffer, int frames) override {
    for (int i = 0; i < frames; ++i, ++position_) buffer[i] = position_ >= 0 && position_ < 100 ? position_ + 1 : 0;
  }
  int GetPosition() override { return position_; }
  int GetLength() override { return 100; }
  void Seek(int position) override { position_ = position; }

 private:
  int position_ = 0;
  bool* deleted_;
};

}  // namespace

TEST(SoundSource, InvalidRateAndChannelsAreReplacedAndFlagged) {
  LDebugLogCapture log;
  struct Bad : LSoundSourceBase {
    Bad() : LSoundSourceBase(0, 0, 0) {}
    void Read(int32_t*, int) override {}
    int GetPosition() override { return 0; }
    int GetLength() override { return 0; }
  } bad;
  EXPECT_EQ(bad.sampleRate, 44100);
  EXPECT_EQ(bad.channels, 1);
  EXPECT_EQ(bad.error, kSoundBadFormat);
  EXPECT_TRUE(log.Contains("LSoundSourceBase::LSoundSourceBase SampleRate <= 0 ERROR"));
  EXPECT_TRUE(log.Contains("LSoundSourceBase::LSoundSourceBase nChans == 0 ERROR"));
}

TEST(SoundSource, NullSourceReadsZerosAndStaysAtZero) {
  LSoundSourceRef ref;
  EXPECT_EQ(ref->error, kSoundMissingSource);
  EXPECT_EQ(ref->sampleRate, 11025);
  EXPECT_EQ(ref->maxAmplitude, 0x200000u);
  std::vector<int32_t> buffer(10, 7);
  ref->Read(buffer.data(), 10);
  EXPECT_EQ(buffer, std::vector<int32_t>(10, 0));
  ref->Seek(50);
  EXPECT_EQ(ref->GetPosition(), 0);
  EXPECT_EQ(ref->GetLength(), 0);
  EXPECT_EQ(LSoundSourceRef::Null(kSoundCannotOpen)->error, kSoundCannotOpen);
}

TEST(SoundSource, HandlesShareAndFreeOnLastRelease) {
  bool deleted = false;
  {
    LSoundSourceRef a(new CountingSource(&deleted));
    LSoundSourceRef b = a;
    EXPECT_EQ(a->refCount, 2);
    b = b;  // self-assignment keeps the object
    EXPECT_EQ(a->refCount, 2);
    b.Reset();
    EXPECT_EQ(b->error, kSoundMissingSource);
    EXPECT_EQ(a->refCount, 1);
    EXPECT_FALSE(deleted);
  }
  EXPECT_TRUE(deleted);
}

TEST(SoundTime, SamplesToMilliseconds) {
  LSoundTime t;
  t.SetSamples(22050, 22050);
  EXPECT_EQ(t.ms, 1000);
  LDebugLogCapture log;
  t.SetSamples(5, 0);
  EXPECT_EQ(t.ms, 1000);
  EXPECT_TRUE(log.Contains("LSoundTime::SetSamples samplerate <= 0"));
  // Ten hours at 44.1 kHz would overflow a one-step 32-bit product.
  t.SetSamples(44100 * 36000, 44100);
  EXPECT_EQ(t.ms, 36000000);
  EXPECT_EQ(LSoundTime::MsToFrames(36000000, 44100), 44100 * 36000);
  EXPECT_EQ(LSoundTime::MsToFrames(250, 8000), 2000);
}

TEST(SoundTime, TextForms) {
  EXPECT_EQ(LSoundTime(-1500).GetTextMilliseconds(), "-0:00:01.500");
  EXPECT_EQ(LSoundTime(1234567).GetTextHundredths(), "0:20:34.57");
  EXPECT_EQ(LSoundTime(3723999).GetTextMilliseconds(), "1:02:03.999");
  LSoundTime t;
  t.SetText("1:02:03.5");
  EXPECT_EQ(t.ms, 3723500);
  t.SetText("-0:00:01.500");
  EXPECT_EQ(t.ms, -1500);
  t.SetText("0:00:02.12345");
  EXPECT_EQ(t.ms, 2123);
  t.SetText(LSoundTime(7384005).GetTextMilliseconds().c_str());
  EXPECT_EQ(t.ms, 7384005);
}

namespace {

struct PlainSource : LSoundSourceBase {
  PlainSource(int32_t rate, unsigned channels) : LSoundSourceBase(rate, channels, kSampleFullScale) {}
  void Read(int32_t*, int) override {}
  int GetPosition() override { return 0; }
  int GetLength() override { return 0; }
};

struct PlainSink : LSoundSinkBase {
  PlainSink(unsigned channels, bool* deleted = nullptr) : LSoundSinkBase(8000, channels), deleted_(deleted) {}
  ~PlainSink() override {
    if (deleted_) *deleted_ = true;
  }
  void Write(const int32_t*, int frames) override { sPosition += frames; }
  bool* deleted_;
};

}  // namespace

TEST(SoundSource, ChannelCountsThatDoNotFitAreInvalid) {
  // 256 would wrap to 0 and 257 to 1 in the 8-bit field.
  for (unsigned count : {256u, 257u, 70000u}) {
    PlainSource source(8000, count);
    EXPECT_EQ(source.channels, 1) << count;
    EXPECT_EQ(source.error, kSoundBadFormat) << count;
  }
  PlainSource ok(8000, 255);
  EXPECT_EQ(ok.channels, 255);
  EXPECT_EQ(ok.error, kSoundOk);
  EXPECT_FALSE(PlainSink(256).IsUsable());
  EXPECT_TRUE(PlainSink(255).IsUsable());
}

TEST(SoundSink, ZeroChannelsAndHandles) {
  LDebugLogCapture log;
  bool deleted = false;
  {
    LSoundSinkRef a(new PlainSink(0, &deleted));
    EXPECT_FALSE(a.IsUsable());
    EXPECT_EQ(a->channels, 1);
    EXPECT_TRUE(log.Contains("LSoundSinkBase::LSoundSinkBase nChans == 0"));
    LSoundSinkRef b;
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_FALSE(b.IsUsable());
    b = a;
    b = b;
    EXPECT_EQ(a->refCount, 2);
    a.Release();
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_FALSE(deleted);
    b->Write(nullptr, 5);
    EXPECT_EQ(b->sPosition, 5);
  }
  EXPECT_TRUE(deleted);
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

TEST(SoundTime, ConversionsStayDefined) {
  EXPECT_EQ(LSoundTime::FramesToMs(1000, 0), 0);
  EXPECT_EQ(LSoundTime::FramesToMs(-1500, 1000), -1500);
  EXPECT_EQ(LSoundTime::FramesToMs(7, 10000000), 0);
  EXPECT_EQ(LSoundTime::FramesToMs(INT32_MAX, 196000), 10956549);
  EXPECT_EQ(LSoundTime::MsToFrames(999, 196000), 195804);
  EXPECT_EQ(LSoundTime::MsToFrames(-250, 8000), -2000);
  LSoundTime t;
  t.SetText("99999999999999999999999999:99999999999999");
  EXPECT_EQ(t.ms, INT32_MAX);
  t.SetText("-x1y:2z");  // stray characters are skipped
  EXPECT_EQ(t.ms, -62000);
  t.SetText("");
  EXPECT_EQ(t.ms, 0);
}
