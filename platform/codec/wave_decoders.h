#pragma once
// The decoders behind the codec layer: each one turns whole blocks of one
// WAV format into interleaved 16-bit samples.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/codec/acm_codec.h"

class WaveDecoder {
 public:
  WaveDecoder(unsigned channels, uint32_t blockAlign, uint32_t framesPerBlock)
      : channels_(channels), blockAlign_(blockAlign), framesPerBlock_(framesPerBlock) {}
  virtual ~WaveDecoder() = default;

  unsigned Channels() const { return channels_; }
  uint32_t BlockAlign() const { return blockAlign_; }
  uint32_t FramesPerBlock() const { return framesPerBlock_; }

  // Decodes up to `blocks` whole blocks into out (framesPerBlock x channels
  // samples each); returns how many it decoded before the first bad block.
  virtual size_t DecodeBlocks(const uint8_t* source, size_t blocks, int16_t* out) = 0;
  // Frames a trailing block cut short at `bytes` still yields (0: none).
  virtual uint32_t PartialFrames(size_t bytes) const {
    (void)bytes;
    return 0;
  }
  // Decodes such a short block; false when it is bad.
  virtual bool DecodePartial(const uint8_t* source, size_t bytes, int16_t* out) {
    (void)source;
    (void)bytes;
    (void)out;
    return false;
  }
  // Forgets state carried from block to block.
  virtual void Reset() {}

 private:
  unsigned channels_;
  uint32_t blockAlign_;
  uint32_t framesPerBlock_;
};

// The decoder for a format record, or null (with a diagnostic) when the
// format is unknown or its block structure does not hold together.
std::unique_ptr<WaveDecoder> CreateWaveDecoder(const LWaveFormat& format);

// One decoder per family; each returns null for a record it cannot honour.
std::unique_ptr<WaveDecoder> CreateLinearDecoder(const LWaveFormat& format, uint16_t tag);
std::unique_ptr<WaveDecoder> CreateImaAdpcmDecoder(const LWaveFormat& format);
std::unique_ptr<WaveDecoder> CreateMsAdpcmDecoder(const LWaveFormat& format);
std::unique_ptr<WaveDecoder> CreateGsmDecoder(const LWaveFormat& format);

// G.711 expansions to 16 bits.
int16_t MuLawTo16(uint8_t code);
int16_t ALawTo16(uint8_t code);
