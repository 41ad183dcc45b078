#pragma once
// The player and record panels' logic, apart from their widgets: position
// display and scroll arithmetic, the waveform's view around the position,
// the rewind and forward runs, and how the record options become the
// recorder's start level and hold time.
#include <cstdint>
#include <string>

// "h:mm:ss.hh", rounded to the nearest hundredth; negative times show as 0.
std::string LPanelTimeText(int32_t ms);
// The scroll bar's 0..100: position / length x 100, truncated; 0 for an empty
// file, 100 for a position beyond the end.
int LPanelScrollPercent(int32_t positionMs, int32_t lengthMs);

// Scroll-bar codes as the panel's scroll handler receives them.
enum LScrollCode : int {
  kScrollLineLeft = 0,
  kScrollLineRight = 1,
  kScrollPageLeft = 2,
  kScrollPageRight = 3,
  kScrollThumbPosition = 4,
  kScrollThumbTrack = 5,
  kScrollLeft = 6,
  kScrollRight = 7,
  kScrollEnd = 8,
};
// The new position for a stepping or thumb code; -1 for the codes that are
// commands of their own (to the start, to the end) or none.
int32_t LPanelScrollTarget(int code, int thumb, int32_t positionMs, int32_t lengthMs);

// The waveform around a position: the cursor (or, while scrubbing, the 25 ms
// heard) and the two seconds from one second before it.
struct LPanelWaveView {
  int32_t selectionStart = 0;
  int32_t selectionLength = 0;
  int32_t viewStart = 0;
  int32_t viewLength = 0;
};
LPanelWaveView LPanelWaveViewAt(int32_t positionMs, int32_t rate, bool cueing, int32_t playerRate);

// A rewind or forward run: plays the file backward or forward at a speed
// that ramps up while the button is held, then restores what the player did.
class LSeekRun {
 public:
  enum Direction { kBack = 0, kForward = 1 };
  enum PlayerState { kIdle = 0, kCueing = 1, kPlaying = 2 };
  struct Speeds {
    double start;
    double end;
  };
  static constexpr int32_t kRampMs = 8000;

  static Speeds SpeedsFor(Direction direction, PlayerState before);

  bool IsActive(Direction direction) const { return active_[direction]; }
  bool AnyActive() const { return active_[kBack] || active_[kForward]; }
  PlayerState Before() const { return before_; }
  void Begin(Direction direction, PlayerState before);
  // Ends both runs; returns the state to restore.
  PlayerState End();

 private:
  bool active_[2] = {false, false};
  PlayerState before_ = kIdle;
};

// The advanced record options (section "Recorder" of the machine-wide store).
struct LRecordOptions {
  static constexpr int kMinThreshold = -40;
  static constexpr int kMaxThreshold = -6;
  static constexpr int32_t kNeverPauseMs = 216000000;
  static constexpr int32_t kVoiceHoldMs = 5000;

  bool autoTrim = true;
  bool voiceOperated = false;
  int thresholdDb = -24;

  static LRecordOptions Load();
  void Store() const;
  // Without AutoTrim every sample is recorded; with it the recorder waits
  // for the threshold and cuts the quiet end; voice operation also cuts
  // pauses longer than the hold.
  int StartLevel() const;
  int32_t HoldMs() const;
};
