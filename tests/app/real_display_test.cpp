// The student's flows on the real program: a real display (Xvfb), a sound
// server of the test's own with a null sink, and keys pressed by xdotool.
// What the sink plays is recorded from its monitor and split into notes.
#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <cmath>
#include <cstdio>

#include "framework/settings.h"
#include "tests/support/test_support.h"

namespace {

// A helper process ended by its own id when the test is done.
struct Child {
  QProcess process;
  ~Child() {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
      process.kill();
      process.waitForFinished(2000);
    }
  }
};

// Power of a tone in a block (Goertzel).
double ToneEnergy(const std::vector<int16_t>& s, size_t from, size_t n, double hz, int rate) {
  double k = 2 * std::cos(2 * M_PI * hz / rate), a = 0, b = 0;
  for (size_t i = 0; i < n; ++i) {
    double c = s[from + i] + k * a - b;
    b = a;
    a = c;
  }
  return a * a + b * b - k * a * b;
}

struct Segment {
  int tone;  // index into the frequencies
  double startMs, endMs;
};

// One expression of the lesson: a mono 22.05 kHz clip of the given tones,
// each toneMs long, at the given place in the list.
void WriteExpression(const std::string& lesson, const std::string& name, int order, const std::vector<double>& hz,
                     int toneMs) {
  ASSERT_TRUE(testsupport::WriteFileText(
      lesson + "/" + name + ".raf", "[raf]\r\naudiotype=0\r\n[expression]\r\norder=" + std::to_string(order) + "\r\n"));
  std::vector<int16_t> clip;
  for (double f : hz) {
    std::vector<int16_t> tone = testsupport::Tone(22050, 1, 22050 * toneMs / 1000, f, 12000);
    clip.insert(clip.end(), tone.begin(), tone.end());
  }
  ASSERT_TRUE(testsupport::WriteWav16(lesson + "/" + name + ".wav", 22050, 1, clip));
}

class RealProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool", "pulseaudio", "pactl", "parecord", "pacat"}) REQUIRE_COMMAND(tool);
    // A sound server of our own: nobody else plays into its sink.
    std::string runtime = folder.File("runtime"), socket = folder.File("native");
    ASSERT_EQ(testsupport::RunCommand("mkdir -p '" + runtime + "' && chmod 700 '" + runtime + "'"), 0);
    ASSERT_TRUE(testsupport::WriteFileText(folder.File("default.pa"),
                                           "load-module module-null-sink sink_name=study_out rate=44100 channels=2\n"
                                           "set-default-sink study_out\n"
                                           "load-module module-native-protocol-unix socket=" +
                                               socket + " auth-anonymous=1\n"));
    std::string server = "unix:" + socket;
    QProcessEnvironment pulseEnvironment = QProcessEnvironment::systemEnvironment();
    pulseEnvironment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
    pulseEnvironment.insert("PULSE_RUNTIME_PATH", QString::fromStdString(runtime));
    pulseEnvironment.insert("HOME", QString::fromStdString(folder.Path()));
    daemon.process.setProcessEnvironment(pulseEnvironment);
    daemon.process.start("pulseaudio",
                         {"-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false", "--disallow-exit=yes",
                          "--use-pid-file=no", "-F", QString::fromStdString(folder.File("default.pa"))});
    ASSERT_TRUE(daemon.process.waitForStarted());

    ASSERT_FALSE(display.Name().empty()) << "no display could be started";
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", QString::fromStdString(display.Name()));
    environment.insert("PULSE_SERVER", QString::fromStdString(server));
    environment.insert("ORATIVO_AUDIO", "pulse");
    environment.insert("QT_QPA_PLATFORM", "xcb");
    ASSERT_TRUE(testsupport::WaitFor([&] {
      return testsupport::RunCommand("PULSE_SERVER=" + server + " timeout 2 pactl info >/dev/null 2>&1") == 0;
    })) << "the sound server did not start";
    // An idle null sink stalls its monitor: keep silence playing.
    keepalive.process.setProcessEnvironment(environment);
    keepalive.process.setStandardInputFile("/dev/zero");
    keepalive.process.start("pacat", {"--playback", "--device=study_out", "--raw", "--format=s16le", "--rate=44100",
                                      "--channels=2", "--latency-msec=30"});
    record.process.setProcessEnvironment(environment);
    record.process.start("parecord", {"--device=study_out.monitor", "--file-format=wav", "--rate=44100", "--channels=1",
                                      "--format=s16le", QString::fromStdString(Captured())});
    ASSERT_TRUE(record.process.waitForStarted());
  }

  std::string Captured() const { return folder.File("captured.wav"); }

  // Opens the lesson, presses F3 (Listen All), waits, closes the window with
  // Alt+F4 and expects the program to end with code 0.
  void ListenAll(const std::string& lesson, const std::string& titleRegex, int waitMs) {
    Child program;
    program.process.setProcessEnvironment(environment);
    program.process.start(ORATIVO_BINARY, {QString::fromStdString(lesson)});
    ASSERT_TRUE(program.process.waitForStarted());
    std::string window = display.Search(titleRegex);
    ASSERT_FALSE(window.empty()) << "the study window did not show its lesson";
    display.Xdo("windowfocus --sync " + window);
    testsupport::Pump(500);
    display.Xdo("key F3");
    testsupport::Pump(waitMs);
    display.Xdo("key alt+F4");
    ASSERT_TRUE(program.process.waitForFinished(20000)) << "the window did not close";
    EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.process.exitCode(), 0);
  }

  // Stops the recorder; the runs of one tone in 10 ms blocks.
  std::vector<Segment> Heard(const std::vector<double>& hz) {
    kill(pid_t(record.process.processId()), SIGINT);  // parecord finishes its file
    record.process.waitForFinished(5000);
    int rate = 0, channels = 0;
    std::vector<int16_t> samples;
    std::vector<Segment> segments;
    EXPECT_TRUE(testsupport::ReadWav16(Captured(), &rate, &channels, &samples));
    EXPECT_EQ(channels, 1);
    if (channels != 1) return segments;
    const size_t block = size_t(rate) / 100;
    for (size_t at = 0; at + block <= samples.size(); at += block) {
      std::vector<double> e(hz.size());
      double total = 0;
      for (size_t t = 0; t < hz.size(); ++t) total += e[t] = ToneEnergy(samples, at, block, hz[t], rate);
      int tone = -1;
      for (size_t t = 0; t < hz.size(); ++t)
        if (e[t] > 0.8 * total && total > 1e12) tone = int(t);
      double ms = 1000.0 * double(at) / rate;
      if (tone < 0) continue;
      if (!segments.empty() && segments.back().tone == tone && ms - segments.back().endMs < 50)
        segments.back().endMs = ms + 10;
      else
        segments.push_back({tone, ms, ms + 10});
    }
    return segments;
  }

  testsupport::TempFolder folder;
  Child daemon, keepalive, record;
  testsupport::XDisplay display;
  QProcessEnvironment environment;
};

}  // namespace

// "Listen All" plays the lesson's clips in list order with the gap between
// them, and closing the window ends the process with code 0.
TEST_F(RealProgram, ListenAllOnARealDisplayAndSoundServerThenExitZero) {
  // Three tones, listed in the reverse of their names.
  const std::vector<double> kHz = {440, 660, 990};
  std::string lesson = folder.File("Tones");
  ASSERT_EQ(testsupport::RunCommand("mkdir -p '" + lesson + "'"), 0);
  ASSERT_TRUE(testsupport::WriteFileText(lesson + "/Tones.ini", "[study]\r\nmode=0\r\n"));
  for (int k = 0; k < 3; ++k) WriteExpression(lesson, "t" + std::to_string(k), 2 - k, {kHz[size_t(2 - k)]}, 400);
  RegSetUserSettingInt("Settings", "PlaySilenceGaps", 1);

  ListenAll(lesson, "^Orativo \\[Tones\\]", 9000);  // three clips of 400 ms, the gaps of 1 s, and time to spare
  std::vector<Segment> segments = Heard(kHz);
  ASSERT_EQ(segments.size(), 3u) << "three clips, once each";
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(segments[size_t(k)].tone, k) << "list order";
    double heard = segments[size_t(k)].endMs - segments[size_t(k)].startMs;
    // The first clip of a run opens the stream and can lose its first tenth of
    // a second on this server; the others must sound whole.
    EXPECT_NEAR(heard, 400, k == 0 ? 130 : 40) << k;
    std::printf("[ measured ] clip %d heard for %.0f ms of 400\n", k, heard);
  }
  for (int k = 0; k < 2; ++k) {
    double gap = segments[size_t(k) + 1].startMs - segments[size_t(k)].endMs;
    EXPECT_GE(gap, 950) << k;
    EXPECT_LE(gap, 1250) << k;
    std::printf("[ measured ] gap %d on the sound server: %.0f ms\n", k, gap);
  }
}

// With the tutor's speed at 0.5x and "slow, then normal", Listen All plays
// the expression at half speed, straight after at normal speed, and then ends.
TEST_F(RealProgram, SlowThenNormalOnARealDisplayAndSoundServer) {
  const std::vector<double> kHz = {440, 880};
  const std::string lesson = folder.File("Slow");
  ASSERT_EQ(testsupport::RunCommand("mkdir -p '" + lesson + "'"), 0);
  ASSERT_TRUE(testsupport::WriteFileText(lesson + "/Slow.ini", "[study]\r\nmode=0\r\n"));
  WriteExpression(lesson, "word", 0, kHz, 300);  // 300 ms at 440 Hz, then 300 ms at 880 Hz
  RegSetUserSettingInt("Settings", "PlaySilenceGaps", 1);
  RegSetUserSettingInt("Settings", "TutorSpeed", 50);
  RegSetUserSettingBool("Settings", "SlowThenNormal", true);
  struct Restore {
    ~Restore() {
      RegSetUserSettingInt("Settings", "TutorSpeed", 100);
      RegSetUserSettingBool("Settings", "SlowThenNormal", false);
    }
  } restore;

  ListenAll(lesson, "^Orativo", 5000);  // 1.2 s slow, 0.6 s normal, and time to spare
  std::vector<Segment> segments = Heard(kHz);
  ASSERT_EQ(segments.size(), 4u) << "slow, then normal, once";
  const double expected[] = {600, 600, 300, 300};
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(segments[k].tone, int(k % 2)) << k;
    const double heard = segments[k].endMs - segments[k].startMs;
    // The first note opens the stream and may lose its first tenth of a second.
    EXPECT_NEAR(heard, expected[k], k == 0 ? 130 : 60) << k;
    std::printf("[ measured ] note %zu heard for %.0f ms of %.0f\n", k, heard, expected[k]);
  }
  EXPECT_LT(segments[2].startMs - segments[1].endMs, 600) << "the normal pass follows at once";
}
