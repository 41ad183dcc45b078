// The player and recorder on a real sound server: a tone played to the
// default output comes back through the default input (a monitor of the
// output under scripts/pulse-ci). Skipped without a server, except in CI.
// The play volume is measured on a private server of the test's own.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <thread>

#include "platform/audio/mixer.h"
#include "platform/audio/wave_device.h"
#include "platform/debug_log.h"
#include "platform/little_endian.h"
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

}  // namespace

TEST(Loopback, TonePlayedOnTheSinkIsRecordedFromItsMonitor) {
  std::string address = ServerAddress();
  testsupport::ScopedEnv audio("ORATIVO_AUDIO", "pulse");
  testsupport::ScopedEnv server("PULSE_SERVER", address.empty() ? nullptr : address.c_str());
  if (LSoundOutDeviceList().size() < 2 || LSoundInDeviceList().size() < 2) {
    if (testsupport::InCI()) FAIL() << "no sound server reachable in CI (scripts/pulse-ci start)";
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
    ASSERT_TRUE(player.Start(LSoundSourceRef(new FunctionSource(rate, 1, toneFrames, [=](int f, int) {
      return int32_t(std::lround(amplitude * std::sin(2 * M_PI * 1000.0 * f / rate)));
    }))));
    ASSERT_TRUE(PumpUntil([&] { return played.Count("stop") == 1; }, 15000));
    PumpFor(500);  // let the tail of the tone come through
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
  double rms = std::sqrt(sum / double(to - from));
  EXPECT_NEAR(20 * std::log10(rms / (amplitude / std::sqrt(2.0))), 0.0, 1.0);
  double hz = crossings / 2.0 / (double(to - from) / rate);
  EXPECT_NEAR(hz, 1000.0, 10.0);
}

namespace {

// A sound server of the test's own, so that nobody else's sound reaches its
// null sink "t_out"; stopped (by its process id) at the end.
class PrivateSoundServer {
 public:
  // Starts it; Ready() tells whether it came up.
  void Start() {
    address_ = "unix:" + folder_.File("native");
    testsupport::WriteFileText(folder_.File("default.pa"),
                               "load-module module-null-sink sink_name=t_out rate=44100 channels=2\n"
                               "load-module module-native-protocol-unix socket=" +
                                   folder_.File("native") + " auth-anonymous=1\n");
    std::string env =
        "XDG_RUNTIME_DIR=" + folder_.Path() + " HOME=" + folder_.Path() + " PULSE_RUNTIME_PATH=" + folder_.Path() + " ";
    server_ = Background(env + "pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false --disallow-exit=yes " +
                         "--use-pid-file=no --log-target=stderr -F " + folder_.File("default.pa"));
    for (int i = 0; i < 100 && !Ready(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // An idle null sink stalls its monitor for a while: keep silence playing.
    if (Ready()) keepAlive_ = Background(Pulse("pacat") + " --playback -d t_out --raw </dev/zero");
  }
  ~PrivateSoundServer() {
    for (int pid : {recorder_, keepAlive_, server_})
      if (pid > 0)
        testsupport::RunCommand("kill -9 " + std::to_string(pid) + "; while kill -0 " + std::to_string(pid) +
                                " 2>/dev/null; do sleep 0.05; done");
  }

  bool Ready() const { return testsupport::RunCommand(Pulse("pactl") + " info >/dev/null 2>&1") == 0; }
  const std::string& Address() const { return address_; }
  std::string Pulse(const std::string& tool) const { return tool + " --server=" + address_; }
  std::string Sink(const std::string& what) const {
    return testsupport::CommandOutput(Pulse("pactl") + " get-sink-" + what + " t_out");
  }
  std::string File(const std::string& name) const { return folder_.File(name); }

  // Records the sink's monitor (mono, 16-bit, 44100 Hz) into file until StopRecording.
  void StartRecording(const std::string& file) {
    recorder_ = Background(
        Pulse("parec") + " -d t_out.monitor --raw --format=s16le --rate=44100 --channels=1 --latency-msec=20", file);
  }
  void StopRecording() {
    testsupport::RunCommand("kill " + std::to_string(recorder_));
    recorder_ = 0;
  }

 private:
  int Background(const std::string& command, const std::string& output = "/dev/null") {
    std::string pid = testsupport::CommandOutput("(" + command + " >" + output + " 2>/dev/null & echo $!)");
    return std::atoi(pid.c_str());
  }

  testsupport::TempFolder folder_;
  std::string address_;
  int server_ = 0, keepAlive_ = 0, recorder_ = 0;
};

// The loudest 100 ms of a raw 16-bit recording, in dB of full scale.
double LoudestDb(const std::string& file) {
  std::vector<uint8_t> bytes = testsupport::ReadFileBytes(file);
  double best = 0;
  for (size_t at = 0; at + 8820 <= bytes.size(); at += 8820) {
    double sum = 0;
    for (size_t i = at; i < at + 8820; i += 2) sum += std::pow(int16_t(LeGet16(&bytes[i])), 2.0);
    best = std::max(best, sum / 4410);
  }
  return best > 0 ? 10 * std::log10(best / (32768.0 * 32768.0)) : -200;
}

}  // namespace

struct PrivateServerTest : ::testing::Test {
  void SetUp() override {
    for (const char* tool : {"pulseaudio", "pactl", "parec", "pacat"})
      if (!testsupport::HaveCommand(tool)) {
        if (testsupport::InCI()) FAIL() << tool << " is not installed (needed under CI)";
        GTEST_SKIP() << tool << " is not installed";
      }
    server.Start();
    ASSERT_TRUE(server.Ready()) << "the private sound server did not start";
  }
  PrivateSoundServer server;
};

// The play volume goes to the program's own stream: the desktop's sink keeps
// its volume and mute state, and the sound plays that much quieter.
TEST_F(PrivateServerTest, PlayVolumeLowersTheStreamAndLeavesTheSinkAlone) {
  std::string play = testsupport::ToolPath("orativo-play");
  ASSERT_TRUE(
      testsupport::WriteWav16(server.File("tone.wav"), 44100, 1, testsupport::Tone(44100, 1, 22050, 440, 16384)));
  ASSERT_EQ(testsupport::RunCommand(server.Pulse("pactl") + " set-sink-volume t_out 70%"), 0);

  std::map<int, double> loudness;
  for (auto [volumeDb, mute] : {std::pair{0, "0"}, std::pair{-12, "0"}, std::pair{-12, "1"}}) {
    {
      ASSERT_EQ(testsupport::RunCommand(server.Pulse("pactl") + " set-sink-mute t_out " + mute), 0);
      std::string volumeBefore = server.Sink("volume"), muteBefore = server.Sink("mute");
      std::string recording = server.File("out.raw");
      server.StartRecording(recording);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      std::string out =
          testsupport::CommandOutput("PULSE_SERVER=" + server.Address() + " ORATIVO_AUDIO=pulse timeout 20 " + play +
                                     " " + server.File("tone.wav") + " --volume " + std::to_string(volumeDb));
      std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the monitor lags a little
      server.StopRecording();
      EXPECT_NE(out.find("stop\n"), std::string::npos) << out;
      EXPECT_EQ(server.Sink("volume"), volumeBefore);
      EXPECT_EQ(server.Sink("mute"), muteBefore) << mute;
      if (std::string(mute) == "0") loudness[volumeDb] = LoudestDb(recording);
    }
  }
  // A 440 Hz tone at half scale is -9 dB RMS; the sink at 70% takes its share of both.
  EXPECT_GT(loudness[0], -40.0);
  EXPECT_NEAR(loudness[0] - loudness[-12], 12.0, 0.5);
}

// The record volume goes to the program's own record stream, also while it is
// open; the source keeps its volume.
TEST_F(PrivateServerTest, RecordVolumeGoesToTheStream) {
  testsupport::ScopedEnv audio("ORATIVO_AUDIO", "pulse");
  testsupport::ScopedEnv address("PULSE_SERVER", server.Address().c_str());
  // The server's only source is the null sink's monitor, which the stream records from.
  const std::string sourceVolume = server.Pulse("pactl") + " get-source-volume t_out.monitor";
  std::string sourceBefore = testsupport::CommandOutput(sourceVolume);
  ASSERT_NE(sourceBefore.find("Volume:"), std::string::npos) << sourceBefore;
  auto streamVolume = [&] { return testsupport::CommandOutput(server.Pulse("pactl") + " list source-outputs"); };
  LAudioSetRecordVolume(-12);
  std::unique_ptr<LWaveIn> in;
  ASSERT_EQ(LWaveInOpen(&in, -1, LWaveDeviceFormat{44100, 1, 16}, true, nullptr), kWaveOk);
  EXPECT_TRUE(PumpUntil([&] { return streamVolume().find("-12.0") != std::string::npos; }, 3000)) << streamVolume();
  LAudioSetRecordVolume(-6);
  EXPECT_TRUE(PumpUntil([&] { return streamVolume().find("-6.0") != std::string::npos; }, 3000)) << streamVolume();
  in.reset();
  LAudioSetRecordVolume(0);
  EXPECT_EQ(testsupport::CommandOutput(sourceVolume), sourceBefore);
}
