#include "sound/files/mp3_frame_decoder.h"

#include <gtest/gtest.h>

#include "tests/sound/files/mp3_fixtures.h"

namespace {

using testsupport::TempFolder;

// Field values are checked by the accuracy tests below, over every version,
// mode and CRC; here what is not a Layer III frame header must be refused.
TEST(MP3Header, RejectsWhatIsNotLayerThree) {
  MP3Header h;
  const uint8_t valid[4] = {0xFF, 0xFB, 0x90, 0x64};
  EXPECT_EQ(h.Parse(valid), nullptr);
  const uint8_t refused[][4] = {
      {0xFF, 0xFD, 0x90, 0x64},  // layer II
      {0xFF, 0xFB, 0x00, 0x64},  // free format
      {0xFF, 0xFB, 0xF0, 0x64},  // forbidden bit rate
      {0xFF, 0xFB, 0x9C, 0x64},  // reserved sampling frequency
      {0xFF, 0xEB, 0x90, 0x64},  // reserved version
  };
  for (const auto& bytes : refused) EXPECT_NE(h.Parse(bytes), nullptr) << int(bytes[1]) << " " << int(bytes[2]);
}

struct Case {
  const char* name;
  int rate;
  int channels;
  const char* options;
};

class MP3Accuracy : public ::testing::TestWithParam<Case> {};

// Every version, mode and CRC, over the whole length of the file.
TEST_P(MP3Accuracy, MatchesReferenceDecoder) {
  REQUIRE_COMMAND("lame");
  const Case& c = GetParam();
  TempFolder folder;
  ASSERT_TRUE(mp3test::MakeMp3(folder.Path(), "in.mp3", c.rate, c.channels, 1.2, c.options));
  mp3test::ExpectMatchesReference(folder.File("in.mp3"), 2400);
}

INSTANTIATE_TEST_SUITE_P(Files, MP3Accuracy,
                         ::testing::Values(Case{"m1_44k_joint_cbr", 44100, 2, "-m j -b 128"},
                                           Case{"m1_48k_mono_cbr_crc", 48000, 1, "-m m -b 64 -p"},
                                           Case{"m1_32k_forced_ms_vbr", 32000, 2, "-m f -V 2"},
                                           Case{"m1_44k_stereo_vbr_crc", 44100, 2, "-m s -V 0 -p"},
                                           Case{"m1_48k_dual", 48000, 2, "-m d -b 160"},
                                           Case{"m2_22k_mono_cbr", 22050, 1, "-b 32"},
                                           Case{"m2_24k_stereo_vbr_crc", 24000, 2, "-m s -V 5 -p"},
                                           Case{"m2_16k_joint_cbr", 16000, 2, "-m j -b 48"},
                                           Case{"m25_11k_mono_cbr", 11025, 1, "-b 16"},
                                           Case{"m25_8k_joint_vbr", 8000, 2, "-m j -V 6"}),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
