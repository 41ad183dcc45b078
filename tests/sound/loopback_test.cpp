// The player and recorder on a real sound server: a tone played to the
// default output comes back through the default input (a monitor of the
// output under scripts/pulse-ci). Skipped without a server, except in CI.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "platform/audio/mixer.h"
#include "platform/debug_log.h"
#include "sound/files/wave_file.h"
#include "sound/sound_player.h"
#include "sound/sound_recorder.h"
#include "tests/sound/audio_test_util.h"
#include "tests/support/test_support.h"

using namespace audiotest;

namespace {

std::string ServerAddress() {
  if (const char* env = std::getenv("PULSE_SERVER")) return env;
  std::ifstream file("/tmp/orativo-pulse/server");
  std::string address;
  std::getline(file, address);
  return address;
}

class RecorderEvents : public LSoundRecorderNotify {
 public:
  void srntfRecord(uint32_t) override { records++; }
  void srntfStop(uint32_t) override { stops++; }
  int records = 0, stops = 0;
};

}  // namespace

TEST(Loopback, TonePlayedOnTheSinkIsRecordedFromItsMonitor) {
  const bool ci = std::getenv("ORATIVO_CI") && std::string(std::getenv("ORATIVO_CI")) == "1";
  std::string address = ServerAddress();
  testsupport::ScopedEnv audio("ORATIVO_AUDIO", "pulse");
  testsupport::ScopedEnv server("PULSE_SERVER", address.empty() ? nullptr : address.c_str());
  if (LSoundOutDeviceList().size() < 2 || LSoundInDeviceList().size() < 2) {
    if (ci) FAIL() << "no sound server reachable in CI (scripts/pulse-ci start)";
    GTEST_SKIP() << "no sound server reachable";
  }

  testsupport::TempFolder folder;
  LDebugLogCapture log;
  const int rate = 44100, toneFrames = rate * 3 / 2;
  const double amplitude = 16384;  // -6 dB of 16-bit full scale
  {
    RecorderEvents recorded;
    LSoundRecorder recorder;
    recorder.SetNotify(&recorded, 0);
    LSoundSinkRef sink = LWaveFile::OpenSinkPCM(folder.File("loop.wav"), rate, 1, 16, 0);
    ASSERT_TRUE(sink.IsUsable());
    ASSERT_TRUE(recorder.Start(sink, 0, -30, 4000));

    PlayerLog played;
    LSoundPlayer player;
    player.SetNotify(&played, 0);
    LSoundSourceRef tone(new FunctionSource(rate, 1, toneFrames, [=](int f, int) {
      return int32_t(std::lround(amplitude * std::sin(2 * M_PI * 1000.0 * f / rate))) * 16;
    }));
    ASSERT_TRUE(player.Start(tone));
    ASSERT_TRUE(PumpUntil([&] { return played.Count("stop") == 1; }, 15000));
    PumpFor(500);  // let the tail of the tone come through
    EXPECT_EQ(recorded.records, 1);
    recorder.Stop();
    EXPECT_EQ(recorded.stops, 1);
    EXPECT_EQ(played.Times().back(), 1500);
    EXPECT_FALSE(log.Contains("iCountFail")) << "the device kept the last buffers";
  }
  int gotRate = 0, channels = 0;
  std::vector<int16_t> samples;
  ASSERT_TRUE(testsupport::ReadWav16(folder.File("loop.wav"), &gotRate, &channels, &samples));
  ASSERT_EQ(gotRate, rate);
  ASSERT_EQ(channels, 1);
  // Voice activation trims the silence: the tone plus at most a buffer each side.
  EXPECT_GE(int(samples.size()), toneFrames - rate / 20);
  EXPECT_LE(int(samples.size()), toneFrames + rate / 4);
  // The middle holds the tone at its level (RMS of a sine = peak / sqrt 2).
  size_t from = samples.size() / 4, to = samples.size() * 3 / 4;
  double sum = 0;
  int crossings = 0;
  for (size_t i = from; i < to; ++i) {
    sum += double(samples[i]) * samples[i];
    crossings += (samples[i - 1] < 0) != (samples[i] < 0);
  }
  double rms = std::sqrt(sum / double(to - from));
  EXPECT_NEAR(20 * std::log10(rms / (amplitude / std::sqrt(2.0))), 0.0, 1.0);
  double hz = crossings / 2.0 / (double(to - from) / rate);
  EXPECT_NEAR(hz, 1000.0, 10.0);
}
