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

std::string ExplanationSaver::Save(const std::string& text) {
  if (!pending_) return "";
  pending_ = false;
  LRichAudioFile::WriteExplanation(owner_, text);
  return owner_;
}

void ExplanationSaver::Release() {
  owner_.clear();
  pending_ = false;
}
