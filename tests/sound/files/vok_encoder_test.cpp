#include "sound/files/vok_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "sound/files/audio_file_open.h"
#include "sound/files/vok_file.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::TempFolder;

std::vector<int32_t> ToInternal(const std::vector<int16_t>& pcm) {
  std::vector<int32_t> out(pcm.size());
  for (size_t i = 0; i < pcm.size(); ++i) out[i] = SampleFrom16(pcm[i]);
  return out;
}

// Decodes a whole VOK file back to 16-bit PCM the way the player would.
std::vector<int16_t> DecodeTo16(const std::string& path, int* rate = nullptr, int* channels = nullptr) {
  LSRCVOKFile source(path);
  EXPECT_EQ(source.error, kSoundOk);
  if (rate) *rate = source.sampleRate;
  if (channels) *channels = source.channels;
  std::vector<int32_t> samples(size_t(std::max(source.GetLength(), 0)) * source.channels);
  source.Read(samples.data(), source.GetLength());
  std::vector<int16_t> out(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) out[i] = SampleTo16(samples[i]);
  return out;
}

// The encoder tool, found through the build rather than the environment.
std::string VokencPath() { return ORATIVO_VOKENC; }

double SnrDb(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded) {
  EXPECT_EQ(original.size(), decoded.size());
  double signal = 0, noise = 0;
  for (size_t i = 0; i < original.size() && i < decoded.size(); ++i) {
    signal += double(original[i]) * original[i];
    const double e = double(original[i]) - decoded[i];
    noise += e * e;
  }
  return noise == 0 ? 200.0 : 10 * std::log10(signal / noise);
}

double RoundTripSnr(const TempFolder& folder, const std::vector<int16_t>& pcm, int rate, int channels) {
  const std::string path = folder.File("round.vok");
  EXPECT_TRUE(WriteVOKFile(path, ToInternal(pcm), uint32_t(rate), unsigned(channels)));
  return SnrDb(pcm, DecodeTo16(path));
}

TEST(VOKEncoder, TonesSurviveTheRoundTrip) {
  TempFolder folder;
  struct Case {
    double hz, amplitude;
    int rate, channels;
    double minimumDb;
  } cases[] = {
      {440, 8000, 22050, 1, 45}, {1000, 30000, 22050, 1, 45}, {3000, 20000, 22050, 1, 35},
      {200, 300, 11025, 1, 40},  {440, 12000, 44100, 2, 45},  {7000, 32000, 22050, 1, 30},
  };
  for (const Case& c : cases) {
    const std::vector<int16_t> pcm = testsupport::Tone(c.rate, c.channels, c.rate / 2 + 7, c.hz, c.amplitude);
    const double snr = RoundTripSnr(folder, pcm, c.rate, c.channels);
    std::printf("VOK tone %g Hz amplitude %g at %d Hz: SNR %.1f dB\n", c.hz, c.amplitude, c.rate, snr);
    EXPECT_GT(snr, c.minimumDb) << c.hz << " Hz, amplitude " << c.amplitude;
  }
}

TEST(VOKEncoder, FullScaleSquareNeverWraps) {
  TempFolder folder;
  std::vector<int16_t> pcm;
  for (int i = 0; i < 4000; ++i) pcm.push_back((i / 37) % 2 ? 32767 : -32768);
  const std::string path = folder.File("square.vok");
  ASSERT_TRUE(WriteVOKFile(path, ToInternal(pcm), 22050, 1));
  const std::vector<int16_t> decoded = DecodeTo16(path);
  ASSERT_EQ(decoded.size(), pcm.size());
  // A wrapped sample would flip sign; the error stays within one coarse step.
  for (size_t i = 0; i < pcm.size(); ++i) ASSERT_LT(std::abs(int(pcm[i]) - decoded[i]), 4096) << i;
  EXPECT_GT(SnrDb(pcm, decoded), 20);
}

TEST(VOKEncoder, WritesHeaderAndOneBlockPer16Frames) {
  TempFolder folder;
  std::vector<int16_t> pcm(2 * 50, 0);  // stereo, 50 frames: 4 blocks, the last part padding
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t(i % 2 ? -int(i) * 10 : int(i) * 7);
  const std::vector<uint8_t> bytes = EncodeVOK(ToInternal(pcm), 16000, 2);
  ASSERT_EQ(bytes.size(), 12u + 4 * 34);
  const VOKHeader header = VOKHeader::Parse(bytes.data());
  EXPECT_TRUE(header.IsValid());
  EXPECT_EQ(header.SampleRate(), 16000u);
  EXPECT_EQ(header.Channels(), 2u);
  EXPECT_EQ(header.length, 50u);

  // Small steady slopes are coded exactly.
  const std::string path = folder.File("a.vok");
  ASSERT_TRUE(testsupport::WriteFileBytes(path, bytes));
  EXPECT_EQ(DecodeTo16(path), pcm);

  EXPECT_TRUE(EncodeVOK({}, 0, 1).empty());
  EXPECT_TRUE(EncodeVOK({}, 22050, 0).empty());
  EXPECT_TRUE(EncodeVOK({}, 0x1000000, 1).empty());
  EXPECT_EQ(EncodeVOK({}, 22050, 1).size(), 12u);
}

TEST(VOKEncoder, SilenceAndNoiseAreCodedClosedLoop) {
  TempFolder folder;
  EXPECT_GT(RoundTripSnr(folder, std::vector<int16_t>(1000, 0), 8000, 1), 150);  // exact
  // White noise is the hardest case for a differential code; the search
  // still keeps it far above the noise of a fixed coarse step.
  std::mt19937 random(11);
  std::normal_distribution<double> gauss(0, 4000);
  std::vector<int16_t> noise(22050);
  for (int16_t& v : noise) v = int16_t(std::clamp(gauss(random), -32768.0, 32767.0));
  const double snr = RoundTripSnr(folder, noise, 22050, 1);
  std::printf("VOK white noise: SNR %.1f dB\n", snr);
  EXPECT_GT(snr, 25);
}

TEST(VOKEncoder, SpeechFromTheToolIsAbove30Db) {
  REQUIRE_COMMAND("espeak-ng");
  TempFolder folder;
  const std::string wav = folder.File("speech.wav");
  ASSERT_EQ(testsupport::RunCommand("espeak-ng -w '" + wav +
                                    "' 'The quick brown fox jumps over the lazy dog. Listen, then repeat.'"),
            0);
  int rate = 0, channels = 0;
  std::vector<int16_t> pcm;
  ASSERT_TRUE(testsupport::ReadWav16(wav, &rate, &channels, &pcm));
  ASSERT_EQ(rate, 22050);
  const std::string vok = folder.File("speech.vok");
  ASSERT_EQ(testsupport::RunCommand("'" + VokencPath() + "' '" + wav + "' '" + vok + "'"), 0);
  int vokRate = 0, vokChannels = 0;
  const std::vector<int16_t> decoded = DecodeTo16(vok, &vokRate, &vokChannels);
  EXPECT_EQ(vokRate, rate);
  EXPECT_EQ(vokChannels, channels);
  const double snr = SnrDb(pcm, decoded);
  std::printf("VOK espeak-ng speech at %d Hz: SNR %.1f dB, %zu -> %zu bytes\n", rate, snr,
              testsupport::ReadFileBytes(wav).size(), testsupport::ReadFileBytes(vok).size());
  EXPECT_GT(snr, 45);  // measured about 57 dB
}

TEST(VOKEncoder, ToolRefusesWhatItCannotEncode) {
  TempFolder folder;
  const std::string tool = "'" + VokencPath() + "' ";
  ASSERT_TRUE(testsupport::WriteFileText(folder.File("text.wav"), "not a wave file at all"));
  EXPECT_EQ(
      testsupport::RunCommand(tool + "'" + folder.File("text.wav") + "' '" + folder.File("a.vok") + "' 2>/dev/null"),
      2);
  EXPECT_EQ(
      testsupport::RunCommand(tool + "'" + folder.File("none.wav") + "' '" + folder.File("a.vok") + "' 2>/dev/null"),
      2);
  EXPECT_EQ(testsupport::RunCommand(tool + "2>/dev/null"), 1);
  ASSERT_TRUE(testsupport::WriteWav16(folder.File("ok.wav"), 8000, 1, testsupport::Tone(8000, 1, 100, 300, 1000)));
  EXPECT_EQ(testsupport::RunCommand(tool + "'" + folder.File("ok.wav") + "' '" + folder.Path() +
                                    "/no/such/a.vok' 2>/dev/null"),
            3);
}

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
  EXPECT_EQ(testsupport::ReadFileBytes(vok), EncodeVOK(ToInternal(pcm), 16000, 2));
  EXPECT_FALSE(WriteVOKFromSource(vok, LSoundSourceRef::Null(kSoundBadFormat).Get()));
}

TEST(VOKEncoder, PlayableThroughTheFileOpenerAndDecodeTool) {
  TempFolder folder;
  const std::vector<int16_t> pcm = testsupport::Tone(22050, 1, 3001, 300, 12000);
  const std::string vok = folder.File("Tone.VoK");  // the extension is matched without regard to case
  ASSERT_TRUE(WriteVOKFile(vok, ToInternal(pcm), 22050, 1));
  LSoundSourceRef source = OpenAudioFileSource(vok);
  ASSERT_TRUE(source.IsUsable());
  EXPECT_NE(dynamic_cast<LSRCVOKFile*>(source.Get()), nullptr);
  EXPECT_EQ(source->GetLength(), 3001);
  // A damaged VOK file is refused as one (error 2), not guessed at as WAV.
  ASSERT_TRUE(testsupport::WriteFileBytes(folder.File("bad.vok"), {0xAA, 0xAA, 0, 0, 0x22, 0x56, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(OpenAudioFileSource(folder.File("bad.vok"))->error, kSoundInnerError);

  const std::string wav = folder.File("out.wav");
  ASSERT_EQ(testsupport::RunCommand("'" + testsupport::ToolPath("orativo-decode") + "' '" + vok + "' '" + wav + "'"),
            0);
  int rate = 0, channels = 0;
  std::vector<int16_t> decoded;
  ASSERT_TRUE(testsupport::ReadWav16(wav, &rate, &channels, &decoded));
  EXPECT_EQ(rate, 22050);
  EXPECT_EQ(channels, 1);
  EXPECT_EQ(decoded, DecodeTo16(vok));
  EXPECT_GT(SnrDb(pcm, decoded), 45);
}

}  // namespace
