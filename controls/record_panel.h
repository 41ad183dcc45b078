#pragma once
// LRecordDlg, "Record Control": the player panel plus recording. Recording
// starts as the panel opens; F8 records from the position, F6 restarts, F7
// re-takes from where the last recording began, F5 finishes with "Record
// Next". Takes go to a work file (LPanelTake) that replaces the file's audio
// only when the panel closes with a take holding audio.
//
// LRecordDlgAdvanced, "Advanced Settings": AutoTrim, voice-activated
// recording and the threshold (LRecordOptions).
#include <string>

#include "controls/player_panel.h"
#include "sound/sound_recorder.h"

class LRecordDlg : public LPlayerBaseDlg, public LSoundRecorderNotify {
 public:
  enum RecordControlId : int {
    kRecordDevice = 100,
    kInputLine = 101,
    kRecordVolume = 102,
    kAdvanced = 109,
    kRecord = 110,
    kMixer = 119,
    kStatus = 121,  // why the recorder did not start
  };
  enum Result : int { kFailed = 0, kDone = 1, kRecordNext = 2 };

  // Runs the panel modally over file; kFailed when the last recording could
  // not start or the take could not be put in place.
  static int Run(QWidget* owner, LPanelFile& file);
  static const LDialogTemplate& Template();

  LRecordDlg(LPanelFile& file, int* result);
  ~LRecordDlg() override;

  void InitDialog() override;
  void UpdateControls() override;
  void EvCommand(int id, int notifyCode) override;
  void DestroyDialog() override;
  bool EvKeyDown(int key) override;
  void CmStop() override;

  void srntfRecord(uint32_t user) override;
  void srntfWait(uint32_t user) override;
  void srntfStop(uint32_t user) override;
  void srntfTime(int32_t milliseconds, uint32_t user) override;
  void srntfLevel(const LLevelRecord& levels, uint32_t user) override;

  void Record(int32_t startMs);

  const LSoundRecorder& Recorder() const { return recorder_; }
  int32_t RetakeStart() const { return retakeStart_; }
  const LPanelTake& Take() const { return take_; }

 protected:
  LSoundSourceRef OpenPanelSource() override { return take_.OpenSource(); }

 private:
  bool Recording() const { return recorder_.GetState() != LSoundRecorder::kIdle; }
  void FillInputLines();
  void ShowVolumeOrMixer();
  void ApplyRecordVolume();
  void SetRecordButtons(bool recording);
  void ShowStatus(const std::string& text);
  void Finish(int result);

  int* result_;
  int32_t retakeStart_ = 0;
  bool startFailed_ = false;
  LSoundRecorder recorder_;
  LPanelTake take_;
};

class LRecordDlgAdvanced : public LDialog {
 public:
  enum ControlId : int { kAutoTrim = 101, kVoice = 102, kThresholdLabel = 103, kThreshold = 104 };
  static const LDialogTemplate& Template();
  void InitDialog() override;
  void UpdateControls() override;
  bool CmOk() override;
};
