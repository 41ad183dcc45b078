// The study runner on the virtual sound device: whole runs in both study
// modes, Play and Redo, Stop in every phase, and the failures that must never
// leave the student waiting.
#include "study/study_runner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <fstream>

#include "lessons/expression_order.h"
#include "lessons/lesson.h"
#include "sound/files/wave_file.h"
#include "tests/study/study_fixture.h"

using namespace studytest;

namespace {

std::vector<int16_t> Tone(int ms, double hz) { return testsupport::Tone(22050, 1, 22050 * ms / 1000, hz, 16000); }

struct Session {
  explicit Session(const Lesson& lesson, int studyMode = 0) : runner(view, false) {
    view.runner = &runner;
    view.studyMode = studyMode;
    runner.SetLesson(lesson.Path(), ListExpressionsInOrder(lesson.Path()));
  }
  bool WaitIdle(int limitMs) {
    return Pump([&] { return runner.Mode() == 0 && !runner.Busy(); }, limitMs);
  }
  LogView view;
  StudyRunner runner;
};

class StudyRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetGaps(1, 1);
    RegSetUserSetting("SystemFolders", "StudentRecordings", recordings.Path());
    mic.Install();
  }
  void TearDown() override {
    Microphone::Uninstall();
    EXPECT_EQ(LVirtualAudio::OpenOutputs(), 0);
    EXPECT_EQ(LVirtualAudio::OpenInputs(), 0);
  }
  testsupport::TempFolder recordings;
  Microphone mic;
};

}  // namespace

TEST_F(StudyRunnerTest, ListenThenRepeatRecordsEachExpressionInListOrder) {
  REQUIRE_TOOL("espeak-ng");
  REQUIRE_TOOL("lame");
  Lesson lesson("Travel", 1);
  std::vector<std::string> words = {"good morning", "thank you very much", "where is the station"};
  std::vector<std::vector<int16_t>> clips;
  for (const std::string& w : words) clips.push_back(Speak(lesson.Folder(), w));
  for (auto& c : clips) ASSERT_FALSE(c.empty());
  // Orders 2, 0, 1: the list is B (MP3), C (VOK), A (WAV).
  ASSERT_TRUE(lesson.Add("A", 2, kAudioTypeWav, clips[2]));
  ASSERT_TRUE(lesson.Add("B", 0, kAudioTypeMp3, clips[0]));
  ASSERT_TRUE(lesson.Add("C", 1, kAudioTypeVok, clips[1]));
  mic.phrases = clips;
  mic.Install();
  Session s(lesson, 1);
  ASSERT_EQ(s.runner.Expressions().size(), 3u);
  EXPECT_EQ(s.runner.Expressions()[0].name, "B");

  s.runner.CmLessonStart();
  ASSERT_TRUE(s.WaitIdle(60000));

  std::vector<std::string> one = {"status Playing...", "status Waiting...", "status Speak Now...", "status Ready!",
                                  "status Waiting..."};
  std::vector<std::string> expected = {"mode 1"};
  for (int k = 0; k < 3; ++k) expected.insert(expected.end(), one.begin(), one.end());
  expected.push_back("status Ready!");
  expected.push_back("mode 0");
  EXPECT_EQ(s.view.Texts(), expected);

  ASSERT_EQ(mic.opened.size(), 3u);
  ASSERT_EQ(mic.voiced.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    // Player stop -> recorder start, and recorder stop -> next play: the gap, late by at most 250 ms.
    double toRecord = MsSince(s.view.When("status Waiting...", 2 * k), mic.opened[size_t(k)]);
    EXPECT_GE(toRecord, 1000) << k;
    EXPECT_LE(toRecord, 1250) << k;
    if (k < 2) {
      double toPlay = MsSince(s.view.When("status Waiting...", 2 * k + 1), s.view.When("status Playing...", k + 1));
      EXPECT_GE(toPlay, 1000) << k;
      EXPECT_LE(toPlay, 1250) << k;
    }
    double speak = MsSince(mic.voiced[size_t(k)], s.view.When("status Speak Now...", k));
    EXPECT_GE(speak, -20) << k;
    EXPECT_LE(speak, 250) << k;
    // The take lasts the tutor's length + 2 s, to the timer's precision: never
    // shorter counted from before the recorder was asked to start, never much
    // longer counted from when its device began delivering.
    double tutor = LSoundTime::FramesToMs(int32_t(Decoded(s.runner.Expressions()[size_t(k)].record).size()), 22050);
    Clock::time_point stop = s.view.When("status Ready!", k);
    double fromAsk = MsSince(s.view.When("status Waiting...", 2 * k), stop) - 1000;
    double fromOpen = MsSince(mic.opened[size_t(k)], stop);
    EXPECT_GE(fromAsk, tutor + 2000 - 1) << k;
    // 20 ms for the timer, the rest for stopping the worker on a loaded machine.
    EXPECT_LE(fromOpen, tutor + 2000 + 50) << k;
  }

  // Each take holds its phrase, the voice (from its start level on) at most 200 ms into the take.
  for (int k = 0; k < 3; ++k) {
    std::string path = recordings.Path() + "/Travel/" + s.runner.Expressions()[size_t(k)].name + ".wav";
    int rate = 0, channels = 0;
    std::vector<int16_t> take;
    ASSERT_TRUE(testsupport::ReadWav16(path, &rate, &channels, &take)) << path;
    EXPECT_EQ(rate * 10 + channels, 220501);
    long voice = Find(
        take, std::vector<int16_t>(clips[size_t(k)].begin() + long(mic.onsets[size_t(k)]), clips[size_t(k)].end()), 0);
    EXPECT_GE(voice, 0) << k;
    EXPECT_LE(voice, 22050 / 5) << "voice starts late in take " << k;
  }

  // The device played the three tutor clips in list order, a cue after each.
  std::vector<int16_t> out = LVirtualAudio::CapturedOutput();
  std::vector<int16_t> cue = LCueSoundSamples();
  size_t at = 0;
  for (int k = 0; k < 3; ++k) {
    std::vector<int16_t> clip = Decoded(s.runner.Expressions()[size_t(k)].record);
    long found = Find(out, clip, at);
    ASSERT_GE(found, 0) << "clip " << k;
    long cueAt = Find(out, cue, size_t(found) + clip.size() / 2, 400);
    ASSERT_GE(cueAt, 0) << "cue " << k;
    at = size_t(cueAt) + cue.size() / 2;
  }
}

TEST_F(StudyRunnerTest, ListenAllPlaysTheClipsInOrderWithTheGapAndSkipsSilently) {
  for (int gap : {1, 0}) {
    SCOPED_TRACE(gap);
    SetGaps(gap, 1);
    Lesson lesson("Tones");
    ASSERT_TRUE(lesson.Add("one", 0, kAudioTypeWav, Tone(300, 440)));
    ASSERT_TRUE(lesson.Add("none", 1, kAudioTypeWav, {}));  // no audio
    ASSERT_TRUE(lesson.Add("two", 2, kAudioTypeWav, Tone(300, 660)));
    ASSERT_TRUE(lesson.Add("three", 3, kAudioTypeWav, Tone(300, 990)));
    LVirtualAudio::ClearCapture();
    Session s(lesson);
    s.runner.CmLessonStart();
    ASSERT_TRUE(s.WaitIdle(20000));
    EXPECT_EQ(s.view.Count("status Playing..."), 3);
    EXPECT_EQ(s.view.Count("mode 0"), 1);
    for (const auto& e : s.view.log) EXPECT_NE(e.what.rfind("message", 0), 0u) << e.what;
    // one -> two waits two gaps (the silent expression is skipped after one).
    double first = MsSince(s.view.When("status Waiting...", 0), s.view.When("status Playing...", 1));
    double second = MsSince(s.view.When("status Waiting...", 1), s.view.When("status Playing...", 2));
    EXPECT_GE(first, 2000 * gap);
    EXPECT_LE(first, 2000 * gap + 250);
    EXPECT_GE(second, 1000 * gap);
    EXPECT_LE(second, gap ? 1000 * gap + 250 : 100);
    std::vector<int16_t> out = LVirtualAudio::CapturedOutput();
    long a = Find(out, Tone(300, 440), 0), b = Find(out, Tone(300, 660), 0), c = Find(out, Tone(300, 990), 0);
    EXPECT_GE(a, 0);
    EXPECT_GT(b, a);
    EXPECT_GT(c, b);
    EXPECT_EQ(s.runner.CurrentExp(), 0);
  }
}

// Where a Stop lands: the status the runner shows just before it.
struct StopCase {
  const char* name;
  int command;  // 1 Go (Listen then Repeat), 2 Play, 3 Redo
  const char* waitFor;
  int nth;
  bool keepsEarlier = true;  // false: a finished take already replaced it
};

class StopInEveryPhase : public StudyRunnerTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopInEveryPhase, StopsAtOnceKeepsTheEarlierTakeAndPlaysNothingMore) {
  const StopCase& c = GetParam();
  Lesson lesson("Stops", 1);
  std::vector<int16_t> word = Tone(400, 500);
  ASSERT_TRUE(lesson.Add("first", 0, kAudioTypeWav, word));
  ASSERT_TRUE(lesson.Add("second", 1, kAudioTypeWav, Tone(400, 700)));
  mic.phrases = {Tone(600, 300), Tone(600, 300)};
  mic.Install();
  Session s(lesson, 1);
  std::string mine = s.runner.GetStudentRecordingPath(0);
  ASSERT_EQ(system(("mkdir -p '" + recordings.Path() + "/Stops'").c_str()), 0);
  std::vector<int16_t> earlier = Tone(500, 1200);
  ASSERT_TRUE(testsupport::WriteWav16(mine, 22050, 1, earlier));
  auto before = testsupport::ReadFileBytes(mine);

  if (c.command == 1) s.runner.CmLessonStart();
  if (c.command == 2) s.runner.CmPlay(0);
  if (c.command == 3) s.runner.CmRedo(0);
  ASSERT_TRUE(Pump([&] { return s.view.Count(c.waitFor) > c.nth; }, 15000)) << c.waitFor;
  PumpFor(100);
  s.runner.StopLesson();
  EXPECT_EQ(s.runner.Mode(), 0);
  EXPECT_FALSE(s.runner.Busy());
  for (int id : {5, 7, 8, 9, 10}) EXPECT_FALSE(s.runner.TimerActive(id)) << id;
  EXPECT_EQ(s.view.log.back().what, "mode 0");
  size_t played = LVirtualAudio::CapturedOutput().size();
  size_t entries = s.view.log.size();
  PumpFor(1500);
  EXPECT_EQ(LVirtualAudio::CapturedOutput().size(), played) << "nothing plays after Stop";
  EXPECT_EQ(s.view.log.size(), entries);
  if (c.keepsEarlier) {
    EXPECT_EQ(testsupport::ReadFileBytes(mine), before) << "Stop leaves the earlier take";
  }
  EXPECT_FALSE(std::ifstream(mine + ".take").good());
}

INSTANTIATE_TEST_SUITE_P(Phases, StopInEveryPhase,
                         ::testing::Values(StopCase{"RunPlaying", 1, "status Playing...", 0},
                                           StopCase{"RunBeforeRecording", 1, "status Waiting...", 0},
                                           StopCase{"RunSpeaking", 1, "status Speak Now...", 0},
                                           StopCase{"RunAfterRecording", 1, "status Waiting...", 1, false},
                                           StopCase{"PlayTutor", 2, "status Playing...", 0},
                                           StopCase{"PlayBeforeMine", 2, "status Waiting...", 0},
                                           StopCase{"PlayMine", 2, "status Playing...", 1},
                                           StopCase{"RedoBeforeRecording", 3, "status Waiting...", 0},
                                           StopCase{"RedoSpeaking", 3, "status Speak Now...", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StudyRunnerTest, PlayEndsOnceAndRedoReplacesTheTakeOnlyWithAudio) {
  Lesson lesson("Redo", 1);
  ASSERT_TRUE(lesson.Add("word", 0, kAudioTypeWav, Tone(300, 440)));
  ASSERT_TRUE(lesson.Add("next", 1, kAudioTypeWav, Tone(300, 550)));
  // A Redo the student stays silent in keeps nothing; a spoken one is kept.
  std::vector<int16_t> spoken = Noise(500, 7);
  mic.phrases = {{}, spoken};
  mic.Install();
  Session s(lesson);
  std::string mine = s.runner.GetStudentRecordingPath(1);
  s.runner.CmRedo(1);
  ASSERT_TRUE(s.WaitIdle(15000));
  EXPECT_FALSE(std::ifstream(mine).good()) << "silence makes no take";
  EXPECT_EQ(s.runner.CurrentExp(), 1);
  s.runner.CmRedo(1);
  ASSERT_TRUE(s.WaitIdle(15000));
  int rate = 0, channels = 0;
  std::vector<int16_t> take;
  ASSERT_TRUE(testsupport::ReadWav16(mine, &rate, &channels, &take));
  EXPECT_GT(Find(take, spoken, 0, 2000), -1);

  // Play: the tutor, the gap, the student's take once, "Ready!" once.
  s.view.log.clear();
  LVirtualAudio::ClearCapture();
  s.runner.CmPlay(1);
  ASSERT_TRUE(s.WaitIdle(15000));
  PumpFor(1500);
  EXPECT_EQ(s.view.Texts(), (std::vector<std::string>{"mode 2", "status Playing...", "status Waiting...",
                                                      "status Playing...", "status Ready!", "mode 0"}));
  std::vector<int16_t> out = LVirtualAudio::CapturedOutput();
  long first = Find(out, spoken, 0, 2000);
  EXPECT_GE(first, 0);
  EXPECT_EQ(Find(out, spoken, size_t(first) + spoken.size() / 2, 2000), -1) << "the take plays once";

  // Go after Redo starts at the redone expression; after Stop at the first.
  s.view.log.clear();
  s.runner.CmLessonStart();
  EXPECT_EQ(s.view.marked_, 1);
  s.runner.StopLesson();
  s.runner.CmLessonStart();
  EXPECT_EQ(s.view.marked_, 0);
  s.runner.StopLesson();
}

TEST_F(StudyRunnerTest, FailuresTellTheStudentAndNeverLeaveHimWaiting) {
  Lesson lesson("Fails", 1);
  ASSERT_TRUE(lesson.Add("word", 0, kAudioTypeWav, Tone(200, 440)));
  ASSERT_TRUE(lesson.Add("silent", 1, kAudioTypeWav, {}));
  ASSERT_TRUE(lesson.Add("last", 2, kAudioTypeWav, Tone(200, 660)));
  SetGaps(0, 0);
  Session s(lesson, 1);
  const std::string noTake = "message You have not recorded this expression yet.";
  const std::string cannot = "message Cannot record the expression. Please try again.";

  // Play without a take of one's own.
  s.runner.CmPlay(0);
  ASSERT_TRUE(s.WaitIdle(10000));
  EXPECT_EQ(s.view.Count(noTake), 1);
  // Redo and Play of an expression without audio.
  s.runner.CmRedo(1);
  s.runner.CmPlay(1);
  EXPECT_EQ(s.view.Count("message Your tutor has not recorded this expression. Please try again later."), 1);
  EXPECT_EQ(s.view.Count("message This expression has no audio. Please try again later."), 1);
  EXPECT_EQ(s.runner.Mode(), 0);

  // The recordings folder cannot be made: Redo returns to idle, a run goes on.
  std::string blocker = recordings.File("blocker");
  ASSERT_TRUE(testsupport::WriteFileText(blocker, "x"));
  RegSetUserSetting("SystemFolders", "StudentRecordings", blocker);
  s.runner.CmRedo(0);
  ASSERT_TRUE(s.WaitIdle(10000));
  EXPECT_EQ(s.view.Count(cannot), 1);
  s.runner.CmLessonStart();
  ASSERT_TRUE(s.WaitIdle(20000));
  EXPECT_EQ(s.view.Count(cannot), 3) << "one for each expression with audio";
  EXPECT_EQ(s.view.log.back().what, "mode 0");

  // The recorder refuses: the sound device fails once the tutor has played.
  RegSetUserSetting("SystemFolders", "StudentRecordings", recordings.Path());
  SetGaps(0, 1);
  s.runner.CmRedo(0);
  ASSERT_TRUE(Pump([&] { return s.view.log.back().what == "status Waiting..."; }, 10000));
  LVirtualAudioConfig config = LVirtualAudio::GetConfig();
  config.failOpen = true;
  LVirtualAudio::SetConfig(config);
  ASSERT_TRUE(s.WaitIdle(10000));
  config.failOpen = false;
  LVirtualAudio::SetConfig(config);
  EXPECT_EQ(s.view.Count(cannot), 4);
  EXPECT_FALSE(std::ifstream(s.runner.GetStudentRecordingPath(0) + ".take").good());
}

TEST_F(StudyRunnerTest, AGapChangedDuringARunAppliesFromTheNextGap) {
  Lesson lesson("Gaps");
  for (int k = 0; k < 3; ++k)
    ASSERT_TRUE(lesson.Add("e" + std::to_string(k), k, kAudioTypeWav, Tone(200, 400 + 100 * k)));
  SetGaps(2, 1);
  Session s(lesson);
  s.runner.CmLessonStart();
  ASSERT_TRUE(Pump([&] { return s.view.Count("status Waiting...") == 1; }, 10000));
  SetGaps(0, 1);
  ASSERT_TRUE(s.WaitIdle(10000));
  double first = MsSince(s.view.When("status Waiting...", 0), s.view.When("status Playing...", 1));
  double second = MsSince(s.view.When("status Waiting...", 1), s.view.When("status Playing...", 2));
  EXPECT_GE(first, 2000);
  EXPECT_LE(second, 100);
}
