// orativo-decode on compressed and wide WAV files: the tool knows nothing of
// the codec layer, the WAV reader hands these files to it.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/platform/codec/wav_fixture.h"
#include "tests/support/test_support.h"

TEST(DecodeTool, CompressedWavesDecodeLikeSox) {
  REQUIRE_COMMAND("sox");
  testsupport::TempFolder temp;
  struct Case {
    int rate, channels;
    const char* encoding;
    size_t blockFrames;  // the length estimate may run past the end by less than a block
  } cases[] = {{22050, 1, "-e ima-adpcm", 505},
               {44100, 2, "-e ima-adpcm", 1017},
               {11025, 2, "-e ms-adpcm", 500},
               {8000, 1, "-e gsm-full-rate", 320},
               {8000, 1, "-e u-law", 1},
               {8000, 2, "-e a-law", 1},
               {48000, 2, "-b 24", 1},
               {22050, 1, "-b 32", 1},
               {22050, 2, "-e floating-point -b 32", 1},
               {16000, 1, "-e floating-point -b 64", 1}};
  for (const Case& c : cases) {
    std::string in = temp.File("in.wav"), out = temp.File("out.wav");
    ASSERT_TRUE(codectest::MakeSoxFile(in, c.rate, c.channels, c.encoding, 0.8)) << c.encoding;
    ASSERT_EQ(testsupport::RunCommand(testsupport::ToolPath("orativo-decode") + " " + in + " " + out), 0) << c.encoding;
    int rate = 0, channels = 0;
    std::vector<int16_t> ours;
    ASSERT_TRUE(testsupport::ReadWav16(out, &rate, &channels, &ours)) << c.encoding;
    EXPECT_EQ(rate, c.rate);
    EXPECT_EQ(channels, c.channels);
    std::vector<int16_t> theirs = codectest::SoxDecode16(in);
    ASSERT_GE(ours.size(), theirs.size()) << c.encoding;
    EXPECT_TRUE(std::equal(theirs.begin(), theirs.end(), ours.begin())) << c.encoding;
    EXPECT_LT(ours.size() - theirs.size(), c.blockFrames * c.channels) << c.encoding;
    EXPECT_TRUE(std::all_of(ours.begin() + theirs.size(), ours.end(), [](int16_t v) { return v == 0; }));
  }
}
