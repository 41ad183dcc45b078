#pragma once
// LPlayerBaseDlg: the playback half of the recording dialog. A transport row
// (Play, Scrub, Stop, Go to Start, Rewind, Forward, Go to End), a time
// display, a position scroll bar, the waveform around the position, a level
// meter, the playback device and volume, and the file's name, all over one
// LPanelFile. Rewind and Forward play the file backward or forward at a
// speed that ramps up while they are held. The record panel derives from it.
#include <QFont>
#include <cstdint>

#include "controls/panel_file.h"
#include "controls/panel_logic.h"
#include "framework/widgets/dialog.h"
#include "sound/sound_player.h"

class LDBDisplay;
class LWaveWindow;
class QBoxLayout;

class LPlayerBaseDlg : public LKeyDialog, public LSoundPlayerNotify {
 public:
  enum ControlId : int {
    kTimeDisplay = 103,
    kLevelMeter = 104,
    kWave = 105,
    kScroll = 106,
    kPlayDevice = 107,
    kPlayVolume = 108,
    kPlay = 111,
    kScrub = 112,
    kStop = 113,
    kStart = 114,
    kRewind = 115,
    kForward = 116,
    kEnd = 117,
    kName = 120,
  };

  explicit LPlayerBaseDlg(LPanelFile& file);
  ~LPlayerBaseDlg() override;

  // A window with the player's controls only.
  static const LDialogTemplate& Template();

  void InitDialog() override;
  void UpdateControls() override;
  void EvCommand(int id, int notifyCode) override;
  void DestroyDialog() override;
  bool DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) override;
  bool EvKeyDown(int key) override;
  bool EvKeyUp(int key) override;
  // The display server repeats a held key as release and press pairs: the
  // repeated releases are dropped so a held arrow keeps its run going, and
  // an arrow's release takes effect only when no press follows at once.
  bool TranslateKey(const LKeyMessage& message) override;
  static constexpr int kReleaseTimer = 1;
  static constexpr int kReleaseDelayMs = 40;
  virtual void CmStop();

  void spntfPlay(uint32_t user) override;
  void spntfStop(uint32_t user) override;
  void spntfCue(uint32_t user) override;
  void spntfPause(uint32_t user) override;
  void spntfTime(int32_t milliseconds, uint32_t user) override;
  void spntfLevel(const LLevelRecord& levels, uint32_t user) override;

  void CmPlay();
  void CmScrub();
  void CmStart();
  void CmEnd();
  void CmPlayEnd();
  void CmBack();
  void CmFwd();
  void CmBackFwdStop();
  void SetPosition(int32_t ms);
  void StartWaveScan();

  int32_t Position() const { return position_; }
  int32_t Length() const { return length_; }
  int32_t Rate() const { return rate_; }
  const LSoundPlayer& Player() const { return player_; }
  const LSeekRun& SeekRun() const { return seekRun_; }

  // The controls both panels share, in a layout of the template; a record
  // button with recordId leads the transport row when it is not 0.
  static void BuildPlayerControls(QDialog* window, QBoxLayout* layout, int recordId = 0);

 protected:
  // What the panel plays: the file's audio (the record panel shows its take).
  virtual LSoundSourceRef OpenPanelSource();
  bool PlayerActive() const { return player_.IsOpen(); }
  bool PlayerCueing() const { return (player_.GetFlags() & LSoundPlayer::kCueLoop) != 0; }
  void UpdateTransport();
  void SetPushed(int id, bool pushed);
  void PressButton(int id, bool down);
  // Ends a held arrow's run without going back to the earlier state, and
  // lets go of its button, so the arrow's release finds nothing to end.
  void DropSeekRun();
  int SelectedEntry(int id) const;

  LPanelFile& file_;
  int32_t rate_ = 44100;
  int32_t position_ = 0;
  int32_t length_ = 0;
  LSoundPlayer player_;
  LDBDisplay* meter_ = nullptr;
  LWaveWindow* wave_ = nullptr;
  LSeekRun seekRun_;
  int pendingRelease_ = 0;  // the arrow whose release waits for kReleaseTimer
  QFont timeFont_;

 private:
  void CmSeekRun(LSeekRun::Direction direction);
  void FlushRelease();
  void OnScroll(int code, int thumb);
  void OnWaveClick();
  void ApplyPlayVolume();
};
