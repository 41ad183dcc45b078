// WAV files: PCM read and written, compressed data through the codec layer.
#include "sound/files/wave_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "sound/files/acm_wave.h"
#include "tests/support/memory_audio.h"
#include "tests/support/riff.h"
#include "tests/support/test_support.h"

using namespace testsupport;

namespace {

std::vector<int16_t> Ramp(int count) {
  std::vector<int16_t> v(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) v[size_t(i)] = int16_t(i * 7 - 3000);
  return v;
}
std::vector<int32_t> InternalRamp(int count) { return Internal(Ramp(count)); }
// Every frame up to the source's length.
std::vector<int32_t> ReadAll(const LSoundSourceRef& source) {
  return ReadFrames(source, std::max(source->GetLength(), 0));
}
std::vector<int32_t> ReadAll(const std::string& path) { return ReadAll(LWaveFile::OpenSource(path)); }

class WaveFileTest : public ::testing::Test {
 protected:
  LSoundSourceRef Open(const Bytes& bytes) {
    std::string path = temp_.File("in" + std::to_string(count_++) + ".wav");
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return LWaveFile::OpenSource(path);
  }
  TempFolder temp_;
  int count_ = 0;
};

// Opens a WAV the way the WAV reader hands it over: the file positioned at
// the data, the "fmt " body and the declared data size.
LSoundSourceRef OpenCodecWave(const std::string& path, uint32_t declaredSize = 0) {
  WavParts parts;
  if (!ParseWav(testsupport::ReadFileBytes(path), &parts)) return LSoundSourceRef::Null(kSoundBadFormat);
  PlatformFile file = PlatformFile::OpenRead(path);
  file.Seek(parts.dataOffset);
  return OpenACMWaveSource(std::move(file), parts.format, declaredSize ? declaredSize : parts.dataSize);
}

class LSRCACMWaveTest : public WaveFileTest {
 protected:
  void SetUp() override { REQUIRE_COMMAND("sox"); }
  // An IMA ADPCM file by sox at path, and sox's decode of it in the internal format.
  std::vector<int32_t> MakeIma(int rate, int channels) {
    EXPECT_TRUE(MakeSoxFile(path, rate, channels, "-e ima-adpcm"));
    return Internal(SoxDecode16(path));
  }
  const std::string path = temp_.File("ima.wav");
};

}  // namespace

// Plain 16-bit layouts other programs write; 8-bit, wide and compressed data
// are compared with sox in sox_compare_test.
TEST_F(WaveFileTest, OpensPlainLayouts) {
  std::vector<int16_t> ramp = Ramp(50);
  Bytes extensible = Fmt(0xFFFE, 1, 22050, 16, 22);  // subformat 16-bit PCM
  extensible[18] = 16;
  const uint8_t pcmGuid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  std::memcpy(extensible.data() + 24, pcmGuid, 16);
  Bytes afterList = Chunk("LIST", Bytes(9, 'a'));  // another form first, odd sized
  Bytes wave = Riff({Chunk("fmt ", Fmt(1, 1, 22050, 16)), Chunk("data", Samples16(ramp))});
  afterList.insert(afterList.end(), wave.begin(), wave.end());
  // A file still being written: the data runs to the end of the file, whole frames only.
  Bytes streaming = Riff({Chunk("fmt ", Fmt(1, 1, 22050, 16, 0)), Chunk("data", Samples16(ramp))});
  streaming[42] = streaming[43] = streaming[44] = streaming[45] = 0xFF;
  streaming.push_back(1);
  std::vector<Bytes> layouts = {
      wave,
      Riff({Chunk("fmt ", Fmt(1, 1, 22050, 16, 0)), Chunk("LIST", Bytes(26, 'x')), Chunk("data", Samples16(ramp))}),
      Riff({Chunk("fact", Bytes(5, 1)), Chunk("fmt ", Fmt(1, 1, 22050, 16, 4)), Chunk("data", Samples16(ramp))}),
      Riff({Chunk("fmt ", extensible), Chunk("data", Samples16(ramp))}),
      afterList,
      streaming,
  };
  for (const Bytes& layout : layouts) {
    SCOPED_TRACE(count_);
    LSoundSourceRef source = Open(layout);
    EXPECT_EQ(source->sampleRate, 22050);
    EXPECT_EQ(ReadAll(source), Internal(ramp));
  }
  // 255 channels is the widest layout accepted.
  EXPECT_EQ(Open(Riff({Chunk("fmt ", Fmt(1, 255, 8000, 8)), Chunk("data", Bytes(255 * 2, 128))}))->GetLength(), 2);
}

// Declares 1000 frames of stereo but holds 20 frames and half a sample: what
// is there plays, then silence, and block peaks see the same.
TEST_F(WaveFileTest, DataLargerThanTheFilePlaysWhatIsThereThenSilence) {
  std::vector<int16_t> samples = Ramp(40);
  samples[3] = -32768;
  samples[25] = 32767;
  Bytes data = Samples16(samples);
  data.push_back(0x7F);
  Bytes file = Riff({Chunk("fmt ", Fmt(1, 2, 8000, 16)), Chunk("data", data, 4000)});
  file.pop_back();  // no pad byte: the file simply ends
  LSoundSourceRef source = Open(file);
  EXPECT_EQ(source->GetLength(), 1000);
  std::vector<int32_t> out(60, 99);
  source->Read(out.data(), 25);
  std::vector<int32_t> expected = Internal(samples);
  expected.resize(50, 0);
  expected.resize(60, 99);  // nothing written beyond the frames asked for
  EXPECT_EQ(out, expected);
  EXPECT_EQ(source->GetPosition(), 25);
  std::vector<uint32_t> peaks(4, 99);
  source->Seek(0);
  ASSERT_TRUE(source->ReadBlockPeaks(peaks.data(), 4, 10));
  EXPECT_EQ(peaks, (std::vector<uint32_t>{32768 * 16, 32767 * 16, 0, 0}));
  EXPECT_EQ(source->GetPosition(), 40);
  // Full scale both ways in 8-bit data.
  source = Open(Riff({Chunk("fmt ", Fmt(1, 1, 8000, 8)), Chunk("data", Bytes{0, 128, 255, 129})}));
  ASSERT_TRUE(source->ReadBlockPeaks(peaks.data(), 4, 1));
  EXPECT_EQ(peaks, (std::vector<uint32_t>{128 * 4096, 0, 127 * 4096, 4096}));
}

TEST_F(WaveFileTest, DamagedOrUnopenedFilesAreRefused) {
  Bytes ok = Samples16({1, 2});
  Bytes fmt = Fmt(1, 1, 8000, 16);
  const std::pair<const char*, Bytes> cases[] = {
      {"empty", {}},
      {"short", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A'}},
      {"no WAVE form", Chunk("RIFX", Bytes(40, 0))},
      {"form size past the end", Chunk("RIFX", Bytes(8, 0), 0xFFFFFFFFu)},
      {"no fmt", Riff({Chunk("data", ok)})},
      {"fmt too short", Riff({Chunk("fmt ", Bytes(14, 1)), Chunk("data", ok)})},
      {"fmt too long", Riff({Chunk("fmt ", Bytes(8194, 1)), Chunk("data", ok)})},
      {"fmt size negative", Riff({Chunk("fmt ", fmt, 0xFFFFFFF0u), Chunk("data", ok)})},
      {"fmt cut short", Riff({Chunk("fmt ", Bytes(10, 1), 16)})},
      {"negative chunk size", Riff({Chunk("junk", Bytes{}, 0x80000000u), Chunk("fmt ", fmt), Chunk("data", ok)})},
      {"no data", Riff({Chunk("fmt ", fmt), Chunk("LIST", Bytes(4, 0))})},
      {"data before fmt", Riff({Chunk("data", ok), Chunk("fmt ", fmt)})},
      {"zero channels", Riff({Chunk("fmt ", Fmt(1, 0, 8000, 16)), Chunk("data", ok)})},
      {"256 channels", Riff({Chunk("fmt ", Fmt(1, 256, 8000, 16)), Chunk("data", ok)})},
      {"rate 0", Riff({Chunk("fmt ", Fmt(1, 1, 0, 16)), Chunk("data", ok)})},
      {"rate 200000", Riff({Chunk("fmt ", Fmt(1, 1, 200000, 16)), Chunk("data", ok)})},
      {"rate 2^31", Riff({Chunk("fmt ", Fmt(1, 1, 0x80000000u, 16)), Chunk("data", ok)})},
  };
  for (const auto& [name, bytes] : cases) {
    LSoundSourceRef source = Open(bytes);
    EXPECT_EQ(source->error, kSoundBadFormat) << name;
    EXPECT_EQ(source->GetLength(), 0) << name;
  }
  EXPECT_EQ(LWaveFile::OpenSource(temp_.File("missing.wav"))->error, kSoundCannotOpen);
  EXPECT_EQ(LWaveFile::OpenSource(temp_.Path())->error, kSoundCannotOpen);  // a folder
  // A file that is not open reads silence.
  PlatformFile closed;
  LSRCPCM16File source(closed, 8000, 1, 100);
  EXPECT_EQ(source.error, kSoundCannotOpen);
  std::vector<int32_t> out(10, 5);
  source.Read(out.data(), 10);
  EXPECT_EQ(out, std::vector<int32_t>(10, 0));
  EXPECT_EQ(source.GetPosition(), 10);
}

// Sinks

TEST_F(WaveFileTest, SinkHeaderAndSamplesReadBackAndOtherToolsAgree) {
  std::vector<int32_t> samples = InternalRamp(3 * 9000);  // 9000 frames of 3 channels
  for (int bits : {16, 8}) {
    std::string path = temp_.File("rt" + std::to_string(bits) + ".wav");
    LWaveFile::OpenSinkPCM(path, 16000, 3, bits, 0)->Write(samples.data(), 9000);  // more than one block
    // The 46-byte layout (an 18-byte fmt with a zero extra size), sizes written at the end.
    Bytes file = ReadFileBytes(path), data(9000u * 3u * unsigned(bits / 8));
    ASSERT_EQ(file.size(), 46 + data.size());
    Bytes header = Riff({Chunk("fmt ", Fmt(1, 3, 16000, uint16_t(bits), 0)), Chunk("data", data)});
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + 46, header.begin()));
    std::vector<int32_t> want;
    for (int32_t v : samples) want.push_back(bits == 16 ? SampleFrom16(SampleTo16(v)) : SampleFrom8(SampleTo8(v)));
    EXPECT_EQ(ReadAll(path), want) << bits << " bits";
    if (HaveCommand("sox") || InCI()) {  // under CI sox must be there
      EXPECT_EQ(CommandOutput("soxi -s " + path + " 2>&1"), "9000\n");
    }
  }
}

TEST_F(WaveFileTest, SinkSeekOrStartPositionCutsTheFileBackOnly) {
  std::string path = temp_.File("seek.wav");
  LSoundSinkRef sink = LWaveFile::OpenSinkPCM(path, 8000, 2, 16, 0);
  std::vector<int32_t> block = InternalRamp(2000);
  sink->Write(block.data(), 1000);
  sink->Seek(10);
  EXPECT_EQ(std::filesystem::file_size(path), 46u + 40u);
  sink->Seek(2000);
  EXPECT_EQ(sink->sPosition, 10);
  EXPECT_EQ(std::filesystem::file_size(path), 46u + 40u);
  sink->Write(block.data() + 20, 5);  // continues right after frame 10
  sink->Seek(-3);
  EXPECT_EQ(sink->sPosition, 0);
  EXPECT_EQ(std::filesystem::file_size(path), 46u);
  sink->Write(block.data(), 3);
  sink.Release();
  EXPECT_EQ(ReadAll(path), std::vector<int32_t>(block.begin(), block.begin() + 6));

  // A sink opened at a start position keeps the file up to there.
  std::vector<int32_t> first = InternalRamp(1000), second(100, SampleFrom16(1234));
  LWaveFile::OpenSinkPCM(path, 8000, 1, 16, 0)->Write(first.data(), 1000);
  LWaveFile::OpenSinkPCM(path, 8000, 1, 16, 600)->Write(second.data(), 100);
  std::vector<int32_t> expected(first.begin(), first.begin() + 600);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(ReadAll(path), expected);

  // A start beyond the end keeps what is there, so the header stays true.
  EXPECT_EQ(LWaveFile::OpenSinkPCM(path, 8000, 1, 16, 5000)->sPosition, 700);
  EXPECT_EQ(ReadAll(path), expected);

  // Over another tool's 44-byte layout; samples of another shape start empty.
  std::vector<int16_t> stereo = Ramp(2 * 3000);
  ASSERT_TRUE(WriteWav16(path, 8000, 2, stereo));
  EXPECT_EQ(LWaveFile::OpenSinkPCM(path, 8000, 2, 16, 2500)->sPosition, 2500);
  EXPECT_EQ(ReadAll(path), Internal({stereo.begin(), stereo.begin() + 5000}));
  ASSERT_TRUE(WriteWav16(path, 8000, 2, stereo));
  EXPECT_EQ(LWaveFile::OpenSinkPCM(path, 8000, 1, 16, 100)->sPosition, 0);
}

// A copy taken while the sink is open is what a crash leaves behind: it reads
// as a streaming file, and a later recording continues it from a frame.
TEST_F(WaveFileTest, SinkRecordingLeftByACrashContinuesAndUnusableSinks) {
  std::string path = temp_.File("live.wav"), left = temp_.File("left.wav");
  std::vector<int32_t> block = InternalRamp(3000);
  {
    LSoundSinkRef sink = LWaveFile::OpenSinkPCM(path, 8000, 1, 16, 0);
    sink->Write(block.data(), 3000);
    std::filesystem::copy_file(path, left);
  }
  Bytes header = ReadFileBytes(left);
  EXPECT_EQ(LeGet32(&header[4]), 0xFFFFFFFFu);
  EXPECT_EQ(LeGet32(&header[42]), 0xFFFFFFFFu);
  EXPECT_EQ(ReadAll(left), block);
  {
    LSoundSinkRef sink = LWaveFile::OpenSinkPCM(left, 8000, 1, 16, 2000);
    EXPECT_EQ(sink->sPosition, 2000);
    sink->Write(block.data(), 10);
  }
  EXPECT_EQ(LeGet32(&ReadFileBytes(left)[42]), 2010u * 2);
  std::vector<int32_t> want(block.begin(), block.begin() + 2000);
  want.insert(want.end(), block.begin(), block.begin() + 10);
  EXPECT_EQ(ReadAll(left), want);

  // A sink of a sample size it cannot write, in a missing folder, or without channels.
  EXPECT_TRUE(LWaveFile::OpenSinkPCM(temp_.File("wide.wav"), 8000, 1, 24, 0).IsEmpty());
  EXPECT_FALSE(std::filesystem::exists(temp_.File("wide.wav")));
  LSoundSinkRef nowhere = LWaveFile::OpenSinkPCM(temp_.File("no/such/folder.wav"), 8000, 1, 16, 7);
  EXPECT_FALSE(nowhere.IsUsable());
  nowhere->Write(block.data(), 50);
  EXPECT_EQ(nowhere->sPosition, 57);
  EXPECT_FALSE(LWaveFile::OpenSinkPCM(temp_.File("zero.wav"), 8000, 0, 8, 0).IsUsable());
}

// Compressed data

TEST_F(LSRCACMWaveTest, RefusesWhatItCannotDecode) {
  ASSERT_TRUE(testsupport::WriteFileBytes(path, std::vector<uint8_t>(4000, 0x11)));
  auto open = [&](const Bytes& record) { return OpenACMWaveSource(PlatformFile::OpenRead(path), record, 4000); };
  EXPECT_EQ(open(FormatRecord(0x0055, 1, 22050, 4000, 1, 0))->error, kSoundNoCodec);
  EXPECT_EQ(open(FormatRecord(kWaveFormatImaAdpcm, 1, 8000, 4055, 0, 4, {0xF9, 0x01}))->error, kSoundNoCodec);
  EXPECT_EQ(open({1, 0, 1, 0})->error, kSoundBadFormat);  // a record too short to hold a rate
  EXPECT_EQ(open(FormatRecord(kWaveFormatMuLaw, 0, 8000, 8000, 1, 8))->error, kSoundBadFormat);
  EXPECT_EQ(open(FormatRecord(kWaveFormatMuLaw, 256, 8000, 8000, 1, 8))->error, kSoundBadFormat);
  EXPECT_EQ(OpenACMWaveSource(PlatformFile(), FormatRecord(kWaveFormatMuLaw, 1, 8000, 8000, 1, 8), 10)->error,
            kSoundCannotOpen);
  EXPECT_EQ(open(FormatRecord(kWaveFormatMuLaw, 1, 8000, 8000, 1, 8))->GetLength(), 4000);
}

// Where the header cannot tell the data size, the file does; a data chunk cut
// mid-block or damaged ends the audio where it is; nothing hangs or crashes.
// sox writes blocks of 256 bytes (505 samples).
TEST_F(LSRCACMWaveTest, DataSizeFromTheFileAndCutOrDamagedDataEndsTheAudioThere) {
  // A file still being written (data size 0xFFFFFFFF) runs to the end of the
  // file; a data chunk that claims more than the file holds stops there.
  const std::vector<int32_t> stereo = MakeIma(16000, 2);
  for (uint32_t declared : {0xFFFFFFFFu, 0x7FFFFFF0u})
    EXPECT_EQ(ReadToEnd(*OpenCodecWave(path, declared), 4000), stereo) << declared;
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
