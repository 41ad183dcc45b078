// The student's Listen All on the real program: a real display (Xvfb), a sound
// server of the test's own with a null sink, and keys pressed by xdotool.
// What the sink plays is recorded from its monitor and split into notes.
#include <signal.h>

#include <QProcess>
#include <cstdio>

#include "tests/study/study_fixture.h"

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
  // Helpers left running are killed by their own ids as they go out of scope.
  QProcess daemon, keepalive, record, program;
  for (QProcess* child : {&daemon, &keepalive, &record, &program}) child->setProcessEnvironment(environment);
  daemon.start("pulseaudio", {"-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false", "--disallow-exit=yes",
                              "--use-pid-file=no", "-F", QString::fromStdString(home.File("default.pa"))});
  ASSERT_TRUE(testsupport::WaitFor([&] {
    return testsupport::RunCommand("PULSE_SERVER=" + server + " timeout 2 pactl info >/dev/null 2>&1") == 0;
  })) << "the sound server did not start";
  // An idle null sink stalls its monitor: keep silence playing.
  keepalive.setStandardInputFile("/dev/zero");
  keepalive.start("pacat", {"--playback", "--device=study_out", "--raw", "--format=s16le", "--rate=44100",
                            "--channels=2", "--latency-msec=30"});
  std::string captured = home.File("captured.wav");
  record.start("parecord", {"--device=study_out.monitor", "--file-format=wav", "--rate=44100", "--channels=1",
                            "--format=s16le", QString::fromStdString(captured)});

  // Two expressions of two notes, 300 ms each, listed in the reverse of their names.
  const std::vector<double> kHz = {440, 880, 660, 1320};
  studytest::Lesson lesson("Tones", 0, home.Path());
  for (size_t k = 0; k < 2; ++k) {
    ASSERT_TRUE(lesson.Add("t" + std::to_string(1 - k), int(k), kAudioTypeWav,
                           studytest::TwoTones(300, kHz[2 * k], kHz[2 * k + 1])));
  }
  RegSetUserSettingInt("Settings", "PlaySilenceGaps", 1);
  RegSetUserSettingInt("Settings", "TutorSpeed", 50);
  RegSetUserSettingBool("Settings", "SlowThenNormal", true);

  program.start(ORATIVO_BINARY, {QString::fromStdString(lesson.Folder())});
  std::string window = display.Search("^Orativo \\[Tones\\]");
  ASSERT_FALSE(window.empty()) << "the study window did not show its lesson";
  display.Xdo("windowfocus --sync " + window);
  testsupport::Pump(500);
  display.Xdo("key F3");
  testsupport::Pump(8000);  // 2 x (1.2 s slow + 0.6 s normal), the gap of 1 s, and time to spare
  display.Xdo("key alt+F4");
  ASSERT_TRUE(program.waitForFinished(20000)) << "the window did not close";
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);

  kill(pid_t(record.processId()), SIGINT);  // parecord finishes its file
  record.waitForFinished(5000);
  int rate = 0, channels = 0;
  std::vector<int16_t> samples;
  ASSERT_TRUE(testsupport::ReadWav16(captured, &rate, &channels, &samples));
  std::vector<studytest::Note> heard = studytest::Notes(samples, rate, kHz);
  ASSERT_EQ(heard.size(), 8u) << "each expression slow, then normal, once";
  for (size_t k = 0; k < 8; ++k) {
    const bool slow = k % 4 < 2;
    EXPECT_EQ(heard[k].hz, kHz[k / 4 * 2 + k % 2]) << "list order, note " << k;
    const double ms = heard[k].endMs - heard[k].startMs, expected = slow ? 600 : 300;
    // The first note opens the stream and may lose its first tenth of a second.
    EXPECT_NEAR(ms, expected, k == 0 ? 130 : slow ? 60 : 40) << k;
    std::printf("[ measured ] note %zu heard for %.0f ms of %.0f\n", k, ms, expected);
  }
  for (size_t k : {1, 5}) EXPECT_LT(heard[k + 1].startMs - heard[k].endMs, 600) << "the normal pass follows at once";
  const double gap = heard[4].startMs - heard[3].endMs;
  EXPECT_PRED3(studytest::Within, gap, 950, 1250);
  std::printf("[ measured ] gap on the sound server: %.0f ms\n", gap);
}
