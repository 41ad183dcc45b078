// orativo-decode [--float] [--limit] [--stretch START,END,RAMP_MS] [--tempo T] IN OUT.wav
//
// Decodes any audio file the engine can play into a WAV file, pulling blocks
// the way the player does. 16-bit output goes through the peak limiter when
// the source can exceed the 16-bit range, as in the player; --float writes
// the engine's own samples as 32-bit IEEE float (524,288 = 1.0, unclipped).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "platform/little_endian.h"
#include "sound/files/audio_file_open.h"
#include "sound/files/wave_file.h"
#include "sound/processors.h"

namespace {

const char* ErrorText(uint8_t code) {
  switch (code) {
    case kSoundMissingSource:
      return "no source could be made for it";
    case kSoundInnerError:
      return "its contents are damaged or its inner source failed";
    case kSoundBadFormat:
      return "it is not a usable audio file (bad layout, rate or channel count)";
    case kSoundCannotOpen:
      return "the file cannot be opened";
    case kSoundNoCodec:
      return "no codec can decode its audio format";
    default:
      return "unknown error";
  }
}

int Usage() {
  std::fprintf(stderr,
               "usage: orativo-decode [--float] [--limit] [--stretch START,END,RAMP_MS] [--tempo T] IN OUT.wav\n"
               "  --float    write 32-bit float samples (the engine's scale, 524288 = 1.0)\n"
               "  --limit    always pass the audio through the peak limiter\n"
               "  --stretch  play through the time stretch (speeds in blocks per block, ramp in ms)\n"
               "  --tempo    slow replay with the pitch kept, T from 0.5 to 1.0\n");
  return 2;
}

// A WAV of 32-bit float samples: RIFF, an 18-byte fmt, fact and data.
class FloatWavWriter {
 public:
  static constexpr int kHeaderSize = 58;
  FloatWavWriter(const std::string& path, uint32_t rate, unsigned channels)
      : file_(PlatformFile::Create(path)), rate_(rate), channels_(channels) {
    WriteHeader();
  }
  bool IsOpen() const { return file_.IsOpen(); }
  bool Write(const int32_t* samples, int frames) {
    bytes_.resize(size_t(frames) * channels_ * 4);
    for (size_t i = 0; i < size_t(frames) * channels_; ++i) {
      float f = float(samples[i]) / 524288.0f;
      uint32_t bits;
      std::memcpy(&bits, &f, 4);
      LePut32(&bytes_[4 * i], bits);
    }
    frames_ += uint64_t(frames);
    return file_.Write(bytes_.data(), bytes_.size()) == bytes_.size();
  }
  bool Finish() {
    WriteHeader();
    return file_.IsOpen();
  }
  uint64_t DataBytes() const { return frames_ * channels_ * 4; }

 private:
  void WriteHeader() {
    uint8_t h[kHeaderSize];
    uint32_t align = channels_ * 4, data = uint32_t(DataBytes());
    std::memcpy(h, "RIFF", 4);
    LePut32(h + 4, data + kHeaderSize - 8);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    LePut32(h + 16, 18);
    LePut16(h + 20, 3);  // IEEE float
    LePut16(h + 22, channels_);
    LePut32(h + 24, rate_);
    LePut32(h + 28, rate_ * align);
    LePut16(h + 32, align);
    LePut16(h + 34, 32);
    LePut16(h + 36, 0);
    std::memcpy(h + 38, "fact", 4);
    LePut32(h + 42, 4);
    LePut32(h + 46, uint32_t(frames_));
    std::memcpy(h + 50, "data", 4);
    LePut32(h + 54, data);
    file_.WriteAt(0, h, sizeof h);
    file_.Seek(kHeaderSize + int64_t(DataBytes()));
  }

  PlatformFile file_;
  uint32_t rate_;
  unsigned channels_;
  uint64_t frames_ = 0;
  std::vector<uint8_t> bytes_;
};

}  // namespace

int main(int argc, char** argv) {
  bool asFloat = false, limit = false, stretch = false;
  double startSpeed = 1, endSpeed = 1, tempo = 1;
  int rampMs = 0;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--float") {
      asFloat = true;
    } else if (arg == "--limit") {
      limit = true;
    } else if (arg == "--stretch" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%lf,%lf,%d", &startSpeed, &endSpeed, &rampMs) != 3) return Usage();
      if (endSpeed == 0 || (startSpeed == 0 && rampMs <= 0)) {
        std::fprintf(stderr, "orativo-decode: a speed of 0 never reaches the end\n");
        return 2;
      }
      stretch = true;
    } else if (arg == "--tempo" && i + 1 < argc) {
      char* end = nullptr;
      tempo = std::strtod(argv[++i], &end);
      if (end == argv[i] || *end != 0 || !(tempo >= 0.5 && tempo <= 1.0)) {
        std::fprintf(stderr, "orativo-decode: the tempo must lie between 0.5 and 1.0\n");
        return 2;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage();
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) return Usage();

  LSoundSourceRef source = OpenAudioFileSource(files[0]);
  if (source->error != kSoundOk) {
    std::fprintf(stderr, "orativo-decode: cannot play %s: %s (error %d)\n", files[0].c_str(), ErrorText(source->error),
                 source->error);
    return 1;
  }
  if (stretch) source = LTimeStretchProcessor(startSpeed, endSpeed, rampMs).Open(source);
  source = LTempoProcessor(tempo).Open(source);
  if (limit)
    source = LSoundSourceRef(new LSRCPeakLimit(source, kSampleFullScale));
  else if (!asFloat)
    source = LPeakLimitProcessor(kSampleFullScale).Open(source);

  const unsigned channels = source->channels;
  LSoundSinkRef sink;
  std::unique_ptr<FloatWavWriter> floatWriter;
  if (asFloat) {
    floatWriter = std::make_unique<FloatWavWriter>(files[1], uint32_t(source->sampleRate), channels);
    if (!floatWriter->IsOpen()) {
      std::fprintf(stderr, "orativo-decode: cannot create %s\n", files[1].c_str());
      return 1;
    }
  } else {
    sink = LWaveFile::OpenSinkPCM(files[1], uint32_t(source->sampleRate), channels, 16, 0);
    if (!sink.IsUsable()) {
      std::fprintf(stderr, "orativo-decode: cannot create %s\n", files[1].c_str());
      return 1;
    }
  }

  // As the player: play while at least one frame remains.
  const uint64_t maxBytes = 0xFFFFFFFFull - 64;
  const uint64_t frameBytes = uint64_t(channels) * (asFloat ? 4 : 2);
  uint64_t written = 0;
  std::vector<int32_t> buffer(size_t(kWaveFramesPerBlock) * channels);
  int status = 0;
  for (;;) {
    int64_t left = int64_t(source->GetLength()) - source->GetPosition();
    if (left < 1) break;
    // Stretched frames move the position by more or less than one frame
    // each; small blocks keep the overshoot at the end small.
    int frames = int(std::min<int64_t>(left, stretch ? 256 : kWaveFramesPerBlock));
    if ((written + uint64_t(frames)) * frameBytes > maxBytes) {
      std::fprintf(stderr, "orativo-decode: output would exceed the 4 GB a WAV file can hold\n");
      status = 1;
      break;
    }
    source->Read(buffer.data(), frames);
    if (floatWriter)
      floatWriter->Write(buffer.data(), frames);
    else
      sink->Write(buffer.data(), frames);
    written += uint64_t(frames);
  }
  if (floatWriter) floatWriter->Finish();
  return status;
}
