// What every source promises its reader, checked once for each kind: zeros
// before the start and past the end with the position advancing, a seek equal
// to a straight decode, any split of reads equal to one read, and the exact
// length once the end has been read (at once where the file tells it);
// files made by sox decode to sox's own samples; and the opener as
// orativo-decode, run as a program, uses it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "sound/files/audio_file_open.h"
#include "sound/files/vok_encoder.h"
#include "sound/processors.h"
#include "tests/sound/files/mp3_fixtures.h"
#include "tests/support/memory_audio.h"
#include "tests/support/riff.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::RunTool;
using testsupport::TempFolder;

// A source made in folder and the length it must report at its end.
using Made = std::pair<LSoundSourceRef, int>;

struct SourceKind {
  const char* name;
  const char* tool;  // needed to make the fixture; null when none is
  std::function<Made(const TempFolder&)> make;
  // VOK restarts a block's predictor at a seek (its own test covers that):
  // only seeks into the first block equal the straight decode.
  bool seeksAnywhere = true;
  // Compressed WAV data is measured by decoding it; the rest know their length
  // when opened (MP3 from the information frame lame writes).
  bool lengthAtOnce = true;
};

Made Opened(const std::string& path, int length) { return {OpenAudioFileSource(path), length}; }

// sox makes the file; its own decode gives the length.
Made SoxWav(const TempFolder& folder, int rate, int channels, const char* encoding) {
  const std::string path = folder.File("in.wav");
  EXPECT_TRUE(testsupport::MakeSoxFile(path, rate, channels, encoding, 0.7));
  return Opened(path, int(testsupport::SoxDecode16(path).size()) / channels);
}

Made PlainWav(const TempFolder& folder) {
  const std::string path = folder.File("plain.wav");
  EXPECT_TRUE(testsupport::WriteWav16(path, 22050, 2, testsupport::Tone(22050, 2, 17000, 440, 20000)));
  return Opened(path, 17000);
}

Made Vok(const TempFolder& folder) {
  const std::string path = folder.File("in.VoK");  // the opener ignores the letter case
  EXPECT_TRUE(WriteVOKFile(path, testsupport::Internal(testsupport::Tone(11025, 1, 12345, 300, 12000)), 11025, 1));
  return Opened(path, 12345);
}

Made Mp3(const TempFolder& folder, const char* options) {
  EXPECT_TRUE(mp3test::MakeMp3(folder.Path(), "In.MP3", 32000, 2, 1.5, options));
  return Opened(folder.File("In.MP3"), int(mp3test::DecodeReference(folder.File("In.MP3")).Frames()));
}

// A processor over the plain WAV, made directly: the descriptors would not
// wrap a source that needs nothing done.
template <typename Processor, typename... Args>
Made Wrapped(const TempFolder& folder, Args... args) {
  auto [inner, length] = PlainWav(folder);
  return {LSoundSourceRef(new Processor(inner, args...)), length};
}

const SourceKind kKinds[] = {
    {"Wav16", nullptr, PlainWav},
    {"Wav8", "sox", [](const TempFolder& f) { return SoxWav(f, 11025, 1, "-b 8"); }},
    {"ImaAdpcm", "sox", [](const TempFolder& f) { return SoxWav(f, 22050, 2, "-e ima-adpcm"); }, true, false},
    {"MsAdpcm", "sox", [](const TempFolder& f) { return SoxWav(f, 11025, 1, "-e ms-adpcm"); }, true, false},
    {"Vok", nullptr, Vok, false},
    {"Mp3Cbr", "lame", [](const TempFolder& f) { return Mp3(f, "-b 96"); }},
    {"Mp3Vbr", "lame", [](const TempFolder& f) { return Mp3(f, "-V 3"); }},
    // Frames with a CRC: frame offsets, found by a seek or by reading through, skip it alike.
    {"Mp3Crc", "lame", [](const TempFolder& f) { return Mp3(f, "-b 96 -p"); }},
    // The limiter must act: the tone peaks above the limit.
    {"PeakLimit", nullptr, [](const TempFolder& f) { return Wrapped<LSRCPeakLimit>(f, uint32_t(0x30000)); }},
    {"TimeStretchAtSpeedOne", nullptr,
     [](const TempFolder& f) { return Wrapped<LSRCTimeStretch>(f, 1.0, 1.0, int32_t(0)); }},
};

// Fills the buffer with a pattern first: every sample must be written.
std::vector<int32_t> Read(LSoundSourceRef& source, int frames) {
  std::vector<int32_t> out(size_t(frames) * source->channels, 0x5A5A5A);
  source->Read(out.data(), frames);
  return out;
}

bool AllZero(const std::vector<int32_t>& v) {
  return std::all_of(v.begin(), v.end(), [](int32_t s) { return s == 0; });
}

class SourceContract : public testing::TestWithParam<SourceKind> {};

TEST_P(SourceContract, KeepsItsPromises) {
  if (GetParam().tool) REQUIRE_COMMAND(GetParam().tool);
  TempFolder folder;
  auto [source, length] = GetParam().make(folder);
  ASSERT_EQ(source->error, kSoundOk);
  ASSERT_GT(length, 4000);
  const int channels = source->channels, lengthAtOpen = source->GetLength();
  // The straight decode: from 0 to the end in one read.
  const std::vector<int32_t> straight = Read(source, length);
  EXPECT_FALSE(AllZero(straight));
  {
    SCOPED_TRACE("the length is exact at the end");
    // Reading past the end settles any estimate.
    EXPECT_TRUE(AllZero(Read(source, 2000)));
    EXPECT_EQ(source->GetLength(), length);
    EXPECT_EQ(GetParam().lengthAtOnce ? lengthAtOpen : length, length) << "the length known when opened";
    EXPECT_EQ(source->GetPosition(), length + 2000);
  }
  {
    SCOPED_TRACE("zeros outside the material while the position advances");
    source->Seek(-1000);
    EXPECT_EQ(source->GetPosition(), -1000);
    std::vector<int32_t> head(size_t(1000) * channels, 0);
    head.insert(head.end(), straight.begin(), straight.begin() + 500 * channels);
    EXPECT_EQ(Read(source, 1500), head);
    EXPECT_EQ(source->GetPosition(), 500);
    source->Seek(length + 3000);
    EXPECT_TRUE(AllZero(Read(source, 700)));
    EXPECT_EQ(source->GetPosition(), length + 3700);
  }
  std::vector<int> targets = {5, 0};
  if (GetParam().seeksAnywhere)
    targets.insert(targets.end(), {length / 2 + 123, 1152 * 3 + 17, length / 3, length - 1000});
  for (int target : targets) {
    SCOPED_TRACE(testing::Message() << "a seek to " << target << " gives the straight decode");
    source->Seek(target);
    EXPECT_EQ(source->GetPosition(), target);
    EXPECT_EQ(Read(source, 1000), std::vector<int32_t>(straight.begin() + long(target) * channels,
                                                       straight.begin() + long(target + 1000) * channels));
    EXPECT_EQ(source->GetPosition(), target + 1000);
  }
  {
    SCOPED_TRACE("any split of reads gives one read");
    source->Seek(0);
    std::vector<int32_t> pieces;
    const int sizes[] = {1, 7, 100, 8192 + 5, 333, 2};
    for (int i = 0, done = 0; done < length; done += sizes[i++ % 6]) {
      std::vector<int32_t> part = Read(source, std::min(sizes[i % 6], length - done));
      pieces.insert(pieces.end(), part.begin(), part.end());
    }
    EXPECT_EQ(pieces, straight);
  }
  // Block peaks from a source's own bytes must be those of its samples, also for
  // blocks partly or wholly outside the material and across its reading pieces.
  for (auto [start, blockFrames] : {std::pair{-1000, 256}, {length - 3000, 100}, {7, 1}}) {
    SCOPED_TRACE(testing::Message() << "block peaks from " << start << " of " << blockFrames);
    const size_t blocks = size_t(length + 2000 - start) / size_t(blockFrames) + 1;
    source->Seek(start);
    std::vector<uint32_t> peaks(blocks, 0xDEAD);
    if (!source->ReadBlockPeaks(peaks.data(), blocks, blockFrames)) {
      EXPECT_EQ(source->GetPosition(), start) << "a source without its own way reads nothing";
      continue;
    }
    EXPECT_EQ(source->GetPosition(), start + int(blocks) * blockFrames);
    for (size_t b = 0; b < blocks; ++b) {
      uint32_t expected = 0;
      for (int64_t frame = start + int64_t(b) * blockFrames, end = frame + blockFrames; frame < end; ++frame)
        for (int c = 0; frame >= 0 && frame < length && c < channels; ++c)
          expected = std::max(expected, uint32_t(std::abs(int64_t(straight[size_t(frame) * channels + c]))));
      ASSERT_EQ(peaks[b], expected) << "block " << b;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EverySource, SourceContract, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<SourceKind>& info) { return std::string(info.param.name); });

// Files made by sox, opened the way the program opens audio, decode to sox's
// own samples: plain layouts exactly, block formats up to a tail of silence
// shorter than one block.
struct SoxCase {
  int rate, channels;
  const char* encoding;
  int blockFrames;  // the decode may run past sox's end by less than a block
};
void PrintTo(const SoxCase& c, std::ostream* os) { *os << c.rate << " Hz, " << c.channels << " ch, " << c.encoding; }

class SoxCompare : public testing::TestWithParam<SoxCase> {};

TEST_P(SoxCompare, DecodesToSoxsSamples) {
  REQUIRE_COMMAND("sox");
  const SoxCase& c = GetParam();
  testsupport::TempFolder temp;
  const std::string path = temp.File("in.wav");
  ASSERT_TRUE(testsupport::MakeSoxFile(path, c.rate, c.channels, c.encoding, 0.8));
  const std::vector<int16_t> theirs = testsupport::SoxDecode16(path);

  LSoundSourceRef source = OpenAudioFileSource(path);
  ASSERT_EQ(source->error, kSoundOk);
  EXPECT_EQ(source->sampleRate, c.rate);
  ASSERT_EQ(int(source->channels), c.channels);
  const int frames = int(theirs.size()) / c.channels + c.blockFrames;
  const std::vector<int32_t> ours = testsupport::ReadFrames(source, frames);
  const int length = source->GetLength();
  ASSERT_GE(length * c.channels, int(theirs.size()));
  EXPECT_LT(length * c.channels - int(theirs.size()), std::max(c.blockFrames, 1) * c.channels);
  std::vector<int32_t> want = testsupport::Internal(theirs);
  want.resize(ours.size(), 0);
  EXPECT_EQ(ours, want);
  // A seek lands on the same samples, inside a block too. GSM carries filter
  // state across blocks: restarted a few blocks early it converges on the
  // straight decode without matching it.
  const int at = frames / 3 + 7;
  source->Seek(at);
  const std::vector<int32_t> again = testsupport::ReadFrames(source, 300);
  const int32_t tolerance = std::string(c.encoding) == "-e gsm-full-rate" ? 1024 * 16 : 0;
  for (size_t i = 0; i < again.size(); ++i)
    ASSERT_LE(std::abs(again[i] - ours[size_t(at) * c.channels + i]), tolerance) << "after the seek, sample " << i;
}

INSTANTIATE_TEST_SUITE_P(Encodings, SoxCompare,
                         testing::Values(SoxCase{8000, 3, "-b 16", 0}, SoxCase{44100, 2, "-b 16", 0},
                                         SoxCase{11025, 1, "-b 8", 0}, SoxCase{22050, 1, "-e ima-adpcm", 505},
                                         SoxCase{44100, 2, "-e ima-adpcm", 1017}, SoxCase{11025, 2, "-e ms-adpcm", 500},
                                         SoxCase{8000, 1, "-e gsm-full-rate", 320}, SoxCase{8000, 1, "-e u-law", 0},
                                         SoxCase{8000, 2, "-e a-law", 0}, SoxCase{48000, 2, "-b 24", 0},
                                         SoxCase{22050, 1, "-b 32", 0}, SoxCase{22050, 2, "-e floating-point -b 32", 0},
                                         SoxCase{16000, 1, "-e floating-point -b 64", 0}));

TEST(DecodeTool, FloatOutputKeepsTheEngineScale) {
  REQUIRE_COMMAND("sox");
  TempFolder temp;
  std::string in = temp.File("in.wav"), out = temp.File("out.wav");
  std::vector<int16_t> samples = {0, 1, -1, 32767, -32768, 1234, -4321, 16};
  ASSERT_TRUE(testsupport::WriteWav16(in, 16000, 2, samples));
  ASSERT_EQ(RunTool("orativo-decode", {"--float", in, out}), 0);
  std::vector<uint8_t> bytes = testsupport::ReadFileBytes(out);
  ASSERT_EQ(bytes.size(), 58 + samples.size() * 4);
  std::vector<float> got(samples.size()), want;
  std::memcpy(got.data(), bytes.data() + 58, got.size() * 4);
  for (int16_t s : samples) want.push_back(float(s * 16) / 524288.0f);
  EXPECT_EQ(got, want);
  // Another program reads it as the same samples.
  EXPECT_EQ(testsupport::SoxDecode16(out), samples);
}

TEST(DecodeTool, StretchAndLimitOptionsAndFilesItCannotPlay) {
  TempFolder temp;
  std::string in = temp.File("in.wav");
  ASSERT_TRUE(testsupport::WriteWav16(in, 22050, 1, testsupport::Tone(22050, 1, 22050, 300, 20000)));
  auto decode = [&](std::vector<std::string> arguments) {
    const std::string out = temp.File("out.wav");
    arguments.insert(arguments.end(), {in, out});
    EXPECT_EQ(RunTool("orativo-decode", arguments), 0) << arguments[0];
    return testsupport::ReadToEnd(*OpenAudioFileSource(out), 4096);
  };
  const std::vector<int32_t> plain = decode({});
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

}  // namespace
