#include "sound/files/vok_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "platform/little_endian.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::TempFolder;

std::vector<uint8_t> Header(uint16_t magic, uint16_t reserved, uint32_t format, uint32_t length) {
  std::vector<uint8_t> bytes;
  for (uint32_t v : {uint32_t(magic), uint32_t(reserved)}) LeAppend16(bytes, v);
  for (uint32_t v : {format, length}) LeAppend32(bytes, v);
  return bytes;
}
std::vector<uint8_t> Header(uint32_t rate, unsigned channels, uint32_t length) {
  return Header(0xAAAA, 0, rate | channels << 24, length);
}

// Coded blocks of random step bytes (indexes up to 19, any adjustment) and
// deltas, so the decoded values mostly stay within full scale.
std::vector<uint8_t> RandomBlocks(int blocks, int channels, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> data(size_t(blocks) * 17 * channels);
  for (size_t i = 0; i < data.size(); ++i) {
    const bool stepByte = i % (size_t(17) * channels) < size_t(channels);
    data[i] = stepByte ? uint8_t((random() % 20) << 3 | (random() % 8)) : uint8_t(int(random() % 81) - 40);
  }
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
  TempFolder folder;
  int count = 0;
};

// Unknown, the length is the file's whole blocks; given, it is taken as it is.
TEST_F(VOKFile, LengthFromTheHeaderOrTheFileSize) {
  const std::vector<uint8_t> data = RandomBlocks(3, 255, 6);  // the most channels
  LSRCVOKFile widest(Write(Header(8000, 255, 0xFFFFFFFF), data));
  EXPECT_EQ(widest.GetLength(), 48);
  std::vector<int32_t> want = Reference(data, 255);
  want.resize(size_t(60) * 255, 0);
  EXPECT_EQ(ReadFrames(widest, 60), want);
  // A trailing part block is not counted.
  EXPECT_EQ(LSRCVOKFile(Write(Header(8000, 2, 0xFFFFFFFF), std::vector<uint8_t>(34 * 3 + 20, 0))).GetLength(), 48);
  EXPECT_EQ(LSRCVOKFile(Write(Header(8000, 1, 21), std::vector<uint8_t>(17 * 2, 0))).GetLength(), 21);
}

TEST_F(VOKFile, BadHeadersGiveError2) {
  const std::vector<uint8_t> cases[] = {
      Header(0xAAAB, 0, 22050 | 1 << 24, 16),
      Header(0xAAAA, 1, 22050 | 1 << 24, 16),
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
  uint8_t coded[17];
  coded[0] = 0xFB;
  for (int j = 1; j < 17; ++j) coded[j] = 5;
  int32_t predictor = 0;
  int32_t out[16];
  VOKDecodeBlock(coded, 1, &predictor, out, 1);
  EXPECT_EQ(out[11], 12 * 5 * 8192);
  EXPECT_EQ(out[12], int32_t(kSampleFullScale));
  EXPECT_EQ(out[15], int32_t(kSampleFullScale));
  EXPECT_EQ(predictor, 16 * 5 * 8192);
  for (int j = 1; j < 17; ++j) coded[j] = uint8_t(-12);
  VOKDecodeBlock(coded, 1, &predictor, out, 1);
  const int32_t start = 16 * 5 * 8192 - (16 * 5 * 8192 >> 4);
  EXPECT_EQ(out[0], start - 12 * 8192);  // back in range from the unclamped predictor
  EXPECT_EQ(out[15], -int32_t(kSampleFullScale));
  EXPECT_EQ(predictor, start - 16 * 12 * 8192);
}

TEST_F(VOKFile, SeekToEveryFrameDecodesFromItsBlock) {
  const int channels = 2;
  const std::vector<uint8_t> data = RandomBlocks(7, channels, 4);
  const int length = 7 * 16 - 5;
  LSRCVOKFile source(Write(Header(22050, channels, length), data));
  for (int p = -20; p <= length + 3; ++p) {
    SCOPED_TRACE(p);
    source.Seek(p);
    const int frames = 37;
    std::vector<int32_t> want(size_t(frames) * channels, 0);
    const int block = p > 0 ? p / 16 : 0;
    const std::vector<int32_t> ref = Reference(data, channels, block);
    for (int f = 0; f < frames; ++f)
      for (int q = 0; q < channels && p + f >= 0 && p + f < length; ++q)
        want[size_t(f) * channels + q] = ref[size_t(p + f - block * 16) * channels + q];
    EXPECT_EQ(ReadFrames(source, frames), want);
    EXPECT_EQ(source.GetPosition(), p + frames);
  }
}

TEST_F(VOKFile, MissingDataDecaysToSilence) {
  // One and a half blocks on disk, a header claiming far more.
  std::vector<uint8_t> data(17 + 9, 0);
  data[0] = 0xFB;  // step 8192
  for (int j = 1; j <= 16; ++j) data[size_t(j)] = 3;
  data[17] = 0xFB;
  for (int j = 18; j < 26; ++j) data[size_t(j)] = 1;
  LSRCVOKFile source(Write(Header(22050, 1, INT32_MAX), data));
  ASSERT_EQ(source.error, kSoundOk);
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

}  // namespace
