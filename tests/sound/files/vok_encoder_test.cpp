#include "sound/files/vok_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "sound/files/audio_file_open.h"
#include "sound/files/vok_file.h"
#include "tests/support/memory_audio.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::TempFolder;

// Decodes a whole VOK file back to 16-bit PCM the way the player would.
std::vector<int16_t> DecodeTo16(const std::string& path) {
  std::vector<int16_t> out;
  for (int32_t s : testsupport::ReadToEnd(*OpenVOKSource(path), 4096)) out.push_back(SampleTo16(s));
  return out;
}

double SnrDb(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < original.size(); ++i) {
    signal += double(original[i]) * original[i];
    const double e = double(original[i]) - decoded[i];
    noise += e * e;
  }
  return noise == 0 ? 200.0 : 10 * std::log10(signal / noise);
}

struct Signal {
  const char* name;
  std::vector<int16_t> pcm;
  int rate, channels;
  double minimumDb;
  int maxError;  // 0: not checked
};

TEST(VOKEncoder, SignalsSurviveTheRoundTrip) {
  using testsupport::Tone;
  std::vector<int16_t> square, noise(22050);
  for (int i = 0; i < 4000; ++i) square.push_back((i / 37) % 2 ? 32767 : -32768);
  std::mt19937 random(11);
  std::normal_distribution<double> gauss(0, 4000);
  for (int16_t& v : noise) v = int16_t(std::clamp(gauss(random), -32768.0, 32767.0));
  const Signal signals[] = {
      {"tone440", Tone(22050, 1, 11032, 440, 8000), 22050, 1, 45, 0},
      {"loud1k", Tone(22050, 1, 11032, 1000, 30000), 22050, 1, 45, 0},
      {"quiet200", Tone(11025, 1, 5519, 200, 300), 11025, 1, 40, 0},
      {"stereo", Tone(44100, 2, 22057, 440, 12000), 44100, 2, 45, 0},
      {"high7k", Tone(22050, 1, 11032, 7000, 32000), 22050, 1, 30, 0},
      // A wrapped sample would flip sign: the error stays within one coarse step.
      {"fullScaleSquare", square, 22050, 1, 20, 4096},
      {"silence", std::vector<int16_t>(1000, 0), 8000, 1, 150, 0},  // exact
      // The hardest case for a differential code; the closed-loop search
      // keeps it far above the noise of a fixed coarse step.
      {"whiteNoise", noise, 22050, 1, 25, 0},
  };
  TempFolder folder;
  const std::string path = folder.File("round.vok");
  for (const Signal& s : signals) {
    SCOPED_TRACE(s.name);
    ASSERT_TRUE(WriteVOKFile(path, testsupport::Internal(s.pcm), uint32_t(s.rate), unsigned(s.channels)));
    const std::vector<int16_t> decoded = DecodeTo16(path);
    ASSERT_EQ(decoded.size(), s.pcm.size());
    const double snr = SnrDb(s.pcm, decoded);
    std::printf("VOK %s: SNR %.1f dB\n", s.name, snr);
    EXPECT_GT(snr, s.minimumDb);
    for (size_t i = 0; i < s.pcm.size() && s.maxError; ++i)
      ASSERT_LT(std::abs(int(s.pcm[i]) - decoded[i]), s.maxError) << i;
  }
}

TEST(VOKEncoder, WritesHeaderAndOneBlockPer16Frames) {
  TempFolder folder;
  std::vector<int16_t> pcm(2 * 50, 0);  // stereo, 50 frames: 4 blocks, the last part padding
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t(i % 2 ? -int(i) * 10 : int(i) * 7);
  const std::vector<uint8_t> bytes = EncodeVOK(testsupport::Internal(pcm), 16000, 2);
  ASSERT_EQ(bytes.size(), 12u + 4 * 34);
  // Small steady slopes are coded exactly.
  const std::string path = folder.File("a.vok");
  ASSERT_TRUE(testsupport::WriteFileBytes(path, bytes));
  EXPECT_EQ(DecodeTo16(path), pcm);
  EXPECT_EQ(OpenVOKSource(path)->sampleRate, 16000);
  EXPECT_TRUE(EncodeVOK({}, 0, 1).empty());
  EXPECT_TRUE(EncodeVOK({}, 22050, 0).empty());
  EXPECT_TRUE(EncodeVOK({}, 0x1000000, 1).empty());
  EXPECT_EQ(EncodeVOK({}, 22050, 1).size(), 12u);
}

// Encoding what a source plays, and what the tool refuses to encode.
TEST(VOKEncoder, EncodingASourceMatchesEncodingItsSamples) {
  TempFolder folder;
  // Stereo, past one 8192-frame read, ending in a part block.
  std::vector<int16_t> pcm = testsupport::Tone(16000, 2, 8192 * 2 + 21, 523, 9000);
  for (size_t i = 1; i < pcm.size(); i += 2) pcm[i] = int16_t(pcm[i] / 3 + int(i % 17) * 40);
  const std::string wav = folder.File("in.wav");
  ASSERT_TRUE(testsupport::WriteWav16(wav, 16000, 2, pcm));
  LSoundSourceRef source = OpenAudioFileSource(wav);
  ASSERT_TRUE(source.IsUsable());
  source->Read(std::vector<int32_t>(200).data(), 100);  // encoding starts from 0 wherever the source was
  const std::string vok = folder.File("out.vok");
  ASSERT_TRUE(WriteVOKFromSource(vok, source.Get()));
  EXPECT_EQ(testsupport::ReadFileBytes(vok), EncodeVOK(testsupport::Internal(pcm), 16000, 2));
  EXPECT_FALSE(WriteVOKFromSource(vok, LSoundSourceRef::Null(kSoundBadFormat).Get()));
  using testsupport::RunTool;
  ASSERT_TRUE(testsupport::WriteFileText(folder.File("text.wav"), "not a wave file at all"));
  EXPECT_EQ(RunTool("orativo-vokenc", {folder.File("text.wav"), vok}), 2);
  EXPECT_EQ(RunTool("orativo-vokenc", {folder.File("none.wav"), vok}), 2);
  EXPECT_EQ(RunTool("orativo-vokenc", {}), 1);
  EXPECT_EQ(RunTool("orativo-vokenc", {wav, folder.File("no/such/a.vok")}), 3);
}

}  // namespace
