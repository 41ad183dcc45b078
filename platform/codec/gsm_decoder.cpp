// GSM 6.10 in WAV: blocks of 65 bytes holding two 160-sample frames packed
// back to back (the WAV49 framing), decoded by libgsm. The decoder carries
// its filter state from frame to frame.
#include <gsm.h>

#include <cstring>

#include "platform/codec/wave_decoders.h"
#include "platform/debug_log.h"

namespace {

constexpr uint32_t kGsmBlockBytes = 65;
constexpr uint32_t kGsmBlockFrames = 320;

class GsmDecoder : public WaveDecoder {
 public:
  GsmDecoder() : WaveDecoder(1, kGsmBlockBytes, kGsmBlockFrames) { Reset(); }
  ~GsmDecoder() override {
    if (state_) gsm_destroy(state_);
  }

  size_t DecodeBlocks(const uint8_t* source, size_t blocks, int16_t* out) override {
    if (!state_) return 0;
    for (size_t b = 0; b < blocks; b++) {
      gsm_byte block[kGsmBlockBytes];
      std::memcpy(block, source + b * kGsmBlockBytes, kGsmBlockBytes);
      int16_t* o = out + b * kGsmBlockFrames;
      // The first frame takes 33 bytes (its last half byte starts the second).
      if (gsm_decode(state_, block, o) != 0 || gsm_decode(state_, block + 33, o + 160) != 0) return b;
    }
    return blocks;
  }

  void Reset() override {
    if (state_) gsm_destroy(state_);
    state_ = gsm_create();
    int one = 1;
    if (state_) gsm_option(state_, GSM_OPT_WAV49, &one);
  }

 private:
  gsm state_ = nullptr;
};

}  // namespace

std::unique_ptr<WaveDecoder> CreateGsmDecoder(const LWaveFormat& format) {
  uint32_t spb = format.extra.size() >= 2 ? uint32_t(format.extra[0] | (format.extra[1] << 8)) : kGsmBlockFrames;
  if (format.channels != 1 || format.blockAlign != kGsmBlockBytes || spb != kGsmBlockFrames) {
    LDebugLog("CreateWaveDecoder GSM 6.10 needs 1 channel, 65-byte blocks of 320 samples (%u, %u, %u)", format.channels,
              format.blockAlign, spb);
    return nullptr;
  }
  return std::make_unique<GsmDecoder>();
}
