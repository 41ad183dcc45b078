#pragma once
// Constant and precomputed tables of the Layer III decoder. The computed ones
// are built once per run, on first use, and shared by every decoder.
#include <cstdint>

namespace mp3 {

// One entry of a two-level Huffman lookup. A root entry with subBits > 0
// points at a second-level table of 2^subBits entries at offset sub.
struct HuffEntry {
  uint8_t x, y, len, subBits;
  uint16_t sub;
};

struct HuffTable {
  const HuffEntry* root = nullptr;  // 256 entries (8 bits); null: table 0, all zeros
  int linbits = 0;
};

// Scale-factor band boundaries in spectral lines.
struct BandTable {
  int16_t longStart[23];   // 22 long bands, then 576
  int16_t shortStart[14];  // 13 short bands, then 192
};

// version code 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5; sample-rate index 0..2.
const BandTable& Bands(int version, int sampleRateIndex);

extern const int kBitRateKbps[2][16];  // [MPEG-1, MPEG-2/2.5][index]; 0 for free and forbidden
extern const int kBaseSampleRate[3];
extern const uint8_t kPretab[22];
extern const uint8_t kSlenMpeg1[2][16];
extern const uint8_t kLsfBandCounts[6][3][4];

constexpr int kPow43Size = 8207;  // 15 + the largest 13-bit linbits escape, and 0
constexpr int kGainOffset = 400;  // gain[q + kGainOffset] = 2^(q / 4)
constexpr int kGainSize = 480;

struct Tables {
  float pow43[2 * kPow43Size - 1];  // sign(n) |n|^(4/3) at n + kPow43Size - 1
  float gain[kGainSize];
  float dct4Long[18][20];  // 18-point DCT-IV behind the 36-point inverse transform; rows padded with zeros for vectors
  float dct4Short[6][6];   // 6-point DCT-IV behind the 12-point one
  float window[4][36];     // block types 0..3; type 2 uses its first 12 values
  float aliasCs[8], aliasCa[8];
  float synthesis[512];   // the synthesis window, carrying the output scale 2^19
  float dctCoef[31];      // 1 / (2 cos((2k+1) pi / 2N)) for N = 2, 4, 8, 16, 32 at offset N/2 - 1
  float isMpeg1[7][2];    // intensity factors (left, right) by position
  float isLsf[2][32][2];  // [intensity scale][position] (left, right)
  HuffTable huff[32];
  HuffEntry quadA[64];  // count1 table A by 6 peeked bits
};

const Tables& GetTables();

}  // namespace mp3
