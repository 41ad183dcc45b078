#pragma once
// Lessons made at test time, a runner view that logs what it is told, and the
// virtual microphone that speaks a phrase in each take.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "framework/settings.h"
#include "lessons/expression_order.h"
#include "lessons/rich_audio_file.h"
#include "sound/files/vok_encoder.h"
#include "study/study_runner.h"
#include "tests/support/memory_audio.h"
#include "tests/support/test_support.h"
#include "tests/support/virtual_audio_scope.h"

namespace studytest {

using Clock = std::chrono::steady_clock;
inline double MsSince(Clock::time_point start, Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(t - start).count();
}

// lo <= value <= hi, for EXPECT_PRED3 (which shows all three when it fails).
inline bool Within(double value, double lo, double hi) { return lo <= value && value <= hi; }

using testsupport::Pump;
using testsupport::WaitFor;

class Lesson {
 public:
  // In a folder of its own, or in root (a lessons folder) when one is given.
  explicit Lesson(const std::string& name, int studyMode = 0, const std::string& root = "")
      : folder_((root.empty() ? root_.Path() : root) + "/" + name), path_(folder_ + "/" + name + ".ini") {
    testsupport::RunCommand("mkdir -p '" + folder_ + "'");
    testsupport::WriteFileText(path_, "[study]\r\nmode=" + std::to_string(studyMode) + "\r\n");
  }
  const std::string& Path() const { return path_; }
  const std::string& Folder() const { return folder_; }

  // type: kAudioTypeWav, kAudioTypeMp3 (through lame) or kAudioTypeVok; an
  // empty clip leaves the expression without audio.
  bool Add(const std::string& name, int order, int type, const std::vector<int16_t>& clip, int rate = 22050) {
    std::string base = folder_ + "/" + name;
    testsupport::WriteFileText(base + ".raf", "[raf]\r\naudiotype=" + std::to_string(type) +
                                                  "\r\n[expression]\r\norder=" + std::to_string(order) + "\r\n");
    if (clip.empty()) return true;
    if (type == kAudioTypeWav) return testsupport::WriteWav16(base + ".wav", rate, 1, clip);
    if (type == kAudioTypeVok) {
      std::vector<int32_t> scaled(clip.begin(), clip.end());
      for (int32_t& s : scaled) s *= 16;
      return WriteVOKFile(base + ".vok", scaled, uint32_t(rate), 1);
    }
    std::string wav = root_.Path() + "/lame-in.wav";
    return testsupport::WriteWav16(wav, rate, 1, clip) &&
           testsupport::RunCommand("lame --quiet -b 128 '" + wav + "' '" + base + ".mp3'") == 0;
  }

 private:
  testsupport::TempFolder root_;
  std::string folder_, path_;
};

// A burst of noise at half scale: unlike a tone, no part of it matches another.
inline std::vector<int16_t> Noise(int ms, unsigned seed) {
  std::vector<int16_t> out(size_t(22050) * size_t(ms) / 1000);
  for (int16_t& s : out) {
    seed = seed * 1103515245u + 12345u;
    s = int16_t(int((seed >> 16) & 0x7FFF) - 0x4000);
  }
  return out;
}

inline std::vector<int16_t> Tone(int ms, double hz) {
  return testsupport::Tone(22050, 1, 22050 * ms / 1000, hz, 16000);
}

// A clip of ms at hz a, then ms at hz b.
inline std::vector<int16_t> TwoTones(int ms, double a, double b) {
  std::vector<int16_t> clip = Tone(ms, a), high = Tone(ms, b);
  clip.insert(clip.end(), high.begin(), high.end());
  return clip;
}

struct Note {
  double hz, startMs, endMs;
};

// The runs of the tones hz in 10 ms blocks: a block holds the tone with 80% of
// their power (Goertzel) and as loud as amplitude 4500, or none; a run goes on
// over a gap under 50 ms.
inline std::vector<Note> Notes(const std::vector<int16_t>& samples, int rate, const std::vector<double>& hz) {
  const size_t block = size_t(rate) / 100;
  const double loud = std::pow(4500.0 * double(block) / 2, 2);
  std::vector<Note> runs;
  for (size_t at = 0; at + block <= samples.size(); at += block) {
    double total = 0, best = 0, tone = 0;
    for (double f : hz) {
      double k = 2 * std::cos(2 * M_PI * f / rate), a = 0, b = 0;
      for (size_t i = 0; i < block; ++i) b = std::exchange(a, samples[at + i] + k * a - b);
      const double e = a * a + b * b - k * a * b;
      total += e;
      tone = e > best ? f : tone;
      best = std::max(best, e);
    }
    const double ms = 10.0 * double(at / block);  // blocks counted as 10 ms
    if (best <= 0.8 * total || total <= loud) continue;
    if (!runs.empty() && runs.back().hz == tone && ms - runs.back().endMs < 50)
      runs.back().endMs = ms + 10;
    else
      runs.push_back({tone, ms, ms + 10});
  }
  return runs;
}

// The tutor's audio of a record as the player sends it, 16-bit.
inline std::vector<int16_t> Decoded(const std::string& record) {
  std::vector<int16_t> out;
  LSoundSourceRef source = LRichAudioFile::OpenSource(record);
  if (!source.IsUsable()) return out;
  for (int32_t s : testsupport::ReadToEnd(*source, 4096)) out.push_back(int16_t(std::clamp(s / 16, -32768, 32767)));
  return out;
}

// Where needle's first sound (its first `n` samples from there) is in hay at
// or after from (normalised correlation at least 0.98), or -1.
inline long Find(const std::vector<int16_t>& hay, const std::vector<int16_t>& needle, size_t from, size_t n = 1500) {
  n = std::min(n, needle.size());
  size_t skip = 0;  // start at the first sound of the needle
  while (skip < needle.size() && std::abs(needle[skip]) < 64) ++skip;
  if (skip + n > needle.size()) return -1;
  for (size_t at = from; at + n <= hay.size(); ++at) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
      ab += double(hay[at + i]) * needle[skip + i];
      aa += double(hay[at + i]) * hay[at + i];
      bb += double(needle[skip + i]) * needle[skip + i];
    }
    if (aa > 0 && bb > 0 && ab / std::sqrt(aa * bb) >= 0.98) return long(at);
  }
  return -1;
}

// What the runner tells its window, with times.
class LogView : public StudyRunnerView {
 public:
  void RunnerStatus(const std::string& text, Icon) override { Add("status " + text); }
  void RunnerLevel(const LLevelRecord&) override {}
  void RunnerMark(int index, bool marked) override { marked_ = marked ? index : marked_; }
  void RunnerShowExpression(int) override {}
  void RunnerSelectFirst() override {}
  void RunnerModeChanged() override {
    if (runner && runner->Mode() != mode_) {
      mode_ = runner->Mode();
      Add("mode " + std::to_string(mode_));
    }
  }
  void RunnerMessage(const std::string& text, const std::string&, unsigned) override { Add("message " + text); }
  int RunnerStudyMode() override { return studyMode; }

  void Add(const std::string& what) {
    // Repeated statuses say nothing new to the user.
    if (!log.empty() && log.back() == what && what.rfind("status", 0) == 0) return;
    log.push_back(what);
    times.push_back(Clock::now());
  }
  void Clear() {
    log.clear();
    times.clear();
  }
  // Time of the n-th (from 0) entry equal to what.
  Clock::time_point When(const std::string& what, int n = 0) const {
    for (size_t i = 0; i < log.size(); ++i)
      if (log[i] == what && n-- == 0) return times[i];
    return {};
  }
  int Count(const std::string& what) const { return int(std::count(log.begin(), log.end(), what)); }

  StudyRunner* runner = nullptr;
  int studyMode = 0;
  int marked_ = -1, mode_ = 0;
  std::vector<std::string> log;
  std::vector<Clock::time_point> times;
};

// The virtual microphone: in take k (each opening of the input), silence for
// `leadMs`, then phrase k; it notes when each take opened and when its voice
// reached the recorder.
struct Microphone {
  std::vector<std::vector<int16_t>> phrases;
  int leadMs = 300;
  std::mutex lock;
  std::vector<Clock::time_point> opened, voiced;

  std::vector<size_t> onsets;  // first sample at the recorder's start level (-18 dB)

  void Install() {
    opened.clear();
    voiced.clear();
    onsets.clear();
    for (const auto& p : phrases) {
      size_t i = 0;
      while (i < p.size() && std::abs(p[i]) < 4125) ++i;
      onsets.push_back(i);
    }
    LVirtualAudioConfig config = LVirtualAudio::GetConfig();
    config.speed = 1.0;
    config.captureOutput = true;
    config.inputGenerator = [this](int16_t* samples, int frames, int channels, int64_t position) {
      std::lock_guard<std::mutex> guard(lock);
      if (position == 0) opened.push_back(Clock::now());
      size_t take = opened.empty() ? 0 : opened.size() - 1;
      const std::vector<int16_t>* phrase = take < phrases.size() ? &phrases[take] : nullptr;
      int64_t onset = take < onsets.size() ? int64_t(onsets[take]) : 0;
      int64_t lead = int64_t(leadMs) * 22050 / 1000;
      for (int f = 0; f < frames; ++f) {
        int64_t at = position + f - lead;
        int16_t s = phrase && at >= 0 && at < int64_t(phrase->size()) ? (*phrase)[size_t(at)] : 0;
        if (at == onset && phrase) voiced.push_back(Clock::now());
        for (int c = 0; c < channels; ++c) samples[f * channels + c] = s;
      }
    };
    LVirtualAudio::SetConfig(config);
    LVirtualAudio::ClearCapture();
  }
};

inline void SetGaps(int play, int record) {
  RegSetUserSettingInt("Settings", "PlaySilenceGaps", play);
  RegSetUserSettingInt("Settings", "RecordSilenceGaps", record);
}

// A runner over a lesson, telling a LogView.
struct Session {
  explicit Session(const Lesson& lesson, int studyMode = 0) : runner(view, false) {
    view.runner = &runner;
    view.studyMode = studyMode;
    runner.SetLesson(lesson.Path(), ListExpressionsInOrder(lesson.Path()));
  }
  bool WaitIdle(int limitMs) {
    return WaitFor([&] { return runner.Mode() == 0 && !runner.Busy(); }, limitMs);
  }
  LogView view;
  StudyRunner runner;
};

// Settings of the test's own, a recordings folder and the microphone; every
// device closed at the end.
class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetGaps(1, 1);
    RegSetUserSetting("SystemFolders", "StudentRecordings", recordings.Path());
    mic.Install();
  }
  void TearDown() override {
    EXPECT_EQ(LVirtualAudio::OpenOutputs() + LVirtualAudio::OpenInputs(), 0) << "devices left open";
  }
  testsupport::PrivateHome home;
  testsupport::TempFolder recordings;
  Microphone mic;
  testsupport::VirtualAudioScope audio;  // ends before the microphone it calls
};

}  // namespace studytest
