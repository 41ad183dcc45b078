#include "platform/wave_format.h"

#include <algorithm>

#include "platform/little_endian.h"

bool LWaveFormat::Parse(const uint8_t* bytes, size_t size, LWaveFormat* format) {
  if (!bytes || size < 16) return false;
  format->formatTag = LeGet16(bytes);
  format->channels = LeGet16(bytes + 2);
  format->sampleRate = LeGet32(bytes + 4);
  format->avgBytesPerSec = LeGet32(bytes + 8);
  format->blockAlign = LeGet16(bytes + 12);
  format->bitsPerSample = LeGet16(bytes + 14);
  size_t extra = size >= 18 ? std::min<size_t>(LeGet16(bytes + 16), size - 18) : 0;
  format->extra.assign(bytes + 18, bytes + 18 + extra);
  return true;
}

LWaveFormat LWaveFormat::Pcm(uint16_t channels, uint32_t rate, uint16_t bits) {
  LWaveFormat format;
  format.formatTag = kWaveFormatPcm;
  format.channels = channels;
  format.sampleRate = rate;
  format.bitsPerSample = bits;
  format.blockAlign = uint16_t(channels * (bits / 8));
  format.avgBytesPerSec = rate * format.blockAlign;
  return format;
}
