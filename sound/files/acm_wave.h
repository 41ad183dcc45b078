#pragma once
// WAV files whose data is not 8- or 16-bit PCM (another format tag, or wider
// samples) are decoded through the codec layer.
#include <cstdint>
#include <vector>

#include "platform/codec/acm_codec.h"
#include "platform/file_handle.h"
#include "sound/sound_stream.h"

// file: positioned at the first data byte; formatRecord: the whole "fmt "
// body (format tag first, extra bytes included); dataSize: the "data" size
// (0xFFFFFFFF for a file still being written). Returns an LSoundSourceNull
// with kSoundNoCodec when no codec decodes the format.
LSoundSourceRef OpenACMWaveSource(PlatformFile file, const std::vector<uint8_t>& formatRecord, uint32_t dataSize);

// Decodes the file's data to 16-bit PCM of the same channels and rate, 8192
// frames at a time (one block when blocks are longer). The length is an
// estimate until the decoder runs out; then it is exact. Seeking restarts the
// decoder at a block boundary a little before the wanted frame and decodes
// forward to it.
class LSRCACMWave : public LSoundSourceBase {
 public:
  static constexpr int kDestinationFrames = 8192;
  static constexpr uint32_t kSeekLeadBytes = 256;

  LSRCACMWave(PlatformFile file, const std::vector<uint8_t>& formatRecord, uint32_t dataSize);
  ~LSRCACMWave() override;

  void Read(int32_t* buffer, int frames) override;
  int GetPosition() override { return position; }
  int GetLength() override;
  void Seek(int position) override;

 private:
  // Frames that `bytes` of compressed data hold: whole blocks exactly when the
  // codec reports its block size, the average byte rate for the rest.
  int64_t FramesForBytes(uint64_t bytes) const;
  uint64_t BytesForFrames(int64_t frames) const;
  void ResetStream();

  PlatformFile file;
  uint32_t dataSize = 0;
  uint32_t bytesRead = 0;
  uint32_t dataStart = 0;
  AcmStreamHandle stream = nullptr;
  AcmStreamHeader header;
  std::vector<uint8_t> sourceBuffer;
  std::vector<int16_t> destinationBuffer;
  uint32_t sourceWaiting = 0;       // undecoded bytes at the front of the source buffer
  uint32_t destinationOffset = 0;   // first decoded sample not yet delivered
  uint32_t destinationWaiting = 0;  // decoded bytes not yet delivered
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint32_t framesPerBlock = 0;  // 0 when the codec does not tell
  int32_t position = 0;
  int32_t endPosition = -1;
};
