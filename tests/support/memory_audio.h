#pragma once
// Sources and sinks in memory for the sound tests, and the reads they share.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "sound/sound_stream.h"

namespace testsupport {

// Interleaved samples in memory; reads outside them give zeros.
class MemorySource : public LSoundSourceBase {
 public:
  MemorySource(std::vector<int32_t> samples, int32_t rate, unsigned channels, uint32_t maxAmplitude,
               bool* deleted = nullptr)
      : LSoundSourceBase(rate, channels, maxAmplitude), samples_(std::move(samples)), deleted_(deleted) {}
  ~MemorySource() override {
    if (deleted_) *deleted_ = true;
  }
  void Read(int32_t* buffer, int frames) override {
    for (int f = 0; f < frames; ++f, ++position_)
      for (unsigned c = 0; c < channels; ++c) {
        int64_t i = int64_t(position_) * channels + c;
        *buffer++ = i >= 0 && i < int64_t(samples_.size()) ? samples_[size_t(i)] : 0;
      }
  }
  int GetPosition() override { return position_; }
  int GetLength() override { return int(samples_.size() / channels); }
  void Seek(int position) override {
    position_ = position;
    ++seeks;
  }
  int seeks = 0;

 private:
  std::vector<int32_t> samples_;
  int position_ = 0;
  bool* deleted_;
};

// Keeps what is written; a seek back cuts it there. Every seek is noted.
class MemorySink : public LSoundSinkBase {
 public:
  MemorySink(uint32_t rate, unsigned channels, bool* deleted = nullptr)
      : LSoundSinkBase(rate, channels), deleted_(deleted) {}
  ~MemorySink() override {
    if (deleted_) *deleted_ = true;
  }
  void Write(const int32_t* buffer, int frames) override {
    samples.resize(size_t(sPosition) * channels);
    samples.insert(samples.end(), buffer, buffer + size_t(frames) * channels);
    sPosition += frames;
  }
  void Seek(int position) override {
    if (position < sPosition) {
      sPosition = std::max(position, 0);
      samples.resize(size_t(sPosition) * channels);
    }
    seeks.push_back(position);
  }
  std::vector<int32_t> samples;
  std::vector<int> seeks;

 private:
  bool* deleted_;
};

// frames frames in one Read.
inline std::vector<int32_t> ReadFrames(const LSoundSourceRef& source, int frames) {
  std::vector<int32_t> out(size_t(frames) * source->channels);
  source->Read(out.data(), frames);
  return out;
}

// Reads pieces while the source says more remains, bounded so that a length
// that never settles fails instead of hanging; lengths gets the length before
// and after every read. Ends at the final length.
inline std::vector<int32_t> ReadToEnd(LSoundSourceBase& source, int piece, std::vector<int>* lengths = nullptr) {
  std::vector<int32_t> out, buffer(size_t(piece) * source.channels);
  if (lengths) lengths->push_back(source.GetLength());
  for (int guard = 0; guard < 20000 && source.GetPosition() < source.GetLength(); ++guard) {
    const int n = std::min(piece, source.GetLength() - source.GetPosition());
    source.Read(buffer.data(), n);
    out.insert(out.end(), buffer.begin(), buffer.begin() + long(n) * source.channels);
    if (lengths) lengths->push_back(source.GetLength());
  }
  out.resize(std::min(out.size(), size_t(std::max(source.GetLength(), 0)) * source.channels));
  return out;
}

// 16-bit samples on the engine's scale.
inline std::vector<int32_t> Internal(const std::vector<int16_t>& samples) {
  std::vector<int32_t> out(samples.size());
  std::transform(samples.begin(), samples.end(), out.begin(), SampleFrom16);
  return out;
}

}  // namespace testsupport
