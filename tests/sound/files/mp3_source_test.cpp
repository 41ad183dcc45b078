#include "sound/files/mp3_source.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/debug_log.h"
#include "sound/files/audio_file_open.h"
#include "tests/sound/files/mp3_fixtures.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::TempFolder;
using testsupport::WriteFileBytes;

std::vector<int32_t> ReadBlock(LMP3Source& source, int frames) {
  std::vector<int32_t> out(size_t(frames) * source.channels, 12345);
  source.Read(out.data(), frames);
  return out;
}

TEST(LMP3Source, ReportsFormatOfTheFirstHeader) {
  REQUIRE_COMMAND("lame");
  TempFolder folder;
  ASSERT_TRUE(mp3test::MakeMp3(folder.Path(), "a.mp3", 22050, 1, 0.5, "-b 32"));
  LMP3Source source(folder.File("a.mp3"));
  EXPECT_EQ(source.error, kSoundOk);
  EXPECT_EQ(source.sampleRate, 22050);
  EXPECT_EQ(source.channels, 1);
  EXPECT_EQ(source.maxAmplitude, 0x200000u);
  EXPECT_EQ(source.GetPosition(), 0);
  EXPECT_GT(source.GetLength(), 22050 / 2);
}

TEST(LMP3Source, UnusableFilesGiveErrorCodesAndSilence) {
  TempFolder folder;
  LMP3Source missing(folder.File("none.mp3"));
  EXPECT_EQ(missing.error, kSoundCannotOpen);

  ASSERT_TRUE(testsupport::WriteFileText(folder.File("text.mp3"), std::string(5000, 'x')));
  LDebugLogCapture log;
  LMP3Source text(folder.File("text.mp3"));
  EXPECT_EQ(text.error, kSoundBadFormat);
  EXPECT_TRUE(log.Contains("LMP3Source::LMP3Source DecodeInitialHeader FAILED so SetError"));
  EXPECT_EQ(text.GetLength(), 0);
  const std::vector<int32_t> block = ReadBlock(text, 100);
  EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](int32_t v) { return v == 0; }));
  EXPECT_EQ(text.GetPosition(), 100);

  // More than 65,535 bytes before the first header: not found.
  std::vector<uint8_t> far = mp3test::Junk(70000, 3);
  const uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x64};
  far.insert(far.end(), header, header + 4);
  far.resize(far.size() + 600, 0);
  ASSERT_TRUE(WriteFileBytes(folder.File("far.mp3"), far));
  LMP3Source tooFar(folder.File("far.mp3"));
  EXPECT_EQ(tooFar.error, kSoundBadFormat);
}

// A tag or other data before the first frame is slid over.
TEST(LMP3Source, PlaysAfterTenThousandBytesOfJunk) {
  REQUIRE_COMMAND("lame");
  TempFolder folder;
  ASSERT_TRUE(mp3test::MakeMp3(folder.Path(), "clean.mp3", 44100, 2, 1.0, "-b 128"));
  std::vector<uint8_t> bytes = mp3test::Junk(10000, 7);
  const std::vector<uint8_t> clean = ReadFileBytes(folder.File("clean.mp3"));
  bytes.insert(bytes.end(), clean.begin(), clean.end());
  ASSERT_TRUE(WriteFileBytes(folder.File("junk.mp3"), bytes));

  const std::vector<int32_t> expected = mp3test::DecodeRaw(folder.File("clean.mp3"));
  LMP3Source source(folder.File("junk.mp3"));
  ASSERT_EQ(source.error, kSoundOk);
  EXPECT_EQ(source.sampleRate, 44100);
  const std::vector<int32_t> got = mp3test::DecodeRaw(folder.File("junk.mp3"));
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(got, expected);
}

TEST(LMP3Source, XingFrameGivesExactLengthAtOnce) {
  REQUIRE_COMMAND("lame");
  TempFolder folder;
  ASSERT_TRUE(mp3test::MakeMp3(folder.Path(), "vbr.mp3", 44100, 2, 1.5, "-V 2"));
  const mp3test::Pcm reference = mp3test::DecodeReference(folder.File("vbr.mp3"));
  LMP3Source source(folder.File("vbr.mp3"));
  ASSERT_EQ(source.error, kSoundOk);
  ASSERT_GT(source.VbrFrameCount(), 0);
  EXPECT_EQ(source.GetLength(), int(reference.Frames()));
  EXPECT_EQ(source.GetLength(), source.VbrFrameCount() * 1152);
  // Reading does not move an exact length.
  ReadBlock(source, 30000);
  EXPECT_EQ(source.GetLength(), int(reference.Frames()));
}

// Without an information frame the length is an estimate that follows the
// stream and ends exactly where the material ends.
TEST(LMP3Source, LengthEstimateSettlesAtTheTrueEnd) {
  REQUIRE_COMMAND("lame");
  TempFolder folder;
  // Variable rate without an information frame: the first frames say little about the rest.
  ASSERT_TRUE(mp3test::MakeMp3(folder.Path(), "est.mp3", 44100, 1, 2.0, "-t -V 0"));
  const mp3test::Pcm reference = mp3test::DecodeReference(folder.File("est.mp3"));
  LMP3Source source(folder.File("est.mp3"));
  ASSERT_EQ(source.error, kSoundOk);
  EXPECT_EQ(source.VbrFrameCount(), 0);
  const int first = source.GetLength();
  std::vector<int> seen{first};
  while (source.GetPosition() < source.GetLength()) {
    ReadBlock(source, 1152);
    seen.push_back(source.GetLength());
  }
  EXPECT_EQ(source.GetLength(), int(reference.Frames()));
  EXPECT_EQ(source.GetPosition(), source.GetLength());
  EXPECT_GT(std::set<int>(seen.begin(), seen.end()).size(), size_t(1)) << "the estimate never moved";
  // Beyond the end: zeros, and the position still advances.
  const int end = source.GetPosition();
  const std::vector<int32_t> tail = ReadBlock(source, 500);
  EXPECT_TRUE(std::all_of(tail.begin(), tail.end(), [](int32_t v) { return v == 0; }));
  EXPECT_EQ(source.GetPosition(), end + 500);
}

// A stretch at another sample rate is skipped; the rest plays on.
TEST(LMP3Source, SkipsFramesOfAnotherSampleRate) {
  REQUIRE_COMMAND("lame");
  TempFolder folder;
  ASSERT_TRUE(mp3test::MakeMp3(folder.Path(), "a.mp3", 44100, 2, 0.5, "-t -b 128", 1));
  ASSERT_TRUE(mp3test::MakeMp3(folder.Path(), "b.mp3", 48000, 2, 0.5, "-t -b 128", 2));
  const std::vector<uint8_t> a = ReadFileBytes(folder.File("a.mp3")), b = ReadFileBytes(folder.File("b.mp3"));
  const auto framesA = mp3test::SplitFrames(a), framesB = mp3test::SplitFrames(b);
  ASSERT_GT(framesA.size(), size_t(15));
  ASSERT_GT(framesB.size(), size_t(6));
  std::vector<uint8_t> mixed = mp3test::Slice(a, framesA, 0, 10);
  const std::vector<uint8_t> other = mp3test::Slice(b, framesB, 0, 6);
  mixed.insert(mixed.end(), other.begin(), other.end());
  const std::vector<uint8_t> rest = mp3test::Slice(a, framesA, 10, framesA.size());
  mixed.insert(mixed.end(), rest.begin(), rest.end());
  ASSERT_TRUE(WriteFileBytes(folder.File("mixed.mp3"), mixed));

  const std::vector<int32_t> expected = mp3test::DecodeRaw(folder.File("a.mp3"));
  LMP3Source source(folder.File("mixed.mp3"));
  ASSERT_EQ(source.error, kSoundOk);
  EXPECT_EQ(source.sampleRate, 44100);
  const std::vector<int32_t> got = mp3test::DecodeRaw(folder.File("mixed.mp3"));
  // The 48 kHz frames leave no trace: the output is that of the 44.1 kHz stream alone.
  EXPECT_EQ(got, expected);
}

TEST(LMP3Source, OpensThroughTheAudioFileFactoryByExtension) {
  REQUIRE_COMMAND("lame");
  TempFolder folder;
  ASSERT_TRUE(mp3test::MakeMp3(folder.Path(), "Upper.MP3", 24000, 2, 0.3, "-b 64"));
  LSoundSourceRef ref = OpenAudioFileSource(folder.File("Upper.MP3"));
  ASSERT_NE(dynamic_cast<LMP3Source*>(ref.Get()), nullptr);
  EXPECT_EQ(ref->error, kSoundOk);
  EXPECT_EQ(ref->sampleRate, 24000);
  EXPECT_EQ(ref->refCount, 1);

  LSoundSourceRef missing = OpenAudioFileSource(folder.File("missing.mp3"));
  EXPECT_EQ(missing->error, kSoundCannotOpen);
  ASSERT_TRUE(testsupport::WriteFileText(folder.File("bad.mp3"), "not audio"));
  EXPECT_EQ(OpenAudioFileSource(folder.File("bad.mp3"))->error, kSoundBadFormat);
}

}  // namespace
