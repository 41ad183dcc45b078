#pragma once
// WAV files, the program's working format: 8- and 16-bit PCM is read and
// written here; any other WAV data goes to the codec layer (acm_wave.h).
//
// Sinks write a fixed 46-byte header whose two sizes stay 0xFFFFFFFF while
// the sink is open and the samples go straight to the file, so a recording
// cut short by a crash still opens as a streaming WAV holding every frame
// written. The destructor writes the final sizes.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "sound/sound_stream.h"

// One Read or Write converts at most this many frames through the object's
// buffer; larger requests are split into calls of this size.
constexpr int kWaveFramesPerBlock = 8192;
constexpr int kWaveSinkHeaderSize = 46;
constexpr uint32_t kWaveStreamingSize = 0xFFFFFFFF;  // size of a file still being written
constexpr int32_t kWaveMaxSampleRate = 196000;

class LWaveFile {
 public:
  // Never empty: on failure an LSoundSourceNull with kSoundCannotOpen (no
  // such file) or kSoundBadFormat (no usable RIFF/fmt/data layout).
  static LSoundSourceRef OpenSource(const std::string& fileName);
  // An 8-bit sink for bitsPerSample up to 8, a 16-bit one for 9 to 16, an
  // empty handle above. With startPosition > 0 an existing file is kept up to
  // that frame and the new frames replace the rest.
  static LSoundSinkRef OpenSinkPCM(const std::string& fileName, uint32_t sampleRate, unsigned channels,
                                   int bitsPerSample, int32_t startPosition);
  // The 46-byte header the sinks write.
  static void BuildPCMHeader(uint8_t header[kWaveSinkHeaderSize], uint32_t sampleRate, unsigned channels,
                             int bytesPerSample, uint32_t dataSize, uint32_t riffSize);
};

// A PCM "data" chunk read through one preallocated buffer of 8192 frames.
class LSRCPCMFileBase : public LSoundSourceBase {
 public:
  // Takes over file (left closed), positioned at the first data byte.
  LSRCPCMFileBase(PlatformFile& file, int32_t sampleRate, unsigned channels, uint32_t maxAmplitude, int bytesPerSample,
                  uint32_t dataSize);
  void Read(int32_t* buffer, int frames) override;
  int GetPosition() override { return position_; }
  int GetLength() override { return length_; }
  void Seek(int position) override;
  // Straight from the file's bytes in large reads, converting no sample.
  bool ReadBlockPeaks(uint32_t* peaks, size_t blocks, int blockFrames) override;

 protected:
  // Converts bytes (whole samples) from the block buffer into out.
  virtual void Convert(const uint8_t* bytes, int32_t* out, size_t samples) = 0;
  // The largest absolute converted value of bytes (whole samples).
  virtual uint32_t PeakOfBytes(const uint8_t* bytes, size_t samples) = 0;

 private:
  void ReadBlock(int32_t* buffer, int frames);

  PlatformFile file_;
  uint32_t dataStart_ = 0;
  int32_t position_ = 0;
  int32_t length_ = 0;
  uint32_t blockAlign_ = 2;
  std::vector<uint8_t> bytes_;
  int64_t cachedFrom_ = 0, cachedTo_ = 0;  // frames of the material now in bytes_
  std::vector<uint8_t> peakBytes_;         // ReadBlockPeaks' own, allocated on its first use
};

class LSRCPCM16File : public LSRCPCMFileBase {
 public:
  LSRCPCM16File(PlatformFile& file, int32_t sampleRate, unsigned channels, uint32_t dataSize)
      : LSRCPCMFileBase(file, sampleRate, channels, kSampleFullScale, 2, dataSize) {}

 protected:
  void Convert(const uint8_t* bytes, int32_t* out, size_t samples) override;
  uint32_t PeakOfBytes(const uint8_t* bytes, size_t samples) override;
};

class LSRCPCM8File : public LSRCPCMFileBase {
 public:
  LSRCPCM8File(PlatformFile& file, int32_t sampleRate, unsigned channels, uint32_t dataSize)
      : LSRCPCMFileBase(file, sampleRate, channels, kSampleFullScale, 1, dataSize) {}

 protected:
  void Convert(const uint8_t* bytes, int32_t* out, size_t samples) override;
  uint32_t PeakOfBytes(const uint8_t* bytes, size_t samples) override;
};

class LSNKPCMFileBase : public LSoundSinkBase {
 public:
  LSNKPCMFileBase(const std::string& fileName, uint32_t sampleRate, unsigned channels, int bytesPerSample,
                  int32_t startPosition);
  ~LSNKPCMFileBase() override;
  void Write(const int32_t* buffer, int frames) override;
  // Only backwards: the file is truncated at the new position.
  void Seek(int position) override;

 protected:
  virtual void Convert(const int32_t* samples, uint8_t* out, size_t count) = 0;

  int32_t bytesPerSample;
  int32_t blockAlign;

 private:
  void WriteHeader(uint32_t dataSize, uint32_t riffSize);
  void KeepExistingFrames(int32_t startPosition);

  PlatformFile file_;
  std::vector<uint8_t> bytes_;
};

class LSNKPCM16File : public LSNKPCMFileBase {
 public:
  LSNKPCM16File(const std::string& fileName, uint32_t sampleRate, unsigned channels, int32_t startPosition)
      : LSNKPCMFileBase(fileName, sampleRate, channels, 2, startPosition) {}

 protected:
  void Convert(const int32_t* samples, uint8_t* out, size_t count) override;
};

class LSNKPCM8File : public LSNKPCMFileBase {
 public:
  LSNKPCM8File(const std::string& fileName, uint32_t sampleRate, unsigned channels, int32_t startPosition)
      : LSNKPCMFileBase(fileName, sampleRate, channels, 1, startPosition) {}

 protected:
  void Convert(const int32_t* samples, uint8_t* out, size_t count) override;
};
