// The player and recorder on a real sound server: a tone played to the
// default output comes back through the default input (a monitor of the
// output under scripts/pulse-ci). Skipped without a server, except in CI.
// The volumes are measured on a private server of the test's own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>

#include "platform/audio/mixer.h"
#include "platform/audio/wave_device.h"
#include "platform/debug_log.h"
#include "platform/little_endian.h"
#include "tests/sound/audio_test_util.h"

using namespace audiotest;

TEST(Loopback, TonePlayedOnTheSinkIsRecordedFromItsMonitor) {
  std::string address;
  if (const char* env = std::getenv("PULSE_SERVER")) address = env;
  if (address.empty()) std::getline(std::ifstream("/tmp/orativo-pulse/server"), address);
  ScopedEnv audio("ORATIVO_AUDIO", "pulse");
  ScopedEnv server("PULSE_SERVER", address.empty() ? nullptr : address.c_str());
  if (LSoundOutDeviceList().size() < 2 || LSoundInDeviceList().size() < 2) {
    if (InCI()) FAIL() << "no sound server reachable in CI (scripts/pulse-ci start)";
    GTEST_SKIP() << "no sound server reachable";
  }

  LDebugLogCapture log;
  const int rate = 44100, toneFrames = rate * 3 / 2;
  const double amplitude = 16384 * 16;  // -6 dB of full scale
  MemorySink* sink = new MemorySink(rate, 1);
  LSoundSinkRef recording(sink);
  {
    RecorderLog recorded;
    LSoundRecorder recorder;
    recorder.SetNotify(&recorded, 0);
    ASSERT_TRUE(recorder.Start(recording, 0, -30, 4000));
    PlayerLog played;
    LSoundPlayer player;
    player.SetNotify(&played, 0);
    ASSERT_TRUE(player.Start(Generated(rate, 1, toneFrames, [=](int f, int) {
      return int32_t(std::lround(amplitude * std::sin(2 * M_PI * 1000.0 * f / rate)));
    })));
    ASSERT_TRUE(WaitFor([&] { return played.Count("stop") == 1; }, 15000));
    Pump(500);  // let the tail of the tone come through
    EXPECT_EQ(recorded.Count("record"), 1);
    recorder.Stop();
    EXPECT_EQ(recorded.Count("stop"), 1);
    EXPECT_EQ(played.Times().back(), 1500);
    EXPECT_FALSE(log.Contains("iCountFail")) << "the device kept the last buffers";
  }
  const std::vector<int32_t>& samples = sink->samples;
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
  EXPECT_NEAR(20 * std::log10(std::sqrt(sum / double(to - from)) / (amplitude / std::sqrt(2.0))), 0.0, 1.0);
  EXPECT_NEAR(crossings / 2.0 / (double(to - from) / rate), 1000.0, 10.0);
}

namespace {

// The loudest 100 ms of a raw 16-bit recording, in dB of full scale.
double LoudestDb(const std::string& file) {
  std::vector<uint8_t> bytes = ReadFileBytes(file);
  double best = 0;
  for (size_t at = 0; at + 8820 <= bytes.size(); at += 8820) {
    double sum = 0;
    for (size_t i = at; i < at + 8820; i += 2) sum += std::pow(int16_t(LeGet16(&bytes[i])), 2.0);
    best = std::max(best, sum / 4410);
  }
  return best > 0 ? 10 * std::log10(best / (32768.0 * 32768.0)) : -200;
}

// A sound server of the test's own, so that nobody else's sound reaches its
// null sink "t_out"; its processes are stopped by their ids at the end.
class PrivateServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"pulseaudio", "pactl", "parec", "pacat"}) REQUIRE_COMMAND(tool);
    WriteFileText(folder.File("default.pa"),
                  "load-module module-null-sink sink_name=t_out rate=44100 channels=2\n"
                  "load-module module-native-protocol-unix socket=" +
                      folder.File("native") + " auth-anonymous=1\n");
    const std::string& at = folder.Path();
    Background("XDG_RUNTIME_DIR=" + at + " HOME=" + at + " PULSE_RUNTIME_PATH=" + at +
               " pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false --disallow-exit=yes "
               "--use-pid-file=no --log-target=stderr -F " +
               folder.File("default.pa"));
    ASSERT_TRUE(WaitFor([&] { return RunCommand(Pulse("pactl") + " info >/dev/null 2>&1") == 0; }, 10000))
        << "the private sound server did not start";
    // An idle null sink stalls its monitor for a while: keep silence playing.
    Background(Pulse("pacat") + " --playback -d t_out --raw </dev/zero");
  }
  void TearDown() override {
    for (auto pid = pids.rbegin(); pid != pids.rend(); ++pid)
      RunCommand("kill -9 " + *pid + " 2>/dev/null; while kill -0 " + *pid + " 2>/dev/null; do sleep 0.05; done");
  }
  std::string Pulse(const std::string& tool) const { return tool + " --server=" + address; }
  std::string Sink(const std::string& what) const {
    return CommandOutput(Pulse("pactl") + " get-sink-" + what + " t_out");
  }
  std::string Background(const std::string& command, const std::string& output = "/dev/null") {
    pids.push_back(CommandOutput("(" + command + " >" + output + " 2>/dev/null & echo $!)"));
    pids.back().pop_back();  // the newline
    return pids.back();
  }

  TempFolder folder;
  std::string address = "unix:" + folder.File("native");
  std::vector<std::string> pids;
};

}  // namespace

// The play volume goes to the program's own stream: the desktop's sink keeps
// its volume and mute state, and the sound plays that much quieter.
TEST_F(PrivateServerTest, VolumesGoToTheProgramsStreamsAndLeaveTheDeviceAlone) {
  ScopedEnv audio("ORATIVO_AUDIO", "pulse");
  ScopedEnv server("PULSE_SERVER", address.c_str());
  std::string play = ToolPath("orativo-play"), recording = folder.File("out.raw");
  ASSERT_TRUE(WriteWav16(folder.File("tone.wav"), 44100, 1, Tone(44100, 1, 22050, 440, 16384)));
  ASSERT_EQ(RunCommand(Pulse("pactl") + " set-sink-volume t_out 70%"), 0);
  std::map<int, double> loudness;
  for (auto [volumeDb, mute] : {std::pair{0, "0"}, std::pair{-12, "0"}, std::pair{-12, "1"}}) {
    ASSERT_EQ(RunCommand(Pulse("pactl") + " set-sink-mute t_out " + mute), 0);
    std::string volumeBefore = Sink("volume"), muteBefore = Sink("mute");
    std::string recorder = Background(
        Pulse("parec") + " -d t_out.monitor --raw --format=s16le --rate=44100 --channels=1 --latency-msec=20",
        recording);
    Pump(300);
    std::string out =
        CommandOutput("timeout 20 " + play + " " + folder.File("tone.wav") + " --volume " + std::to_string(volumeDb));
    Pump(500);  // the monitor lags a little
    RunCommand("kill " + recorder);
    pids.pop_back();  // ended: its number may be reused before the tear-down
    EXPECT_NE(out.find("stop\n"), std::string::npos) << out;
    EXPECT_EQ(Sink("volume"), volumeBefore);
    EXPECT_EQ(Sink("mute"), muteBefore) << mute;
    if (std::string(mute) == "0") loudness[volumeDb] = LoudestDb(recording);
  }
  // A 440 Hz tone at half scale is -9 dB RMS; the sink at 70% takes its share of both.
  EXPECT_GT(loudness[0], -40.0);
  EXPECT_NEAR(loudness[0] - loudness[-12], 12.0, 0.5);

  // The record volume goes to the program's own record stream, also while it
  // is open; the source keeps its volume.
  // The server's only source is the null sink's monitor, which the stream records from.
  const std::string sourceVolume = Pulse("pactl") + " get-source-volume t_out.monitor";
  std::string sourceBefore = CommandOutput(sourceVolume);
  ASSERT_NE(sourceBefore.find("Volume:"), std::string::npos) << sourceBefore;
  auto streamHas = [&](const char* volume) {
    return WaitFor(
        [&] { return CommandOutput(Pulse("pactl") + " list source-outputs").find(volume) != std::string::npos; }, 3000);
  };
  LAudioSetRecordVolume(-12);
  std::unique_ptr<LWaveIn> in;
  ASSERT_EQ(LWaveInOpen(&in, -1, LWaveDeviceFormat{44100, 1, 16}, true, nullptr), kWaveOk);
  EXPECT_TRUE(streamHas("-12.0"));
  LAudioSetRecordVolume(-6);
  EXPECT_TRUE(streamHas("-6.0"));
  in.reset();
  LAudioSetRecordVolume(0);
  EXPECT_EQ(CommandOutput(sourceVolume), sourceBefore);
}
