// Files made by sox, opened the way the program opens audio, decode to sox's
// own samples: plain layouts exactly, block formats up to a tail of silence
// shorter than one block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "sound/files/audio_file_open.h"
#include "tests/support/memory_audio.h"
#include "tests/support/riff.h"
#include "tests/support/test_support.h"

namespace {

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
  std::vector<int32_t> ours(size_t(frames) * c.channels);
  source->Read(ours.data(), frames);
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
  std::vector<int32_t> again(size_t(300) * c.channels);
  source->Read(again.data(), 300);
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

}  // namespace
