// VOK files: reading them, and the encoder that writes them.
#include "sound/files/vok_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "platform/little_endian.h"
#include "sound/files/audio_file_open.h"
#include "sound/files/vok_encoder.h"
#include "tests/support/memory_audio.h"
#include "tests/support/test_support.h"

namespace {

std::vector<uint8_t> Header(uint32_t rate, unsigned channels, uint32_t length, uint16_t magic = 0xAAAA,
                            uint16_t reserved = 0) {
  std::vector<uint8_t> bytes;
  for (uint32_t v : {uint32_t(magic), uint32_t(reserved)}) LeAppend16(bytes, v);
  for (uint32_t v : {rate | channels << 24, length}) LeAppend32(bytes, v);
  return bytes;
}

// Coded blocks of random step bytes (indexes up to 19, any adjustment) and
// deltas, so the decoded values mostly stay within full scale.
std::vector<uint8_t> RandomBlocks(int blocks, int channels, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> data(size_t(blocks) * 17 * channels);
  for (size_t i = 0; i < data.size(); ++i)  // a step byte per channel, then the deltas
    data[i] = i % (size_t(17) * channels) < size_t(channels) ? uint8_t((random() % 20) << 3 | (random() % 8))
                                                             : uint8_t(int(random() % 81) - 40);
  return data;
}

// Reference decode written from the format alone (a leak of a sixteenth,
// rounded down, then the deltas times the half's step): every block of coded
// data from firstBlock on, with predictors starting at 0.
std::vector<int32_t> Reference(const std::vector<uint8_t>& data, int channels, int firstBlock = 0) {
  static const int kSteps[32] = {1,    2,    4,    8,    11,   16,   23,   32,   40,   51,  64,
                                 81,   102,  128,  161,  202,  256,  323,  407,  512,  645, 812,
                                 1024, 1290, 1625, 2048, 2580, 3250, 4096, 5161, 6502, 8192};
  const size_t blockBytes = size_t(17) * channels;
  const size_t blocks = (data.size() + blockBytes - 1) / blockBytes;
  std::vector<int32_t> out((blocks - size_t(firstBlock)) * 16 * channels), s(channels, 0);
  for (size_t b = size_t(firstBlock); b < blocks; ++b) {
    auto byteAt = [&](int j, int q) {
      const size_t at = b * blockBytes + size_t(j) * channels + q;
      return at < data.size() ? data[at] : uint8_t(0);
    };
    for (int q = 0; q < channels; ++q) {
      const int i1 = byteAt(0, q) / 8;
      const int i2 = std::min(31, std::max(0, i1 + byteAt(0, q) % 8 - 3));
      int32_t y = s[q] - (s[q] >= 0 ? s[q] / 16 : -((-s[q] + 15) / 16));
      for (int j = 0; j < 16; ++j) {
        y += int8_t(byteAt(1 + j, q)) * kSteps[j < 8 ? i1 : i2];
        out[((b - firstBlock) * 16 + j) * channels + q] = std::clamp(y, -0x7FFF0, 0x7FFF0);
      }
      s[q] = y;
    }
  }
  return out;
}

std::vector<int32_t> ReadFrames(LSoundSourceBase& source, int frames) {
  std::vector<int32_t> out(size_t(frames) * source.channels, -12345);
  source.Read(out.data(), frames);
  return out;
}

class VOKFile : public testing::Test {
 protected:
  std::string Write(std::vector<uint8_t> bytes, const std::vector<uint8_t>& data) {
    bytes.insert(bytes.end(), data.begin(), data.end());
    const std::string path = folder.File(std::to_string(count++) + ".vok");
    EXPECT_TRUE(testsupport::WriteFileBytes(path, bytes));
    return path;
  }
  testsupport::TempFolder folder;
  int count = 0;
};

TEST_F(VOKFile, BadHeadersGiveError2) {
  const std::vector<uint8_t> cases[] = {
      Header(22050, 1, 16, 0xAAAB),
      Header(22050, 1, 16, 0xAAAA, 1),
      Header(0, 1, 16),
      Header(22050, 0, 16),
      Header(22050, 1, 0x80000000),                   // past the signed frame count, other than "unknown"
      {0xAA, 0xAA, 0, 0, 0x22, 0x56, 0, 1, 0x10, 0},  // cut short
  };
  for (const std::vector<uint8_t>& header : cases) {
    SCOPED_TRACE(count);
    LSRCVOKFile source(Write(header, std::vector<uint8_t>(header.size() < 12 ? 0 : 17, 7)));
    EXPECT_EQ(source.error, kSoundInnerError);
    // An unusable source reads silence and ignores seeks.
    source.Seek(5);
    EXPECT_EQ(ReadFrames(source, 20), std::vector<int32_t>(size_t(20) * source.channels, 0));
  }
  EXPECT_EQ(OpenVOKSource(folder.File("missing.vok"))->error, kSoundInnerError);
}

TEST_F(VOKFile, SamplesStayWithinFullScale) {
  // Steps of 8192 climb past 16-bit range: the samples stop at full scale
  // (the source promises no more), the predictor goes on.
  uint8_t coded[17] = {0xFB, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
  int32_t predictor = 0;
  int32_t out[16];
  VOKDecodeBlock(coded, 1, &predictor, out, 1);
  EXPECT_EQ(out[11], 12 * 5 * 8192);
  EXPECT_EQ(out[12], int32_t(kSampleFullScale));
  EXPECT_EQ(out[15], int32_t(kSampleFullScale));
  EXPECT_EQ(predictor, 16 * 5 * 8192);
  std::fill(coded + 1, coded + 17, uint8_t(-12));
  VOKDecodeBlock(coded, 1, &predictor, out, 1);
  const int32_t start = 16 * 5 * 8192 - (16 * 5 * 8192 >> 4);
  EXPECT_EQ(out[0], start - 12 * 8192);  // back in range from the unclamped predictor
  EXPECT_EQ(out[15], -int32_t(kSampleFullScale));
  EXPECT_EQ(predictor, start - 16 * 12 * 8192);
}

// Every seek decodes from its block with fresh predictors. The length is the
// header's (the widest file: unknown, so the file's whole blocks).
TEST_F(VOKFile, SeekToEveryFrameDecodesFromItsBlock) {
  for (auto [channels, blocks, declared, length] : {std::tuple{2, 7, 107u, 107}, {255, 3, 0xFFFFFFFFu, 48}}) {
    const std::vector<uint8_t> data = RandomBlocks(blocks, channels, 4);
    LSRCVOKFile source(Write(Header(22050, unsigned(channels), declared), data));
    EXPECT_EQ(source.GetLength(), length);
    for (int p = -20; p <= length + 3; ++p) {
      SCOPED_TRACE(testing::Message() << channels << " channels, at " << p);
      source.Seek(p);
      const int frames = 37;
      std::vector<int32_t> want(size_t(frames) * channels, 0);
      const int block = p > 0 ? p / 16 : 0;
      const std::vector<int32_t> ref = Reference(data, channels, block);
      for (int f = 0; f < frames; ++f)
        for (int q = 0; q < channels && p + f >= 0 && p + f < length; ++q)
          want[size_t(f) * channels + q] = ref[size_t(p + f - block * 16) * channels + q];
      ASSERT_EQ(ReadFrames(source, frames), want);
      EXPECT_EQ(source.GetPosition(), p + frames);
    }
  }
  // A trailing part block is not counted.
  EXPECT_EQ(LSRCVOKFile(Write(Header(8000, 2, 0xFFFFFFFF), std::vector<uint8_t>(34 * 3 + 20, 0))).GetLength(), 48);
}

TEST_F(VOKFile, MissingDataDecaysToSilence) {
  // One and a half blocks on disk, a header claiming far more.
  std::vector<uint8_t> data(17 + 9, 3);
  data[0] = data[17] = 0xFB;  // step 8192
  std::fill(data.begin() + 18, data.end(), 1);
  LSRCVOKFile source(Write(Header(22050, 1, INT32_MAX), data));
  const std::vector<int32_t> got = ReadFrames(source, 16 * 600);
  EXPECT_EQ(got[15], 16 * 3 * 8192);
  const int32_t afterCut = got[23];
  EXPECT_EQ(got[24], afterCut);  // the cut half block's deltas read as 0
  EXPECT_EQ(got[31], afterCut);
  // Every later block holds the leaked predictor, shrinking to 0.
  EXPECT_EQ(got[32], afterCut - (afterCut >> 4));
  for (size_t b = 3; b < 600; ++b) EXPECT_LE(std::abs(got[b * 16]), std::abs(got[(b - 1) * 16])) << b;
  // The shift stops leaking below 16, a fraction of one 16-bit step.
  for (int32_t v : ReadFrames(source, 16 * 300)) ASSERT_LT(std::abs(v), 16);
}

// The encoder

// Decodes a whole VOK file back to 16-bit PCM the way the player would.
std::vector<int16_t> DecodeTo16(const std::string& path) {
  std::vector<int16_t> out;
  for (int32_t s : testsupport::ReadToEnd(*OpenVOKSource(path), 4096)) out.push_back(SampleTo16(s));
  return out;
}

struct Signal {
  const char* name;
  std::vector<int16_t> pcm;
  int rate, channels;
  double minimumDb;
  int maxError = 65536;
};

TEST_F(VOKFile, EncoderSignalsSurviveTheRoundTrip) {
  using testsupport::Tone;
  std::vector<int16_t> square, noise(22050);
  for (int i = 0; i < 4000; ++i) square.push_back((i / 37) % 2 ? 32767 : -32768);
  std::mt19937 random(11);
  std::normal_distribution<double> gauss(0, 4000);
  for (int16_t& v : noise) v = int16_t(std::clamp(gauss(random), -32768.0, 32767.0));
  const Signal signals[] = {
      {"tone440", Tone(22050, 1, 11032, 440, 8000), 22050, 1, 45},
      {"loud1k", Tone(22050, 1, 11032, 1000, 30000), 22050, 1, 45},
      {"quiet200", Tone(11025, 1, 5519, 200, 300), 11025, 1, 40},
      {"stereo", Tone(44100, 2, 22057, 440, 12000), 44100, 2, 45},
      {"high7k", Tone(22050, 1, 11032, 7000, 32000), 22050, 1, 30},
      // A wrapped sample would flip sign: the error stays within one coarse step.
      {"fullScaleSquare", square, 22050, 1, 20, 4096},
      {"silence", std::vector<int16_t>(1000, 0), 8000, 1, 150},  // exact
      // The hardest case for a differential code; the closed-loop search
      // keeps it far above the noise of a fixed coarse step.
      {"whiteNoise", noise, 22050, 1, 25},
  };
  const std::string path = folder.File("round.vok");
  for (const Signal& s : signals) {
    SCOPED_TRACE(s.name);
    ASSERT_TRUE(WriteVOKFile(path, testsupport::Internal(s.pcm), uint32_t(s.rate), unsigned(s.channels)));
    const std::vector<int16_t> decoded = DecodeTo16(path);
    ASSERT_EQ(decoded.size(), s.pcm.size());
    double signal = 0, noise = 0;
    for (size_t i = 0; i < s.pcm.size(); ++i) {
      signal += double(s.pcm[i]) * s.pcm[i];
      noise += (double(s.pcm[i]) - decoded[i]) * (double(s.pcm[i]) - decoded[i]);
      ASSERT_LT(std::abs(int(s.pcm[i]) - decoded[i]), s.maxError) << i;
    }
    EXPECT_GT(noise == 0 ? 200.0 : 10 * std::log10(signal / noise), s.minimumDb) << "dB of signal to noise";
  }
}

TEST_F(VOKFile, EncoderWritesHeaderAndOneBlockPer16Frames) {
  std::vector<int16_t> pcm(2 * 50, 0);  // stereo, 50 frames: 4 blocks, the last part padding
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t(i % 2 ? -int(i) * 10 : int(i) * 7);
  const std::vector<uint8_t> bytes = EncodeVOK(testsupport::Internal(pcm), 16000, 2);
  ASSERT_EQ(bytes.size(), 12u + 4 * 34);
  // Small steady slopes are coded exactly.
  const std::string path = Write(bytes, {});
  EXPECT_EQ(DecodeTo16(path), pcm);
  EXPECT_EQ(OpenVOKSource(path)->sampleRate, 16000);
  for (auto [rate, channels] : {std::pair{0u, 1u}, {22050u, 0u}, {0x1000000u, 1u}})
    EXPECT_TRUE(EncodeVOK({}, rate, channels).empty()) << rate << " Hz, " << channels;
  EXPECT_EQ(EncodeVOK({}, 22050, 1).size(), 12u);
}

// Encoding what a source plays, and what the tool refuses to encode.
TEST_F(VOKFile, EncodingASourceMatchesEncodingItsSamples) {
  // Stereo, past one 8192-frame read, ending in a part block.
  std::vector<int16_t> pcm = testsupport::Tone(16000, 2, 8192 * 2 + 21, 523, 9000);
  for (size_t i = 1; i < pcm.size(); i += 2) pcm[i] = int16_t(pcm[i] / 3 + int(i % 17) * 40);
  const std::string wav = folder.File("in.wav");
  ASSERT_TRUE(testsupport::WriteWav16(wav, 16000, 2, pcm));
  LSoundSourceRef source = OpenAudioFileSource(wav);
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
