#pragma once
// VOK, the program's own compact voice format: a 12-byte header, then blocks
// of 16 frames in which every channel has one step byte and 16 signed 8-bit
// deltas (byte j x channels + q of a block belongs to channel q). Samples are
// decoded straight into the internal scale.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "sound/sound_stream.h"

constexpr uint16_t kVOKMagic = 0xAAAA;
constexpr int kVOKHeaderBytes = 12;
constexpr int kVOKBlockFrames = 16;
constexpr int kVOKBlockBytesPerChannel = 1 + kVOKBlockFrames;
constexpr int kVOKChunkBlocks = 512;  // coded data is read 8192 frames at a time
constexpr uint32_t kVOKUnknownLength = 0xFFFFFFFF;
constexpr int kVOKStepCount = 32;

extern const int32_t kVOKStepTable[kVOKStepCount];

// Step byte: bits 7..3 are the step index of frames 0..7; bits 2..0 move the
// index of frames 8..15 by -3..+4 (clamped to the table).
inline int VOKStepIndex1(uint8_t stepByte) { return stepByte >> 3; }
inline int VOKStepIndex2(uint8_t stepByte) {
  int index = (stepByte >> 3) + (stepByte & 7) - 3;
  return index < 0 ? 0 : index > kVOKStepCount - 1 ? kVOKStepCount - 1 : index;
}

struct VOKHeader {
  uint16_t magic = kVOKMagic;
  uint16_t reserved = 0;
  uint32_t format = 0;  // bits 0..23 sample rate, bits 24..31 channels
  uint32_t length = kVOKUnknownLength;

  uint32_t SampleRate() const { return format & 0xFFFFFF; }
  unsigned Channels() const { return format >> 24; }
  void SetFormat(uint32_t rate, unsigned channels) { format = (rate & 0xFFFFFF) | (uint32_t(channels & 0xFF) << 24); }
  // Magic, reserved word and a non-zero rate and channel count.
  bool IsValid() const { return magic == kVOKMagic && reserved == 0 && SampleRate() != 0 && Channels() != 0; }

  static VOKHeader Parse(const uint8_t bytes[kVOKHeaderBytes]);
  void Store(uint8_t bytes[kVOKHeaderBytes]) const;
};

// Decodes one channel's block. coded points at the channel's step byte and
// steps stride bytes to its next delta; out receives 16 samples outStride
// apart. predictor is the channel's last sample, updated to the block's last.
void VOKDecodeBlock(const uint8_t* coded, int stride, int32_t* predictor, int32_t* out, int outStride);

class LSRCVOKFile : public LSoundSourceBase {
 public:
  // Never fails outright: error 2 when the file cannot be opened or its header is bad.
  explicit LSRCVOKFile(const std::string& fileName);

  void Read(int32_t* buffer, int frames) override;
  int GetPosition() override { return position_; }
  int GetLength() override { return length_; }
  // Decoding restarts at the block holding position with every predictor 0.
  void Seek(int position) override;

 private:
  void ReadChunk();
  // Decodes the next block of every channel, interleaved, into out (16 x channels samples).
  void DecodeNextBlock(int32_t* out);
  int HoldingSize() const { return kVOKBlockFrames * channels; }

  int32_t position_ = 0;
  int32_t length_ = 0;
  PlatformFile file_;
  std::vector<uint8_t> chunk_;  // 512 coded blocks
  int blockIndex_ = kVOKChunkBlocks;
  std::vector<int32_t> holding_;  // one decoded block a read has only partly taken
  int holdingIndex_ = 0;          // in samples; HoldingSize() means empty
  std::vector<int32_t> predictors_;
};

LSoundSourceRef OpenVOKSource(const std::string& fileName);
