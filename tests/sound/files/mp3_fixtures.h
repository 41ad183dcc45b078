#pragma once
// MP3 fixtures made at test time (lame over generated or spoken audio) and
// the reference decoder (libmpg123, float output) they are compared with.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "sound/files/mp3_source.h"
#include "tests/support/memory_audio.h"
#include "tests/support/test_support.h"

namespace mp3test {

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

inline bool Encode(const std::string& wav, const std::string& mp3, const std::string& options) {
  return testsupport::RunCommand("lame --quiet --nohist " + options + " '" + wav + "' '" + mp3 + "' 2>/dev/null") == 0;
}

struct Pcm {
  int rate = 0, channels = 0;
  std::vector<double> samples;  // interleaved, full scale 1.0
  size_t Frames() const { return channels ? samples.size() / size_t(channels) : 0; }
};

// The reference decode: libmpg123 to float, without gapless trimming.
inline Pcm DecodeReference(const std::string& path) {
  Pcm pcm;
  mpg123_handle* mh = mpg123_new(nullptr, nullptr);
  if (!mh) return pcm;
  mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_FLOAT, 0);
  long rate = 0;
  int encoding = 0, r = mpg123_open(mh, path.c_str());
  mpg123_getformat(mh, &rate, &pcm.channels, &encoding);
  pcm.rate = int(rate);
  EXPECT_EQ(encoding, MPG123_ENC_FLOAT_32);
  std::vector<float> buffer(1 << 14);
  for (size_t done = 0; r == MPG123_OK || r == MPG123_NEW_FORMAT;) {
    r = mpg123_read(mh, buffer.data(), buffer.size() * sizeof(float), &done);
    pcm.samples.insert(pcm.samples.end(), buffer.begin(), buffer.begin() + long(done / sizeof(float)));
  }
  mpg123_delete(mh);  // closes the file too
  return pcm;
}

// All samples LMP3Source produces up to its length, as integers.
inline std::vector<int32_t> DecodeRaw(const std::string& path) {
  LMP3Source source(path);
  return testsupport::ReadToEnd(source, 1000);
}

// Offsets and sizes of the frames of a file that holds frames back to back.
struct FrameSpan {
  size_t offset, size;
};
inline std::vector<FrameSpan> SplitFrames(const std::vector<uint8_t>& bytes) {
  std::vector<FrameSpan> frames;
  MP3Header h;
  for (size_t at = 0; at + 4 <= bytes.size() && h.Parse(&bytes[at]) == nullptr && at + h.FrameSize() <= bytes.size();
       at += size_t(h.FrameSize()))
    frames.push_back({at, size_t(h.FrameSize())});
  return frames;
}

// Frames from up to before to, as the bytes hold them.
inline std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, const std::vector<FrameSpan>& frames, size_t from,
                                  size_t to) {
  to = std::min(to, frames.size());
  if (from >= to) return {};
  return {bytes.begin() + long(frames[from].offset), bytes.begin() + long(frames[to - 1].offset + frames[to - 1].size)};
}

// Bytes without 0xFF, so that they cannot hold a frame sync.
inline std::vector<uint8_t> Junk(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out(count);
  for (auto& b : out) b = uint8_t(random() % 255);
  return out;
}

inline void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

// Bit fields, most significant bit first, as the side information holds them.
inline int GetBits(const uint8_t* bytes, size_t bit, int count) {
  int v = 0;
  for (int i = 0; i < count; ++i, ++bit) v = (v << 1) | ((bytes[bit >> 3] >> (7 - (bit & 7))) & 1);
  return v;
}
inline void SetBits(uint8_t* bytes, size_t bit, int count, uint32_t value) {
  for (int i = 0; i < count; ++i, ++bit) {
    const uint8_t mask = uint8_t(0x80 >> (bit & 7));
    bytes[bit >> 3] =
        ((value >> (count - 1 - i)) & 1) ? uint8_t(bytes[bit >> 3] | mask) : uint8_t(bytes[bit >> 3] & ~mask);
  }
}

// Makes a test-signal MP3 with lame.
inline bool MakeMp3(const std::string& folder, const std::string& name, int rate, int channels, double seconds,
                    const std::string& options, unsigned seed = 1) {
  const std::string wav = folder + "/" + name + ".wav";
  return testsupport::WriteWav16(wav, rate, channels, TestSignal(rate, channels, seconds, seed)) &&
         Encode(wav, folder + "/" + name, options);
}

// Our decode of path matches the reference's sample for sample (no offset),
// fully accurate: RMS difference below 2^-15/sqrt(12), no sample off by 2^-14;
// all but slackFrames of the reference's frames compared.
inline void ExpectMatchesReference(const std::string& path, size_t slackFrames) {
  const Pcm ref = DecodeReference(path);
  LMP3Source source(path);
  const std::vector<int32_t> ours = testsupport::ReadToEnd(source, 1000);
  ASSERT_EQ(source.sampleRate, ref.rate);
  ASSERT_EQ(source.channels, ref.channels);
  const size_t n = std::min(ours.size(), ref.samples.size());
  ASSERT_GE(n + slackFrames * size_t(ref.channels), ref.samples.size());
  double sum = 0, peak = 0, loudest = 0;
  for (size_t i = 0; i < n; ++i) {
    const double d = ours[i] / 524288.0 - ref.samples[i];  // 16-bit samples times 16
    sum += d * d;
    peak = std::max(peak, std::fabs(d));
    loudest = std::max(loudest, std::fabs(ref.samples[i]));
  }
  ASSERT_LT(loudest, 4.0) << "the stream overloads: the comparison would measure the output limit";
  EXPECT_LT(std::sqrt(sum / double(n)), std::pow(2.0, -15) / std::sqrt(12.0));
  EXPECT_LT(peak, std::pow(2.0, -14));
}

}  // namespace mp3test
