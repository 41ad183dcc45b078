// orativo-decode, run as a program against files made by sox.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sound/files/audio_file_open.h"
#include "tests/support/test_support.h"

using testsupport::CommandOutput;
using testsupport::ReadFileBytes;
using testsupport::RunCommand;
using testsupport::TempFolder;
using testsupport::ToolPath;

namespace {

std::string Decode(const std::string& arguments) { return ToolPath("orativo-decode") + " " + arguments; }

// sox's own decode of a file as 16-bit signed samples.
std::vector<int16_t> SoxSamples(const std::string& path, const TempFolder& temp) {
  std::string raw = temp.File("sox-decode.raw");
  EXPECT_EQ(RunCommand("sox " + path + " -t raw -e signed -b 16 " + raw), 0);
  std::vector<uint8_t> bytes = ReadFileBytes(raw);
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

}  // namespace

TEST(DecodeTool, FloatOutputKeepsTheEngineScale) {
  REQUIRE_COMMAND("sox");
  TempFolder temp;
  std::string in = temp.File("in.wav"), out = temp.File("out.wav");
  std::vector<int16_t> samples = {0, 1, -1, 32767, -32768, 1234, -4321, 16};
  ASSERT_TRUE(testsupport::WriteWav16(in, 16000, 2, samples));
  ASSERT_EQ(RunCommand(Decode("--float " + in + " " + out)), 0);
  std::vector<uint8_t> bytes = ReadFileBytes(out);
  ASSERT_EQ(bytes.size(), 58 + samples.size() * 4);
  EXPECT_EQ(bytes[20], 3);  // IEEE float
  for (size_t i = 0; i < samples.size(); ++i) {
    float f;
    std::memcpy(&f, bytes.data() + 58 + 4 * i, 4);
    EXPECT_EQ(f, float(samples[i] * 16) / 524288.0f) << i;
  }
  // Another program reads it as the same samples.
  std::vector<int16_t> viaSox = SoxSamples(out, temp);
  ASSERT_EQ(viaSox.size(), samples.size());
  for (size_t i = 0; i < samples.size(); ++i) EXPECT_NEAR(viaSox[i], samples[i], 1) << i;
}

TEST(DecodeTool, StretchAndLimitOptions) {
  TempFolder temp;
  std::string in = temp.File("in.wav");
  ASSERT_TRUE(testsupport::WriteWav16(in, 22050, 1, testsupport::Tone(22050, 1, 22050, 300, 20000)));
  int rate, channels;
  std::vector<int16_t> plain, same, fast, back, limited;
  ASSERT_EQ(RunCommand(Decode(in + " " + temp.File("plain.wav"))), 0);
  ASSERT_EQ(RunCommand(Decode("--stretch 1,1,0 " + in + " " + temp.File("same.wav"))), 0);
  ASSERT_EQ(RunCommand(Decode("--stretch 2,2,0 " + in + " " + temp.File("fast.wav"))), 0);
  ASSERT_EQ(RunCommand(Decode("--limit " + in + " " + temp.File("limited.wav"))), 0);
  ASSERT_TRUE(testsupport::ReadWav16(temp.File("plain.wav"), &rate, &channels, &plain));
  ASSERT_TRUE(testsupport::ReadWav16(temp.File("same.wav"), &rate, &channels, &same));
  ASSERT_TRUE(testsupport::ReadWav16(temp.File("fast.wav"), &rate, &channels, &fast));
  ASSERT_TRUE(testsupport::ReadWav16(temp.File("limited.wav"), &rate, &channels, &limited));
  EXPECT_EQ(plain.size(), 22050u);
  EXPECT_EQ(same, plain);
  EXPECT_EQ(limited, plain);  // within range: untouched
  EXPECT_NEAR(double(fast.size()), 22050 / 2.0, 245 * 2);
  // Backward from the end: a source positioned at 0 has nothing before it.
  EXPECT_EQ(RunCommand(Decode("--stretch -1,-1,0 " + in + " " + temp.File("back.wav"))), 0);
  ASSERT_TRUE(testsupport::ReadWav16(temp.File("back.wav"), &rate, &channels, &back));
  EXPECT_TRUE(back.empty());
}

TEST(DecodeTool, FilesItCannotPlay) {
  TempFolder temp;
  std::string garbage = temp.File("garbage.wav");
  ASSERT_TRUE(testsupport::WriteFileText(garbage, "this is not a sound file at all"));
  std::string out = temp.File("out.wav");
  std::string text = CommandOutput(Decode(garbage + " " + out + " 2>&1; echo status=$?"));
  EXPECT_NE(text.find("not a usable audio file"), std::string::npos) << text;
  EXPECT_NE(text.find("status=1"), std::string::npos) << text;
  text = CommandOutput(Decode(temp.File("missing.wav") + " " + out + " 2>&1; echo status=$?"));
  EXPECT_NE(text.find("cannot be opened"), std::string::npos) << text;
  EXPECT_NE(text.find("status=1"), std::string::npos) << text;
  EXPECT_NE(RunCommand(Decode("only-one-argument.wav 2>/dev/null")), 0);
}

TEST(AudioFileOpen, ExtensionsIgnoreLetterCase) {
  EXPECT_TRUE(AudioFileHasExtension("a/b/Word.MP3", ".mp3"));
  EXPECT_TRUE(AudioFileHasExtension("x.vok", ".VOK"));
  EXPECT_FALSE(AudioFileHasExtension("mp3", ".mp3"));
  EXPECT_FALSE(AudioFileHasExtension("x.mp3.wav", ".mp3"));
  TempFolder temp;
  ASSERT_TRUE(testsupport::WriteWav16(temp.File("t.WAV"), 8000, 1, {1, 2, 3}));
  LSoundSourceRef source = OpenAudioFileSource(temp.File("t.WAV"));
  EXPECT_EQ(source->error, kSoundOk);
  EXPECT_EQ(source->GetLength(), 3);
}
