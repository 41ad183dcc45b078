#include "sound/files/wave_file.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/debug_log.h"
#include "platform/little_endian.h"
#include "platform/wave_format.h"
#include "sound/files/acm_wave.h"

namespace {

bool IsId(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

int32_t ClampFrames(int64_t frames) { return int32_t(std::clamp<int64_t>(frames, INT32_MIN, INT32_MAX)); }

// The subformat of a WAVE_FORMAT_EXTENSIBLE record that means plain PCM.
const uint8_t kPcmSubformat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// What OpenSource learns from a file's header.
struct WaveLayout {
  LWaveFormat format;
  std::vector<uint8_t> formatRecord;  // the whole "fmt " body
  uint32_t dataSize = 0;
};

// Walks sub-chunks from the current offset to the one named id, skipping
// others by their even size. Leaves the file just after its 8-byte header.
bool FindChunk(PlatformFile& file, const char* id, uint32_t* size, const char* notFound) {
  for (;;) {
    uint8_t header[8];
    if (file.Read(header, 8) < 8) {
      LDebugLog("LWaveFile::OpenSource %s", notFound);
      return false;
    }
    uint32_t chunkSize = LeGet32(header + 4);
    if (IsId(header, id)) {
      *size = chunkSize;
      return true;
    }
    if (int32_t(chunkSize) < 0) {
      LDebugLog("LWaveFile::OpenSource subchunk too short (< 0)!");
      return false;
    }
    if (!file.Skip(int64_t(chunkSize) + (chunkSize & 1))) {
      LDebugLog("LWaveFile::OpenSource subchunk too short!");
      return false;
    }
  }
}

// Reads the header up to the first data byte. Returns kSoundOk with the
// file positioned there, or kSoundBadFormat.
uint8_t ReadLayout(PlatformFile& file, WaveLayout* layout) {
  uint8_t form[12];
  for (;;) {
    if (file.Read(form, 12) < 12) {
      LDebugLog("LWaveFile::OpenSource No RIFF WAVE chunk found");
      return kSoundBadFormat;
    }
    if (IsId(form, "RIFF") && IsId(form + 8, "WAVE")) break;
    uint64_t size = LeGet32(form + 4);
    size += size & 1;
    if (size < 5) {
      LDebugLog("LWaveFile::OpenSource chunk too short!");
      return kSoundBadFormat;
    }
    if (!file.Skip(int64_t(size) - 4)) return kSoundBadFormat;
  }

  uint32_t fmtSize = 0;
  if (!FindChunk(file, "fmt ", &fmtSize, "'fmt ' subchunk not found!")) return kSoundBadFormat;
  if (fmtSize < 16 || fmtSize > 8192) {
    LDebugLog("LWaveFile::OpenSource fmt too short or too long!");
    return kSoundBadFormat;
  }
  layout->formatRecord.resize(fmtSize);
  if (file.Read(layout->formatRecord.data(), fmtSize) < fmtSize) {
    LDebugLog("LWaveFile::OpenSource fmt error!");
    return kSoundBadFormat;
  }
  if (fmtSize & 1) file.Skip(1);  // the pad byte
  LWaveFormat& format = layout->format;
  LWaveFormat::Parse(layout->formatRecord.data(), fmtSize, &format);

  if (!FindChunk(file, "data", &layout->dataSize, "'data' subchunk not found!")) return kSoundBadFormat;

  if (format.channels < 1 || format.channels > 255 || format.sampleRate < 1 ||
      format.sampleRate > uint32_t(kWaveMaxSampleRate)) {
    LDebugLog("LWaveFile::OpenSource nChannels or nSamplesPerSec is invalid");
    return kSoundBadFormat;
  }
  return kSoundOk;
}

// Plain PCM of at most 16 bits, also when wrapped in an extensible record.
bool IsPlainPCM(const WaveLayout& layout) {
  const LWaveFormat& format = layout.format;
  if (format.bitsPerSample > 16) return false;
  if (format.formatTag == kWaveFormatPcm) return true;
  // The subformat sits 6 bytes into the 22 extra bytes.
  return format.formatTag == kWaveFormatExtensible && format.extra.size() >= 22 &&
         std::memcmp(format.extra.data() + 6, kPcmSubformat, 16) == 0;
}

}  // namespace

// LWaveFile

LSoundSourceRef LWaveFile::OpenSource(const std::string& fileName) {
  PlatformFile file = PlatformFile::OpenRead(fileName);
  if (!file.IsOpen()) {
    LDebugLog("LWaveFile::OpenSource Unable to Open File: %s", fileName.c_str());
    return LSoundSourceRef::Null(kSoundCannotOpen);
  }
  WaveLayout layout;
  if (ReadLayout(file, &layout) != kSoundOk) return LSoundSourceRef::Null(kSoundBadFormat);

  const LWaveFormat& format = layout.format;
  if (!IsPlainPCM(layout)) return OpenACMWaveSource(std::move(file), layout.formatRecord, layout.dataSize);
  if (format.bitsPerSample > 8)
    return LSoundSourceRef(new LSRCPCM16File(file, int32_t(format.sampleRate), format.channels, layout.dataSize));
  return LSoundSourceRef(new LSRCPCM8File(file, int32_t(format.sampleRate), format.channels, layout.dataSize));
}

LSoundSinkRef LWaveFile::OpenSinkPCM(const std::string& fileName, uint32_t sampleRate, unsigned channels,
                                     int bitsPerSample, int32_t startPosition) {
  if (bitsPerSample > 16) {
    LDebugLog("LWaveFile::OpenSinkPCM BitsPerSample too large - use BUILD_SUPPORT_32BITSAMPLEFORMATS");
    return LSoundSinkRef();
  }
  if (bitsPerSample > 8) return LSoundSinkRef(new LSNKPCM16File(fileName, sampleRate, channels, startPosition));
  return LSoundSinkRef(new LSNKPCM8File(fileName, sampleRate, channels, startPosition));
}

void LWaveFile::BuildPCMHeader(uint8_t header[kWaveSinkHeaderSize], uint32_t sampleRate, unsigned channels,
                               int bytesPerSample, uint32_t dataSize, uint32_t riffSize) {
  uint32_t blockAlign = channels * uint32_t(bytesPerSample);
  std::memcpy(header, "RIFF", 4);
  LePut32(header + 4, riffSize);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  LePut32(header + 16, 18);
  LePut16(header + 20, 1);
  LePut16(header + 22, channels);
  LePut32(header + 24, sampleRate);
  LePut32(header + 28, sampleRate * blockAlign);
  LePut16(header + 32, blockAlign);
  LePut16(header + 34, uint32_t(bytesPerSample) * 8);
  LePut16(header + 36, 0);
  std::memcpy(header + 38, "data", 4);
  LePut32(header + 42, dataSize);
}

// Sources

LSRCPCMFileBase::LSRCPCMFileBase(PlatformFile& file, int32_t sampleRate, unsigned channels, uint32_t maxAmplitude,
                                 int bytesPerSample, uint32_t dataSize)
    : LSoundSourceBase(sampleRate, channels, maxAmplitude), file_(std::move(file)) {
  if (!file_.IsOpen()) {
    LDebugLog("LSRCPCMFileBase::LSRCPCMFileBase File Not Open");
    error = kSoundCannotOpen;
  }
  int64_t start = file_.Tell();
  dataStart_ = start > 0 ? uint32_t(std::min<int64_t>(start, UINT32_MAX)) : 0;
  blockAlign_ = uint32_t(channels) * uint32_t(bytesPerSample);
  if (blockAlign_ == 0) {
    LDebugLog("LSRCPCMFileBase::LSRCPCMFileBase nChans == 0");
    error = kSoundBadFormat;
    blockAlign_ = 2;
  }
  if (dataSize == kWaveStreamingSize) {
    LDebugLog("LSRCPCMFileBase::LSRCPCMFileBase Wav File Is Streaming");
    int64_t size = file_.Size();
    length_ = ClampFrames(size > int64_t(dataStart_) ? (size - int64_t(dataStart_)) / blockAlign_ : 0);
  } else {
    length_ = ClampFrames(dataSize / blockAlign_);
  }
  // One block of whole frames for the widest frame this object reads.
  bytes_.resize(size_t(kWaveFramesPerBlock) * blockAlign_);
}

void LSRCPCMFileBase::Read(int32_t* buffer, int frames) {
  while (frames > 0) {
    int block = std::min(frames, kWaveFramesPerBlock);
    ReadBlock(buffer, block);
    buffer += size_t(block) * channels;
    frames -= block;
  }
}

void LSRCPCMFileBase::ReadBlock(int32_t* buffer, int frames) {
  const size_t total = size_t(frames) * channels;
  const int64_t start = position_;
  const int64_t end = start + frames;
  position_ = ClampFrames(end);
  // Frames [from, to) of the material fall inside this read.
  const int64_t from = std::max<int64_t>(start, 0);
  const int64_t to = std::min<int64_t>(end, length_);
  size_t done = 0;
  if (from > start) {
    done = size_t(std::min<int64_t>(from - start, frames)) * channels;
    std::fill(buffer, buffer + done, 0);
  }
  // Whole frames come through the block buffer, which holds up to 8192
  // frames read at once, so callers reading small pieces (the processors)
  // do not pay one file read each.
  for (int64_t frame = from; frame < to;) {
    if (frame < cachedFrom_ || frame >= cachedTo_) {
      int64_t want = std::min<int64_t>(kWaveFramesPerBlock, int64_t(length_) - frame);
      size_t got = file_.ReadAt(int64_t(dataStart_) + frame * blockAlign_, bytes_.data(), size_t(want) * blockAlign_);
      cachedFrom_ = frame;
      cachedTo_ = frame + int64_t(got / blockAlign_);
      if (cachedTo_ == frame) break;  // the file ends here: silence follows
    }
    int64_t count = std::min(to, cachedTo_) - frame;
    size_t samples = size_t(count) * channels;
    Convert(bytes_.data() + size_t(frame - cachedFrom_) * blockAlign_, buffer + done, samples);
    done += samples;
    frame += count;
  }
  std::fill(buffer + done, buffer + total, 0);
}

void LSRCPCMFileBase::Seek(int position) { position_ = position; }

bool LSRCPCMFileBase::ReadBlockPeaks(uint32_t* peaks, size_t blocks, int blockFrames) {
  // Large reads keep the system calls few; small enough to stay in the cache while scanned.
  constexpr size_t kChunkBytes = 512 * 1024;
  if (blockFrames <= 0) return false;
  const int64_t start = position_;
  position_ = ClampFrames(start + int64_t(blocks) * blockFrames);
  const size_t blockBytes = size_t(blockFrames) * blockAlign_;
  const size_t chunkBlocks = std::min(std::max<size_t>(1, kChunkBytes / blockBytes), blocks);
  if (peakBytes_.size() < chunkBlocks * blockBytes) peakBytes_.resize(chunkBlocks * blockBytes);
  for (size_t done = 0; done < blocks;) {
    const size_t n = std::min(chunkBlocks, blocks - done);
    const int64_t chunkStart = start + int64_t(done) * blockFrames;
    // Frames [from, got) of the material are read; the rest of the chunk reads as silence.
    const int64_t from = std::max<int64_t>(chunkStart, 0);
    const int64_t to = std::min<int64_t>(chunkStart + int64_t(n) * blockFrames, length_);
    int64_t got = from;
    if (from < to)
      got += int64_t(
          file_.ReadAt(int64_t(dataStart_) + from * blockAlign_, peakBytes_.data(), size_t(to - from) * blockAlign_) /
          blockAlign_);
    for (size_t b = 0; b < n; ++b) {
      const int64_t blockStart = chunkStart + int64_t(b) * blockFrames;
      const int64_t first = std::max(blockStart, from), last = std::min(blockStart + blockFrames, got);
      peaks[done + b] = first < last ? PeakOfBytes(peakBytes_.data() + size_t(first - from) * blockAlign_,
                                                   size_t(last - first) * channels)
                                     : 0;
    }
    done += n;
  }
  return true;
}

void LSRCPCM16File::Convert(const uint8_t* bytes, int32_t* out, size_t samples) {
  for (size_t i = 0; i < samples; ++i) out[i] = SampleFrom16(int16_t(LeGet16(bytes + 2 * i)));
}

void LSRCPCM8File::Convert(const uint8_t* bytes, int32_t* out, size_t samples) {
  for (size_t i = 0; i < samples; ++i) out[i] = SampleFrom8(bytes[i]);
}

// Extremes are kept in lanes of a fixed count, which the compiler keeps in
// vector registers, and folded at the end.
constexpr size_t kPeakLanes = 16;

uint32_t LSRCPCM16File::PeakOfBytes(const uint8_t* bytes, size_t samples) {
  int32_t top = 0, bottom = 0;
  size_t i = 0;
#if defined(__SSE2__)
  // Two vectors of eight samples a step, in registers throughout (x86 is little-endian).
  __m128i high0 = _mm_setzero_si128(), low0 = high0, high1 = high0, low1 = high0;
  for (; i + 16 <= samples; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * i + 16));
    high0 = _mm_max_epi16(high0, a);
    low0 = _mm_min_epi16(low0, a);
    high1 = _mm_max_epi16(high1, b);
    low1 = _mm_min_epi16(low1, b);
  }
  alignas(16) int16_t high[8], low[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(high), _mm_max_epi16(high0, high1));
  _mm_store_si128(reinterpret_cast<__m128i*>(low), _mm_min_epi16(low0, low1));
  for (size_t j = 0; j < 8; ++j) {
    top = std::max<int32_t>(top, high[j]);
    bottom = std::min<int32_t>(bottom, low[j]);
  }
#else
  int16_t high[kPeakLanes] = {}, low[kPeakLanes] = {};
  for (; i + kPeakLanes <= samples; i += kPeakLanes) {
    int16_t v[kPeakLanes];
    for (size_t j = 0; j < kPeakLanes; ++j) v[j] = int16_t(LeGet16(bytes + 2 * (i + j)));
    for (size_t j = 0; j < kPeakLanes; ++j) {
      high[j] = std::max(high[j], v[j]);
      low[j] = std::min(low[j], v[j]);
    }
  }
  for (size_t j = 0; j < kPeakLanes; ++j) {
    top = std::max<int32_t>(top, high[j]);
    bottom = std::min<int32_t>(bottom, low[j]);
  }
#endif
  for (; i < samples; ++i) {
    const int32_t v = int16_t(LeGet16(bytes + 2 * i));
    top = std::max(top, v);
    bottom = std::min(bottom, v);
  }
  // As SampleFrom16 scales each sample.
  return uint32_t(std::max(top, -bottom)) * 16;
}

uint32_t LSRCPCM8File::PeakOfBytes(const uint8_t* bytes, size_t samples) {
  uint8_t high[kPeakLanes], low[kPeakLanes];
  std::memset(high, 128, sizeof high);  // 128 is silence
  std::memset(low, 128, sizeof low);
  size_t i = 0;
  for (; i + kPeakLanes <= samples; i += kPeakLanes)
    for (size_t j = 0; j < kPeakLanes; ++j) {
      high[j] = std::max(high[j], bytes[i + j]);
      low[j] = std::min(low[j], bytes[i + j]);
    }
  int top = 128, bottom = 128;
  for (size_t j = 0; j < kPeakLanes; ++j) {
    top = std::max<int>(top, high[j]);
    bottom = std::min<int>(bottom, low[j]);
  }
  for (; i < samples; ++i) {
    top = std::max<int>(top, bytes[i]);
    bottom = std::min<int>(bottom, bytes[i]);
  }
  // As SampleFrom8 scales each sample.
  return uint32_t(std::max(top - 128, 128 - bottom)) * 4096;
}

// Sinks

LSNKPCMFileBase::LSNKPCMFileBase(const std::string& fileName, uint32_t sampleRate, unsigned channels, int bytes,
                                 int32_t startPosition)
    : LSoundSinkBase(sampleRate, channels), bytesPerSample(bytes) {
  blockAlign = int32_t(this->channels) * bytesPerSample;
  bytes_.resize(size_t(kWaveFramesPerBlock) * size_t(blockAlign));
  file_ = PlatformFile::OpenReadWrite(fileName);
  if (!file_.IsOpen()) {
    LDebugLog("LSNKPCMFileBase::LSNKPCMFileBase unable to open file: %s", fileName.c_str());
    errorFlags |= 1;
    sPosition = std::max(startPosition, 0);
    return;
  }
  KeepExistingFrames(std::max(startPosition, 0));
  WriteHeader(kWaveStreamingSize, kWaveStreamingSize);
  file_.Seek(kWaveSinkHeaderSize + int64_t(sPosition) * blockAlign);
  file_.Truncate();
}

// Sets sPosition to the frames of the existing file kept before the new
// ones: at most startPosition, never more than the file holds, and none
// when the file's samples are of another shape (they could not continue).
// Data behind a header of another length is moved to follow ours.
void LSNKPCMFileBase::KeepExistingFrames(int32_t startPosition) {
  sPosition = 0;
  if (startPosition <= 0) return;
  file_.Seek(0);
  WaveLayout layout;
  if (ReadLayout(file_, &layout) != kSoundOk || !IsPlainPCM(layout) || layout.format.channels != channels ||
      (layout.format.bitsPerSample > 8 ? 2 : 1) != bytesPerSample) {
    LDebugLog("LSNKPCMFileBase::LSNKPCMFileBase existing file has another format, starting at 0");
    return;
  }
  int64_t dataStart = file_.Tell();
  int64_t available = std::max<int64_t>(file_.Size() - dataStart, 0);
  if (layout.dataSize != kWaveStreamingSize) available = std::min<int64_t>(available, layout.dataSize);
  sPosition = int32_t(std::min<int64_t>(startPosition, available / blockAlign));
  int64_t keep = int64_t(sPosition) * blockAlign;
  if (dataStart == kWaveSinkHeaderSize || keep == 0) return;
  // Move the kept bytes in blocks, from the end when they move up.
  const int64_t step = int64_t(bytes_.size());
  for (int64_t done = 0; done < keep;) {
    int64_t n = std::min(step, keep - done);
    int64_t at = dataStart > kWaveSinkHeaderSize ? done : keep - done - n;
    file_.ReadAt(dataStart + at, bytes_.data(), size_t(n));
    file_.WriteAt(kWaveSinkHeaderSize + at, bytes_.data(), size_t(n));
    done += n;
  }
}

LSNKPCMFileBase::~LSNKPCMFileBase() {
  if (!file_.IsOpen()) return;
  uint64_t dataSize = uint64_t(std::max(sPosition, 0)) * uint64_t(blockAlign);
  if (dataSize + 38 < kWaveStreamingSize)
    WriteHeader(uint32_t(dataSize), uint32_t(dataSize + 38));
  else
    LDebugLog("LSNKPCMFileBase::~LSNKPCMFileBase data too long for a WAV header, left streaming");
}

void LSNKPCMFileBase::WriteHeader(uint32_t dataSize, uint32_t riffSize) {
  uint8_t header[kWaveSinkHeaderSize];
  LWaveFile::BuildPCMHeader(header, sampleRate, channels, bytesPerSample, dataSize, riffSize);
  file_.WriteAt(0, header, sizeof header);
}

void LSNKPCMFileBase::Write(const int32_t* buffer, int frames) {
  if (frames <= 0) return;
  sPosition = ClampFrames(int64_t(sPosition) + frames);
  if (!IsUsable() || !file_.IsOpen()) return;
  while (frames > 0) {
    int block = std::min(frames, kWaveFramesPerBlock);
    size_t samples = size_t(block) * channels;
    Convert(buffer, bytes_.data(), samples);
    file_.Write(bytes_.data(), samples * size_t(bytesPerSample));
    buffer += samples;
    frames -= block;
  }
}

void LSNKPCMFileBase::Seek(int position) {
  LDebugLog("LSNKPCMFileBase::Seek");
  if (position > sPosition) {
    LDebugLog("LSNKPCMFileBase::Seek Position > sPosition");
    return;
  }
  if (position < 0) {
    LDebugLog("LSNKPCMFileBase::Seek Position < 0");
    position = 0;
  }
  sPosition = position;
  if (!file_.IsOpen()) return;
  file_.Seek(kWaveSinkHeaderSize + int64_t(position) * blockAlign);
  file_.Truncate();
}

void LSNKPCM16File::Convert(const int32_t* samples, uint8_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) LePut16(out + 2 * i, uint16_t(SampleTo16(samples[i])));
}

void LSNKPCM8File::Convert(const int32_t* samples, uint8_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) out[i] = SampleTo8(samples[i]);
}
