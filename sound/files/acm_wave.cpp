#include "sound/files/acm_wave.h"

#include <algorithm>
#include <cstring>

#include "platform/debug_log.h"

namespace {

LWaveFormat ParseRecord(const std::vector<uint8_t>& record) {
  LWaveFormat format{0, 0, 0};  // what a record too short to parse gives
  LWaveFormat::Parse(record.data(), record.size(), &format);
  return format;
}

// Rates and channel counts the stream model cannot hold become 0, which the
// base class flags as a bad format.
int32_t RecordRate(const std::vector<uint8_t>& record) {
  uint32_t rate = ParseRecord(record).sampleRate;
  return rate > uint32_t(INT32_MAX) ? 0 : int32_t(rate);
}
unsigned RecordChannels(const std::vector<uint8_t>& record) {
  unsigned channels = ParseRecord(record).channels;
  return channels > 255 ? 0 : channels;
}

}  // namespace

LSoundSourceRef OpenACMWaveSource(PlatformFile file, const std::vector<uint8_t>& formatRecord, uint32_t dataSize) {
  auto* source = new LSRCACMWave(std::move(file), formatRecord, dataSize);
  if (source->error != kSoundOk) {
    uint8_t code = source->error;
    delete source;
    return LSoundSourceRef::Null(code);
  }
  return LSoundSourceRef(source);
}

LSRCACMWave::LSRCACMWave(PlatformFile handle, const std::vector<uint8_t>& formatRecord, uint32_t size)
    : LSoundSourceBase(RecordRate(formatRecord), RecordChannels(formatRecord), kSampleFullScale),
      file(std::move(handle)),
      dataSize(size) {
  int64_t start = file.Tell();
  dataStart = uint32_t(std::clamp<int64_t>(start, 0, UINT32_MAX));
  if (!file.IsOpen()) {
    LDebugLog("LSRCACMWave::LSRCACMWave File Not Open");
    error = kSoundCannotOpen;
    return;
  }
  if (dataSize == 0xFFFFFFFF) {
    LDebugLog("LSRCACMWave::LSRCACMWave Wav File Is Streaming");
    dataSize = uint32_t(std::clamp<int64_t>(file.Size() - int64_t(dataStart), 0, 0xFFFFFFFE));
  }
  if (error != kSoundOk) return;

  LWaveFormat format;
  if (!LWaveFormat::Parse(formatRecord.data(), formatRecord.size(), &format)) {
    LDebugLog("LSRCACMWave::LSRCACMWave format record too short ERROR");
    error = kSoundNoCodec;
    return;
  }
  avgBytesPerSec = format.avgBytesPerSec ? format.avgBytesPerSec : format.sampleRate;
  blockAlign = format.blockAlign;

  LWaveFormat destination = LWaveFormat::Pcm(channels, uint32_t(sampleRate));
  if (acmStreamOpen(&stream, format, destination, 0) != kAcmOk &&
      acmStreamOpen(&stream, format, destination, kAcmStreamOpenNonRealtime) != kAcmOk) {
    LDebugLog("LSRCACMWave::LSRCACMWave acmStreamOpen handle invalid ERROR");
    stream = nullptr;
    error = kSoundNoCodec;
    return;
  }
  const uint32_t frameBytes = channels * 2u;
  uint32_t destinationBytes = frameBytes * kDestinationFrames;
  uint32_t sourceBytes = 0;
  if (acmStreamSize(stream, destinationBytes, &sourceBytes, kAcmStreamSizeDestination) != kAcmOk) {
    // Blocks of more than 8192 frames: the destination holds one block.
    uint32_t blockBytes = 0;
    if (acmStreamSize(stream, blockAlign, &blockBytes, kAcmStreamSizeSource) == kAcmOk &&
        blockBytes > destinationBytes) {
      destinationBytes = blockBytes;
      acmStreamSize(stream, destinationBytes, &sourceBytes, kAcmStreamSizeDestination);
    }
  }
  if (sourceBytes == 0) {
    LDebugLog("LSRCACMWave::LSRCACMWave acmStreamSize ERROR");
    error = kSoundNoCodec;
    return;
  }
  // The frames of one whole block let positions follow the blocks exactly.
  uint32_t blockBytes = 0;
  if (blockAlign && acmStreamSize(stream, blockAlign, &blockBytes, kAcmStreamSizeSource) == kAcmOk &&
      blockBytes % frameBytes == 0)
    framesPerBlock = blockBytes / frameBytes;

  sourceBuffer.resize(sourceBytes);
  destinationBuffer.resize(destinationBytes / 2);
  header.source = sourceBuffer.data();
  header.sourceLength = sourceBytes;
  header.destination = reinterpret_cast<uint8_t*>(destinationBuffer.data());
  header.destinationLength = destinationBytes;
  if (acmStreamPrepareHeader(stream, &header, 0) != kAcmOk) {
    LDebugLog("LSRCACMWave::LSRCACMWave acmStreamPrepareHeader ERROR");
    error = kSoundNoCodec;
    return;
  }
  header.sourceLength = 0;
}

LSRCACMWave::~LSRCACMWave() {
  if (header.prepared) {
    header.sourceLength = header.preparedSourceLength;
    header.destinationLength = header.preparedDestinationLength;
    if (acmStreamUnprepareHeader(stream, &header, 0) != kAcmOk)
      LDebugLog("LSRCACMWave::~LSRCACMWave acmStreamUnprepareHeader ERROR");
  }
  if (stream && acmStreamClose(stream, 0) != kAcmOk) LDebugLog("LSRCACMWave::~LSRCACMWave acmStreamClose ERROR");
}

int64_t LSRCACMWave::FramesForBytes(uint64_t bytes) const {
  int64_t frames = 0;
  if (framesPerBlock && blockAlign) {
    frames = int64_t(bytes / blockAlign) * framesPerBlock;
    bytes %= blockAlign;
  }
  const uint64_t rate = uint64_t(sampleRate);
  return frames + int64_t((bytes / avgBytesPerSec) * rate + ((bytes % avgBytesPerSec) * rate) / avgBytesPerSec);
}

uint64_t LSRCACMWave::BytesForFrames(int64_t frames) const {
  if (framesPerBlock && blockAlign) return uint64_t(frames / framesPerBlock) * blockAlign;
  const uint64_t f = uint64_t(frames), rate = uint64_t(sampleRate);
  return (f / rate) * avgBytesPerSec + ((f % rate) * avgBytesPerSec) / rate;
}

void LSRCACMWave::Read(int32_t* buffer, int frames) {
  if (frames <= 0) return;
  position = int32_t(uint32_t(position) + uint32_t(frames));
  const uint32_t frameBytes = channels * 2u;
  if (error != kSoundOk) {
    std::fill_n(buffer, size_t(frames) * channels, 0);
    return;
  }
  int32_t* out = buffer;
  uint64_t needed = uint64_t(frames) * frameBytes;
  if (frames > position) {  // the read started before 0
    if (position < 1) {
      std::fill_n(buffer, size_t(frames) * channels, 0);
      return;
    }
    size_t lead = size_t(frames - position) * channels;
    out = std::fill_n(out, lead, 0);
    needed = uint64_t(position) * frameBytes;
  }
  auto endHere = [&] { endPosition = int32_t(std::max<int64_t>(0, int64_t(position) - int64_t(needed / frameBytes))); };

  for (;;) {
    uint32_t take = uint32_t(std::min<uint64_t>(destinationWaiting, needed));
    const int16_t* decoded = destinationBuffer.data() + destinationOffset / 2;
    for (uint32_t i = 0; i < take / 2; i++) *out++ = SampleFrom16(decoded[i]);
    destinationOffset += take;
    destinationWaiting -= take;
    needed -= take;
    if (needed < 2) break;
    destinationOffset = 0;
    if (endPosition >= 0) {
      std::fill_n(out, needed / 2, 0);
      return;
    }

    uint32_t room = uint32_t(sourceBuffer.size()) - sourceWaiting;
    uint32_t left = bytesRead < dataSize ? dataSize - bytesRead : 0;
    uint32_t got = uint32_t(file.Read(sourceBuffer.data() + sourceWaiting, std::min(room, left)));
    bytesRead += got;
    sourceWaiting += got;

    header.sourceLength = sourceWaiting;
    header.destinationLength = header.preparedDestinationLength;
    if (acmStreamConvert(stream, &header, kAcmConvertBlockAlign) != kAcmOk) {
      LDebugLog("LSRCACMWave::Read acmStreamConvert FAILED");
      endHere();
      continue;
    }
    if (header.destinationLengthUsed == 0) {
      if (sourceWaiting < sourceBuffer.size()) {  // the data has run out
        if (acmStreamConvert(stream, &header, kAcmConvertEnd) != kAcmOk) {
          LDebugLog("LSRCACMWave::Read acmStreamConvert(ACM_STREAMCONVERTF_END) FAILED");
          endHere();
          continue;
        }
        if (header.destinationLengthUsed == 0) {
          LDebugLog("LSRCACMWave::Read End Reached");
          endHere();
        }
      } else {
        // A full buffer that yields nothing would be asked again forever.
        LDebugLog("LSRCACMWave::Read acmStreamConvert made no progress");
        endHere();
      }
    }
    uint32_t used = std::min(header.sourceLengthUsed, sourceWaiting);
    std::memmove(sourceBuffer.data(), sourceBuffer.data() + used, sourceWaiting - used);
    sourceWaiting -= used;
    destinationWaiting = header.destinationLengthUsed;
  }
}

int LSRCACMWave::GetLength() {
  if (endPosition >= 0) return endPosition;
  if (error != kSoundOk) return 0;
  int64_t undecoded = int64_t(dataSize) - (int64_t(bytesRead) - sourceWaiting);
  int64_t length = int64_t(std::max(position, 0)) + destinationWaiting / (channels * 2u) +
                   FramesForBytes(uint64_t(std::max<int64_t>(undecoded, 0)));
  return int(std::min<int64_t>(length, INT32_MAX));
}

void LSRCACMWave::ResetStream() {
  sourceWaiting = 0;
  destinationOffset = 0;
  destinationWaiting = 0;
  header.sourceLength = 0;
  header.destinationLength = header.preparedDestinationLength;
  acmStreamConvert(stream, &header, kAcmConvertStart);
  header.destinationLengthUsed = 0;
  bytesRead = 0;
  endPosition = -1;
}

void LSRCACMWave::Seek(int p) {
  if (error != kSoundOk) return;
  ResetStream();
  if (p < 1) {
    file.Seek(dataStart);
    position = p;
    return;
  }
  uint64_t offset = BytesForFrames(p);
  if (offset < dataSize) {
    // Blocks decode only from their start: begin at a block boundary a
    // little earlier and decode forward to p.
    if (offset > kSeekLeadBytes) offset -= kSeekLeadBytes;
    if (blockAlign) offset -= offset % blockAlign;
    file.Seek(int64_t(dataStart) + int64_t(offset));
    bytesRead = uint32_t(offset);
    position = int32_t(std::min<int64_t>(FramesForBytes(offset), p));
    std::vector<int32_t> discard(size_t(kDestinationFrames) * channels);
    for (int64_t skip = int64_t(p) - position; skip >= 1;) {
      int piece = int(std::min<int64_t>(skip, kDestinationFrames));
      Read(discard.data(), piece);
      skip -= piece;
    }
  } else {
    file.Seek(int64_t(dataStart) + int64_t(dataSize));
    bytesRead = dataSize;
    endPosition = int32_t(std::min<int64_t>(FramesForBytes(dataSize), INT32_MAX));
  }
  position = p;
}
