#include "sound/files/mp3_frame_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>

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

// Every file must be fully accurate against the reference decoder over its
// whole length: RMS difference below 2^-15/sqrt(12), no sample off by 2^-14.
TEST_P(MP3Accuracy, MatchesReferenceDecoder) {
  REQUIRE_COMMAND("lame");
  const Case& c = GetParam();
  TempFolder folder;
  const std::string wav = folder.File("in.wav"), mp3 = folder.File("in.mp3");
  ASSERT_TRUE(testsupport::WriteWav16(wav, c.rate, c.channels, mp3test::TestSignal(c.rate, c.channels, 1.2)));
  ASSERT_TRUE(mp3test::Encode(wav, mp3, c.options));
  const mp3test::Pcm ref = mp3test::DecodeReference(mp3);
  const mp3test::Pcm ours = mp3test::DecodeOurs(mp3);
  ASSERT_EQ(ours.rate, ref.rate);
  ASSERT_EQ(ours.channels, ref.channels);
  ASSERT_GT(ref.Frames(), size_t(c.rate / 2));
  const mp3test::Difference d = mp3test::Compare(ours, ref);
  // Nearly all of the reference must have been compared.
  EXPECT_GE(d.compared + size_t(2400 * ref.channels), ref.samples.size());
  EXPECT_LT(d.rms, mp3test::RmsLimit()) << "offset " << d.offset;
  EXPECT_LT(d.peak, mp3test::PeakLimit()) << "offset " << d.offset;
  std::printf("[ accuracy ] %-22s offset %5ld  rms %.3g  peak %.3g\n", c.name, d.offset, d.rms, d.peak);
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
