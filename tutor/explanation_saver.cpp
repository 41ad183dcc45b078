#include "tutor/explanation_saver.h"

#include "lessons/rich_audio_file.h"

void ExplanationSaver::Filled(const std::string& recordPath) {
  owner_ = recordPath;
  pending_ = false;
}

bool ExplanationSaver::Changed() {
  pending_ = !owner_.empty();
  return pending_;
}

std::string ExplanationSaver::Save(const std::string& text, bool* failed) {
  if (failed) *failed = false;
  if (!pending_) return "";
  pending_ = false;
  if (LRichAudioFile::WriteExplanation(owner_, text)) return owner_;
  if (failed) *failed = true;
  return "";
}

void ExplanationSaver::Release() {
  owner_.clear();
  pending_ = false;
}
