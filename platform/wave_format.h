#pragma once
// The wave-format record: what a WAV file's "fmt " chunk holds, what the
// codec layer converts from and to, and what an audio device is opened with.
// One record and one parser for all of them.
#include <cstddef>
#include <cstdint>
#include <vector>

// Format tags.
constexpr uint16_t kWaveFormatPcm = 0x0001;
constexpr uint16_t kWaveFormatMsAdpcm = 0x0002;
constexpr uint16_t kWaveFormatIeeeFloat = 0x0003;
constexpr uint16_t kWaveFormatALaw = 0x0006;
constexpr uint16_t kWaveFormatMuLaw = 0x0007;
constexpr uint16_t kWaveFormatImaAdpcm = 0x0011;
constexpr uint16_t kWaveFormatGsm610 = 0x0031;
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

struct LWaveFormat {
  // The first three make a device request: {rate, channels, bits}.
  uint32_t sampleRate = 44100;
  uint16_t channels = 1;
  uint16_t bitsPerSample = 16;  // devices: 8 (unsigned) or 16 (signed)
  uint16_t formatTag = kWaveFormatPcm;
  // As a record states them; 0 in a device request, where they follow from
  // the PCM fields (BlockAlign(), AvgBytesPerSec()).
  uint16_t blockAlign = 0;
  uint32_t avgBytesPerSec = 0;
  // The bytes after the 18-byte record: as many as its extra size claims and
  // the record holds.
  std::vector<uint8_t> extra{};

  uint16_t BlockAlign() const { return blockAlign ? blockAlign : uint16_t(channels * (bitsPerSample / 8)); }
  uint32_t AvgBytesPerSec() const { return avgBytesPerSec ? avgBytesPerSec : BlockAlign() * sampleRate; }

  // Reads a "fmt " body field by field. Fewer than 16 bytes: false, format
  // untouched.
  static bool Parse(const uint8_t* bytes, size_t size, LWaveFormat* format);
  // PCM of the given channels, rate and bits, every field filled in.
  static LWaveFormat Pcm(uint16_t channels, uint32_t rate, uint16_t bits = 16);
};
