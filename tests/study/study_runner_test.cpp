// The study runner on the virtual sound device: whole runs in both study
// modes, Play and Redo, Stop in every phase, and the failures that must never
// leave the student waiting.
#include "study/study_runner.h"

#include <fstream>
#include <tuple>

#include "sound/files/wave_file.h"
#include "tests/study/study_fixture.h"

using namespace studytest;

using StudyRunnerTest = RunnerTest;

TEST_F(StudyRunnerTest, ListenThenRepeatRecordsEachExpressionInListOrder) {
  REQUIRE_COMMAND("espeak-ng");
  REQUIRE_COMMAND("lame");
  Lesson lesson("Travel", 1);
  for (const char* words : {"good morning", "thank you very much", "where is the station"}) {
    std::vector<int16_t> speech;  // 22050 Hz mono
    int rate = 0, channels = 0;
    ASSERT_EQ(testsupport::RunCommand("espeak-ng -w '" + lesson.Folder() + "/speech.wav' '" + words + "'"), 0);
    ASSERT_TRUE(testsupport::ReadWav16(lesson.Folder() + "/speech.wav", &rate, &channels, &speech));
    ASSERT_EQ(rate * 10 + channels, 220501);
    mic.phrases.push_back(speech);
  }
  const std::vector<std::vector<int16_t>>& clips = mic.phrases;
  // Orders 2, 0, 1: the list is B (MP3), C (VOK), A (WAV).
  ASSERT_TRUE(lesson.Add("A", 2, kAudioTypeWav, clips[2]));
  ASSERT_TRUE(lesson.Add("B", 0, kAudioTypeMp3, clips[0]));
  ASSERT_TRUE(lesson.Add("C", 1, kAudioTypeVok, clips[1]));
  mic.Install();
  Session s(lesson, 1);
  ASSERT_EQ(s.runner.Expressions().size(), 3u);
  EXPECT_EQ(s.runner.Expressions()[0].name, "B");

  s.runner.CmLessonStart();
  ASSERT_TRUE(s.WaitIdle(60000));
  std::vector<std::string> expected = {"mode 1"};
  for (int k = 0; k < 3; ++k)
    for (const char* status : {"Playing...", "Waiting...", "Speak Now...", "Ready!", "Waiting..."})
      expected.push_back(std::string("status ") + status);
  expected.insert(expected.end(), {"status Ready!", "mode 0"});
  EXPECT_EQ(s.view.log, expected);
  ASSERT_EQ(mic.opened.size(), 3u);
  ASSERT_EQ(mic.voiced.size(), 3u);

  const std::vector<int16_t> out = LVirtualAudio::CapturedOutput(), cue = LCueSoundSamples();
  size_t at = 0;
  for (size_t k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    // Player stop -> recorder start, and recorder stop -> next play: the gap, late by at most 250 ms.
    EXPECT_PRED3(Within, MsSince(s.view.When("status Waiting...", 2 * int(k)), mic.opened[k]), 1000, 1250);
    if (k < 2) {
      EXPECT_PRED3(
          Within,
          MsSince(s.view.When("status Waiting...", 2 * int(k) + 1), s.view.When("status Playing...", int(k) + 1)), 1000,
          1250);
    }
    EXPECT_PRED3(Within, MsSince(mic.voiced[k], s.view.When("status Speak Now...", int(k))), -20, 250);
    // The take lasts the tutor's length + 2 s, to the timer's precision: never
    // shorter counted from before the recorder was asked to start, never much
    // longer counted from when its device began delivering.
    const std::vector<int16_t> tutor = Decoded(s.runner.Expressions()[k].record);
    Clock::time_point stop = s.view.When("status Ready!", int(k));
    double tutorMs = LSoundTime::FramesToMs(int32_t(tutor.size()), 22050);
    EXPECT_GE(MsSince(s.view.When("status Waiting...", 2 * int(k)), stop) - 1000, tutorMs + 2000 - 1);
    // 20 ms for the timer, the rest for stopping the worker on a loaded machine.
    EXPECT_LE(MsSince(mic.opened[k], stop), tutorMs + 2000 + 50);

    // The take holds its phrase, the voice (from its start level on) at most 200 ms into the take.
    int rate = 0, channels = 0;
    std::vector<int16_t> take;
    ASSERT_TRUE(testsupport::ReadWav16(recordings.Path() + "/Travel/" + s.runner.Expressions()[k].name + ".wav", &rate,
                                       &channels, &take));
    EXPECT_EQ(rate * 10 + channels, 220501);
    std::vector<int16_t> voice(clips[k].begin() + long(mic.onsets[k]), clips[k].end());
    EXPECT_PRED3(Within, Find(take, voice, 0), 0, 22050 / 5) << "-1: not found; more: the voice starts late";

    // The device played the tutor clips in list order, a cue after each.
    long found = Find(out, tutor, at);
    ASSERT_GE(found, 0) << "clip";
    long cueAt = Find(out, cue, size_t(found) + tutor.size() / 2, 400);
    ASSERT_GE(cueAt, 0) << "cue";
    at = size_t(cueAt) + cue.size() / 2;
  }
}

// The silent expression is skipped without a word; a gap changed during a
// run applies from the next gap on.
TEST_F(StudyRunnerTest, ListenAllPlaysTheClipsInOrderWithTheGapAndSkipsSilently) {
  Lesson lesson("Tones");
  ASSERT_TRUE(lesson.Add("one", 0, kAudioTypeWav, Tone(300, 440)));
  ASSERT_TRUE(lesson.Add("none", 1, kAudioTypeWav, {}));  // no audio
  ASSERT_TRUE(lesson.Add("two", 2, kAudioTypeWav, Tone(300, 660)));
  ASSERT_TRUE(lesson.Add("three", 3, kAudioTypeWav, Tone(300, 990)));
  for (auto [gap, later] : {std::pair{1, 1}, {0, 0}, {2, 0}}) {
    SCOPED_TRACE(testing::Message() << gap << " then " << later);
    SetGaps(gap, 1);
    LVirtualAudio::ClearCapture();
    Session s(lesson);
    s.runner.CmLessonStart();
    ASSERT_TRUE(WaitFor([&] { return s.view.Count("status Waiting...") >= 1; }, 10000));
    SetGaps(later, 1);
    ASSERT_TRUE(s.WaitIdle(20000));
    EXPECT_EQ(s.view.Count("status Playing..."), 3);
    EXPECT_EQ(s.view.Count("mode 0"), 1);
    for (const std::string& e : s.view.log) EXPECT_NE(e.rfind("message", 0), 0u) << e;
    // one -> two waits two gaps (the silent expression is skipped after one).
    double first = MsSince(s.view.When("status Waiting...", 0), s.view.When("status Playing...", 1));
    double second = MsSince(s.view.When("status Waiting...", 1), s.view.When("status Playing...", 2));
    EXPECT_PRED3(Within, first, 1000 * (gap + later), 1000 * (gap + later) + 250);
    EXPECT_PRED3(Within, second, 1000 * later, later ? 1000 * later + 250 : 100);
    std::vector<int16_t> out = LVirtualAudio::CapturedOutput();
    long a = Find(out, Tone(300, 440), 0), b = Find(out, Tone(300, 660), 0), c = Find(out, Tone(300, 990), 0);
    EXPECT_GE(a, 0);
    EXPECT_GT(b, a);
    EXPECT_GT(c, b);
    EXPECT_EQ(s.runner.CurrentExp(), 0);
  }
}

// Stop in every phase: at once, nothing plays after it, and the earlier take
// stays unless a finished take already replaced it.
TEST_F(StudyRunnerTest, StopInEveryPhaseStopsAtOnceKeepsTheEarlierTakeAndPlaysNothingMore) {
  // Where a Stop lands: the command (1 Go in Listen then Repeat, 2 Play, 3
  // Redo), the nth status shown just before it, and whether the earlier take
  // stays (a finished take already replaced it).
  using Case = std::tuple<const char*, int, std::string, int, bool>;
  const Case cases[] = {
      {"RunPlaying", 1, "status Playing...", 0, true},    {"RunBeforeRecording", 1, "status Waiting...", 0, true},
      {"RunSpeaking", 1, "status Speak Now...", 0, true}, {"RunAfterRecording", 1, "status Waiting...", 1, false},
      {"PlayTutor", 2, "status Playing...", 0, true},     {"PlayBeforeMine", 2, "status Waiting...", 0, true},
      {"PlayMine", 2, "status Playing...", 1, true},      {"RedoBeforeRecording", 3, "status Waiting...", 0, true},
      {"RedoSpeaking", 3, "status Speak Now...", 0, true}};
  Lesson lesson("Stops", 1);
  ASSERT_TRUE(lesson.Add("first", 0, kAudioTypeWav, Tone(400, 500)));
  ASSERT_TRUE(lesson.Add("second", 1, kAudioTypeWav, Tone(400, 700)));
  mic.phrases = {Tone(600, 300), Tone(600, 300)};
  ASSERT_EQ(testsupport::RunCommand("mkdir -p '" + recordings.Path() + "/Stops'"), 0);
  for (const auto& [name, command, waitFor, nth, keepsEarlier] : cases) {
    SCOPED_TRACE(name);
    mic.Install();
    Session s(lesson, 1);
    std::string mine = s.runner.GetStudentRecordingPath(0);
    ASSERT_TRUE(testsupport::WriteWav16(mine, 22050, 1, Tone(500, 1200)));
    auto before = testsupport::ReadFileBytes(mine);
    if (command == 1) s.runner.CmLessonStart();
    if (command == 2) s.runner.CmPlay(0);
    if (command == 3) s.runner.CmRedo(0);
    ASSERT_TRUE(WaitFor([&] { return s.view.Count(waitFor) > nth; }, 15000)) << waitFor;
    Pump(100);
    s.runner.StopLesson();
    EXPECT_EQ(s.runner.Mode(), 0);
    EXPECT_FALSE(s.runner.Busy());
    for (int id : {5, 7, 8, 9, 10}) EXPECT_FALSE(s.runner.TimerActive(id)) << id;
    EXPECT_EQ(s.view.log.back(), "mode 0");
    size_t played = LVirtualAudio::CapturedOutput().size(), entries = s.view.log.size();
    Pump(1500);
    EXPECT_EQ(LVirtualAudio::CapturedOutput().size(), played) << "nothing plays after Stop";
    EXPECT_EQ(s.view.log.size(), entries);
    if (keepsEarlier) {
      EXPECT_EQ(testsupport::ReadFileBytes(mine), before) << "Stop leaves the earlier take";
    }
    EXPECT_FALSE(std::ifstream(mine + ".take").good());
  }
}

// Redo keeps a take only with audio, Play ends once; failures tell the
// student and never leave him waiting.
TEST_F(StudyRunnerTest, PlayEndsOnceRedoReplacesTheTakeOnlyWithAudioAndFailuresTell) {
  Lesson lesson("Fails", 1);
  ASSERT_TRUE(lesson.Add("word", 0, kAudioTypeWav, Tone(200, 440)));
  ASSERT_TRUE(lesson.Add("silent", 1, kAudioTypeWav, {}));
  ASSERT_TRUE(lesson.Add("last", 2, kAudioTypeWav, Tone(300, 550)));
  // A Redo the student stays silent in keeps nothing; a spoken one is kept.
  std::vector<int16_t> spoken = Noise(500, 7);
  mic.phrases = {{}, spoken};
  mic.Install();
  Session s(lesson, 1);
  std::string mine = s.runner.GetStudentRecordingPath(2);
  s.runner.CmRedo(2);
  ASSERT_TRUE(s.WaitIdle(15000));
  EXPECT_FALSE(std::ifstream(mine).good()) << "silence makes no take";
  EXPECT_EQ(s.runner.CurrentExp(), 2);
  s.runner.CmRedo(2);
  ASSERT_TRUE(s.WaitIdle(15000));
  int rate = 0, channels = 0;
  std::vector<int16_t> take;
  ASSERT_TRUE(testsupport::ReadWav16(mine, &rate, &channels, &take));
  EXPECT_GT(Find(take, spoken, 0, 2000), -1);

  // Play: the tutor, the gap, the student's take once, "Ready!" once.
  s.view.Clear();
  LVirtualAudio::ClearCapture();
  s.runner.CmPlay(2);
  ASSERT_TRUE(s.WaitIdle(15000));
  Pump(1500);
  EXPECT_EQ(s.view.log, (std::vector<std::string>{"mode 2", "status Playing...", "status Waiting...",
                                                  "status Playing...", "status Ready!", "mode 0"}));
  std::vector<int16_t> out = LVirtualAudio::CapturedOutput();
  long first = Find(out, spoken, 0, 2000);
  EXPECT_GE(first, 0);
  EXPECT_EQ(Find(out, spoken, size_t(first) + spoken.size() / 2, 2000), -1) << "the take plays once";

  // Go after Redo starts at the redone expression; after Stop at the first.
  s.runner.CmLessonStart();
  EXPECT_EQ(s.view.marked_, 2);
  s.runner.StopLesson();
  s.runner.CmLessonStart();
  EXPECT_EQ(s.view.marked_, 0);
  s.runner.StopLesson();

  SetGaps(0, 0);
  const std::string cannot = "message Cannot record the expression. Please try again.";
  // Play without a take of one's own.
  s.runner.CmPlay(0);
  ASSERT_TRUE(s.WaitIdle(10000));
  EXPECT_EQ(s.view.Count("message You have not recorded this expression yet."), 1);
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
  EXPECT_EQ(s.view.log.back(), "mode 0");

  // The recorder refuses: the sound device fails once the tutor has played.
  RegSetUserSetting("SystemFolders", "StudentRecordings", recordings.Path());
  SetGaps(0, 1);
  s.runner.CmRedo(0);
  ASSERT_TRUE(WaitFor([&] { return s.view.log.back() == "status Waiting..."; }, 10000));
  testsupport::VirtualAudioScope::Change([](LVirtualAudioConfig& c) { c.failOpen = true; });
  ASSERT_TRUE(s.WaitIdle(10000));
  testsupport::VirtualAudioScope::Change([](LVirtualAudioConfig& c) { c.failOpen = false; });
  EXPECT_EQ(s.view.Count(cannot), 4);
  EXPECT_FALSE(std::ifstream(s.runner.GetStudentRecordingPath(0) + ".take").good());
}
