#include "sound/files/vok_file.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/debug_log.h"
#include "platform/little_endian.h"

const int32_t kVOKStepTable[kVOKStepCount] = {1,    2,    4,    8,    11,   16,   23,   32,   40,   51,  64,
                                              81,   102,  128,  161,  202,  256,  323,  407,  512,  645, 812,
                                              1024, 1290, 1625, 2048, 2580, 3250, 4096, 5161, 6502, 8192};

namespace {

int32_t SaturateToInt32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

VOKHeader VOKHeader::Parse(const uint8_t bytes[kVOKHeaderBytes]) {
  VOKHeader header;
  header.magic = LeGet16(bytes);
  header.reserved = LeGet16(bytes + 2);
  header.format = LeGet32(bytes + 4);
  header.length = LeGet32(bytes + 8);
  return header;
}

void VOKHeader::Store(uint8_t bytes[kVOKHeaderBytes]) const {
  LePut16(bytes, magic);
  LePut16(bytes + 2, reserved);
  LePut32(bytes + 4, format);
  LePut32(bytes + 8, length);
}

void VOKDecodeBlock(const uint8_t* coded, int stride, int32_t* predictor, int32_t* out, int outStride) {
  const uint8_t stepByte = coded[0];
  const int32_t step1 = kVOKStepTable[VOKStepIndex1(stepByte)];
  const int32_t step2 = kVOKStepTable[VOKStepIndex2(stepByte)];
  const uint8_t* delta = coded + stride;
  // The predictor leaks by 1/16 per block, so damaged or missing data fades out.
  int32_t y = *predictor - (*predictor >> 4);
  // Coded data can climb past full scale; the samples stop there, as the
  // source's maximum amplitude promises (the predictor itself runs on).
  constexpr int32_t kMax = int32_t(kSampleFullScale);
  for (int j = 0; j < 8; ++j) {
    y += int8_t(delta[j * stride]) * step1;
    out[j * outStride] = std::clamp(y, -kMax, kMax);
  }
  for (int j = 8; j < 16; ++j) {
    y += int8_t(delta[j * stride]) * step2;
    out[j * outStride] = std::clamp(y, -kMax, kMax);
  }
  *predictor = y;
}

LSRCVOKFile::LSRCVOKFile(const std::string& fileName) : LSoundSourceBase(44100, 1, kSampleFullScale) {
  file_ = PlatformFile::OpenRead(fileName);
  if (!file_.IsOpen()) {
    LDebugLog("LSRCVOKFile::LSRCVOKFile Unable to open file");
    error = kSoundInnerError;
    return;
  }
  uint8_t bytes[kVOKHeaderBytes];
  if (file_.Read(bytes, sizeof bytes) < sizeof bytes) {
    LDebugLog("LSRCVOKFile::LSRCVOKFile Unable to read file header");
    error = kSoundInnerError;
    file_.Close();
    return;
  }
  const VOKHeader header = VOKHeader::Parse(bytes);
  // A length that does not fit the signed frame count cannot be played; only
  // the all-ones "unknown" value is taken from the file size instead.
  const bool lengthFits = header.length == kVOKUnknownLength || header.length <= uint32_t(INT32_MAX);
  if (!header.IsValid() || !lengthFits) {
    LDebugLog("LSRCVOKFile::LSRCVOKFile Invalid file header");
    error = kSoundInnerError;
    file_.Close();
    return;
  }
  SetSampleRate(int32_t(header.SampleRate()));
  SetChannels(header.Channels());

  chunk_.assign(size_t(kVOKChunkBlocks) * kVOKBlockBytesPerChannel * channels, 0);
  holding_.assign(size_t(HoldingSize()), 0);
  holdingIndex_ = HoldingSize();
  predictors_.assign(channels, 0);
  blockIndex_ = kVOKChunkBlocks;

  if (header.length != kVOKUnknownLength) {
    length_ = int32_t(header.length);
  } else {
    const int64_t dataBytes = std::max<int64_t>(file_.Size() - kVOKHeaderBytes, 0);
    length_ = SaturateToInt32(dataBytes / (int64_t(kVOKBlockBytesPerChannel) * channels) * kVOKBlockFrames);
  }
}

void LSRCVOKFile::ReadChunk() {
  const size_t got = file_.Read(chunk_.data(), chunk_.size());
  // Whatever the file does not supply decodes as zero deltas: the signal decays.
  if (got < chunk_.size()) std::memset(chunk_.data() + got, 0, chunk_.size() - got);
  blockIndex_ = 0;
}

void LSRCVOKFile::DecodeNextBlock(int32_t* out) {
  if (blockIndex_ >= kVOKChunkBlocks) ReadChunk();
  const int count = channels;
  const uint8_t* block = chunk_.data() + size_t(blockIndex_) * kVOKBlockBytesPerChannel * count;
  for (int q = 0; q < count; ++q) VOKDecodeBlock(block + q, count, &predictors_[size_t(q)], out + q, count);
  ++blockIndex_;
}

void LSRCVOKFile::Read(int32_t* buffer, int frames) {
  if (frames <= 0) return;
  const int count = channels;
  const int64_t position = int64_t(position_) + frames;
  position_ = SaturateToInt32(position);
  if (error != kSoundOk || position < 1) {
    std::memset(buffer, 0, sizeof(int32_t) * size_t(frames) * size_t(count));
    return;
  }
  int32_t* out = buffer;
  int64_t n = frames;
  if (frames > position) {  // the read began before the start
    const size_t lead = size_t(frames - position) * size_t(count);
    std::memset(out, 0, sizeof(int32_t) * lead);
    out += lead;
    n = position;
  }
  int64_t tail = 0;
  if (position > length_) {
    tail = std::min(n, position - length_);
    n -= tail;
  }

  const int64_t held = std::min<int64_t>(HoldingSize() - holdingIndex_, n * count);
  if (held > 0) {
    std::memcpy(out, holding_.data() + holdingIndex_, sizeof(int32_t) * size_t(held));
    holdingIndex_ += int(held);
    out += held;
    n -= held / count;
  }
  for (; n >= kVOKBlockFrames; n -= kVOKBlockFrames) {
    DecodeNextBlock(out);
    out += kVOKBlockFrames * count;
  }
  if (n > 0) {
    // The rest of this block stays in the holding buffer for the next read.
    DecodeNextBlock(holding_.data());
    const size_t take = size_t(n) * size_t(count);
    std::memcpy(out, holding_.data(), sizeof(int32_t) * take);
    holdingIndex_ = int(take);
    out += take;
  }
  if (tail > 0) std::memset(out, 0, sizeof(int32_t) * size_t(tail) * size_t(count));
}

void LSRCVOKFile::Seek(int position) {
  if (error != kSoundOk) return;
  position_ = position;
  std::fill(predictors_.begin(), predictors_.end(), 0);
  int skip = 0;
  int64_t offset = kVOKHeaderBytes;
  if (position > 0) {
    offset += int64_t(position / kVOKBlockFrames) * kVOKBlockBytesPerChannel * channels;
    skip = position % kVOKBlockFrames;
  }
  if (file_.Seek(offset)) {
    ReadChunk();
  } else {
    LDebugLog("LSRCVOKFile::Seek Unable to seek file");
    std::fill(chunk_.begin(), chunk_.end(), 0);
    blockIndex_ = 0;
  }
  if (skip > 0) {
    DecodeNextBlock(holding_.data());
    holdingIndex_ = skip * channels;
  } else {
    holdingIndex_ = HoldingSize();
  }
}

LSoundSourceRef OpenVOKSource(const std::string& fileName) { return LSoundSourceRef(new LSRCVOKFile(fileName)); }
