// The Layer III frame decoder against the reference decoder. The encoder
// writes neither intensity stereo nor mixed blocks, so such streams are made
// from its joint-stereo output by setting the intensity bit of the mode
// extension and the mixed-block flag of short-block granules; the reference
// decoder reads the same bits, so the two must still agree.
#include "sound/files/mp3_frame_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "sound/files/mp3_tables.h"
#include "tests/sound/files/mp3_fixtures.h"

namespace {

using mp3test::GetBits;
using mp3test::SetBits;

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

// Bits the scale factors of one granule and channel take: kind 0 long, 1
// short, 2 mixed; intensity: the right channel of an intensity-stereo frame
// at the low sampling frequencies, which reads scalefac_compress differently.
int ScaleFactorBits(bool mpeg1, int sfc, int kind, bool intensity, bool zeroed = false) {
  if (mpeg1) {
    const int s1 = mp3::kSlenMpeg1[0][sfc], s2 = mp3::kSlenMpeg1[1][sfc];
    return kind == 0 ? 11 * s1 + 10 * s2 : kind == 1 ? 18 * s1 + 18 * s2 : 17 * s1 + 18 * s2;
  }
  int slen[4] = {}, table;
  if (!intensity) {
    if (sfc < 400)
      slen[0] = (sfc >> 4) / 5, slen[1] = (sfc >> 4) % 5, slen[2] = (sfc & 15) >> 2, slen[3] = sfc & 3, table = 0;
    else if (sfc < 500)
      sfc -= 400, slen[0] = (sfc >> 2) / 5, slen[1] = (sfc >> 2) % 5, slen[2] = sfc & 3, table = 1;
    else
      sfc -= 500, slen[0] = sfc / 3, slen[1] = sfc % 3, table = 2;
  } else {
    int isc = sfc >> 1;
    if (isc < 180)
      slen[0] = isc / 36, slen[1] = (isc % 36) / 6, slen[2] = (isc % 36) % 6, table = 3;
    else if (isc < 244)
      isc -= 180, slen[0] = (isc & 63) >> 4, slen[1] = (isc & 15) >> 2, slen[2] = isc & 3, table = 4;
    else
      isc -= 244, slen[0] = isc / 3, slen[1] = isc % 3, table = 5;
  }
  // Intensity positions only from 3-bit scale factors: the reference takes 7
  // as the illegal position whatever the length (the largest value the
  // length holds, by the standard; tested on its own below), and has no
  // factors for positions above 7. Positions rewritten to 0 are read alike
  // from any length but 0.
  int bits = 0;
  for (int i = 0; i < 4; ++i) {
    if (intensity && mp3::kLsfBandCounts[table][kind][i] && (zeroed ? slen[i] == 0 : slen[i] != 3)) return -1;
    bits += slen[i] * mp3::kLsfBandCounts[table][kind][i];
  }
  return bits;
}

// mixedRight: of the mixed granules, intensity-coded right channels at the low sampling frequencies.
struct Built {
  int intensityFrames = 0, mixedGranules = 0, mixedRight = 0, shortGranules = 0;
};

// Global-gain steps taken off a granule whose reading the rewrite changes.
// Read another way, the encoder's values can sum to several times full scale
// (a right channel that loses its pre-emphasis, long transforms over short
// values); the decoder limits its output there and the reference does not,
// so such a stream would compare the limit rather than the decoding.
constexpr int kQuieter = 12;

// Rewrites the joint-stereo frames (without CRC) of a stream in place. A flag
// that changes how the scale factors are read comes with a scalefac_compress
// whose scale factors take as many bits, so the Huffman data that follows
// still decodes as the encoder wrote it.
Built Rewrite(std::vector<uint8_t>& bytes, bool intensity, bool mixed) {
  Built built;
  std::vector<size_t> mainAt;  // file offset of every main-data byte, in stream order
  for (const mp3test::FrameSpan& f : mp3test::SplitFrames(bytes)) {
    uint8_t* frame = &bytes[f.offset];
    MP3Header h;
    if (h.Parse(frame)) continue;
    const size_t mainStart = mainAt.size();
    for (size_t i = 4 + size_t(h.CrcBytes() + h.SideInfoSize()); i < f.size; ++i) mainAt.push_back(f.offset + i);
    if (h.mode != 1 || !h.noCrc) continue;
    uint8_t* side = frame + 4;
    const bool mpeg1 = h.version == 0;
    const size_t granuleBits = (mainStart - std::min<size_t>(mainStart, GetBits(side, 0, mpeg1 ? 9 : 8))) * 8;
    // Below the first short-block region boundary (three short bands) every
    // reading of a short or mixed granule uses the first table.
    const int firstRegion = 3 * mp3::Bands(h.version, h.sampleRateIndex).shortStart[3];
    // Bits before the first granule, bits per granule and channel, and the
    // places of scalefac_compress and of the window-switching flag in one.
    const int lead = mpeg1 ? 20 : 10, per = mpeg1 ? 59 : 63, sfcAt = 29, sfcBits = mpeg1 ? 4 : 9, ws = sfcAt + sfcBits;
    bool frameIntensity = intensity;
    for (int gc = 0; gc < (mpeg1 ? 4 : 2); ++gc) {
      const int at = lead + gc * per, ch = gc % 2;
      const bool isShort = GetBits(side, at + ws, 1) && GetBits(side, at + ws + 1, 2) == 2;
      built.shortGranules += isShort;
      const int sfc = GetBits(side, at + sfcAt, sfcBits);
      // Mixed blocks of the low sampling frequencies start region 1 elsewhere:
      // only where both regions use one table does the Huffman data read the same.
      const bool sameTables = GetBits(side, at + ws + 4, 5) == GetBits(side, at + ws + 9, 5) ||
                              GetBits(side, at + 12, 9) * 2 <= firstRegion;
      const bool rightIntensity = !mpeg1 && frameIntensity && ch == 1;
      const bool makeMixed = mixed && isShort && (mpeg1 || sameTables);
      if (!makeMixed && !rightIntensity) continue;
      const int want = ScaleFactorBits(mpeg1, sfc, isShort, false);
      int found = -1;
      for (int c = 0; c < (1 << sfcBits) && found < 0; ++c)
        if (ScaleFactorBits(mpeg1, c, makeMixed ? 2 : isShort, rightIntensity, makeMixed) == want) found = c;
      if (found < 0 && rightIntensity) frameIntensity = false;
      if (found < 0) continue;
      SetBits(side, at + sfcAt, sfcBits, found);
      SetBits(side, at + 21, 8, std::max(0, GetBits(side, at + 21, 8) - kQuieter));
      if (makeMixed) {
        SetBits(side, at + ws + 3, 1, 1);
        ++built.mixedGranules;
      }
      if (makeMixed && rightIntensity) {
        // The reference reads the positions of a mixed right channel here by
        // the MPEG-1 layout (eight long scale factors, not six), two places
        // off, and zeros past the end: all positions 0 read the same either way.
        const size_t from = granuleBits + size_t(GetBits(side, lead, 12));
        for (size_t bit = from; bit < from + size_t(want) && (bit >> 3) < mainAt.size(); ++bit)
          bytes[mainAt[bit >> 3]] &= uint8_t(~(0x80 >> (bit & 7)));
        ++built.mixedRight;
      }
    }
    // A right channel that could not be kept readable is left as it was, and
    // the frame without intensity stereo.
    frame[3] |= frameIntensity ? 0x10 : 0;
    built.intensityFrames += frameIntensity;
  }
  return built;
}

struct Case {
  const char* name;
  int rate, channels;
  const char* options;
  double seconds;
  // mixedRight: must hold a mixed intensity-coded right channel.
  bool intensity = false, mixed = false, mixedRight = false;
};

class MP3Accuracy : public ::testing::TestWithParam<Case> {};

// Fully accurate over the whole file: every version, mode and CRC, and built
// intensity-stereo and mixed-block streams.
TEST_P(MP3Accuracy, MatchesReferenceDecoder) {
  REQUIRE_COMMAND("lame");
  const Case& c = GetParam();
  testsupport::TempFolder folder;
  const std::string path = folder.File("in.mp3");
  ASSERT_TRUE(mp3test::MakeMp3(folder.Path(), "in.mp3", c.rate, c.channels, c.seconds, c.options, 5));
  if (c.intensity || c.mixed) {
    std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
    const Built built = Rewrite(bytes, c.intensity, c.mixed);
    ASSERT_GT(built.shortGranules, 4) << "too few short blocks to test";
    ASSERT_TRUE(!c.mixed || built.mixedGranules > 0) << "no mixed granules";
    ASSERT_TRUE(!c.intensity || built.intensityFrames > 10) << built.intensityFrames << " intensity frames";
    ASSERT_TRUE(!c.mixedRight || built.mixedRight > 0) << "no mixed intensity-coded right channel";
    ASSERT_TRUE(testsupport::WriteFileBytes(path, bytes));
  }
  mp3test::ExpectMatchesReference(path, 1152);
}

INSTANTIATE_TEST_SUITE_P(
    Files, MP3Accuracy,
    ::testing::Values(
        Case{"m1_44k_joint_cbr", 44100, 2, "-m j -b 128", 1.2},
        Case{"m1_48k_mono_cbr_crc", 48000, 1, "-m m -b 64 -p", 1.2},
        Case{"m1_32k_forced_ms_vbr", 32000, 2, "-m f -V 2", 1.2},
        Case{"m1_44k_stereo_vbr_crc", 44100, 2, "-m s -V 0 -p", 1.2}, Case{"m1_48k_dual", 48000, 2, "-m d -b 160", 1.2},
        Case{"m2_22k_mono_cbr", 22050, 1, "-b 32", 1.2}, Case{"m2_24k_stereo_vbr_crc", 24000, 2, "-m s -V 5 -p", 1.2},
        Case{"m2_16k_joint_cbr", 16000, 2, "-m j -b 48", 1.2}, Case{"m25_11k_mono_cbr", 11025, 1, "-b 16", 1.2},
        Case{"m25_8k_joint_vbr", 8000, 2, "-m j -V 6", 1.2},
        Case{"m1_44k_intensity", 44100, 2, "-t -m j -b 128", 3.0, true},
        Case{"m1_44k_intensity_mixed", 44100, 2, "-t -m j -b 128", 3.0, true, true},
        Case{"m1_48k_intensity_mixed", 48000, 2, "-t -m j -b 160", 3.0, true, true},
        Case{"m2_22k_intensity", 22050, 2, "-t -m j -b 64", 3.0, true},
        Case{"m2_24k_mixed", 24000, 2, "-t -m j -b 56", 3.0, false, true},
        Case{"m25_12k_intensity", 12000, 2, "-t -m j -b 32", 3.0, true},
        Case{"m2_22k_intensity_mixed", 22050, 2, "-t -m j -b 48", 6.0, true, true, true},
        Case{"m2_24k_intensity_mixed", 24000, 2, "-t -m j -b 48", 6.0, true, true, true},
        Case{"m2_16k_intensity_mixed", 16000, 2, "-t -m j -b 40", 6.0, true, true, true},
        Case{"m25_11k_mixed", 11025, 2, "-t -m j -b 32", 3.0, false, true},
        Case{"m25_12k_intensity_mixed", 12000, 2, "-t -m j -b 32", 3.0, true, true, true},
        Case{"m25_8k_mixed", 8000, 2, "-t -m j -b 24", 8.0, false, true},
        Case{"m25_8k_intensity", 8000, 2, "-t -m j -b 24", 8.0, true},
        Case{"m25_8k_intensity_mixed", 8000, 2, "-t -m j -b 24", 8.0, true, true, true}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The illegal intensity position at the low sampling frequencies is the
// largest value the band's scale factor length can hold (0 for a length of
// 0), not 7 as at MPEG-1; such a band is decoded as plain stereo. One built
// granule pair at 22.05 kHz, intensity on, no middle/side: the left channel
// holds a run of values, the right channel only its scale factors, all at one
// position. A silent right channel means the bands were not intensity coded.
TEST(MP3LsfIntensityPosition, LargestValueOfTheLengthIsNotIntensity) {
  const uint8_t head[4] = {0xFF, 0xF3, 0x40, 0x50};  // MPEG-2, 32 kbit/s, 22.05 kHz, joint stereo, intensity
  MP3Header header;
  ASSERT_EQ(header.Parse(head), nullptr);
  ASSERT_EQ(header.MainDataSize(), 83);
  // The length of each of the three scale-factor partitions, every
  // right-channel scale factor, and whether that is an intensity position.
  const std::tuple<int, int, bool> cases[] = {{0, 0, false}, {1, 1, false}, {1, 0, true}, {2, 3, false},
                                              {2, 2, true},  {3, 7, false}, {3, 6, true}};
  for (auto [slen, value, coded] : cases) {
    SCOPED_TRACE(testing::Message() << "length " << slen << ", value " << value);
    std::vector<uint8_t> side(17), main(83);
    size_t sideBit = 10, mainBit = 0;  // main_data_begin and private bits 0
    auto put = [](std::vector<uint8_t>& v, size_t& bit, int count, int value) {
      SetBits(v.data(), bit, count, uint32_t(value));
      bit += size_t(count);
    };
    // Left: 100 pairs of (1, 0), table 1 (code 01, sign 0); right: scale factors only.
    const int isc = slen * 36 + slen * 6 + slen;  // slen in all three partitions
    // part2_3_length, big_values, global_gain, scalefac_compress, long blocks,
    // three tables, region counts, scalefac_scale and count1 table.
    for (int ch = 0; ch < 2; ++ch) {
      const int bits = ch ? 21 * slen : 300, bigValues = ch ? 0 : 100, compress = ch ? isc << 1 : 0;
      const int fields[][2] = {{12, bits}, {9, bigValues}, {8, 170}, {9, compress}, {1, 0}, {5, 1},
                               {5, 1},     {5, 1},         {4, 15},  {3, 7},        {2, 0}};
      for (auto [count, v] : fields) put(side, sideBit, count, v);
    }
    for (int pair = 0; pair < 100; ++pair) put(main, mainBit, 3, 2);  // 010
    for (int i = 0; i < 21; ++i) put(main, mainBit, slen, value);
    MP3FrameDecoder decoder;
    decoder.Configure(header.version, header.sampleRateIndex, 2);
    std::vector<int32_t> out(576 * 2);
    double left = 0, right = 0;
    for (int frame = 0; frame < 2; ++frame) {
      ASSERT_EQ(decoder.DecodeFrame(header, side.data(), main.data(), int(main.size()), out.data()),
                MP3FrameDecoder::kDecoded);
      for (int i = 0; i < 576; ++i) left += std::abs(out[2 * i]), right += std::abs(out[2 * i + 1]);
    }
    ASSERT_GT(left, 1000.0);
    if (coded)
      EXPECT_GT(right, left / 100);
    else
      EXPECT_EQ(right, 0.0);
  }
}

}  // namespace
