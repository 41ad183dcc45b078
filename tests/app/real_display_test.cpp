// The student's Listen All on the real program: a real display (Xvfb), a sound
// server of the test's own with a null sink, and keys pressed by xdotool.
// What the sink plays is recorded from its monitor and split into notes.
#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <cmath>
#include <cstdio>
#include <utility>

#include "tests/study/study_fixture.h"

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

struct Segment {
  int tone;  // index into the frequencies
  double startMs, endMs;
};

// The runs of one tone in 10 ms blocks, each block's tone found by its power (Goertzel).
std::vector<Segment> Segments(const std::vector<int16_t>& samples, int rate, const std::vector<double>& hz) {
  const size_t block = size_t(rate) / 100;
  std::vector<Segment> segments;
  for (size_t at = 0; at + block <= samples.size(); at += block) {
    std::vector<double> e(hz.size());
    double total = 0;
    for (size_t t = 0; t < hz.size(); ++t) {
      double k = 2 * std::cos(2 * M_PI * hz[t] / rate), a = 0, b = 0;
      for (size_t i = 0; i < block; ++i) b = std::exchange(a, samples[at + i] + k * a - b);
      total += e[t] = a * a + b * b - k * a * b;
    }
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

}  // namespace

// Listen All at half speed with "slow, then normal": each expression in list
// order, slowed, at once again at normal speed, then the gap; closing the
// window ends the process with code 0.
TEST(RealProgram, ListenAllOnARealDisplayAndSoundServerThenExitZero) {
  for (const char* tool : {"Xvfb", "xdotool", "pulseaudio", "pactl", "parecord", "pacat"}) REQUIRE_COMMAND(tool);
  testsupport::PrivateHome home;  // the settings written here and the sound server's files
  std::string runtime = home.File("runtime"), socket = home.File("native"), server = "unix:" + socket;
  ASSERT_EQ(testsupport::RunCommand("mkdir -p '" + runtime + "' && chmod 700 '" + runtime + "'"), 0);
  ASSERT_TRUE(testsupport::WriteFileText(home.File("default.pa"),
                                         "load-module module-null-sink sink_name=study_out rate=44100 channels=2\n"
                                         "set-default-sink study_out\n"
                                         "load-module module-native-protocol-unix socket=" +
                                             socket + " auth-anonymous=1\n"));
  testsupport::XDisplay display;
  ASSERT_FALSE(display.Name().empty()) << "no display could be started";
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (auto [name, value] : {std::pair{"XDG_RUNTIME_DIR", runtime},
                             {"PULSE_RUNTIME_PATH", runtime},
                             {"HOME", home.Path()},
                             {"DISPLAY", display.Name()},
                             {"PULSE_SERVER", server},
                             {"ORATIVO_AUDIO", "pulse"},
                             {"QT_QPA_PLATFORM", "xcb"}})
    environment.insert(name, QString::fromStdString(value));
  Child daemon, keepalive, record, program;
  for (Child* child : {&daemon, &keepalive, &record, &program}) child->process.setProcessEnvironment(environment);
  daemon.process.start("pulseaudio",
                       {"-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false", "--disallow-exit=yes",
                        "--use-pid-file=no", "-F", QString::fromStdString(home.File("default.pa"))});
  ASSERT_TRUE(testsupport::WaitFor([&] {
    return testsupport::RunCommand("PULSE_SERVER=" + server + " timeout 2 pactl info >/dev/null 2>&1") == 0;
  })) << "the sound server did not start";
  // An idle null sink stalls its monitor: keep silence playing.
  keepalive.process.setStandardInputFile("/dev/zero");
  keepalive.process.start("pacat", {"--playback", "--device=study_out", "--raw", "--format=s16le", "--rate=44100",
                                    "--channels=2", "--latency-msec=30"});
  std::string captured = home.File("captured.wav");
  record.process.start("parecord", {"--device=study_out.monitor", "--file-format=wav", "--rate=44100", "--channels=1",
                                    "--format=s16le", QString::fromStdString(captured)});
  ASSERT_TRUE(record.process.waitForStarted());

  // Two expressions of two notes, 300 ms each, listed in the reverse of their names.
  const std::vector<double> kHz = {440, 880, 660, 1320};
  studytest::Lesson lesson("Tones", 0, home.Path());
  for (size_t k = 0; k < 2; ++k) {
    std::vector<int16_t> clip = studytest::Tone(300, kHz[2 * k]), high = studytest::Tone(300, kHz[2 * k + 1]);
    clip.insert(clip.end(), high.begin(), high.end());
    ASSERT_TRUE(lesson.Add("t" + std::to_string(1 - k), int(k), kAudioTypeWav, clip));
  }
  RegSetUserSettingInt("Settings", "PlaySilenceGaps", 1);
  RegSetUserSettingInt("Settings", "TutorSpeed", 50);
  RegSetUserSettingBool("Settings", "SlowThenNormal", true);

  program.process.start(ORATIVO_BINARY, {QString::fromStdString(lesson.Folder())});
  ASSERT_TRUE(program.process.waitForStarted());
  std::string window = display.Search("^Orativo \\[Tones\\]");
  ASSERT_FALSE(window.empty()) << "the study window did not show its lesson";
  display.Xdo("windowfocus --sync " + window);
  testsupport::Pump(500);
  display.Xdo("key F3");
  testsupport::Pump(8000);  // 2 x (1.2 s slow + 0.6 s normal), the gap of 1 s, and time to spare
  display.Xdo("key alt+F4");
  ASSERT_TRUE(program.process.waitForFinished(20000)) << "the window did not close";
  EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.process.exitCode(), 0);

  kill(pid_t(record.process.processId()), SIGINT);  // parecord finishes its file
  record.process.waitForFinished(5000);
  int rate = 0, channels = 0;
  std::vector<int16_t> samples;
  ASSERT_TRUE(testsupport::ReadWav16(captured, &rate, &channels, &samples));
  ASSERT_EQ(channels, 1);
  std::vector<Segment> heard = Segments(samples, rate, kHz);
  ASSERT_EQ(heard.size(), 8u) << "each expression slow, then normal, once";
  for (size_t k = 0; k < 8; ++k) {
    const bool slow = k % 4 < 2;
    EXPECT_EQ(heard[k].tone, int(k / 4 * 2 + k % 2)) << "list order, note " << k;
    const double ms = heard[k].endMs - heard[k].startMs, expected = slow ? 600 : 300;
    // The first note opens the stream and may lose its first tenth of a second.
    EXPECT_NEAR(ms, expected, k == 0 ? 130 : slow ? 60 : 40) << k;
    std::printf("[ measured ] note %zu heard for %.0f ms of %.0f\n", k, ms, expected);
  }
  for (size_t k : {1, 5}) EXPECT_LT(heard[k + 1].startMs - heard[k].endMs, 600) << "the normal pass follows at once";
  const double gap = heard[4].startMs - heard[3].endMs;
  EXPECT_GE(gap, 950);
  EXPECT_LE(gap, 1250);
  std::printf("[ measured ] gap on the sound server: %.0f ms\n", gap);
}
