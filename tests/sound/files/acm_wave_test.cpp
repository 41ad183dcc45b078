#include "sound/files/acm_wave.h"

#include <gtest/gtest.h>

#include "sound/files/wave_file.h"
#include "tests/support/memory_audio.h"
#include "tests/support/riff.h"
#include "tests/support/test_support.h"

using namespace testsupport;

namespace {

// Opens a WAV the way the WAV reader hands it over: the file positioned at
// the data, the "fmt " body and the declared data size.
LSoundSourceRef OpenCodecWave(const std::string& path, uint32_t declaredSize = 0) {
  WavParts parts;
  if (!ParseWav(testsupport::ReadFileBytes(path), &parts)) return LSoundSourceRef::Null(kSoundBadFormat);
  PlatformFile file = PlatformFile::OpenRead(path);
  file.Seek(parts.dataOffset);
  return OpenACMWaveSource(std::move(file), parts.format, declaredSize ? declaredSize : parts.dataSize);
}

class LSRCACMWaveTest : public testing::Test {
 protected:
  void SetUp() override { REQUIRE_COMMAND("sox"); }
  // A sox-made file and sox's decode of it in the internal format.
  std::string Make(const std::string& name, int rate, int channels, const std::string& encoding,
                   std::vector<int32_t>* reference = nullptr, double seconds = 1.0) {
    std::string path = folder.File(name);
    EXPECT_TRUE(MakeSoxFile(path, rate, channels, encoding, seconds));
    if (reference) *reference = Internal(SoxDecode16(path));
    return path;
  }
  testsupport::TempFolder folder;
};

}  // namespace

// The length is estimated from the blocks and the byte rate until the
// decoder runs out; a data chunk cut mid-block makes the estimate miss.
TEST_F(LSRCACMWaveTest, LengthEstimateBecomesExactAtTheEnd) {
  std::vector<int32_t> reference;
  std::string path = Make("ima.wav", 22050, 1, "-e ima-adpcm", &reference);
  // sox writes blocks of 256 bytes (505 samples).
  const uint32_t cut = 10 * 256 + 128;
  LSoundSourceRef source = OpenCodecWave(path, cut);
  ASSERT_TRUE(source.IsUsable());
  const int average = 22050 * 256 / 505;  // sox's average byte rate
  const int estimate = 10 * 505 + 128 * 22050 / average;
  EXPECT_EQ(source->GetLength(), estimate);
  std::vector<int32_t> ours = ReadFrames(source, estimate + 100);
  const int exact = 10 * 505 + (128 - 4) / 4 * 8 + 1;  // the cut block keeps its whole 4-byte groups
  EXPECT_EQ(source->GetLength(), exact);
  EXPECT_EQ(source->GetPosition(), estimate + 100);
  EXPECT_TRUE(std::equal(ours.begin(), ours.begin() + exact, reference.begin()));
  EXPECT_TRUE(std::all_of(ours.begin() + exact, ours.end(), [](int32_t v) { return v == 0; }));
}

// A file still being written (data size 0xFFFFFFFF) runs to the end of the
// file; a data chunk that claims more than the file holds stops there.
TEST_F(LSRCACMWaveTest, DataSizeFromTheFileWhereTheHeaderCannotTell) {
  std::vector<int32_t> reference;
  std::string path = Make("ima.wav", 16000, 2, "-e ima-adpcm", &reference);
  for (uint32_t declared : {0xFFFFFFFFu, 0x7FFFFFF0u}) {
    LSoundSourceRef source = OpenCodecWave(path, declared);
    ASSERT_TRUE(source.IsUsable());
    EXPECT_EQ(ReadToEnd(*source, 4000), reference) << declared;
  }
}

TEST_F(LSRCACMWaveTest, RefusesWhatItCannotDecode) {
  std::string path = folder.File("x.wav");
  std::vector<uint8_t> data(4000, 0x11);
  ASSERT_TRUE(testsupport::WriteFileBytes(path, data));
  auto open = [&](const std::vector<uint8_t>& record) {
    PlatformFile file = PlatformFile::OpenRead(path);
    return OpenACMWaveSource(std::move(file), record, 4000);
  };
  EXPECT_EQ(open(FormatRecord(0x0055, 1, 22050, 4000, 1, 0))->error, kSoundNoCodec);
  EXPECT_EQ(open(FormatRecord(kWaveFormatImaAdpcm, 1, 8000, 4055, 0, 4, {0xF9, 0x01}))->error, kSoundNoCodec);
  EXPECT_EQ(open({1, 0, 1, 0})->error, kSoundBadFormat);  // a record too short to hold a rate
  EXPECT_EQ(open(FormatRecord(kWaveFormatMuLaw, 0, 8000, 8000, 1, 8))->error, kSoundBadFormat);
  EXPECT_EQ(open(FormatRecord(kWaveFormatMuLaw, 256, 8000, 8000, 1, 8))->error, kSoundBadFormat);
  EXPECT_EQ(OpenACMWaveSource(PlatformFile(), FormatRecord(kWaveFormatMuLaw, 1, 8000, 8000, 1, 8), 10)->error,
            kSoundCannotOpen);
  LSoundSourceRef ok = open(FormatRecord(kWaveFormatMuLaw, 1, 8000, 8000, 1, 8));
  EXPECT_TRUE(ok.IsUsable());
  EXPECT_EQ(ok->GetLength(), 4000);
}

// Damage in the data ends the audio where it is; nothing hangs or crashes.
TEST_F(LSRCACMWaveTest, DamagedDataEndsTheAudioThere) {
  std::vector<int32_t> reference;
  std::string path = Make("ima.wav", 22050, 1, "-e ima-adpcm", &reference);
  std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
  WavParts parts;
  ASSERT_TRUE(ParseWav(bytes, &parts));

  // Block 10's step index is out of range: the decoder refuses the block.
  std::vector<uint8_t> data = parts.data;
  data[10 * 256 + 2] = 200;
  ASSERT_TRUE(testsupport::WriteFileBytes(path, MakeWav(parts.format, data)));
  LSoundSourceRef source = OpenCodecWave(path);
  std::vector<int32_t> got = ReadFrames(source, 8000);
  EXPECT_EQ(source->GetLength(), 10 * 505);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 10 * 505, reference.begin()));
  EXPECT_TRUE(std::all_of(got.begin() + 10 * 505, got.end(), [](int32_t v) { return v == 0; }));
  source->Seek(20 * 505);  // after the damage the decoder starts afresh
  EXPECT_EQ(ReadFrames(source, 1)[0], reference[20 * 505]);

  // The file ends mid-block: the partial block still decodes.
  ASSERT_TRUE(testsupport::WriteFileBytes(
      path, MakeWav(parts.format, {parts.data.begin(), parts.data.begin() + 700}, uint32_t(parts.data.size()))));
  source = OpenCodecWave(path);
  got = ReadToEnd(*source, 4000);
  const size_t exact = 2 * 505 + (700 - 512 - 4) / 4 * 8 + 1;
  ASSERT_EQ(got.size(), exact);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), reference.begin()));

  // A block align larger than the whole data: one partial block.
  std::vector<uint8_t> wide = FormatRecord(kWaveFormatImaAdpcm, 1, 22050, 11155, 8192, 4);
  ASSERT_TRUE(testsupport::WriteFileBytes(path, MakeWav(wide, {parts.data.begin(), parts.data.begin() + 256})));
  source = OpenCodecWave(path);
  ASSERT_TRUE(source.IsUsable());
  got = ReadToEnd(*source, 4000);
  EXPECT_EQ(got.size(), size_t(1 + 63 * 8));
  EXPECT_EQ(got.front(), reference.front());
}
