// Intensity stereo and mixed blocks. The encoder writes neither, so the
// streams are made from its joint-stereo output by setting the intensity bit
// of the mode extension and the mixed-block flag of short-block granules; the
// reference decoder reads the same bits, so the two must still agree.
#include <gtest/gtest.h>

#include <cstdio>

#include "sound/files/mp3_tables.h"
#include "tests/sound/files/mp3_fixtures.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::TempFolder;
using testsupport::WriteFileBytes;

int GetBits(const uint8_t* bytes, int bit, int count) {
  int v = 0;
  for (int i = 0; i < count; ++i, ++bit) v = (v << 1) | ((bytes[bit >> 3] >> (7 - (bit & 7))) & 1);
  return v;
}

void SetBits(uint8_t* bytes, int bit, int count, int value) {
  for (int i = 0; i < count; ++i, ++bit) {
    const uint8_t mask = uint8_t(0x80 >> (bit & 7));
    bytes[bit >> 3] =
        ((value >> (count - 1 - i)) & 1) ? uint8_t(bytes[bit >> 3] | mask) : uint8_t(bytes[bit >> 3] & ~mask);
  }
}

// Bits the scale factors of one granule and channel take: kind 0 long, 1
// short, 2 mixed; intensity: the right channel of an intensity-stereo frame
// at the low sampling frequencies, which reads scalefac_compress differently.
int ScaleFactorBits(bool mpeg1, int sfc, int kind, bool intensity) {
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
  // Positions above 7 are not used: the reference decoder does not give
  // usable results for them.
  int bits = 0;
  for (int i = 0; i < 4; ++i) {
    if (intensity && slen[i] > 3) return -1;
    bits += slen[i] * mp3::kLsfBandCounts[table][kind][i];
  }
  return bits;
}

struct Built {
  int intensityFrames = 0;
  int mixedGranules = 0;
  int shortGranules = 0;
};

// Rewrites the joint-stereo frames (without CRC) of a stream in place. A flag
// that changes how the scale factors are read comes with a scalefac_compress
// whose scale factors take as many bits, so the Huffman data that follows
// still decodes as the encoder wrote it.
Built Rewrite(std::vector<uint8_t>& bytes, bool intensity, bool mixed) {
  Built built;
  for (const mp3test::FrameSpan& f : mp3test::SplitFrames(bytes)) {
    uint8_t* frame = &bytes[f.offset];
    MP3Header h;
    if (h.Parse(frame) || h.mode != 1 || !h.noCrc) continue;
    uint8_t* side = frame + 4;
    const bool mpeg1 = h.version == 0;
    // Bits before the first granule, bits per granule and channel, and the
    // places of scalefac_compress and of the window-switching flag in one.
    const int lead = mpeg1 ? 20 : 10, per = mpeg1 ? 59 : 63, sfcAt = 29, sfcBits = mpeg1 ? 4 : 9;
    const int ws = sfcAt + sfcBits;
    bool frameIntensity = intensity;
    std::vector<uint8_t> saved(side, side + (mpeg1 ? 32 : 17));
    for (int gc = 0; gc < (mpeg1 ? 4 : 2); ++gc) {
      const int at = lead + gc * per, ch = gc % 2;
      const bool isShort = GetBits(side, at + ws, 1) && GetBits(side, at + ws + 1, 2) == 2;
      built.shortGranules += isShort;
      const int sfc = GetBits(side, at + sfcAt, sfcBits);
      const int kind = isShort ? 1 : 0;
      // Mixed blocks of the low sampling frequencies start region 1 elsewhere:
      // only where both regions use one table does the Huffman data read the same.
      const bool sameTables =
          GetBits(side, at + ws + 4, 5) == GetBits(side, at + ws + 9, 5) || GetBits(side, at + 12, 9) * 2 <= 36;
      const bool makeMixed = mixed && isShort && (mpeg1 || sameTables);
      const bool rightIntensity = !mpeg1 && frameIntensity && ch == 1;
      if (!makeMixed && !rightIntensity) continue;
      const int want = ScaleFactorBits(mpeg1, sfc, kind, false);
      int found = -1;
      for (int c = 0; c < (1 << sfcBits) && found < 0; ++c)
        if (ScaleFactorBits(mpeg1, c, makeMixed ? 2 : kind, rightIntensity) == want) found = c;
      if (found < 0) {
        if (rightIntensity) frameIntensity = false;
        continue;
      }
      SetBits(side, at + sfcAt, sfcBits, found);
      if (makeMixed) {
        SetBits(side, at + ws + 3, 1, 1);
        ++built.mixedGranules;
      }
    }
    if (intensity && !frameIntensity) {
      // The right channel could not be kept readable: leave the frame as it was.
      std::copy(saved.begin(), saved.end(), side);
      continue;
    }
    if (frameIntensity) {
      frame[3] |= 0x10;
      ++built.intensityFrames;
    }
  }
  return built;
}

struct Case {
  const char* name;
  int rate;
  const char* options;
  bool intensity;
  bool mixed;
};

class MP3StereoTools : public ::testing::TestWithParam<Case> {};

TEST_P(MP3StereoTools, MatchesReferenceDecoder) {
  REQUIRE_COMMAND("lame");
  const Case& c = GetParam();
  TempFolder folder;
  ASSERT_TRUE(mp3test::MakeMp3(folder.Path(), "j.mp3", c.rate, 2, 3.0, std::string("-t -m j ") + c.options, 5));
  std::vector<uint8_t> bytes = ReadFileBytes(folder.File("j.mp3"));
  const Built built = Rewrite(bytes, c.intensity, c.mixed);
  ASSERT_GT(built.shortGranules, 4) << "too few short blocks to test";
  if (c.mixed) {
    ASSERT_GT(built.mixedGranules, 0);
  }
  if (c.intensity) {
    ASSERT_GT(built.intensityFrames, 10);
  }
  const std::string path = folder.File("built.mp3");
  ASSERT_TRUE(WriteFileBytes(path, bytes));

  const mp3test::Pcm ref = mp3test::DecodeReference(path);
  const mp3test::Pcm ours = mp3test::DecodeOurs(path);
  ASSERT_EQ(ours.channels, 2);
  ASSERT_GT(ref.Frames(), size_t(c.rate));
  const mp3test::Difference d = mp3test::Compare(ours, ref);
  EXPECT_EQ(d.offset, 0);
  EXPECT_GE(d.compared + 2 * 1152, ref.samples.size());
  EXPECT_LT(d.rms, mp3test::RmsLimit());
  EXPECT_LT(d.peak, mp3test::PeakLimit());
  std::printf("[ accuracy ] %-24s intensity %3d  mixed %3d  rms %.3g  peak %.3g\n", c.name, built.intensityFrames,
              built.mixedGranules, d.rms, d.peak);
}

INSTANTIATE_TEST_SUITE_P(Streams, MP3StereoTools,
                         ::testing::Values(Case{"m1_44k_intensity", 44100, "-b 128", true, false},
                                           Case{"m1_44k_intensity_mixed", 44100, "-b 128", true, true},
                                           Case{"m1_48k_intensity_mixed", 48000, "-b 160", true, true},
                                           Case{"m2_22k_intensity", 22050, "-b 64", true, false},
                                           Case{"m2_24k_mixed", 24000, "-b 56", false, true},
                                           Case{"m25_12k_intensity", 12000, "-b 32", true, false}),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
