#pragma once
// StudyRunner takes a student through a lesson in time: it plays the tutor's
// recording of each expression, in "Listen then Repeat" records the student
// repeating it, waits the silence gaps and moves on; for one expression it
// re-records the student (Redo) or plays the tutor's and then the student's
// recording (Play). It runs on the window thread, driven only by its own
// timers and the player's and recorder's notifications; it never blocks.
//
//   iMode 0 idle, 1 lesson run, 2 Play, 3 Redo.
//
// The window it serves shows what it reports through StudyRunnerView.
#include <QObject>
#include <map>
#include <string>
#include <vector>

#include "lessons/expression_order.h"
#include "sound/sound_player.h"
#include "sound/sound_recorder.h"

class QTimer;

class StudyRunnerView {
 public:
  enum Icon { kNoIcon, kPlayingIcon, kRecordingIcon };
  virtual ~StudyRunnerView() = default;
  virtual void RunnerStatus(const std::string& text, Icon icon) = 0;
  virtual void RunnerLevel(const LLevelRecord& level) = 0;
  // The list item's marker: set on the expression the runner is at.
  virtual void RunnerMark(int index, bool marked) = 0;
  // The page and position of an expression, without moving the selection.
  virtual void RunnerShowExpression(int index) = 0;
  // Selects the first item alone and shows it.
  virtual void RunnerSelectFirst() = 0;
  // iMode changed (or may have): the window updates its commands.
  virtual void RunnerModeChanged() = 0;
  virtual void RunnerMessage(const std::string& text, const std::string& caption, unsigned type) = 0;
  // 0 "Listen All", 1 "Listen then Repeat".
  virtual int RunnerStudyMode() = 0;
};

class StudyRunner : public QObject, public LSoundPlayerNotify, public LSoundRecorderNotify {
 public:
  enum : int { kIdle = 0, kRun = 1, kPlay = 2, kRedo = 3 };
  enum : int { TM_PLAY = 5, TM_RECORD = 7, TM_RECORDSTOP = 8, TM_PLAYMINE = 9, TM_PLAYEND = 10 };
  // Slow replay: the normal-speed pass of "slow, then normal" in Listen All.
  enum : int { TM_PLAYNORMAL = 11 };
  static constexpr int kRecordRate = 22050;
  static constexpr int32_t kMaxRecordMs = 14400000;
  static constexpr int kHoldMs = 4000;
  static constexpr int kRecordExtraMs = 2000;

  StudyRunner(StudyRunnerView& view, bool tutorMode);
  ~StudyRunner() override;

  // The lesson and its list; an empty path: no lesson. Stops nothing itself.
  void SetLesson(const std::string& lessonPath, std::vector<LExpressionEntry> expressions);
  const std::vector<LExpressionEntry>& Expressions() const { return expressions_; }

  void CmLessonStart();
  void StopLesson();
  void CmRedo(int selected);
  void CmPlay(int selected);
  void EvTimer(int id);

  int Mode() const { return iMode; }
  int CurrentExp() const { return iCurrentExp; }
  // Sound plays or the student is being recorded.
  bool Busy() const;
  bool TimerActive(int id) const;
  LSoundPlayer& Player() { return player_; }
  LSoundRecorder& Recorder() { return recorder_; }

  // Record file of list item index; "" when no lesson, no such item or no name.
  std::string GetRecording(int index) const;
  std::string GetStudentRecordingPath(int index) const;
  int32_t GetTutorLength() const;

  void srntfRecord(uint32_t user) override;
  void srntfStop(uint32_t user) override;
  void srntfLevel(const LLevelRecord& level, uint32_t user) override;
  void spntfPlay(uint32_t user) override;
  void spntfStop(uint32_t user) override;
  void spntfLevel(const LLevelRecord& level, uint32_t user) override;

 private:
  bool GoToNextExpression();
  bool PlayExpression(bool tutor);
  void RecordExpression();
  void RecordFailed();
  void FinishTake(bool keep);
  void SetTimer(int id, int milliseconds);
  void KillTimer(int id);
  void KillTimers();
  void SetMode(int mode);

  StudyRunnerView& view_;
  bool tutorMode_;
  std::string lessonPath_;
  std::vector<LExpressionEntry> expressions_;
  int iMode = kIdle;
  int iCurrentExp = 0;
  bool playingMine_ = false;  // Play: the student's recording is playing
  bool abandonTake_ = false;  // Stop: the take in progress is not kept
  std::string takePath_;      // the take being recorded, beside the old one
  std::string takeTarget_;    // where it goes when it holds audio
  LSoundSinkRef take_;
  // Slow replay: the tempo the tutor's recording last played at, and whether
  // the current play is the normal-speed pass that follows a slow one.
  double tutorTempo_ = 1.0;
  bool normalPass_ = false;
  std::map<int, QTimer*> timers_;
  LSoundRecorder recorder_;
  LSoundPlayer player_;
};

// The output device and volume of the settings, for the study window's other players.
void ApplyStudyOutputSettings(LSoundPlayer& player);
