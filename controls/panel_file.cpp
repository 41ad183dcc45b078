#include "controls/panel_file.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/debug_log.h"
#include "sound/files/audio_file_open.h"
#include "sound/files/wave_file.h"

LPanelFile::LPanelFile(std::string name, std::string path, int32_t sampleRate, uint8_t channels, uint16_t flags)
    : flags(flags), name(std::move(name)), path(std::move(path)), sampleRate(sampleRate), channels(channels) {}

LSoundSourceRef LPanelFile::OpenSource() { return OpenAudioFileSource(path); }

LSoundSinkRef LPanelFile::OpenSink(const std::string& sinkPath, int32_t startMs) {
  if (sampleRate < 1 || channels < 1) return LSoundSinkRef();
  return LWaveFile::OpenSinkPCM(sinkPath, uint32_t(sampleRate), channels, 16,
                                LSoundTime::MsToFrames(std::max(startMs, 0), sampleRate));
}

namespace {

// The path without the extension of its file name.
std::string Stem(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  size_t dot = path.rfind('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
}

}  // namespace

bool LPanelFile::PutTakeInPlace(const std::string& takePath) {
  std::string replaced;
  if (!PlaceTake(takePath, &replaced)) return false;
  RemoveReplaced(replaced);
  return true;
}

bool LPanelFile::PlaceTake(const std::string& takePath, std::string* replaced) {
  replaced->clear();
  // A take is WAV data: it never goes under an MP3 or VOK name.
  std::string target = AudioFileHasExtension(path, ".wav") ? path : Stem(path) + ".wav";
  if (std::rename(takePath.c_str(), target.c_str()) != 0) {
    LDebugLog("LPanelFile::PlaceTake cannot rename %s", takePath.c_str());
    return false;
  }
  if (target != path) {
    *replaced = path;
    path = target;
  }
  return true;
}

void LPanelFile::RemoveReplaced(const std::string& replaced) {
  if (!replaced.empty()) unlink(replaced.c_str());
}

LPanelTake::LPanelTake(LPanelFile& file)
    : file_(file), workPath_(WorkPathFor(file.path)), savedPath_(Stem(file.path) + ".take-before.wav") {}

LPanelTake::~LPanelTake() {
  Keep();
  if (started_) unlink(workPath_.c_str());
}

std::string LPanelTake::WorkPathFor(const std::string& path) { return Stem(path) + ".take.wav"; }

bool LPanelTake::TakeHoldsAudio() const {
  if (!started_) return false;
  LSoundSourceRef take = LWaveFile::OpenSource(workPath_);
  return take.IsUsable() && take->GetLength() > copiedFrames_;
}

LSoundSourceRef LPanelTake::OpenSource() {
  return TakeHoldsAudio() ? LWaveFile::OpenSource(workPath_) : file_.OpenSource();
}

int32_t LPanelTake::Seed(int32_t startMs) {
  // The first take from a later point continues the file's own audio, as
  // recording into the file itself would.
  LSoundSourceRef source = file_.OpenSource();
  if (startMs <= 0 || !source.IsUsable() || source->sampleRate != file_.sampleRate ||
      source->channels != file_.channels)
    return 0;
  LSoundSinkRef sink = file_.OpenSink(workPath_, 0);
  if (!sink.IsUsable()) return 0;
  int32_t frames = std::min(LSoundTime::MsToFrames(startMs, file_.sampleRate), source->GetLength());
  std::vector<int32_t> block(size_t(kWaveFramesPerBlock) * file_.channels);
  source->Seek(0);
  for (int32_t done = 0; done < frames;) {
    int n = std::min(frames - done, kWaveFramesPerBlock);
    source->Read(block.data(), n);
    sink->Write(block.data(), n);
    done += n;
  }
  return frames;
}

LSoundSinkRef LPanelTake::OpenSink(int32_t startMs) {
  Keep();
  savedCopiedFrames_ = copiedFrames_;
  if (TakeHoldsAudio()) {
    // The sink cuts the take at startMs before anyone knows the recording
    // can start: keep it whole until then.
    std::error_code error;
    saved_ =
        std::filesystem::copy_file(workPath_, savedPath_, std::filesystem::copy_options::overwrite_existing, error);
    if (!saved_) {
      LDebugLog("LPanelTake::OpenSink cannot keep the take aside: %s", error.message().c_str());
      return LSoundSinkRef();
    }
  } else {
    unlink(workPath_.c_str());  // a leftover or an empty take is no part of this take
    copiedFrames_ = Seed(startMs);
  }
  started_ = true;  // whatever is there now is ours to remove
  LSoundSinkRef sink = file_.OpenSink(workPath_, startMs);
  if (!sink.IsUsable()) {
    sink.Release();
    Revert();
    return LSoundSinkRef();
  }
  copiedFrames_ = std::min(copiedFrames_, sink->sPosition);
  return sink;
}

void LPanelTake::Keep() {
  if (saved_) unlink(savedPath_.c_str());
  saved_ = false;
}

void LPanelTake::Revert() {
  if (saved_) {
    if (std::rename(savedPath_.c_str(), workPath_.c_str()) == 0)
      copiedFrames_ = savedCopiedFrames_;
    else
      LDebugLog("LPanelTake::Revert cannot bring back %s: the take stays cut", savedPath_.c_str());
    Keep();
    return;
  }
  // There was no take holding audio: nothing of this one is kept.
  unlink(workPath_.c_str());
  started_ = false;
  copiedFrames_ = 0;
}

LPanelTake::Outcome LPanelTake::Finish() {
  Keep();
  if (!started_) return kKept;
  bool holdsAudio = TakeHoldsAudio();
  started_ = false;
  if (!holdsAudio) {
    unlink(workPath_.c_str());
    return kKept;
  }
  if (file_.PutTakeInPlace(workPath_)) return kReplaced;
  LDebugLog("LPanelTake::Finish take kept at %s", workPath_.c_str());
  return kFailed;
}
