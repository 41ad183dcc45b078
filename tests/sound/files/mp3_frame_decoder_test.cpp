#include "sound/files/mp3_frame_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "sound/files/mp3_tables.h"
#include "tests/sound/files/mp3_fixtures.h"

namespace {

using testsupport::TempFolder;

// Every Huffman code decodes each of its values back from its own bits and
// the table is complete: a mistyped length or code shows up here.
TEST(MP3Tables, HuffmanCodesDecodeEveryValue) {
  const mp3::Tables& t = mp3::GetTables();
  for (int table : {1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 24}) {
    const mp3::HuffTable& h = t.huff[table];
    ASSERT_NE(h.root, nullptr) << table;
    const int size = table < 2 ? 2 : table < 5 ? 3 : table < 7 ? 4 : table < 10 ? 6 : table < 13 ? 8 : 16;
    // Walk every 8-bit prefix and its second level: each leaf must be a value in range.
    double kraft = 0;
    for (int p = 0; p < 256; ++p) {
      const mp3::HuffEntry& e = h.root[p];
      if (e.subBits) {
        for (int s = 0; s < (1 << e.subBits); ++s) {
          const mp3::HuffEntry& leaf = h.root[e.sub + s];
          ASSERT_GT(leaf.len, 8) << "table " << table << " prefix " << p;
          ASSERT_LT(leaf.x, size);
          ASSERT_LT(leaf.y, size);
          kraft += std::ldexp(1.0, -8 - e.subBits);
        }
      } else {
        ASSERT_GT(e.len, 0) << "table " << table << " prefix " << p << " decodes nothing";
        ASSERT_LE(e.len, 8);
        kraft += std::ldexp(1.0, -8);
      }
    }
    EXPECT_DOUBLE_EQ(kraft, 1.0) << table;
  }
  EXPECT_EQ(t.huff[23].root, t.huff[16].root);
  EXPECT_EQ(t.huff[31].linbits, 13);
  EXPECT_EQ(t.huff[4].root, nullptr);
}

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
  bool speech;
};

class MP3Accuracy : public ::testing::TestWithParam<Case> {};

// Every file must be fully accurate against the reference decoder over its
// whole length: RMS difference below 2^-15/sqrt(12), no sample off by 2^-14.
TEST_P(MP3Accuracy, MatchesReferenceDecoder) {
  REQUIRE_COMMAND("lame");
  const Case& c = GetParam();
  TempFolder folder;
  const std::string wav = folder.File("in.wav"), mp3 = folder.File("in.mp3");
  if (c.speech) {
    REQUIRE_COMMAND("espeak-ng");
    REQUIRE_COMMAND("sox");
    ASSERT_TRUE(mp3test::MakeSpeechWav(wav, c.rate, c.channels, folder.Path()));
  } else {
    ASSERT_TRUE(testsupport::WriteWav16(wav, c.rate, c.channels, mp3test::TestSignal(c.rate, c.channels, 1.2)));
  }
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
                         ::testing::Values(Case{"m1_44k_joint_cbr", 44100, 2, "-m j -b 128", false},
                                           Case{"m1_48k_mono_cbr_crc", 48000, 1, "-m m -b 64 -p", false},
                                           Case{"m1_32k_forced_ms_vbr", 32000, 2, "-m f -V 2", false},
                                           Case{"m1_44k_stereo_vbr_crc", 44100, 2, "-m s -V 0 -p", false},
                                           Case{"m1_48k_dual", 48000, 2, "-m d -b 160", false},
                                           Case{"m1_44k_speech_vbr", 44100, 1, "-V 4", true},
                                           Case{"m2_22k_speech_cbr", 22050, 1, "-b 32", true},
                                           Case{"m2_24k_stereo_vbr_crc", 24000, 2, "-m s -V 5 -p", false},
                                           Case{"m2_16k_joint_cbr", 16000, 2, "-m j -b 48", false},
                                           Case{"m25_11k_mono_cbr", 11025, 1, "-b 16", false},
                                           Case{"m25_8k_joint_vbr", 8000, 2, "-m j -V 6", false},
                                           Case{"m25_8k_speech_crc", 8000, 1, "-b 24 -p", true}),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
