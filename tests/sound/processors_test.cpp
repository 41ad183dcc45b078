#include "sound/processors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>

#include "tests/support/memory_audio.h"

namespace {

using testsupport::MemorySource;
using testsupport::ReadFrames;

LSoundSourceRef Memory(std::vector<int32_t> samples, int32_t rate = 44100, unsigned channels = 1,
                       uint32_t maxAmplitude = 0x200000) {
  return LSoundSourceRef(new MemorySource(std::move(samples), rate, channels, maxAmplitude));
}

// Speech-like material: a few tones under a slow, uneven envelope.
std::vector<int32_t> Speechy(int frames, unsigned channels, double peak) {
  std::vector<int32_t> v(size_t(frames) * channels);
  for (int i = 0; i < frames; ++i) {
    double t = i / 44100.0;
    double envelope = std::fabs(std::sin(t * 3.1)) * (0.6 + 0.4 * std::sin(t * 11.0));
    double s =
        0.5 * std::sin(t * 2 * M_PI * 180) + 0.3 * std::sin(t * 2 * M_PI * 730) + 0.2 * std::sin(t * 2 * M_PI * 2300);
    for (unsigned c = 0; c < channels; ++c) v[size_t(i) * channels + c] = int32_t(peak * envelope * s);
  }
  return v;
}

}  // namespace

// Quiet material passes bit for bit; loud material is limited, not silenced
// (reads split any way give the same samples: source_contract_test).
TEST(PeakLimit, QuietMaterialPassesBitForBitLoudStaysWithinTheLimit) {
  std::vector<int32_t> quiet = Speechy(44100, 2, 0x7FFF0);
  quiet[5000] = 0x7FFF0;  // exactly at the limit still needs no gain
  quiet[5001] = -0x7FFF0;
  std::vector<int32_t> want = quiet;
  want.resize(want.size() + 1000, 0);
  EXPECT_EQ(ReadFrames(LSoundSourceRef(new LSRCPeakLimit(Memory(quiet, 44100, 2), 0x7FFF0)), 44100 + 500), want);
  for (unsigned channels : {1u, 2u}) {
    std::vector<int32_t> input = Speechy(44100, channels, 0x1F0000);  // four times too loud
    // One isolated loud block in silence, and an extreme sample.
    std::fill(input.begin() + 30000 * channels, input.begin() + 31260 * channels, 0);
    input[30500 * channels] = 0x100000;
    input[40000 * channels] = INT32_MIN + 1;
    std::vector<int32_t> out =
        ReadFrames(LSoundSourceRef(new LSRCPeakLimit(Memory(input, 44100, channels), 0x7FFF0)), 44100);
    int32_t peak = 0;
    for (int32_t s : out) peak = std::max(peak, std::abs(std::max(s, -INT32_MAX)));
    EXPECT_LE(peak, 0x7FFF0 + 2);      // fixed-point rounding only
    EXPECT_GT(peak, 0x7FFF0 * 3 / 4);  // limited, not silenced
    EXPECT_NE(out[30500 * channels], 0);
  }
}

TEST(SoundProcessor, DescriptorsWrapOnlyWhenNeededAndHoldTheInnerSource) {
  LSoundSourceRef quiet = Memory({1, 2, 3}, 8000, 1, 0x7FFF0);
  EXPECT_EQ(LPeakLimitProcessor(0x7FFF0).Open(quiet).Get(), quiet.Get());
  EXPECT_NE(dynamic_cast<LSRCTimeStretch*>(LTimeStretchProcessor(2.0, 2.0, 0).Open(quiet).Get()), nullptr);
  // An inner source with an error makes the processor unusable.
  EXPECT_EQ(LPeakLimitProcessor().Open(LSoundSourceRef::Null(kSoundCannotOpen))->error, kSoundInnerError);
  EXPECT_EQ(LTimeStretchProcessor(1, 1, 0).Open(LSoundSourceRef::Null(kSoundBadFormat))->error, kSoundInnerError);

  bool deleted = false;
  {
    LSoundSourceRef inner(new MemorySource({1, 2}, 8000, 1, 0x200000, &deleted));
    LSoundSourceRef limiter = LPeakLimitProcessor().Open(inner);
    EXPECT_EQ(limiter->maxAmplitude, 0x7FFF0u);
    LSoundSourceRef stretch = LTimeStretchProcessor(1, 1, 0).Open(limiter);
    inner.Reset();
    limiter.Reset();
    EXPECT_FALSE(deleted);
  }
  EXPECT_TRUE(deleted);
}

// Time stretch

// Forward faster than real time: blocks of 1/90 s, each starting with the half
// block that continues the last snippet, fading into the snippet one jump on.
TEST(TimeStretch, ForwardPlaysSnippetsAndSkips) {
  for (auto [rate, channels, speed] : {std::tuple{22050, 1u, 2.0}, std::tuple{44100, 2u, 20.0}}) {
    SCOPED_TRACE(speed);
    std::vector<int32_t> input(size_t(rate) * 3 * channels);
    for (size_t i = 0; i < input.size(); ++i) input[i] = int32_t(i / channels) * 16 * (i % channels ? -1 : 1);
    LSoundSourceRef stretch(new LSRCTimeStretch(Memory(input, rate, channels), speed, speed, 0));
    const int L = rate / 90, jump = int(L * speed), ch = int(channels);
    ASSERT_EQ(static_cast<LSRCTimeStretch*>(stretch.Get())->BlockSamples(), L * ch);
    std::vector<int32_t> out = ReadFrames(stretch, L * 8);
    EXPECT_EQ(stretch->GetPosition(), jump * 8);
    EXPECT_EQ(stretch->GetLength(), rate * 3);
    for (int k = 0; k < 8; ++k) {
      const int32_t* block = out.data() + size_t(k) * L * ch;
      const int a = k == 0 ? 0 : jump * (k - 1) + L, b = jump * k;
      for (int i = 0; i < L / 2; ++i) {
        ASSERT_EQ(block[i * ch], (a + i) * 16) << k << "," << i;
        ASSERT_EQ(block[i * ch + ch - 1], (ch == 2 ? -1 : 1) * (a + i) * 16) << k << "," << i;  // frames kept whole
      }
      for (int i = L / 2; i < L; ++i) {
        ASSERT_LE(block[i * ch], std::max(a, b) * 16 + (i + 1) * 16) << k << "," << i;
        ASSERT_GE(block[i * ch], std::min(a, b) * 16 + (i - 1) * 16) << k << "," << i;
      }
      EXPECT_NEAR(block[(L - 1) * ch], (b + L - 1) * 16, std::abs(a - b) * 16 * 0.001 + 1) << k;
    }
  }
}

TEST(TimeStretch, BackwardEndsAtPositionZero) {
  std::vector<int32_t> input(22050);
  for (size_t i = 0; i < input.size(); ++i) input[i] = int32_t(i);
  for (double speed : {-1.0, -2.0, -7.5}) {
    LSoundSourceRef inner = Memory(input, 22050);
    inner->Seek(5000);
    LSoundSourceRef stretch(new LSRCTimeStretch(inner, speed, speed, 0));
    // The first snippet is the block that ends where backward play begins.
    std::vector<int32_t> out(245);
    stretch->Read(out.data(), 122);
    for (int i = 0; i < 122; ++i) ASSERT_EQ(out[size_t(i)], 5000 - 245 + i);
    // Played the way the player does: while length - position >= 1.
    int reads = 0;
    while (stretch->GetLength() - stretch->GetPosition() >= 1 && reads < 10000) {
      EXPECT_EQ(stretch->GetLength(), 2 * stretch->GetPosition());
      stretch->Read(out.data(), 100);
      ++reads;
    }
    EXPECT_EQ(stretch->GetPosition(), 0) << speed;
    EXPECT_EQ(stretch->GetLength(), 0) << speed;
    EXPECT_LE(reads, int(5000 / std::fabs(speed) / 100) + 10) << speed;
  }
}

TEST(TimeStretch, RampReachesTheEndSpeed) {
  std::vector<int32_t> input(22050 * 10, 7);
  LSoundSourceRef stretch(new LSRCTimeStretch(Memory(input, 22050), 1.0, 3.0, 200));
  std::vector<int32_t> out(245);
  std::vector<int> steps;
  int last = 0;
  for (int k = 0; k < 40; ++k) {
    stretch->Read(out.data(), 245);
    steps.push_back(stretch->GetPosition() - last);
    last = stretch->GetPosition();
  }
  EXPECT_EQ(steps.front(), 245);
  EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
  EXPECT_EQ(steps.back(), 735);
  EXPECT_GT(steps[5], 245);
  EXPECT_LT(steps[5], 735);
  EXPECT_EQ(out[100], 7);
}
