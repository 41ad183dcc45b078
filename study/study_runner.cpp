#include "study/study_runner.h"

#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "framework/lfile.h"
#include "framework/settings.h"
#include "framework/widgets/win_defs.h"
#include "lessons/lesson.h"
#include "lessons/rich_audio_file.h"
#include "platform/app_paths.h"
#include "platform/audio/mixer.h"
#include "platform/debug_log.h"
#include "sound/files/wave_file.h"
#include "sound/processors.h"
#include "study/replay_speed.h"
#include "study/system_folders.h"

namespace {

constexpr char kReady[] = "Ready!";
constexpr int kPlayEndMarginMs = 500;
constexpr char kWaiting[] = "Waiting...";
constexpr char kCannotRecord[] = "Cannot record the expression. Please try again.";

int GapMs(const char* key) { return ReadSilenceGap(key) * 1000; }
int ClampDb(int db) { return std::clamp(db, -127, 127); }

void ApplyOutputSettings(LSoundPlayer& player) {
  int device = RegGetSettingInt("Settings", "SoundOutDevice", 0);
  player.SetDevice(uint32_t(std::max(device, 0)));
  SetOutputVolume(device - 1, ClampDb(RegGetUserSettingInt("Settings", "SoundOutVolume", 0)), 0);
}

void ApplyInputSettings(LSoundRecorder& recorder) {
  int device = RegGetSettingInt("Settings", "SoundInDevice", 0);
  int line = RegGetSettingInt("Settings", "SoundInChannel", -1);
  recorder.SetDevice(uint8_t(std::clamp(device, 0, 255)));
  LMixer::SetInputChannel(LMixerInputIndex(device), line,
                          ClampDb(RegGetUserSettingInt("Settings", "SoundInVolume", 0)));
}

}  // namespace

StudyRunner::StudyRunner(StudyRunnerView& view, bool tutorMode) : view_(view), tutorMode_(tutorMode) {
  player_.SetNotify(this, 0);
  recorder_.SetNotify(this, 0);
}

StudyRunner::~StudyRunner() {
  KillTimers();
  player_.SetNotify(nullptr, 0);
  recorder_.SetNotify(nullptr, 0);
  abandonTake_ = true;
  recorder_.Stop();
  player_.Stop();
  FinishTake(false);
}

void StudyRunner::SetLesson(const std::string& lessonPath, std::vector<LExpressionEntry> expressions) {
  lessonPath_ = lessonPath;
  expressions_ = lessonPath.empty() ? std::vector<LExpressionEntry>() : std::move(expressions);
  iCurrentExp = 0;
}

bool StudyRunner::Busy() const { return player_.IsOpen() || recorder_.GetState() == LSoundRecorder::RECORDING; }

bool StudyRunner::TimerActive(int id) const {
  auto it = timers_.find(id);
  return it != timers_.end() && it->second->isActive();
}

void StudyRunner::SetTimer(int id, int milliseconds) {
  QTimer*& timer = timers_[id];
  if (!timer) {
    timer = new QTimer(this);
    // The student's time to speak must not be cut short by a coarse timer.
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, id] { EvTimer(id); });
  }
  timer->start(std::max(0, milliseconds));
}

void StudyRunner::KillTimer(int id) {
  auto it = timers_.find(id);
  if (it != timers_.end()) it->second->stop();
}

void StudyRunner::KillTimers() {
  for (auto& [id, timer] : timers_) timer->stop();
}

void StudyRunner::SetMode(int mode) {
  iMode = mode;
  view_.RunnerModeChanged();
}

std::string StudyRunner::GetRecording(int index) const {
  if (lessonPath_.empty() || index < 0 || index >= int(expressions_.size())) return "";
  if (expressions_[size_t(index)].name.empty()) return "";
  return expressions_[size_t(index)].record;
}

std::string StudyRunner::GetStudentRecordingPath(int index) const {
  if (GetRecording(index).empty()) return "";
  std::string path = LLesson::GetRecordingsFolder(tutorMode_), lesson;
  LFile::GetFileTitleFromPath(lesson, lessonPath_);
  LFile::FilePathCat(path, lesson);
  LFile::FilePathCat(path, expressions_[size_t(index)].name, ".wav");
  return path;
}

int32_t StudyRunner::GetTutorLength() const {
  std::string record = GetRecording(iCurrentExp);
  if (record.empty()) return 0;
  LSoundSourceRef source = LRichAudioFile::OpenSource(record);
  if (!source.IsUsable()) return 0;
  return LSoundTime::FramesToMs(source->GetLength(), source->sampleRate);
}

// --- commands ---------------------------------------------------------------

void StudyRunner::CmLessonStart() {
  if (lessonPath_.empty() || iMode != kIdle) return;
  view_.RunnerMark(iCurrentExp, true);
  view_.RunnerShowExpression(iCurrentExp);
  normalPass_ = false;
  SetMode(kRun);
  if (!PlayExpression(true)) SetTimer(TM_PLAY, GapMs("PlaySilenceGaps"));
}

void StudyRunner::StopLesson() {
  // Set first: the stops below report synchronously and must only say "Ready!".
  iMode = kIdle;
  playingMine_ = false;
  normalPass_ = false;
  // In a gap no device is open, so no stop report will say "Ready!".
  const bool reports = player_.IsOpen() || recorder_.GetState() != LSoundRecorder::kIdle;
  abandonTake_ = true;
  recorder_.Stop();
  player_.Stop();
  abandonTake_ = false;
  FinishTake(false);
  KillTimers();
  view_.RunnerMark(iCurrentExp, false);
  iCurrentExp = 0;
  view_.RunnerSelectFirst();
  if (!reports) view_.RunnerStatus(kReady, StudyRunnerView::kNoIcon);
  view_.RunnerModeChanged();
}

void StudyRunner::CmRedo(int selected) {
  if (GetRecording(selected).empty()) return;
  // Both are idle when the command is enabled; stopped before the mode is
  // set so that a late stop cannot arm this command's timers.
  player_.Stop();
  recorder_.Stop();
  SetMode(kRedo);
  iCurrentExp = selected;
  if (!PlayExpression(true)) {
    view_.RunnerMessage("Your tutor has not recorded this expression. Please try again later.", "No Audio",
                        MB_ICONINFORMATION | MB_OK);
    SetMode(kIdle);
  }
}

void StudyRunner::CmPlay(int selected) {
  if (GetRecording(selected).empty()) return;
  player_.Stop();
  recorder_.Stop();
  SetMode(kPlay);
  playingMine_ = false;
  iCurrentExp = selected;
  if (!PlayExpression(true)) {
    view_.RunnerMessage("This expression has no audio. Please try again later.", "No Audio",
                        MB_ICONINFORMATION | MB_OK);
    SetMode(kIdle);
  }
}

// --- steps ------------------------------------------------------------------

bool StudyRunner::GoToNextExpression() {
  view_.RunnerMark(iCurrentExp, false);
  if (iCurrentExp < int(expressions_.size()) - 1) {
    ++iCurrentExp;
    view_.RunnerMark(iCurrentExp, true);
    view_.RunnerShowExpression(iCurrentExp);
    return true;
  }
  iCurrentExp = 0;
  return false;
}

bool StudyRunner::PlayExpression(bool tutor) {
  std::string record = GetRecording(iCurrentExp);
  if (record.empty()) return false;
  LSoundSourceRef source =
      tutor ? LRichAudioFile::OpenSource(record) : LWaveFile::OpenSource(GetStudentRecordingPath(iCurrentExp));
  if (!source.IsUsable()) return false;
  if (tutor) {
    // Slow replay at the student's speed; the pass after a slow one at normal speed.
    tutorTempo_ = normalPass_ && iMode == kRun ? 1.0 : ReadReplayTempo();
    source = LTempoProcessor(tutorTempo_).Open(source);
  }
  ApplyOutputSettings(player_);
  if (iMode == kPlay && !tutor) playingMine_ = true;
  if (!player_.Start(source)) {
    playingMine_ = false;
    return false;
  }
  // Only a safety net: the sound server still holds the last part of the
  // take when the length has passed, so the player's own stop ends Play.
  if (playingMine_)
    SetTimer(TM_PLAYEND, LSoundTime::FramesToMs(source->GetLength(), source->sampleRate) + kPlayEndMarginMs);
  return true;
}

void StudyRunner::RecordExpression() {
  if (GetRecording(iCurrentExp).empty()) return RecordFailed();
  recorder_.Stop();
  LPlayResourceSound(1);
  takeTarget_ = GetStudentRecordingPath(iCurrentExp);
  std::string folder;
  LFile::GetFolderFromPath(folder, takeTarget_);
  PlatformMakeFolders(folder);
  // The take goes beside the earlier one and replaces it only when it holds audio.
  takePath_ = takeTarget_ + ".take";
  take_ = LWaveFile::OpenSinkPCM(takePath_, kRecordRate, 1, 16, 0);
  if (take_.IsEmpty() || !take_->IsUsable()) {
    LDebugLog("StudyRunner::RecordExpression cannot create %s", takePath_.c_str());
    FinishTake(false);
    return RecordFailed();
  }
  ApplyInputSettings(recorder_);
  // Measured before the start, so that the timer is armed the moment the recorder runs.
  // The student who heard it slowly may repeat it slowly too.
  int32_t length = int32_t(std::ceil(GetTutorLength() / tutorTempo_)) + kRecordExtraMs;
  int level = ClampDb(RegGetUserSettingInt("Settings", "VoiceActivateLevel", -18));
  if (!recorder_.Start(take_, kMaxRecordMs, level, kHoldMs, 0)) {
    LDebugLog("StudyRunner::RecordExpression the recorder refused");
    FinishTake(false);
    return RecordFailed();
  }
  SetTimer(TM_RECORDSTOP, length);
}

void StudyRunner::RecordFailed() {
  int mode = iMode;
  view_.RunnerStatus(kReady, StudyRunnerView::kNoIcon);
  view_.RunnerMessage(kCannotRecord, "", MB_ICONERROR | MB_OK);
  if (iMode != mode) return;  // stopped meanwhile
  if (iMode == kRun) {
    // The run goes on with the next expression after the usual gap.
    view_.RunnerStatus(kWaiting, StudyRunnerView::kNoIcon);
    SetTimer(TM_PLAY, GapMs("PlaySilenceGaps"));
  } else {
    SetMode(kIdle);
  }
}

void StudyRunner::FinishTake(bool keep) {
  if (takePath_.empty()) return;
  bool hasAudio = !take_.IsEmpty() && take_->sPosition > 0;
  take_.Release();  // the last holder closes the file and writes its sizes
  if (keep && hasAudio) {
    if (std::rename(takePath_.c_str(), takeTarget_.c_str()) != 0)
      LDebugLog("StudyRunner::FinishTake cannot replace %s", takeTarget_.c_str());
  } else {
    std::remove(takePath_.c_str());
  }
  takePath_.clear();
  takeTarget_.clear();
}

void StudyRunner::EvTimer(int id) {
  KillTimer(id);
  switch (id) {
    case TM_PLAY:
      if (iMode != kRun) return;
      if (!GoToNextExpression()) {
        view_.RunnerStatus(kReady, StudyRunnerView::kNoIcon);
        SetMode(kIdle);
      } else if (!PlayExpression(true)) {
        SetTimer(TM_PLAY, GapMs("PlaySilenceGaps"));
      }
      break;
    case TM_PLAYNORMAL:
      if (iMode != kRun) return;
      if (!PlayExpression(true)) {
        normalPass_ = false;
        SetTimer(TM_PLAY, GapMs("PlaySilenceGaps"));
      }
      break;
    case TM_RECORD:
      if (iMode == kRun || iMode == kRedo) RecordExpression();
      break;
    case TM_RECORDSTOP:
      recorder_.Stop();
      break;
    case TM_PLAYMINE:
      if (iMode != kPlay) return;
      if (!PlayExpression(false)) {
        view_.RunnerStatus(kReady, StudyRunnerView::kNoIcon);
        view_.RunnerMessage("You have not recorded this expression yet.", "No Audio", MB_ICONINFORMATION | MB_OK);
        SetMode(kIdle);
      }
      break;
    case TM_PLAYEND:
      if (iMode != kPlay || !playingMine_) return;
      iMode = kIdle;
      playingMine_ = false;
      if (player_.IsOpen())
        player_.Stop();  // reports "Ready!"
      else
        view_.RunnerStatus(kReady, StudyRunnerView::kNoIcon);
      view_.RunnerModeChanged();
      break;
    default:
      break;
  }
}

// --- notifications ------------------------------------------------------------

void StudyRunner::spntfPlay(uint32_t) {
  view_.RunnerStatus("Playing...", StudyRunnerView::kPlayingIcon);
  view_.RunnerModeChanged();
}

void StudyRunner::spntfStop(uint32_t) {
  view_.RunnerLevel(LLevelRecord::Silence());
  const char* status = kWaiting;
  switch (iMode) {
    case kRun:
      if (view_.RunnerStudyMode() == 0 && !normalPass_ && tutorTempo_ < 1.0 && ReadSlowThenNormal()) {
        // "Slow, then normal": the same expression again at once, then the gap.
        normalPass_ = true;
        SetTimer(TM_PLAYNORMAL, 0);
      } else if (view_.RunnerStudyMode() == 0) {
        normalPass_ = false;
        SetTimer(TM_PLAY, GapMs("PlaySilenceGaps"));
      } else
        SetTimer(TM_RECORD, GapMs("RecordSilenceGaps"));
      break;
    case kPlay:
      if (playingMine_) {
        // The end of the student's recording ends the command, once.
        playingMine_ = false;
        KillTimer(TM_PLAYEND);
        iMode = kIdle;
        status = kReady;
      } else {
        SetTimer(TM_PLAYMINE, GapMs("PlaySilenceGaps"));
      }
      break;
    case kRedo:
      SetTimer(TM_RECORD, GapMs("RecordSilenceGaps"));
      break;
    default:
      status = kReady;
      break;
  }
  view_.RunnerStatus(status, StudyRunnerView::kNoIcon);
  view_.RunnerModeChanged();
}

void StudyRunner::srntfRecord(uint32_t) {
  view_.RunnerStatus("Speak Now...", StudyRunnerView::kRecordingIcon);
  view_.RunnerModeChanged();
}

void StudyRunner::srntfStop(uint32_t) {
  KillTimer(TM_RECORDSTOP);
  FinishTake(!abandonTake_);
  view_.RunnerLevel(LLevelRecord::Silence());
  view_.RunnerStatus(kReady, StudyRunnerView::kNoIcon);
  switch (iMode) {
    case kRun:
      if (view_.RunnerStudyMode() == 0) return;
      SetTimer(TM_PLAY, GapMs("PlaySilenceGaps"));
      view_.RunnerStatus(kWaiting, StudyRunnerView::kNoIcon);
      break;
    case kRedo:
      iMode = kIdle;
      break;
    default:
      break;
  }
  view_.RunnerModeChanged();
}

void StudyRunner::srntfLevel(const LLevelRecord& level, uint32_t) { view_.RunnerLevel(level); }
void StudyRunner::spntfLevel(const LLevelRecord& level, uint32_t) { view_.RunnerLevel(level); }

void ApplyStudyOutputSettings(LSoundPlayer& player) { ApplyOutputSettings(player); }
