// Sample-by-sample formats: PCM of 8 to 32 bits, IEEE float, G.711. One
// frame is one block. Wider samples are rounded to the nearest 16-bit value
// (halves upwards) and clipped; float is first quantised to 32 bits (halves
// away from zero) and then rounded like 32-bit PCM, so a float file and the
// 32-bit PCM file made from it decode alike.
#include <cmath>
#include <cstring>

#include "platform/codec/wave_decoders.h"
#include "platform/debug_log.h"
#include "platform/little_endian.h"

int16_t MuLawTo16(uint8_t code) {
  int u = ~code & 0xFF;
  int t = (((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4);
  return int16_t((u & 0x80) ? (0x84 - t) : (t - 0x84));
}

int16_t ALawTo16(uint8_t code) {
  int a = code ^ 0x55;
  int t = (a & 0x0F) << 4;
  int segment = (a & 0x70) >> 4;
  if (segment == 0)
    t += 8;
  else
    t = (t + 0x108) << (segment - 1);
  return int16_t((a & 0x80) ? t : -t);
}

namespace {

int16_t Round32To16(int32_t v) {
  int64_t r = (int64_t(v) + 0x8000) >> 16;
  return int16_t(r > 32767 ? 32767 : r);
}

int32_t FloatTo32(double d) {
  if (std::isnan(d)) return 0;
  double x = d * 2147483648.0;
  if (x >= 2147483647.0) return INT32_MAX;
  if (x <= -2147483648.0) return INT32_MIN;
  return int32_t(x < 0 ? x - 0.5 : x + 0.5);
}

enum class Kind { kUnsigned8, kSigned16, kSigned24, kSigned32, kFloat32, kFloat64, kMuLaw, kALaw };

class LinearDecoder : public WaveDecoder {
 public:
  LinearDecoder(unsigned channels, uint32_t blockAlign, Kind kind)
      : WaveDecoder(channels, blockAlign, 1), kind_(kind) {}

  size_t DecodeBlocks(const uint8_t* s, size_t blocks, int16_t* out) override {
    size_t samples = blocks * Channels();
    switch (kind_) {
      case Kind::kUnsigned8:
        for (size_t i = 0; i < samples; i++) out[i] = int16_t((int(s[i]) - 128) * 256);
        break;
      case Kind::kSigned16:
        for (size_t i = 0; i < samples; i++) out[i] = int16_t(uint16_t(s[2 * i] | (s[2 * i + 1] << 8)));
        break;
      case Kind::kSigned24:
        for (size_t i = 0; i < samples; i++) {
          const uint8_t* p = s + 3 * i;
          out[i] = Round32To16(int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24));
        }
        break;
      case Kind::kSigned32:
        for (size_t i = 0; i < samples; i++) out[i] = Round32To16(int32_t(LeGet32(s + 4 * i)));
        break;
      case Kind::kFloat32:
        for (size_t i = 0; i < samples; i++) {
          uint32_t bits = LeGet32(s + 4 * i);
          float f;
          std::memcpy(&f, &bits, 4);
          out[i] = Round32To16(FloatTo32(f));
        }
        break;
      case Kind::kFloat64:
        for (size_t i = 0; i < samples; i++) {
          uint64_t bits = uint64_t(LeGet32(s + 8 * i)) | uint64_t(LeGet32(s + 8 * i + 4)) << 32;
          double d;
          std::memcpy(&d, &bits, 8);
          out[i] = Round32To16(FloatTo32(d));
        }
        break;
      case Kind::kMuLaw:
        for (size_t i = 0; i < samples; i++) out[i] = MuLawTo16(s[i]);
        break;
      case Kind::kALaw:
        for (size_t i = 0; i < samples; i++) out[i] = ALawTo16(s[i]);
        break;
    }
    return blocks;
  }

 private:
  Kind kind_;
};

}  // namespace

std::unique_ptr<WaveDecoder> CreateLinearDecoder(const LWaveFormat& format, uint16_t tag) {
  unsigned bytes = (format.bitsPerSample + 7u) / 8u;
  Kind kind;
  if (tag == kWaveFormatPcm && bytes >= 1 && bytes <= 4) {
    static const Kind byWidth[] = {Kind::kUnsigned8, Kind::kSigned16, Kind::kSigned24, Kind::kSigned32};
    kind = byWidth[bytes - 1];
  } else if (tag == kWaveFormatIeeeFloat && (format.bitsPerSample == 32 || format.bitsPerSample == 64)) {
    kind = format.bitsPerSample == 32 ? Kind::kFloat32 : Kind::kFloat64;
  } else if ((tag == kWaveFormatMuLaw || tag == kWaveFormatALaw) && format.bitsPerSample == 8) {
    kind = tag == kWaveFormatMuLaw ? Kind::kMuLaw : Kind::kALaw;
  } else {
    LDebugLog("CreateWaveDecoder format %u with %u bits per sample is not supported", tag, format.bitsPerSample);
    return nullptr;
  }
  if (format.blockAlign != format.channels * bytes) {
    LDebugLog("CreateWaveDecoder block align %u does not match %u channels of %u bytes", format.blockAlign,
              format.channels, bytes);
    return nullptr;
  }
  return std::make_unique<LinearDecoder>(format.channels, format.blockAlign, kind);
}
