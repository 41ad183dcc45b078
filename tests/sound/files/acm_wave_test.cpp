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
  // An IMA ADPCM file by sox at path, and sox's decode of it in the internal format.
  std::vector<int32_t> MakeIma(int rate, int channels) {
    EXPECT_TRUE(MakeSoxFile(path, rate, channels, "-e ima-adpcm"));
    return Internal(SoxDecode16(path));
  }
  TempFolder folder;
  const std::string path = folder.File("ima.wav");
};

}  // namespace

// A file still being written (data size 0xFFFFFFFF) runs to the end of the
// file; a data chunk that claims more than the file holds stops there.
TEST_F(LSRCACMWaveTest, DataSizeFromTheFileWhereTheHeaderCannotTell) {
  const std::vector<int32_t> reference = MakeIma(16000, 2);
  for (uint32_t declared : {0xFFFFFFFFu, 0x7FFFFFF0u})
    EXPECT_EQ(ReadToEnd(*OpenCodecWave(path, declared), 4000), reference) << declared;
}

TEST_F(LSRCACMWaveTest, RefusesWhatItCannotDecode) {
  ASSERT_TRUE(testsupport::WriteFileBytes(path, std::vector<uint8_t>(4000, 0x11)));
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
  EXPECT_EQ(open(FormatRecord(kWaveFormatMuLaw, 1, 8000, 8000, 1, 8))->GetLength(), 4000);
}

// A data chunk cut mid-block or damaged ends the audio where it is; nothing
// hangs or crashes. sox writes blocks of 256 bytes (505 samples).
TEST_F(LSRCACMWaveTest, CutOrDamagedDataEndsTheAudioThere) {
  const std::vector<int32_t> reference = MakeIma(22050, 1);
  auto start = [&](size_t frames) { return std::vector<int32_t>(reference.begin(), reference.begin() + long(frames)); };
  // The length is estimated from the byte rate until the decoder runs out;
  // the cut block keeps its whole 4-byte groups.
  LSoundSourceRef source = OpenCodecWave(path, 10 * 256 + 128);
  EXPECT_EQ(source->GetLength(), 10 * 505 + 252);
  EXPECT_EQ(ReadToEnd(*source, 4000), start(10 * 505 + (128 - 4) / 4 * 8 + 1));
  WavParts parts;
  ASSERT_TRUE(ParseWav(testsupport::ReadFileBytes(path), &parts));

  // Block 10's step index is out of range: the decoder refuses the block.
  std::vector<uint8_t> data = parts.data;
  data[10 * 256 + 2] = 200;
  ASSERT_TRUE(testsupport::WriteFileBytes(path, MakeWav(parts.format, data)));
  source = OpenCodecWave(path);
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
  EXPECT_EQ(ReadToEnd(*source, 4000), start(2 * 505 + (700 - 512 - 4) / 4 * 8 + 1));

  // A block align larger than the whole data: one partial block.
  std::vector<uint8_t> wide = FormatRecord(kWaveFormatImaAdpcm, 1, 22050, 11155, 8192, 4);
  ASSERT_TRUE(testsupport::WriteFileBytes(path, MakeWav(wide, {parts.data.begin(), parts.data.begin() + 256})));
  source = OpenCodecWave(path);
  EXPECT_EQ(ReadToEnd(*source, 4000), start(1 + 63 * 8));
}
