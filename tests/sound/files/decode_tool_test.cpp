// orativo-decode run as a program, and the opener it shares with the program.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sound/files/audio_file_open.h"
#include "tests/support/riff.h"
#include "tests/support/test_support.h"

using testsupport::ReadFileBytes;
using testsupport::RunTool;
using testsupport::TempFolder;

TEST(DecodeTool, FloatOutputKeepsTheEngineScale) {
  REQUIRE_COMMAND("sox");
  TempFolder temp;
  std::string in = temp.File("in.wav"), out = temp.File("out.wav");
  std::vector<int16_t> samples = {0, 1, -1, 32767, -32768, 1234, -4321, 16};
  ASSERT_TRUE(testsupport::WriteWav16(in, 16000, 2, samples));
  ASSERT_EQ(RunTool("orativo-decode", {"--float", in, out}), 0);
  std::vector<uint8_t> bytes = ReadFileBytes(out);
  ASSERT_EQ(bytes.size(), 58 + samples.size() * 4);
  EXPECT_EQ(bytes[20], 3);  // IEEE float
  std::vector<float> got(samples.size()), want;
  std::memcpy(got.data(), bytes.data() + 58, got.size() * 4);
  for (int16_t s : samples) want.push_back(float(s * 16) / 524288.0f);
  EXPECT_EQ(got, want);
  // Another program reads it as the same samples.
  std::vector<int16_t> viaSox = testsupport::SoxDecode16(out);
  ASSERT_EQ(viaSox.size(), samples.size());
  for (size_t i = 0; i < samples.size(); ++i) EXPECT_NEAR(viaSox[i], samples[i], 1) << i;
}

TEST(DecodeTool, StretchAndLimitOptionsAndFilesItCannotPlay) {
  TempFolder temp;
  std::string in = temp.File("in.wav");
  ASSERT_TRUE(testsupport::WriteWav16(in, 22050, 1, testsupport::Tone(22050, 1, 22050, 300, 20000)));
  auto decode = [&](std::vector<std::string> arguments) {
    const std::string out = temp.File("out.wav");
    arguments.insert(arguments.end(), {in, out});
    EXPECT_EQ(RunTool("orativo-decode", arguments), 0) << arguments[0];
    int rate, channels;
    std::vector<int16_t> samples;
    EXPECT_TRUE(testsupport::ReadWav16(out, &rate, &channels, &samples)) << arguments[0];
    return samples;
  };
  const std::vector<int16_t> plain = decode({});
  EXPECT_EQ(plain.size(), 22050u);
  EXPECT_EQ(decode({"--stretch", "1,1,0"}), plain);
  EXPECT_EQ(decode({"--limit"}), plain);  // within range: untouched
  EXPECT_NEAR(double(decode({"--stretch", "2,2,0"}).size()), 22050 / 2.0, 245 * 2);
  // Backward from the end: a source positioned at 0 has nothing before it.
  EXPECT_TRUE(decode({"--stretch", "-1,-1,0"}).empty());

  // Files it cannot play.
  std::string garbage = temp.File("garbage.wav"), out = temp.File("out.wav");
  ASSERT_TRUE(testsupport::WriteFileText(garbage, "this is not a sound file at all"));
  for (auto [in, message] :
       {std::pair{garbage, "not a usable audio file"}, std::pair{temp.File("missing.wav"), "cannot be opened"}}) {
    std::string text = testsupport::CommandOutput(testsupport::ToolPath("orativo-decode") + " " + in + " " + out +
                                                  " 2>&1; echo status=$?");
    EXPECT_NE(text.find(message), std::string::npos) << text;
    EXPECT_NE(text.find("status=1"), std::string::npos) << text;
  }
  EXPECT_NE(RunTool("orativo-decode", {"only-one-argument.wav"}), 0);
}

// Which reader opens a file goes by its extension in any letter case (the
// source contract opens its VOK and MP3 files under mixed-case names).
TEST(AudioFileOpen, ExtensionChoosesTheReader) {
  EXPECT_TRUE(AudioFileHasExtension("a/b/Word.MP3", ".mp3"));
  EXPECT_TRUE(AudioFileHasExtension("x.vok", ".VOK"));
  EXPECT_FALSE(AudioFileHasExtension("mp3", ".mp3"));
  EXPECT_FALSE(AudioFileHasExtension("x.mp3.wav", ".mp3"));
  TempFolder temp;
  ASSERT_TRUE(testsupport::WriteWav16(temp.File("t.WAV"), 8000, 1, {1, 2, 3}));
  EXPECT_EQ(OpenAudioFileSource(temp.File("t.WAV"))->GetLength(), 3);
  // A damaged VOK file is refused as one (error 2), not guessed at as WAV.
  ASSERT_TRUE(testsupport::WriteFileBytes(temp.File("bad.vok"), {0xAA, 0xAA, 0, 0, 0x22, 0x56, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(OpenAudioFileSource(temp.File("bad.vok"))->error, kSoundInnerError);
  EXPECT_EQ(OpenAudioFileSource(temp.File("missing.mp3"))->error, kSoundCannotOpen);
  ASSERT_TRUE(testsupport::WriteFileText(temp.File("bad.mp3"), "not audio"));
  EXPECT_EQ(OpenAudioFileSource(temp.File("bad.mp3"))->error, kSoundBadFormat);
}
