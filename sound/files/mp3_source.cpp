#include "sound/files/mp3_source.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/debug_log.h"

// ---------------------------------------------------------------- reader

bool MP3FileReader::Fill() {
  bufferStart_ += int64_t(bufferPos_);
  bufferPos_ = 0;
  bufferLen_ = 0;
  if (bufferStart_ >= end_ || !file_.Seek(bufferStart_)) return false;
  bufferLen_ = file_.Read(buffer_, size_t(std::min<int64_t>(int64_t(sizeof buffer_), end_ - bufferStart_)));
  return bufferLen_ > 0;
}

size_t MP3FileReader::Read(uint8_t* out, size_t bytes) {
  size_t done = 0;
  while (done < bytes) {
    if (bufferPos_ >= bufferLen_ && !Fill()) break;
    const size_t n = std::min(bytes - done, bufferLen_ - bufferPos_);
    std::memcpy(out + done, buffer_ + bufferPos_, n);
    bufferPos_ += n;
    done += n;
  }
  return done;
}

bool MP3FileReader::ReadByte(uint8_t* byte) {
  if (bufferPos_ >= bufferLen_ && !Fill()) return false;
  *byte = buffer_[bufferPos_++];
  return true;
}

void MP3FileReader::Seek(int64_t offset) {
  if (offset < 0) offset = 0;
  if (offset >= bufferStart_ && offset <= bufferStart_ + int64_t(bufferLen_)) {
    bufferPos_ = size_t(offset - bufferStart_);
    return;
  }
  bufferStart_ = offset;
  bufferPos_ = 0;
  bufferLen_ = 0;
}

// ---------------------------------------------------------------- tags

namespace {

uint32_t SyncSafe(const uint8_t* p) { return uint32_t(p[0]) << 21 | uint32_t(p[1]) << 14 | uint32_t(p[2]) << 7 | p[3]; }
uint32_t LittleEndian32(const uint8_t* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// Size of an ID3v2 tag whose header ("ID3") or footer ("3DI") is at p, header
// and footer included; 0 when p holds none.
int64_t Id3v2Size(const uint8_t* p, const char* magic) {
  if (std::memcmp(p, magic, 3) != 0 || p[3] == 0xFF || p[4] == 0xFF) return 0;
  if ((p[6] | p[7] | p[8] | p[9]) & 0x80) return 0;
  const bool footer = p[3] >= 4 && (p[5] & 0x10);
  return 10 + int64_t(SyncSafe(p + 6)) + (footer ? 10 : 0);
}

}  // namespace

MP3AudioSpan FindMP3Audio(PlatformFile& file) {
  MP3AudioSpan span{0, std::max<int64_t>(0, file.Size())};
  uint8_t b[32];
  // Tags at the front; a tag that claims more than the file is not taken for one.
  while (span.end - span.start >= 10 && file.ReadAt(span.start, b, 10) == 10) {
    const int64_t size = Id3v2Size(b, "ID3");
    if (size == 0 || size > span.end - span.start) break;
    span.start += size;
  }
  // Tags at the end, in any order.
  for (bool found = true; found;) {
    found = false;
    const int64_t room = span.end - span.start;
    if (room >= 128 && file.ReadAt(span.end - 128, b, 3) == 3 && std::memcmp(b, "TAG", 3) == 0) {
      span.end -= 128;
      // The extended tag sits in front of the plain one.
      if (room >= 355 && file.ReadAt(span.end - 227, b, 4) == 4 && std::memcmp(b, "TAG+", 4) == 0) span.end -= 227;
      found = true;
      continue;
    }
    if (room >= 32 && file.ReadAt(span.end - 32, b, 32) == 32 && std::memcmp(b, "APETAGEX", 8) == 0) {
      // The size counts the items and the footer; a header may precede them.
      const int64_t size = int64_t(LittleEndian32(b + 12)) + ((LittleEndian32(b + 20) & 0x80000000u) ? 32 : 0);
      if (size >= 32 && size <= room) {
        span.end -= size;
        found = true;
        continue;
      }
    }
    if (room >= 15 && file.ReadAt(span.end - 15, b, 15) == 15 && std::memcmp(b + 6, "LYRICS200", 9) == 0) {
      int64_t size = 0;
      bool digits = true;
      for (int i = 0; i < 6; ++i) {
        digits = digits && b[i] >= '0' && b[i] <= '9';
        size = size * 10 + (b[i] - '0');
      }
      if (digits && size + 15 <= room) {
        span.end -= size + 15;
        found = true;
        continue;
      }
    }
    if (room >= 20 && file.ReadAt(span.end - 10, b, 10) == 10) {
      const int64_t size = Id3v2Size(b, "3DI");
      if (size > 0 && size <= room) {
        span.end -= size;
        found = true;
      }
    }
  }
  return span;
}

// ---------------------------------------------------------------- source

LMP3Source::LMP3Source(const std::string& fileName)
    : LSoundSourceBase(44100, 1, 0x200000), frameBuffer_(1152 * 2, 0), mainData_(MP3FrameDecoder::kReservoirSize) {
  PlatformFile file = PlatformFile::OpenRead(fileName);
  if (!file.IsOpen()) {
    LDebugLog("LMP3Source::LMP3Source unable to open %s", fileName.c_str());
    error = kSoundCannotOpen;
    return;
  }
  // Tags are skipped by their own sizes: a cover picture is larger than the
  // header scan reaches, and may hold false frame syncs.
  const MP3AudioSpan span = FindMP3Audio(file);
  file_ = std::make_unique<MP3FileReader>(std::move(file));
  file_->SetEnd(span.end);
  file_->Seek(span.start);
  audioStart_ = span.start;
  audioEnd_ = span.end;
  decoder_ = std::make_unique<MP3FrameDecoder>();
  dataLength_ = int(std::clamp<int64_t>(span.end - span.start, 0, INT32_MAX));
  if (!DecodeInitialHeader()) {
    LDebugLog("LMP3Source::LMP3Source DecodeInitialHeader FAILED so SetError");
    error = kSoundBadFormat;
    return;
  }
  stereo_ = initialHeader_.mode != 3;
  SetChannels(stereo_ ? 2 : 1);
  SetSampleRate(initialHeader_.SampleRate());
  samplesPerFrame_ = initialHeader_.SamplesPerFrame();
  frameReadPosition_ = samplesPerFrame_;
  if (vbrFrameCount_ > 0) {
    bytesPerFrame_ = double(dataLength_) / vbrFrameCount_;
    length_ = int(std::min<int64_t>(int64_t(vbrFrameCount_) * samplesPerFrame_, INT32_MAX));
  } else {
    bytesPerFrame_ = double(initialHeader_.version == 0 ? 144 : 72) * initialHeader_.bitRate / sampleRate;
    length_ = int(std::min<double>(int(dataLength_ / bytesPerFrame_ + 0.9) * double(samplesPerFrame_), INT32_MAX));
  }
  decoder_->Configure(initialHeader_.version, initialHeader_.sampleRateIndex, channels);
}

LMP3Source::~LMP3Source() = default;

bool LMP3Source::ReadHeader(MP3Header* header) {
  uint8_t b[4];
  if (file_->Read(b, 4) < 4) {
    LDebugLog("MP3Header::ReadHeader failed because unable to read header");
    return false;
  }
  for (int slides = 0;; ++slides) {
    const char* why = header->Parse(b);
    if (!why) break;
    // Only near misses are worth a line; plain data without sync bits is not.
    if (b[0] == 0xFF && b[1] >= 0xE0) LDebugLog("%s", why);
    if (slides >= kHeaderSlideLimit) {
      LDebugLog("MP3Header::ReadHeader failed because unable to find header after 65535 bytes");
      return false;
    }
    b[0] = b[1], b[1] = b[2], b[2] = b[3];
    if (!file_->ReadByte(&b[3])) {
      LDebugLog("MP3Header::ReadHeader failed because unable to read header2");
      return false;
    }
  }
  if (!header->noCrc) {
    uint8_t crc[2];
    file_->Read(crc, 2);
  }
  return true;
}

namespace {

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

bool LMP3Source::DecodeInitialHeader() {
  MP3Header header;
  int64_t bitRateSum = 0;
  int count = 0;
  for (int n = 0; n < kInitialFrames; ++n) {
    if (!ReadHeader(&header)) break;
    const int rest = header.FrameSize() - 4 - header.CrcBytes();
    if (count == 0) {
      initialHeader_ = header;
      const int64_t frameEnd = file_->Tell() - 4 - header.CrcBytes() + header.FrameSize();
      const int sideSize = header.SideInfoSize();
      uint8_t area[36] = {};  // side information and the 4 bytes after it
      const int64_t areaStart = file_->Tell();
      file_->Read(area, size_t(sideSize) + 4);
      // Encoders place the tag after the side information; some count a CRC
      // into that area, so the tag may also sit 2 bytes earlier.
      int tagAt = -1;
      for (int at : {sideSize, sideSize - header.CrcBytes()}) {
        const uint8_t* tag = area + at;
        const bool known =
            std::memcmp(tag, "Xing", 4) == 0 || std::memcmp(tag, "Info", 4) == 0 || std::memcmp(tag, "VBRI", 4) == 0;
        if (tagAt < 0 && known && std::all_of(area, area + at, [](uint8_t v) { return v == 0; })) tagAt = at;
      }
      if (tagAt >= 0) {
        const bool vbri = std::memcmp(area + tagAt, "VBRI", 4) == 0;
        uint8_t fields[14] = {};
        file_->Seek(areaStart + tagAt + 4);
        file_->Read(fields, vbri ? 14 : 8);
        const uint32_t flags = vbri ? 1 : BigEndian32(fields);
        const uint32_t frames = BigEndian32(vbri ? fields + 10 : fields + 4);
        if ((flags & 1) && frames > 0 && frames <= INT32_MAX) {
          // The information frame is never audio; decoding starts after it.
          vbrFrameCount_ = int(frames);
          file_->Seek(frameEnd);
          audioStart_ = frameEnd;
          return true;
        }
      }
      file_->Seek(frameEnd);
    } else {
      file_->Skip(rest);
    }
    bitRateSum += header.bitRate;
    ++count;
  }
  if (count == 0) return false;
  initialHeader_.bitRate = int(bitRateSum / count);
  file_->Seek(audioStart_);
  return true;
}

int LMP3Source::BytesRemaining() const { return int(std::clamp<int64_t>(audioEnd_ - file_->Tell(), 0, INT32_MAX)); }

bool LMP3Source::FindFrame(MP3Header* header) {
  for (int attempt = 0; attempt < kHeaderAttempts; ++attempt) {
    if (!ReadHeader(header)) return false;
    if (header->version == initialHeader_.version && header->sampleRateIndex == initialHeader_.sampleRateIndex &&
        (header->mode == 3) == (initialHeader_.mode == 3))
      return true;
    file_->Skip(header->FrameSize() - 4 - header->CrcBytes());
  }
  return false;
}

bool LMP3Source::FrameFollows() {
  const int64_t at = file_->Tell();
  MP3Header header;
  const bool found = FindFrame(&header);
  const bool whole = found && file_->Tell() + header.FrameSize() - 4 - header.CrcBytes() <= audioEnd_;
  file_->Seek(at);
  return whole;
}

void LMP3Source::NoteFrame(int64_t scanFrom, const MP3Header& header) {
  if (indexComplete_ || scanFrom != (frameOffsets_.empty() ? audioStart_ : indexNext_)) return;
  const int64_t at = file_->Tell() - 4 - header.CrcBytes();
  frameOffsets_.push_back(at);
  indexNext_ = at + header.FrameSize();
}

bool LMP3Source::DecodeFrame(int32_t* out, bool exact) {
  for (;;) {
    MP3Header header;
    const int64_t scanFrom = file_->Tell();
    if (!FindFrame(&header)) return false;
    NoteFrame(scanFrom, header);
    currentHeader_ = header;
    uint8_t side[32] = {};
    const int sideSize = header.SideInfoSize();
    if (file_->Read(side, size_t(sideSize)) < size_t(sideSize)) return false;
    const int mainBytes = header.MainDataSize();
    if (mainBytes < 0 || mainBytes > MP3FrameDecoder::kReservoirSize) {
      // Cannot be a real frame of this stream.
      if (mainBytes > 0) file_->Skip(mainBytes);
      if (exact) break;
      continue;
    }
    if (file_->Read(mainData_.data(), size_t(mainBytes)) < size_t(mainBytes)) return false;
    const MP3FrameDecoder::Result result = decoder_->DecodeFrame(header, side, mainData_.data(), mainBytes, out);
    if (result == MP3FrameDecoder::kDecoded) return true;
    if (exact) break;
  }
  std::fill(out, out + samplesPerFrame_ * channels, 0);
  return true;
}

void LMP3Source::UpdateLength(int reached) {
  if (vbrFrameCount_ > 0) return;
  // The estimate may round the last small frames away, or count bytes that
  // hold no frame: whether one more frame follows settles the end exactly.
  if (!FrameFollows()) {
    length_ = reached;
    return;
  }
  const double frames = std::max(1, int(BytesRemaining() / bytesPerFrame_ + 0.9));
  length_ = int(std::min<double>(frames * samplesPerFrame_ + reached, INT32_MAX));
}

void LMP3Source::Read(int32_t* buffer, int frames) {
  if (frames <= 0) return;
  const int ch = channels;
  const int start = position_;
  position_ = int(std::min<int64_t>(int64_t(start) + frames, INT32_MAX));
  if (error != kSoundOk || start > length_) {
    std::fill(buffer, buffer + size_t(frames) * ch, 0);
    return;
  }
  int32_t* out = buffer;
  int wanted = frames;
  int cursor = start;
  if (start < 0) {
    if (int64_t(start) + frames <= 0) {
      std::fill(buffer, buffer + size_t(frames) * ch, 0);
      return;
    }
    const int silent = -start;
    std::fill(out, out + size_t(silent) * ch, 0);
    out += size_t(silent) * ch;
    wanted -= silent;
    cursor = 0;
  }
  while (wanted > 0) {
    if (frameReadPosition_ >= samplesPerFrame_) {
      if (wanted >= samplesPerFrame_) {
        if (!DecodeFrame(out)) break;
        cursor += samplesPerFrame_;
        UpdateLength(cursor);
        out += size_t(samplesPerFrame_) * ch;
        wanted -= samplesPerFrame_;
        continue;
      }
      if (!DecodeFrame(frameBuffer_.data())) break;
      frameReadPosition_ = 0;
      UpdateLength(cursor + samplesPerFrame_);
    }
    const int n = std::min(wanted, samplesPerFrame_ - frameReadPosition_);
    std::memcpy(out, frameBuffer_.data() + size_t(frameReadPosition_) * ch, size_t(n) * ch * sizeof(int32_t));
    frameReadPosition_ += n;
    out += size_t(n) * ch;
    wanted -= n;
    cursor += n;
  }
  if (wanted > 0) {
    LDebugLog("LMP3Source::Read DecodeFrame failed so end");
    if (length_ > cursor) length_ = cursor;
    std::fill(out, out + size_t(wanted) * ch, 0);
  }
}

int64_t LMP3Source::FrameOffset(int index) {
  while (!indexComplete_ && int(frameOffsets_.size()) <= index) {
    file_->Seek(frameOffsets_.empty() ? audioStart_ : indexNext_);
    MP3Header header;
    if (!FindFrame(&header)) {
      indexComplete_ = true;
      break;
    }
    const int64_t at = file_->Tell() - 4 - header.CrcBytes();
    frameOffsets_.push_back(at);
    indexNext_ = at + header.FrameSize();
  }
  return index < int(frameOffsets_.size()) ? frameOffsets_[size_t(index)] : -1;
}

void LMP3Source::Seek(int position) {
  position_ = position;
  if (error != kSoundOk) return;
  const int clamped = std::clamp(position, 0, std::max(0, length_));
  const int target = clamped / samplesPerFrame_, offset = clamped % samplesPerFrame_;
  const int first = std::max(0, target - kPreRollFrames);
  frameReadPosition_ = samplesPerFrame_;
  // Frames are found through an index of their offsets, so that the frame
  // decoded is the one the position names, also in variable-rate files.
  const int64_t at = FrameOffset(first);
  if (at < 0) return;
  file_->Seek(at);
  decoder_->Reset();
  for (int i = first; i < target; ++i)
    if (!DecodeFrame(frameBuffer_.data(), true)) return;
  if (DecodeFrame(frameBuffer_.data(), true)) frameReadPosition_ = offset;
}

LSoundSourceRef OpenMP3Source(const std::string& fileName) {
  auto* source = new LMP3Source(fileName);
  if (source->error == kSoundOk) return LSoundSourceRef(source);
  const uint8_t code = source->error;
  delete source;
  return LSoundSourceRef::Null(code);
}
