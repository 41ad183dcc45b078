#include "sound/clip_source.h"

#include <algorithm>
#include <cstring>

LSRCClip::LSRCClip(const LSoundSourceRef& inner, int start, int length) : LSoundFilterBase(inner) {
  const int total = std::max(0, inner->GetLength());
  start_ = std::clamp(start, 0, total);
  length_ = std::clamp(length, 0, total - start_);
  inner_->Seek(start_);
}

void LSRCClip::Read(int32_t* buffer, int frames) {
  if (frames <= 0) return;
  // Outside the stretch the inner source is not asked: its material beyond
  // the clip must never leak in.
  const int before = std::clamp(-position_, 0, frames);
  const int inside = std::clamp(length_ - std::max(position_, 0), 0, frames - before);
  const size_t channels = this->channels;
  std::memset(buffer, 0, sizeof(int32_t) * channels * size_t(before));
  if (inside > 0) {
    const int at = start_ + std::max(position_, 0);
    if (inner_->GetPosition() != at) inner_->Seek(at);  // decoders seek slowly: only when needed
    inner_->Read(buffer + channels * size_t(before), inside);
  }
  std::memset(buffer + channels * size_t(before + inside), 0,
              sizeof(int32_t) * channels * size_t(frames - before - inside));
  position_ += frames;
}

void LSRCClip::Seek(int position) { position_ = position; }
