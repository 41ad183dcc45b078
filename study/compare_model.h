#pragma once
// What the compare view shows, worked out away from any window: both takes in
// 10 ms frames (waveform peaks, loudness, pitch in semitones about the
// speaker's median), the student's frames warped onto the tutor's time, the
// marked pitch differences and a similarity. CompareJob does the work on a
// worker thread; the view only draws the result.
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "analysis/align.h"
#include "analysis/analysis_audio.h"
#include "analysis/compare.h"
#include "framework/lthread.h"
#include "sound/sound_stream.h"

constexpr double kCompareFrameSeconds = 0.01;
constexpr float kCompareQuietDb = -60;  // loudness floor

struct LCompareTrack {
  std::vector<float> low, high;   // waveform extremes of each frame, full scale 1
  std::vector<float> loudnessDb;  // RMS of each frame, at least kCompareQuietDb
  std::vector<float> semitones;   // about the speaker's median; NaN where unvoiced
  double seconds = 0;
  size_t Frames() const { return loudnessDb.size(); }
};

struct LCompareResult {
  bool ok = false;  // false: a take could not be read or holds no sound
  LCompareTrack tutor, student;
  std::vector<LAlignPair> path;  // the student time of every tutor frame
  std::vector<LPitchDifference> differences;
  double similarity = 0;
};

// The track of one take (no pitch comparison yet).
LCompareTrack CompareTrackOf(const LAnalysisAudio& audio, const std::vector<float>& hz);
// Both takes analysed and aligned; keepGoing() false ends it early (ok false), within a step.
LCompareResult AnalyseTakes(
    const LAnalysisAudio& tutor, const LAnalysisAudio& student,
    const std::function<bool()>& keepGoing = [] { return true; });

// The student time that matches a tutor time (clamped to the path).
double StudentSecondsAt(const std::vector<LAlignPair>& path, double tutorSeconds);
// The student stretch that matches the tutor stretch [from, to): from the
// earliest to the latest student time the path gives any of its frames.
std::pair<double, double> StudentRegion(const std::vector<LAlignPair>& path, double from, double to);
// A click at a tutor time: the stretch of sound around it, bounded by pauses
// (50 ms at 25 dB under the loudest frame) or the ends.
std::pair<double, double> SoundAround(const LCompareTrack& tutor, double seconds);

// The quiet hint that an expression may be worth practising again; never a grade.
bool WorthAnotherTry(const LCompareResult& result);

// Runs AnalyseTakes on a worker and calls done on the constructing (window)
// thread. The sources are opened by the caller and read only by the worker;
// destroying the job mid-analysis stops it within milliseconds.
class CompareJob : public LThread, public LThreadQueuedNotify {
 public:
  CompareJob(LSoundSourceRef tutor, LSoundSourceRef student, std::function<void(const LCompareResult&)> done);
  ~CompareJob() override;
  void Start() { LThread::Start(kThreadPriorityBelowNormal); }

 protected:
  void ThreadFunction() override;
  void EvNotify() override;

 private:
  LSoundSourceRef tutor_, student_;
  std::function<void(const LCompareResult&)> done_;
  std::mutex lock_;
  std::unique_ptr<LCompareResult> result_;  // set by the worker, taken by EvNotify
};
