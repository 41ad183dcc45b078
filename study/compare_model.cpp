#include "study/compare_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/pitch_track.h"

namespace {

constexpr int kPauseFrames = 10;        // a tenth of a second
constexpr float kPauseBelowDb = 30;     // under the loudest frame
constexpr int kSearchFrames = 50;       // half a second either way
constexpr double kShortestClick = 0.3;  // seconds a click plays at least
constexpr double kWorthAnotherTry = 0.5;

static_assert(kCompareFrameSeconds == kPitchFrameSeconds && kCompareFrameSeconds == kAlignFrameSeconds);

int FrameAt(double seconds, size_t frames) {
  if (frames == 0) return 0;
  return int(std::clamp<double>(std::floor(seconds / kCompareFrameSeconds), 0, double(frames - 1)));
}

}  // namespace

LCompareTrack CompareTrackOf(const LAnalysisAudio& audio, const std::vector<float>& hz) {
  LCompareTrack track;
  // The exact fractional hop, as pitch and alignment use, so the lanes keep
  // step with the contour and the path at any rate.
  const double hop = audio.rate * kCompareFrameSeconds;
  const size_t n = audio.samples.size();
  const size_t frames = size_t(PitchFrames(n, audio.rate));
  track.low.resize(frames);
  track.high.resize(frames);
  track.loudnessDb.resize(frames);
  auto sampleAt = [&](size_t f) { return std::min(n, size_t(std::llround(double(f) * hop))); };
  for (size_t f = 0; f < frames; ++f) {
    const size_t from = sampleAt(f), to = sampleAt(f + 1);
    float low = 0, high = 0;
    double energy = 0;
    for (size_t i = from; i < to; ++i) {
      const float s = audio.samples[i];
      low = std::min(low, s);
      high = std::max(high, s);
      energy += double(s) * s;
    }
    track.low[f] = low;
    track.high[f] = high;
    const double rms = std::sqrt(energy / double(std::max<size_t>(1, to - from)));
    track.loudnessDb[f] = rms > 0 ? std::max(kCompareQuietDb, float(20 * std::log10(rms))) : kCompareQuietDb;
  }
  track.semitones = SemitonesAboutMedian(hz);
  track.semitones.resize(frames, std::numeric_limits<float>::quiet_NaN());
  track.seconds = audio.rate > 0 ? double(n) / audio.rate : 0;
  return track;
}

LCompareResult AnalyseTakes(const LAnalysisAudio& tutor, const LAnalysisAudio& student,
                            const std::function<bool()>& keepGoing) {
  LCompareResult result;
  if (tutor.rate <= 0 || student.rate <= 0 || tutor.samples.empty() || student.samples.empty()) return result;
  const LAnalysisCancel cancel = [&keepGoing] { return !keepGoing(); };
  const std::vector<float> tutorHz = TrackPitch(tutor.samples, tutor.rate, {}, cancel);
  if (!keepGoing()) return result;
  const std::vector<float> studentHz = TrackPitch(student.samples, student.rate, {}, cancel);
  if (!keepGoing()) return result;
  result.path = AlignRecordings(tutor.samples, tutor.rate, student.samples, student.rate, cancel);
  if (!keepGoing() || result.path.empty()) return result;
  LPitchComparison pitch = ComparePitch(tutorHz, studentHz, result.path);
  result.differences = std::move(pitch.differences);
  result.similarity = pitch.similarity;
  result.tutor = CompareTrackOf(tutor, tutorHz);
  result.student = CompareTrackOf(student, studentHz);
  result.ok = true;
  return result;
}

double StudentSecondsAt(const std::vector<LAlignPair>& path, double tutorSeconds) {
  if (path.empty()) return tutorSeconds;
  return path[size_t(FrameAt(tutorSeconds, path.size()))].studentSeconds;
}

std::pair<double, double> StudentRegion(const std::vector<LAlignPair>& path, double from, double to) {
  if (path.empty()) return {from, to};
  if (to < from) std::swap(from, to);
  const int first = FrameAt(from, path.size());
  const int last = std::max(first, FrameAt(to - 1e-9, path.size()));
  double low = path[size_t(first)].studentSeconds, high = low;
  for (int i = first; i <= last; ++i) {
    low = std::min(low, path[size_t(i)].studentSeconds);
    high = std::max(high, path[size_t(i)].studentSeconds);
  }
  return {std::max(0.0, low), high + kCompareFrameSeconds};
}

std::pair<double, double> SoundAround(const LCompareTrack& tutor, double seconds) {
  const int n = int(tutor.Frames());
  if (n == 0) return {0, 0};
  const float threshold = *std::max_element(tutor.loudnessDb.begin(), tutor.loudnessDb.end()) - kPauseBelowDb;
  auto quiet = [&](int k) { return tutor.loudnessDb[size_t(k)] < threshold; };
  const int at = FrameAt(seconds, size_t(n));
  // Out from the click to a pause; connected speech may have none near, so
  // the search ends half a second out, at the quietest frame passed.
  auto edge = [&](int step) {
    int bound = at, run = 0, valley = -1;
    for (int k = at; k >= 0 && k < n && std::abs(k - at) <= kSearchFrames; k += step) {
      if (!quiet(k)) {
        run = 0;
        bound = k;
      } else if (++run >= kPauseFrames) {
        return bound;
      }
      if (std::abs(k - at) >= kPauseFrames &&
          (valley < 0 || tutor.loudnessDb[size_t(k)] < tutor.loudnessDb[size_t(valley)]))
        valley = k;
    }
    const bool reachedEnd = at + step * (kSearchFrames + 1) < 0 || at + step * (kSearchFrames + 1) >= n;
    return reachedEnd || valley < 0 ? bound : valley;
  };
  const int first = edge(-1), last = edge(+1);
  double from = first * kCompareFrameSeconds, to = (last + 1) * kCompareFrameSeconds;
  if (to - from < kShortestClick) {
    // A click in a pause still plays something around it.
    const double middle = (from + to) / 2;
    from = std::max(0.0, middle - kShortestClick / 2);
    to = std::min(n * kCompareFrameSeconds, from + kShortestClick);
  }
  return {from, to};
}

bool WorthAnotherTry(const LCompareResult& result) { return result.ok && result.similarity < kWorthAnotherTry; }

// --- the worker --------------------------------------------------------------

CompareJob::CompareJob(LSoundSourceRef tutor, LSoundSourceRef student, std::function<void(const LCompareResult&)> done)
    : tutor_(std::move(tutor)), student_(std::move(student)), done_(std::move(done)) {}

CompareJob::~CompareJob() {
  // Before the members the worker reads go away.
  StopThreadTimed(kThreadStopTimeoutMs);
}

void CompareJob::ThreadFunction() {
  auto keepGoing = [this] { return !IsToStop(); };
  const LAnalysisCancel cancel = [this] { return IsToStop(); };
  // The sources' handles are only read here: their counts belong to the window thread.
  const LAnalysisAudio tutor = AnalysisAudioFrom(tutor_, cancel);
  if (!keepGoing()) return;
  const LAnalysisAudio student = AnalysisAudioFrom(student_, cancel);
  if (!keepGoing()) return;
  auto result = std::make_unique<LCompareResult>(AnalyseTakes(tutor, student, keepGoing));
  if (!keepGoing()) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    result_ = std::move(result);
  }
  PostNotify();
}

void CompareJob::EvNotify() {
  std::unique_ptr<LCompareResult> result;
  {
    std::lock_guard<std::mutex> guard(lock_);
    result = std::move(result_);
  }
  if (result && done_) done_(*result);
}
