#include "tutor/explanation_saver.h"

#include "lessons/rich_audio_file.h"

void ExplanationSaver::Filled(const std::string& recordPath) {
  if (recordPath != unsaved_) unsaved_.clear();
  owner_ = recordPath;
  pending_ = false;
}

bool ExplanationSaver::Changed() {
  pending_ = !owner_.empty();
  return pending_;
}

std::string ExplanationSaver::Save(const std::string& text, bool* tell) {
  if (tell) *tell = false;
  if (!pending_) return "";
  pending_ = false;
  if (LRichAudioFile::WriteExplanation(owner_, text)) {
    unsaved_.clear();
    return owner_;
  }
  if (tell) *tell = unsaved_ != owner_;
  unsaved_ = owner_;
  return "";
}

void ExplanationSaver::Release() {
  owner_.clear();
  unsaved_.clear();
  pending_ = false;
}
