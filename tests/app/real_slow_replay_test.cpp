// Slow replay on the real program: a real display (Xvfb), a sound server of
// the test's own with a null sink, F3 pressed by xdotool. With the tutor's
// speed at 0.5x and "slow, then normal", Listen All must play the expression
// at half speed, straight after at normal speed, and then end the run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <cmath>
#include <cstdio>

#include "framework/settings.h"
#include "tests/support/test_support.h"

namespace {

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

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

std::string Output(const QProcessEnvironment& environment, const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  if (!process.waitForFinished(20000)) {
    process.kill();
    process.waitForFinished();
    return "";
  }
  return process.exitCode() == 0 ? process.readAllStandardOutput().trimmed().toStdString() : "";
}

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

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

}  // namespace

TEST(RealProgram, SlowThenNormalOnARealDisplayAndSoundServer) {
  for (const char* tool : {"Xvfb", "xdotool", "pulseaudio", "pactl", "parecord", "pacat"}) {
    if (!testsupport::HaveCommand(tool)) {
      if (testsupport::InCI()) FAIL() << tool << " is needed in CI";
      GTEST_SKIP() << tool << " is not installed";
    }
  }
  testsupport::TempFolder folder;
  std::string runtime = folder.File("runtime"), socket = folder.File("native");
  ASSERT_EQ(testsupport::RunCommand("mkdir -p '" + runtime + "' && chmod 700 '" + runtime + "'"), 0);
  ASSERT_TRUE(testsupport::WriteFileText(folder.File("default.pa"),
                                         "load-module module-null-sink sink_name=slow_out rate=44100 channels=2\n"
                                         "set-default-sink slow_out\n"
                                         "load-module module-native-protocol-unix socket=" +
                                             socket + " auth-anonymous=1\n"));
  Child daemon;
  QProcessEnvironment pulseEnvironment = QProcessEnvironment::systemEnvironment();
  pulseEnvironment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
  pulseEnvironment.insert("PULSE_RUNTIME_PATH", QString::fromStdString(runtime));
  pulseEnvironment.insert("HOME", QString::fromStdString(folder.Path()));
  daemon.process.setProcessEnvironment(pulseEnvironment);
  daemon.process.start("pulseaudio",
                       {"-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false", "--disallow-exit=yes",
                        "--use-pid-file=no", "-F", QString::fromStdString(folder.File("default.pa"))});
  ASSERT_TRUE(daemon.process.waitForStarted());

  int number = 0;
  for (int n = 150 + getpid() % 50; n < 450 && !number; ++n)
    if (!Exists("/tmp/.X11-unix/X" + std::to_string(n)) && !Exists("/tmp/.X" + std::to_string(n) + "-lock")) number = n;
  ASSERT_NE(number, 0);
  const std::string display = ":" + std::to_string(number);
  Child xvfb;
  xvfb.process.start("Xvfb", {QString::fromStdString(display), "-screen", "0", "1280x900x24", "-nolisten", "tcp"});
  ASSERT_TRUE(xvfb.process.waitForStarted());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DISPLAY", QString::fromStdString(display));
  environment.insert("PULSE_SERVER", QString::fromStdString("unix:" + socket));
  environment.insert("ORATIVO_AUDIO", "pulse");
  environment.insert("QT_QPA_PLATFORM", "xcb");
  QElapsedTimer clock;
  clock.start();
  while (Output(environment, "pactl", {"info"}).empty() || !Exists("/tmp/.X11-unix/X" + std::to_string(number)))
    ASSERT_LT(clock.elapsed(), 20000) << "sound server or display did not start";
  // An idle null sink stalls its monitor: keep silence playing.
  Child keepalive;
  keepalive.process.setProcessEnvironment(environment);
  keepalive.process.setStandardInputFile("/dev/zero");
  keepalive.process.start("pacat", {"--playback", "--device=slow_out", "--raw", "--format=s16le", "--rate=44100",
                                    "--channels=2", "--latency-msec=30"});

  // One expression: 300 ms at 440 Hz, then 300 ms at 880 Hz.
  const double kHz[] = {440, 880};
  const std::string lesson = folder.File("Slow");
  ASSERT_EQ(testsupport::RunCommand("mkdir -p '" + lesson + "'"), 0);
  ASSERT_TRUE(testsupport::WriteFileText(lesson + "/Slow.ini", "[study]\r\nmode=0\r\n"));
  ASSERT_TRUE(testsupport::WriteFileText(lesson + "/word.raf", "[raf]\r\naudiotype=0\r\n[expression]\r\norder=0\r\n"));
  std::vector<int16_t> clip = testsupport::Tone(22050, 1, 22050 * 3 / 10, kHz[0], 12000);
  std::vector<int16_t> high = testsupport::Tone(22050, 1, 22050 * 3 / 10, kHz[1], 12000);
  clip.insert(clip.end(), high.begin(), high.end());
  ASSERT_TRUE(testsupport::WriteWav16(lesson + "/word.wav", 22050, 1, clip));
  RegSetUserSettingInt("Settings", "PlaySilenceGaps", 1);
  RegSetUserSettingInt("Settings", "TutorSpeed", 50);
  RegSetUserSettingBool("Settings", "SlowThenNormal", true);
  struct Restore {
    ~Restore() {
      RegSetUserSettingInt("Settings", "TutorSpeed", 100);
      RegSetUserSettingBool("Settings", "SlowThenNormal", false);
    }
  } restore;

  Child record;
  record.process.setProcessEnvironment(environment);
  const std::string captured = folder.File("captured.wav");
  record.process.start("parecord", {"--device=slow_out.monitor", "--file-format=wav", "--rate=44100", "--channels=1",
                                    "--format=s16le", QString::fromStdString(captured)});
  ASSERT_TRUE(record.process.waitForStarted());
  Child program;
  program.process.setProcessEnvironment(environment);
  program.process.start(ORATIVO_BINARY, {QString::fromStdString(lesson)});
  ASSERT_TRUE(program.process.waitForStarted());
  std::string window = Output(environment, "xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Orativo"});
  ASSERT_FALSE(window.empty()) << "the study window did not show";
  Output(environment, "xdotool", {"windowfocus", "--sync", QString::fromStdString(window)});
  Wait(500);
  Output(environment, "xdotool", {"key", "F3"});
  Wait(5000);  // 1.2 s slow, 0.6 s normal, and time to spare
  Output(environment, "xdotool", {"key", "alt+F4"});
  ASSERT_TRUE(program.process.waitForFinished(20000)) << "the window did not close";
  EXPECT_EQ(program.process.exitCode(), 0);
  kill(pid_t(record.process.processId()), SIGINT);  // parecord finishes its file
  record.process.waitForFinished(5000);

  int rate = 0, channels = 0;
  std::vector<int16_t> samples;
  ASSERT_TRUE(testsupport::ReadWav16(captured, &rate, &channels, &samples));
  // Runs of one note in 10 ms blocks: {note, start ms, end ms}.
  struct Segment {
    int note;
    double startMs, endMs;
  };
  std::vector<Segment> segments;
  const size_t block = size_t(rate) / 100;
  for (size_t at = 0; at + block <= samples.size(); at += block) {
    double e[2], total = 0;
    for (int t = 0; t < 2; ++t) total += e[t] = ToneEnergy(samples, at, block, kHz[t], rate);
    int note = -1;
    for (int t = 0; t < 2; ++t)
      if (e[t] > 0.8 * total && total > 1e12) note = t;
    const double ms = 1000.0 * double(at) / rate;
    if (note < 0) continue;
    if (!segments.empty() && segments.back().note == note && ms - segments.back().endMs < 50)
      segments.back().endMs = ms + 10;
    else
      segments.push_back({note, ms, ms + 10});
  }
  ASSERT_EQ(segments.size(), 4u) << "slow, then normal, once";
  const double expected[] = {600, 600, 300, 300};
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(segments[k].note, int(k % 2)) << k;
    const double heard = segments[k].endMs - segments[k].startMs;
    // The first note opens the stream and may lose its first tenth of a second.
    EXPECT_NEAR(heard, expected[k], k == 0 ? 130 : 60) << k;
    std::printf("[ measured ] note %zu heard for %.0f ms of %.0f\n", k, heard, expected[k]);
  }
  EXPECT_LT(segments[2].startMs - segments[1].endMs, 600) << "the normal pass follows at once";
}
