#include "sound/files/mp3_source.h"

#include <gtest/gtest.h>

#include "tests/sound/files/mp3_fixtures.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::TempFolder;
using testsupport::WriteFileBytes;

// Missing and garbage files are the opener's test (decode_tool_test).
TEST(LMP3Source, UnusableFilesReadSilence) {
  TempFolder folder;
  ASSERT_TRUE(testsupport::WriteFileText(folder.File("text.mp3"), std::string(5000, 'x')));
  LMP3Source text(folder.File("text.mp3"));
  EXPECT_EQ(text.error, kSoundBadFormat);
  EXPECT_EQ(text.GetLength(), 0);
  std::vector<int32_t> block(100, 12345);
  text.Read(block.data(), 100);
  EXPECT_EQ(block, std::vector<int32_t>(100));
  EXPECT_EQ(text.GetPosition(), 100);

  // More than 65,535 bytes of junk before the first header: not found.
  std::vector<uint8_t> far = mp3test::Junk(70000, 3);
  mp3test::Append(far, {0xFF, 0xFB, 0x90, 0x64});
  far.resize(far.size() + 600, 0);
  ASSERT_TRUE(WriteFileBytes(folder.File("far.mp3"), far));
  EXPECT_EQ(LMP3Source(folder.File("far.mp3")).error, kSoundBadFormat);
}

// A stretch at another sample rate is skipped; the rest plays on.
TEST(LMP3Source, SkipsFramesOfAnotherSampleRate) {
  REQUIRE_COMMAND("lame");
  TempFolder folder;
  ASSERT_TRUE(mp3test::MakeMp3(folder.Path(), "a.mp3", 44100, 2, 0.5, "-t -b 128", 1));
  ASSERT_TRUE(mp3test::MakeMp3(folder.Path(), "b.mp3", 48000, 2, 0.5, "-t -b 128", 2));
  const std::vector<uint8_t> a = ReadFileBytes(folder.File("a.mp3")), b = ReadFileBytes(folder.File("b.mp3"));
  const auto framesA = mp3test::SplitFrames(a), framesB = mp3test::SplitFrames(b);
  ASSERT_GT(framesB.size(), size_t(6));
  std::vector<uint8_t> mixed = mp3test::Slice(a, framesA, 0, 10);
  mp3test::Append(mixed, mp3test::Slice(b, framesB, 0, 6));
  mp3test::Append(mixed, mp3test::Slice(a, framesA, 10, framesA.size()));
  ASSERT_TRUE(WriteFileBytes(folder.File("mixed.mp3"), mixed));
  // The 48 kHz frames leave no trace: the output is that of the 44.1 kHz stream alone.
  EXPECT_EQ(mp3test::DecodeRaw(folder.File("mixed.mp3")), mp3test::DecodeRaw(folder.File("a.mp3")));
}

}  // namespace
