#include "sound/files/mp3_frame_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sound/files/mp3_tables.h"

using namespace mp3;

namespace {

// Largest absolute output sample; a damaged frame cannot produce more.
constexpr float kOutputLimit = float(0x200000);

// MSB-first reader over the side information.
class SideReader {
 public:
  explicit SideReader(const uint8_t* data) : data_(data) {}
  int Get(int bits) {
    int v = 0;
    for (int i = 0; i < bits; ++i, ++pos_) v = (v << 1) | ((data_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1);
    return v;
  }

 private:
  const uint8_t* data_;
  int pos_ = 0;
};

inline uint64_t Load64(const uint8_t* p) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return __builtin_bswap64(v);
#else
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
  return v;
#endif
}

// Four floats at a time: the compiler's vector type where there is one (SSE,
// NEON and the like, or scalar code it generates itself), else a plain array.
#if defined(__GNUC__)
typedef float F4 __attribute__((vector_size(16)));
typedef int32_t I4 __attribute__((vector_size(16)));
inline F4 Load4(const float* p) {
  F4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void Store4(float* p, F4 v) { std::memcpy(p, &v, sizeof v); }
inline F4 Reversed4(const float* p) { return F4{p[3], p[2], p[1], p[0]}; }
inline F4 Splat4(float x) { return F4{x, x, x, x}; }
inline F4 Min4(F4 a, F4 b) { return a < b ? a : b; }
inline F4 Max4(F4 a, F4 b) { return a > b ? a : b; }
inline I4 Bits4(F4 v) {
  I4 i;
  std::memcpy(&i, &v, sizeof i);
  return i;
}
#else
struct F4 {
  float v[4];
  float& operator[](int i) { return v[i]; }
  float operator[](int i) const { return v[i]; }
};
struct I4 {
  int32_t v[4];
  int32_t operator[](int i) const { return v[i]; }
};
inline F4 operator+(F4 a, F4 b) { return {{a[0] + b[0], a[1] + b[1], a[2] + b[2], a[3] + b[3]}}; }
inline F4 operator-(F4 a, F4 b) { return {{a[0] - b[0], a[1] - b[1], a[2] - b[2], a[3] - b[3]}}; }
inline F4 operator*(F4 a, F4 b) { return {{a[0] * b[0], a[1] * b[1], a[2] * b[2], a[3] * b[3]}}; }
inline F4& operator+=(F4& a, F4 b) { return a = a + b; }
inline I4 operator-(I4 a, I4 b) { return {{a[0] - b[0], a[1] - b[1], a[2] - b[2], a[3] - b[3]}}; }
inline F4 Load4(const float* p) { return {{p[0], p[1], p[2], p[3]}}; }
inline void Store4(float* p, F4 v) { std::memcpy(p, v.v, sizeof v.v); }
inline F4 Reversed4(const float* p) { return {{p[3], p[2], p[1], p[0]}}; }
inline F4 Splat4(float x) { return {{x, x, x, x}}; }
inline F4 Min4(F4 a, F4 b) {
  return {{std::min(a[0], b[0]), std::min(a[1], b[1]), std::min(a[2], b[2]), std::min(a[3], b[3])}};
}
inline F4 Max4(F4 a, F4 b) {
  return {{std::max(a[0], b[0]), std::max(a[1], b[1]), std::max(a[2], b[2]), std::max(a[3], b[3])}};
}
inline I4 Bits4(F4 v) {
  I4 i;
  std::memcpy(i.v, v.v, sizeof i.v);
  return i;
}
#endif

// Up to 57 bits starting at bit pos, left aligned.
inline uint64_t Peek(const uint8_t* data, int pos) { return Load64(data + (pos >> 3)) << (pos & 7); }

// Unnormalised DCT-II, X[m] = sum x[k] cos((2k+1) m pi / 2N), by halving.
template <int N>
struct Dct {
  static inline void Run(const float* x, float* X, const float* coef) {
    float g[N / 2], h[N / 2], G[N / 2], H[N / 2];
    const float* c = coef + (N / 2 - 1);
    if constexpr (N / 2 % 4 == 0) {
      for (int k = 0; k < N / 2; k += 4) {
        const F4 a = Load4(x + k), b = Reversed4(x + N - 4 - k);
        Store4(g + k, a + b);
        Store4(h + k, (a - b) * Load4(c + k));
      }
    } else {
      for (int k = 0; k < N / 2; ++k) {
        g[k] = x[k] + x[N - 1 - k];
        h[k] = (x[k] - x[N - 1 - k]) * c[k];
      }
    }
    Dct<N / 2>::Run(g, G, coef);
    Dct<N / 2>::Run(h, H, coef);
    for (int m = 0; m < N / 2 - 1; ++m) {
      X[2 * m] = G[m];
      X[2 * m + 1] = H[m] + H[m + 1];
    }
    X[N - 2] = G[N / 2 - 1];
    X[N - 1] = H[N / 2 - 1];
  }
};
template <>
struct Dct<1> {
  static inline void Run(const float* x, float* X, const float*) { X[0] = x[0]; }
};

}  // namespace

// ---------------------------------------------------------------- header

const char* MP3Header::Parse(const uint8_t b[4]) {
  if (b[0] != 0xFF || b[1] < 0xE0) return "sync";
  const int versionBits = (b[1] >> 3) & 3;
  if (versionBits == 1) return "MP3Header::ReadHeader version 4???? so skip";
  if (((b[1] >> 1) & 3) != 1) return "MP3Header::ReadHeader not a true layer 3 file";
  const int rateIndex = b[2] >> 4;
  const int code = versionBits == 3 ? 0 : versionBits == 2 ? 1 : 2;
  const int kbps = kBitRateKbps[code == 0 ? 0 : 1][rateIndex];
  if (kbps == 0) return "MP3Header::ReadHeader bitrate is free or forbidden";
  const int srIndex = (b[2] >> 2) & 3;
  if (srIndex >= 3) return "MP3Header::ReadHeader sampling_frequency index >= 3 so assume invalid header and skip";
  version = code;
  noCrc = (b[1] & 1) != 0;
  bitRate = kbps * 1000;
  sampleRateIndex = srIndex;
  padding = (b[2] >> 1) & 1;
  mode = b[3] >> 6;
  modeExtension = (b[3] >> 4) & 3;
  return nullptr;
}

int MP3Header::SampleRate() const { return kBaseSampleRate[sampleRateIndex] >> version; }

int MP3Header::FrameSize() const { return (version == 0 ? 144 : 72) * bitRate / SampleRate() + padding; }

int MP3Header::SideInfoSize() const {
  if (version == 0) return mode == 3 ? 17 : 32;
  return mode == 3 ? 9 : 17;
}

// ---------------------------------------------------------------- decoder

MP3FrameDecoder::MP3FrameDecoder() {
  GetTables();
  Configure(0, 0, 2);
}

void MP3FrameDecoder::Configure(int version, int sampleRateIndex, int channels) {
  version_ = version;
  sampleRateIndex_ = sampleRateIndex;
  channels_ = channels == 1 ? 1 : 2;
  const BandTable& bands = Bands(version, sampleRateIndex);
  // Short blocks arrive band by band, window by window; the inverse transform
  // wants each line's three windows side by side.
  for (int mixed = 0; mixed < 2; ++mixed) {
    int16_t* map = mixed ? reorderMixed_ : reorderShort_;
    for (int i = 0; i < 576; ++i) map[i] = int16_t(i);
    for (int sfb = mixed ? 3 : 0; sfb < 13; ++sfb) {
      const int start = bands.shortStart[sfb], width = bands.shortStart[sfb + 1] - start;
      for (int w = 0; w < 3; ++w)
        for (int k = 0; k < width; ++k) {
          const int from = 3 * start + w * width + k, to = 3 * start + 3 * k + w;
          if (from < 576 && to < 576) map[from] = int16_t(to);
        }
    }
  }
  Reset();
}

void MP3FrameDecoder::Reset() {
  std::memset(overlap_, 0, sizeof overlap_);
  std::memset(vHistory_, 0, sizeof vHistory_);
  vIndex_[0] = vIndex_[1] = 0;
  std::memset(reservoir_, 0, sizeof reservoir_);
  reservoirFill_ = 0;
  std::memset(scale_, 0, sizeof scale_);
}

bool MP3FrameDecoder::ParseSideInfo(const MP3Header& header, const uint8_t* side, SideInfo* info) const {
  SideReader r(side);
  const int nch = header.Channels();
  const bool mpeg1 = header.version == 0;
  info->mainDataBegin = r.Get(mpeg1 ? 9 : 8);
  r.Get(mpeg1 ? (nch == 1 ? 5 : 3) : (nch == 1 ? 1 : 2));
  if (mpeg1)
    for (int ch = 0; ch < nch; ++ch)
      for (int band = 0; band < 4; ++band) info->scfsi[ch][band] = r.Get(1);
  const int granules = mpeg1 ? 2 : 1;
  for (int gr = 0; gr < granules; ++gr)
    for (int ch = 0; ch < nch; ++ch) {
      GranuleChannel& g = info->gr[gr][ch];
      g.part23Length = r.Get(12);
      g.bigValues = r.Get(9);
      g.globalGain = r.Get(8);
      g.scalefacCompress = r.Get(mpeg1 ? 4 : 9);
      const bool windowSwitching = r.Get(1) != 0;
      if (windowSwitching) {
        g.blockType = r.Get(2);
        g.mixed = r.Get(1) != 0;
        g.tableSelect[0] = r.Get(5);
        g.tableSelect[1] = r.Get(5);
        g.tableSelect[2] = 0;
        for (int w = 0; w < 3; ++w) g.subblockGain[w] = r.Get(3);
        // Block type 0 cannot be signalled with window switching: a damaged frame.
        if (g.blockType == 0) return false;
        if (g.blockType != 2) g.mixed = false;
        g.region0Count = (g.blockType == 2 && !g.mixed) ? 8 : 7;
        g.region1Count = 20 - g.region0Count;
      } else {
        g.blockType = 0;
        g.mixed = false;
        for (int i = 0; i < 3; ++i) g.tableSelect[i] = r.Get(5);
        for (int w = 0; w < 3; ++w) g.subblockGain[w] = 0;
        g.region0Count = r.Get(4);
        g.region1Count = r.Get(3);
      }
      g.preflag = mpeg1 ? r.Get(1)
                        : (g.scalefacCompress >= 500 && !(ch == 1 && (header.modeExtension & 1) && header.mode == 1));
      g.scalefacScale = r.Get(1);
      g.count1Table = r.Get(1);
      // More big values than lines: the frame is damaged.
      if (g.bigValues > 288) return false;
    }
  return true;
}

int MP3FrameDecoder::ReadScaleFactors(const MP3Header& header, const GranuleChannel& gc, int gr, int ch,
                                      const SideInfo& info, int pos, int end) {
  ScaleFactors& sf = scale_[ch];
  const int start = pos;
  auto get = [&](int bits) -> int {
    if (bits == 0) return 0;
    if (pos + bits > end) {
      pos = end + 1;  // ran past the channel's data: the rest reads as 0
      return 0;
    }
    const int v = int(Peek(reservoir_, pos) >> (64 - bits));
    pos += bits;
    return v;
  };
  if (header.version == 0) {
    const int slen1 = kSlenMpeg1[0][gc.scalefacCompress], slen2 = kSlenMpeg1[1][gc.scalefacCompress];
    if (gc.blockType == 2) {
      int sfb = 0;
      if (gc.mixed) {
        for (; sfb < 8; ++sfb) sf.l[sfb] = uint8_t(get(slen1));
        sfb = 3;
      }
      for (; sfb < 12; ++sfb)
        for (int w = 0; w < 3; ++w) sf.s[sfb][w] = uint8_t(get(sfb < 6 ? slen1 : slen2));
      sf.s[12][0] = sf.s[12][1] = sf.s[12][2] = 0;
    } else {
      static const int kGroupStart[5] = {0, 6, 11, 16, 21};
      for (int group = 0; group < 4; ++group) {
        if (gr == 1 && info.scfsi[ch][group]) continue;  // kept from granule 0
        for (int sfb = kGroupStart[group]; sfb < kGroupStart[group + 1]; ++sfb)
          sf.l[sfb] = uint8_t(get(group < 2 ? slen1 : slen2));
      }
      sf.l[21] = 0;
    }
  } else {
    const bool intensityRight = ch == 1 && header.mode == 1 && (header.modeExtension & 1);
    int slen[4] = {0, 0, 0, 0}, table = 0;
    int sfc = gc.scalefacCompress;
    if (!intensityRight) {
      if (sfc < 400) {
        slen[0] = (sfc >> 4) / 5, slen[1] = (sfc >> 4) % 5, slen[2] = (sfc & 15) >> 2, slen[3] = sfc & 3;
        table = 0;
      } else if (sfc < 500) {
        sfc -= 400;
        slen[0] = (sfc >> 2) / 5, slen[1] = (sfc >> 2) % 5, slen[2] = sfc & 3;
        table = 1;
      } else {
        sfc -= 500;
        slen[0] = sfc / 3, slen[1] = sfc % 3;
        table = 2;
      }
    } else {
      int isc = sfc >> 1;
      if (isc < 180) {
        slen[0] = isc / 36, slen[1] = (isc % 36) / 6, slen[2] = (isc % 36) % 6;
        table = 3;
      } else if (isc < 244) {
        isc -= 180;
        slen[0] = (isc & 63) >> 4, slen[1] = (isc & 15) >> 2, slen[2] = isc & 3;
        table = 4;
      } else {
        isc -= 244;
        slen[0] = isc / 3, slen[1] = isc % 3;
        table = 5;
      }
    }
    const int kind = gc.blockType == 2 ? (gc.mixed ? 2 : 1) : 0;
    const uint8_t* counts = kLsfBandCounts[table][kind];
    std::memset(&sf, 0, sizeof sf);
    // A flat list of slots: long bands first (all of them, or 6 in mixed
    // blocks), then short bands window by window.
    int slot = 0;
    const int longSlots = kind == 0 ? 21 : kind == 2 ? 6 : 0;
    for (int part = 0; part < 4; ++part) {
      const int bits = std::min(slen[part], 5);
      const uint8_t illegal = uint8_t((1 << bits) - 1);
      for (int i = 0; i < counts[part]; ++i, ++slot) {
        const int v = get(bits);
        if (slot < longSlots) {
          sf.l[slot] = uint8_t(v);
          sf.illegalL[slot] = illegal;
        } else {
          const int s = slot - longSlots;
          const int sfb = (kind == 2 ? 3 : 0) + s / 3;
          if (sfb < 13) {
            sf.s[sfb][s % 3] = uint8_t(v);
            sf.illegalS[sfb] = illegal;
          }
        }
      }
    }
    // The top bands carry no scale factors and take the positions below.
    sf.illegalL[21] = sf.illegalL[20];
    sf.illegalS[12] = sf.illegalS[11];
  }
  return pos - start;
}

int MP3FrameDecoder::ReadHuffman(const GranuleChannel& gc, int pos, int end, int* values) {
  const Tables& t = GetTables();
  const BandTable& bands = Bands(version_, sampleRateIndex_);
  const int bigEnd = gc.bigValues * 2;
  int region1, region2;
  if (gc.blockType != 0) {
    // Nine short bands (three, times three windows) or eight long ones.
    region1 = (gc.blockType == 2 && !gc.mixed) ? 3 * bands.shortStart[3] : bands.longStart[8];
    region2 = 576;
  } else {
    region1 = bands.longStart[std::min(gc.region0Count + 1, 22)];
    region2 = bands.longStart[std::min(gc.region0Count + gc.region1Count + 2, 22)];
  }
  region1 = std::min(region1, bigEnd);
  region2 = std::min(region2, bigEnd);
  const int bounds[3] = {region1, region2, bigEnd};

  int i = 0;
  for (int region = 0; region < 3; ++region) {
    const HuffTable& table = t.huff[gc.tableSelect[region]];
    const int stop = bounds[region];
    if (!table.root) {
      for (; i < stop; ++i) values[i] = 0;
      continue;
    }
    const int linbits = table.linbits;
    for (; i < stop; i += 2) {
      if (pos >= end) {
        values[i] = values[i + 1] = 0;
        continue;
      }
      uint64_t bits = Peek(reservoir_, pos);
      HuffEntry e = table.root[bits >> 56];
      if (e.subBits) e = table.root[e.sub + ((bits << 8) >> (64 - e.subBits))];
      bits <<= e.len;
      pos += e.len;
      int x = e.x, y = e.y;
      if (x == 15 && linbits) {
        x += int(bits >> (64 - linbits));
        bits <<= linbits;
        pos += linbits;
      }
      if (x) {
        if (bits >> 63) x = -x;
        bits <<= 1;
        ++pos;
      }
      if (y == 15 && linbits) {
        y += int(bits >> (64 - linbits));
        bits <<= linbits;
        pos += linbits;
      }
      if (y) {
        if (bits >> 63) y = -y;
        ++pos;
      }
      values[i] = x;
      values[i + 1] = y;
    }
  }
  // Count1 region: quadruples of -1, 0, 1 until the channel's data ends.
  while (i + 4 <= 576 && pos < end) {
    uint64_t bits = Peek(reservoir_, pos);
    int v, len;
    if (gc.count1Table) {
      v = int(~(bits >> 60)) & 15;
      len = 4;
    } else {
      const HuffEntry& e = t.quadA[bits >> 58];
      v = e.x;
      len = e.len;
    }
    bits <<= len;
    int q[4];
    for (int k = 0; k < 4; ++k) {
      q[k] = (v >> (3 - k)) & 1;
      if (q[k]) {
        if (bits >> 63) q[k] = -1;
        bits <<= 1;
        ++len;
      }
    }
    pos += len;
    if (pos > end) break;  // a quadruple that runs past the data is not part of it
    values[i] = q[0], values[i + 1] = q[1], values[i + 2] = q[2], values[i + 3] = q[3];
    i += 4;
  }
  const int count = i;
  for (; i < 576; ++i) values[i] = 0;
  return count;
}

int MP3FrameDecoder::ReorderedLimit(const GranuleChannel& gc, int count) const {
  if (gc.blockType != 2 || count == 0) return count;
  const BandTable& bands = Bands(version_, sampleRateIndex_);
  if (gc.mixed && count <= bands.longStart[version_ == 0 ? 8 : 6]) return count;
  // Reordering moves lines only within a short band's three windows.
  for (int sfb = 0; sfb < 13; ++sfb)
    if (3 * bands.shortStart[sfb + 1] >= count) return std::min(576, 3 * int(bands.shortStart[sfb + 1]));
  return 576;
}

void MP3FrameDecoder::Requantise(const GranuleChannel& gc, const ScaleFactors& sf, const int* values, int count,
                                 float* xr) {
  const Tables& t = GetTables();
  const BandTable& bands = Bands(version_, sampleRateIndex_);
  std::memset(xr, 0, 576 * sizeof(float));
  const int sfShift = gc.scalefacScale ? 4 : 2;  // quarter steps per scale-factor step
  const int base = gc.globalGain - 210 + kGainOffset;
  auto gainOf = [&](int q) { return t.gain[std::clamp(q, 0, kGainSize - 1)]; };
  const float* pow43 = t.pow43 + kPow43Size - 1;  // signed: pow43[-v] = -pow43[v]
  auto put = [&](int from, int to, float gain) { xr[to] = pow43[values[from]] * gain; };
  int i = 0;
  if (gc.blockType != 2 || gc.mixed) {
    const int longBands = gc.blockType == 2 ? (version_ == 0 ? 8 : 6) : 22;
    for (int sfb = 0; sfb < longBands && i < count; ++sfb) {
      const int pre = gc.preflag ? kPretab[sfb] : 0;
      const float gain = gainOf(base - sfShift * (sf.l[sfb] + pre));
      const int stop = std::min<int>(bands.longStart[sfb + 1], count);
      for (; i < stop; ++i) put(i, i, gain);
    }
    if (gc.blockType != 2) return;
  }
  const int16_t* map = ReorderMap(gc.mixed);
  for (int sfb = gc.mixed ? 3 : 0; sfb < 13; ++sfb) {
    const int start = bands.shortStart[sfb], width = bands.shortStart[sfb + 1] - start;
    if (3 * start >= count) break;
    for (int w = 0; w < 3; ++w) {
      const float gain = gainOf(base - 8 * gc.subblockGain[w] - sfShift * sf.s[sfb][w]);
      const int first = 3 * start + w * width;
      const int stop = std::min(first + width, std::min(count, 576));
      for (int k = first; k < stop; ++k) put(k, map[k], gain);
    }
  }
}

void MP3FrameDecoder::Stereo(const MP3Header& header, const GranuleChannel& right) {
  const Tables& t = GetTables();
  const bool ms = (header.modeExtension & 2) != 0;
  const bool intensity = (header.modeExtension & 1) != 0;
  float* l = xr_[0];
  float* r = xr_[1];
  const float half = float(M_SQRT1_2);
  auto midSide = [&](int from, int to) {
    for (int i = from; i < to; ++i) {
      const float m = l[i], s = r[i];
      l[i] = (m + s) * half;
      r[i] = (m - s) * half;
    }
  };
  const int limit = std::max(nonZero_[0], nonZero_[1]);
  if (!intensity) {
    if (ms) midSide(0, limit);
    nonZero_[0] = nonZero_[1] = limit;
    return;
  }
  const BandTable& bands = Bands(version_, sampleRateIndex_);
  const ScaleFactors& sf = scale_[1];
  const int lsfScale = right.scalefacCompress & 1;
  // A band is not intensity coded at position 7 and above (MPEG-1), or at
  // the largest position its scale factor length can hold (low sampling
  // frequencies, which is 0 for a length of 0).
  auto position = [&](int value, int illegal) {
    return (header.version == 0 ? value >= 7 : value == illegal) ? -1 : value;
  };
  auto coded = [](int pos) { return pos >= 0; };
  // One band of lines from..to (step apart) at intensity position pos; -1: none.
  auto apply = [&](int first, int width, int step, int pos) {
    if (!coded(pos)) {
      if (ms)
        for (int k = 0; k < width; ++k) {
          const int i = first + k * step;
          const float m = l[i], s = r[i];
          l[i] = (m + s) * half;
          r[i] = (m - s) * half;
        }
      return;
    }
    float kl, kr;
    if (header.version == 0) {
      kl = t.isMpeg1[pos][0], kr = t.isMpeg1[pos][1];
    } else {
      kl = t.isLsf[lsfScale][pos & 31][0], kr = t.isLsf[lsfScale][pos & 31][1];
    }
    for (int k = 0; k < width; ++k) {
      const int i = first + k * step;
      const float v = l[i];
      l[i] = v * kl;
      r[i] = v * kr;
    }
  };
  // The top short band has no position of its own and takes the one below.
  // When the right channel has values there, the band is middle/side decoded
  // first and the intensity then comes from that left channel, as the
  // reference decoders do.
  auto top = [&](int first, int width, int step, bool rightHasValues, int pos) {
    if (!rightHasValues) return apply(first, width, step, pos);
    if (ms) apply(first, width, step, -1);
    if (!coded(pos)) return;
    if (ms)
      for (int k = 0; k < width; ++k) l[first + k * step] *= float(M_SQRT2);
    apply(first, width, step, pos);
  };
  // The right channel's last non-zero line decides where intensity coding starts.
  int lastNonZero = -1;
  for (int i = nonZero_[1] - 1; i >= 0; --i)
    if (r[i] != 0.0f) {
      lastNonZero = i;
      break;
    }
  if (right.blockType != 2) {
    int sfb = 0;
    while (sfb < 21 && bands.longStart[sfb + 1] <= lastNonZero) ++sfb;
    const int isStart = lastNonZero < 0 ? 0 : sfb + 1;
    if (ms) midSide(0, std::min<int>(bands.longStart[std::min(isStart, 22)], 576));
    for (int b = isStart; b < 22; ++b) {
      const int src = b == 21 ? 20 : b;
      apply(bands.longStart[b], bands.longStart[b + 1] - bands.longStart[b], 1, position(sf.l[src], sf.illegalL[src]));
    }
  } else {
    const int longEnd = right.mixed ? bands.longStart[version_ == 0 ? 8 : 6] : 0;
    const int firstShort = right.mixed ? 3 : 0;
    bool longPartIntensity = right.mixed && lastNonZero < longEnd;
    if (right.mixed) {
      if (longPartIntensity) {
        int sfb = 0;
        while (bands.longStart[sfb + 1] <= lastNonZero) ++sfb;
        const int isStart = lastNonZero < 0 ? 0 : sfb + 1;
        const int longBands = version_ == 0 ? 8 : 6;
        if (ms) midSide(0, bands.longStart[std::min(isStart, longBands)]);
        for (int b = isStart; b < longBands; ++b)
          apply(bands.longStart[b], bands.longStart[b + 1] - bands.longStart[b], 1, position(sf.l[b], sf.illegalL[b]));
      } else if (ms) {
        midSide(0, longEnd);
      }
    }
    for (int w = 0; w < 3; ++w) {
      // Last band of this window holding a non-zero line.
      int isStart = firstShort;
      if (!longPartIntensity) {
        for (int sfb = 12; sfb >= firstShort; --sfb) {
          const int start = bands.shortStart[sfb], width = bands.shortStart[sfb + 1] - start;
          bool any = false;
          for (int k = 0; k < width && !any; ++k) {
            const int i = 3 * (start + k) + w;
            any = i < 576 && r[i] != 0.0f;
          }
          if (any) {
            isStart = sfb + 1;
            break;
          }
        }
      }
      for (int sfb = firstShort; sfb < 13; ++sfb) {
        const int start = bands.shortStart[sfb], width = bands.shortStart[sfb + 1] - start;
        if (3 * (start + width) > 576) break;
        if (sfb == 12) {
          top(3 * start + w, width, 3, isStart > 12, position(sf.s[11][w], sf.illegalS[11]));
        } else if (sfb < isStart) {
          if (ms) apply(3 * start + w, width, 3, -1);  // plain middle/side
        } else {
          apply(3 * start + w, width, 3, position(sf.s[sfb][w], sf.illegalS[sfb]));
        }
      }
    }
  }
  nonZero_[0] = nonZero_[1] = 576;
}

void MP3FrameDecoder::AliasReduce(const GranuleChannel& gc, float* xr, int limit) {
  if (gc.blockType == 2 && !gc.mixed) return;
  const Tables& t = GetTables();
  const int boundaries = gc.blockType == 2 ? 1 : std::min(31, (limit + 17) / 18);
  for (int sb = 1; sb <= boundaries; ++sb) {
    float* a = xr + 18 * sb - 1;  // counting down from the lower subband's top
    float* b = xr + 18 * sb;
    for (int i = 0; i < 8; ++i) {
      const float lo = a[-i], hi = b[i];
      a[-i] = lo * t.aliasCs[i] - hi * t.aliasCa[i];
      b[i] = hi * t.aliasCs[i] + lo * t.aliasCa[i];
    }
  }
}

void MP3FrameDecoder::Hybrid(const GranuleChannel& gc, int ch, const float* xr, int limit) {
  const Tables& t = GetTables();
  // Subbands above the limit carry only what the previous granule left.
  int sbLimit = std::min(32, (limit + 17) / 18 + 1);
  if (gc.blockType == 2 && !gc.mixed) sbLimit = std::min(32, (limit + 17) / 18);
  for (int sb = 0; sb < 32; ++sb) {
    float* over = overlap_[ch][sb];
    float res[18];
    if (sb >= sbLimit) {
      for (int i = 0; i < 18; ++i) res[i] = over[i], over[i] = 0.0f;
    } else if (gc.blockType != 2 || (gc.mixed && sb < 2)) {
      const float* in = xr + 18 * sb;
      F4 acc[5] = {};
      for (int k = 0; k < 18; ++k) {
        if (in[k] == 0.0f) continue;  // spectra are sparse
        const F4 v = Splat4(in[k]);
        const float* row = t.dct4Long[k];
        for (int q = 0; q < 5; ++q) acc[q] += v * Load4(row + 4 * q);
      }
      float y[20];
      for (int q = 0; q < 5; ++q) Store4(y + 4 * q, acc[q]);
      const float* win = t.window[gc.blockType == 2 ? 0 : gc.blockType];
      for (int i = 0; i < 9; ++i) res[i] = over[i] + win[i] * y[9 + i];
      for (int i = 9; i < 18; ++i) res[i] = over[i] - win[i] * y[26 - i];
      for (int i = 0; i < 9; ++i) over[i] = -win[18 + i] * y[8 - i];
      for (int i = 9; i < 18; ++i) over[i] = -win[18 + i] * y[i - 9];
    } else {
      const float* in = xr + 18 * sb;
      float buf[36] = {};
      const float* win = t.window[2];
      for (int w = 0; w < 3; ++w) {
        float y[6] = {};
        for (int k = 0; k < 6; ++k) {
          const float v = in[3 * k + w];
          for (int j = 0; j < 6; ++j) y[j] += v * t.dct4Short[k][j];
        }
        float x[12];
        for (int i = 0; i < 3; ++i) x[i] = y[3 + i];
        for (int i = 3; i < 9; ++i) x[i] = -y[8 - i];
        for (int i = 9; i < 12; ++i) x[i] = -y[i - 9];
        for (int i = 0; i < 12; ++i) buf[6 + 6 * w + i] += x[i] * win[i];
      }
      for (int i = 0; i < 18; ++i) res[i] = over[i] + buf[i];
      for (int i = 0; i < 18; ++i) over[i] = buf[18 + i];
    }
    // Odd subbands are spectrally inverted.
    if (sb & 1)
      for (int i = 1; i < 18; i += 2) res[i] = -res[i];
    for (int i = 0; i < 18; ++i) subbands_[i][sb] = res[i];
  }
}

void MP3FrameDecoder::Synthesise(int ch, int32_t* out, int stride) {
  const Tables& t = GetTables();
  const float* d = t.synthesis;
  for (int slot = 0; slot < 18; ++slot) {
    float X[32];
    Dct<32>::Run(subbands_[slot], X, t.dctCoef);
    vIndex_[ch] = (vIndex_[ch] + 15) & 15;
    float* v = vHistory_[ch][vIndex_[ch]];
    for (int i = 0; i < 16; ++i) v[i] = X[i + 16];
    v[16] = 0.0f;
    for (int i = 17; i < 48; ++i) v[i] = -X[48 - i];
    for (int i = 48; i < 64; ++i) v[i] = -X[i - 48];
    F4 acc[8] = {};
    for (int i = 0; i < 8; ++i) {
      const float* a = vHistory_[ch][(vIndex_[ch] + 2 * i) & 15];
      const float* b = vHistory_[ch][(vIndex_[ch] + 2 * i + 1) & 15] + 32;
      const float* da = d + 64 * i;
      const float* db = da + 32;
      for (int q = 0; q < 8; ++q) acc[q] += Load4(da + 4 * q) * Load4(a + 4 * q) + Load4(db + 4 * q) * Load4(b + 4 * q);
    }
    // Round to nearest through the float format: adding 1.5 * 2^23 leaves the
    // integer in the low mantissa bits (exact for |s| < 2^22).
    const F4 low = Splat4(-kOutputLimit), high = Splat4(kOutputLimit), magic = Splat4(12582912.0f);
    const I4 offset = Bits4(magic);
    int32_t* o = out + slot * 32 * stride;
    for (int q = 0; q < 8; ++q) {
      const I4 v = Bits4(Min4(Max4(acc[q], low), high) + magic) - offset;
      int32_t* p = o + 4 * q * stride;
      p[0] = v[0], p[stride] = v[1], p[2 * stride] = v[2], p[3 * stride] = v[3];
    }
  }
}

MP3FrameDecoder::Result MP3FrameDecoder::DecodeFrame(const MP3Header& header, const uint8_t* side,
                                                     const uint8_t* mainData, int mainBytes, int32_t* out) {
  if (mainBytes < 0 || mainBytes > kReservoirSize) return kDamaged;
  SideInfo info;
  std::memset(&info, 0, sizeof info);
  const bool usable = ParseSideInfo(header, side, &info);
  const int begin = usable ? info.mainDataBegin : 0;
  // Keep the last main_data_begin bytes (or what there is) and append this frame's data.
  const int keep = std::min({begin, reservoirFill_, kReservoirSize - mainBytes});
  const bool underflow = begin > keep;
  std::memmove(reservoir_, reservoir_ + reservoirFill_ - keep, size_t(keep));
  std::memcpy(reservoir_ + keep, mainData, size_t(mainBytes));
  reservoirFill_ = keep + mainBytes;
  std::memset(reservoir_ + reservoirFill_, 0, sizeof reservoir_ - size_t(reservoirFill_));
  if (!usable) return kDamaged;
  if (underflow) return kUnderflow;

  const int nch = header.Channels();
  const int granules = header.version == 0 ? 2 : 1;
  const int totalBits = reservoirFill_ * 8;
  int pos = 0;
  for (int gr = 0; gr < granules; ++gr) {
    for (int ch = 0; ch < nch; ++ch) {
      const GranuleChannel& gc = info.gr[gr][ch];
      const int start = pos;
      const int end = std::min(start + gc.part23Length, totalBits);
      pos = start + gc.part23Length;
      // Read even when empty: the scale factors (and intensity positions) are then all 0.
      const int used = ReadScaleFactors(header, gc, gr, ch, info, start, std::max(start, end));
      int count = 0;
      if (start < end)
        count = ReadHuffman(gc, start + used, end, ints_[ch]);
      else
        std::memset(ints_[ch], 0, sizeof ints_[ch]);
      Requantise(gc, scale_[ch], ints_[ch], count, xr_[ch]);
      nonZero_[ch] = ReorderedLimit(gc, count);
    }
    if (nch == 2 && header.mode == 1) Stereo(header, info.gr[gr][1]);
    for (int ch = 0; ch < nch; ++ch) {
      const GranuleChannel& gc = info.gr[gr][ch];
      const int limit = nonZero_[ch];
      AliasReduce(gc, xr_[ch], limit);
      Hybrid(gc, ch, xr_[ch], limit);
      Synthesise(ch, out + gr * 576 * nch + ch, nch);
    }
  }
  return kDecoded;
}
