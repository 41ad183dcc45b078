#pragma once
// MP3 fixtures made at test time (lame over generated or spoken audio) and
// the reference decoder (libmpg123, float output) they are compared with.
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "sound/files/mp3_source.h"
#include "tests/support/test_support.h"

namespace mp3test {

constexpr double kFullScale = 524288.0;

// Tone, a rising sweep, noise bursts and clicks (the bursts and clicks force
// short blocks), independent per channel so that stereo coding has work.
inline std::vector<int16_t> TestSignal(int rate, int channels, double seconds, unsigned seed = 1) {
  const int frames = int(rate * seconds);
  std::vector<int16_t> out(size_t(frames) * channels);
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  const double nyquist = rate / 2.0;
  for (int i = 0; i < frames; ++i) {
    const double t = double(i) / rate;
    for (int c = 0; c < channels; ++c) {
      const double tone = 0.25 * std::sin(2 * M_PI * (330.0 + 110.0 * c) * t);
      const double sweepHz = 100.0 + (nyquist * 0.8 - 100.0) * t / seconds;
      const double sweep = 0.2 * std::sin(2 * M_PI * sweepHz * t * 0.5);
      const double phase = std::fmod(t, 0.25);
      const double burst = (phase > 0.12 && phase < 0.15) ? 0.4 * noise(random) : 0.0;
      const double click = (i % (rate / 5) == rate / 10 + c * 7) ? 0.9 : 0.0;
      const double v = std::clamp(tone + sweep + burst + click, -1.0, 1.0);
      out[size_t(i) * channels + c] = int16_t(std::lrint(v * 32000.0));
    }
  }
  return out;
}

// Speech from espeak-ng resampled to rate and channels; empty when the tools are missing.
inline bool MakeSpeechWav(const std::string& path, int rate, int channels, const std::string& scratch) {
  if (!testsupport::HaveCommand("espeak-ng") || !testsupport::HaveCommand("sox")) return false;
  const std::string raw = scratch + "/speech_raw.wav";
  if (testsupport::RunCommand("espeak-ng -w '" + raw +
                              "' 'Where is the station? Seven tickets, please.' 2>/dev/null") != 0)
    return false;
  return testsupport::RunCommand("sox '" + raw + "' -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                                 " '" + path + "' 2>/dev/null") == 0;
}

inline bool Encode(const std::string& wav, const std::string& mp3, const std::string& options) {
  return testsupport::RunCommand("lame --quiet --nohist " + options + " '" + wav + "' '" + mp3 + "' 2>/dev/null") == 0;
}

struct Pcm {
  int rate = 0;
  int channels = 0;
  std::vector<double> samples;  // interleaved, full scale 1.0
  size_t Frames() const { return channels ? samples.size() / size_t(channels) : 0; }
};

// The reference decode: libmpg123 to float, without gapless trimming.
inline Pcm DecodeReference(const std::string& path) {
  Pcm pcm;
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (!mh) return pcm;
  mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t count = 0;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i) mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
  if (mpg123_open(mh, path.c_str()) != MPG123_OK) {
    mpg123_delete(mh);
    return pcm;
  }
  long rate = 0;
  int channels = 0, encoding = 0;
  mpg123_getformat(mh, &rate, &channels, &encoding);
  pcm.rate = int(rate);
  pcm.channels = channels;
  std::vector<unsigned char> buffer(1 << 16);
  for (;;) {
    size_t done = 0;
    const int r = mpg123_read(mh, buffer.data(), buffer.size(), &done);
    const float* f = reinterpret_cast<const float*>(buffer.data());
    for (size_t i = 0; i < done / sizeof(float); ++i) pcm.samples.push_back(f[i]);
    if (r == MPG123_NEW_FORMAT) continue;
    if (r != MPG123_OK) break;
  }
  mpg123_close(mh);
  mpg123_delete(mh);
  return pcm;
}

// Our decode through LMP3Source until the length is reached, in blocks of block frames.
inline Pcm DecodeOurs(const std::string& path, int block = 1000) {
  Pcm pcm;
  LMP3Source source(path);
  if (source.error != kSoundOk) return pcm;
  pcm.rate = source.sampleRate;
  pcm.channels = source.channels;
  std::vector<int32_t> buffer(size_t(block) * source.channels);
  for (int guard = 0; source.GetPosition() < source.GetLength() && guard < 1000000; ++guard) {
    const int n = std::min(block, source.GetLength() - source.GetPosition());
    source.Read(buffer.data(), n);
    for (int i = 0; i < n * source.channels; ++i) pcm.samples.push_back(buffer[size_t(i)] / kFullScale);
  }
  return pcm;
}

struct Difference {
  long offset = 0;  // ours[i + offset] matches reference[i]
  double rms = 1.0;
  double peak = 1.0;
  size_t compared = 0;
};

// Finds the frame offset (within +-maxLag) at which ours matches the
// reference best, then measures the difference over the whole overlap.
inline Difference Compare(const Pcm& ours, const Pcm& ref, long maxLag = 2400) {
  Difference best;
  if (ours.channels != ref.channels || ours.channels == 0) return best;
  const int ch = ours.channels;
  // Probe around the loudest stretch of the reference.
  const size_t refFrames = ref.Frames(), ourFrames = ours.Frames();
  size_t probe = 0;
  double loudest = -1;
  for (size_t i = 0; i + 2048 < refFrames; i += 512) {
    double e = 0;
    for (size_t k = i; k < i + 2048; ++k) e += ref.samples[k * ch] * ref.samples[k * ch];
    if (e > loudest) loudest = e, probe = i;
  }
  double bestError = 1e300;
  for (long lag = -maxLag; lag <= maxLag; ++lag) {
    double e = 0;
    bool inside = true;
    for (size_t k = probe; k < probe + 2048 && k < refFrames && inside; ++k) {
      const long j = long(k) + lag;
      if (j < 0 || size_t(j) >= ourFrames) {
        inside = false;
        break;
      }
      const double d = ours.samples[size_t(j) * ch] - ref.samples[k * ch];
      e += d * d;
      if (e > bestError) break;
    }
    if (inside && e < bestError) bestError = e, best.offset = lag;
  }
  double sum = 0, peak = 0;
  size_t n = 0;
  for (size_t k = 0; k < refFrames; ++k) {
    const long j = long(k) + best.offset;
    if (j < 0 || size_t(j) >= ourFrames) continue;
    for (int c = 0; c < ch; ++c) {
      const double d = ours.samples[size_t(j) * ch + c] - ref.samples[k * ch + c];
      sum += d * d;
      peak = std::max(peak, std::fabs(d));
      ++n;
    }
  }
  best.compared = n;
  best.rms = n ? std::sqrt(sum / double(n)) : 1.0;
  best.peak = n ? peak : 1.0;
  return best;
}

// All samples LMP3Source produces up to its length, as integers.
inline std::vector<int32_t> DecodeRaw(const std::string& path, int block = 1000) {
  std::vector<int32_t> all;
  LMP3Source source(path);
  if (source.error != kSoundOk) return all;
  std::vector<int32_t> buffer(size_t(block) * source.channels);
  for (int guard = 0; source.GetPosition() < source.GetLength() && guard < 1000000; ++guard) {
    source.Read(buffer.data(), block);
    all.insert(all.end(), buffer.begin(), buffer.end());
  }
  const size_t keep = size_t(source.GetLength()) * source.channels;
  if (all.size() > keep) all.resize(keep);
  return all;
}

// Offsets and sizes of the frames of a file that holds frames back to back.
struct FrameSpan {
  size_t offset, size;
};
inline std::vector<FrameSpan> SplitFrames(const std::vector<uint8_t>& bytes) {
  std::vector<FrameSpan> frames;
  size_t at = 0;
  MP3Header h;
  while (at + 4 <= bytes.size() && h.Parse(&bytes[at]) == nullptr) {
    const size_t size = size_t(h.FrameSize());
    if (at + size > bytes.size()) break;
    frames.push_back({at, size});
    at += size;
  }
  return frames;
}

inline std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, const std::vector<FrameSpan>& frames, size_t from,
                                  size_t to) {
  std::vector<uint8_t> out;
  for (size_t i = from; i < to && i < frames.size(); ++i)
    out.insert(out.end(), bytes.begin() + long(frames[i].offset),
               bytes.begin() + long(frames[i].offset + frames[i].size));
  return out;
}

// Bytes without 0xFF, so that they cannot hold a frame sync.
inline std::vector<uint8_t> Junk(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out(count);
  for (auto& b : out) b = uint8_t(random() % 255);
  return out;
}

// Makes a test-signal MP3 with lame; empty path when lame is missing.
inline bool MakeMp3(const std::string& folder, const std::string& name, int rate, int channels, double seconds,
                    const std::string& options, unsigned seed = 1) {
  const std::string wav = folder + "/" + name + ".wav";
  return testsupport::WriteWav16(wav, rate, channels, TestSignal(rate, channels, seconds, seed)) &&
         Encode(wav, folder + "/" + name, options);
}

// The full-accuracy limits for a decoder of the standard, on full scale 1.0.
inline double RmsLimit() { return std::pow(2.0, -15) / std::sqrt(12.0); }
inline double PeakLimit() { return std::pow(2.0, -14); }

}  // namespace mp3test
