#pragma once
// A stretch of another source as a source of its own: frames [start, start +
// length) of the inner source, from position 0. Used to play a part of a
// recording (the compare view's regions) through the ordinary player.
#include "sound/processors.h"

class LSRCClip : public LSoundFilterBase {
 public:
  // The stretch is kept within the inner source.
  LSRCClip(const LSoundSourceRef& inner, int start, int length);
  void Read(int32_t* buffer, int frames) override;
  int GetPosition() override { return position_; }
  int GetLength() override { return length_; }
  void Seek(int position) override;

 private:
  int start_;
  int length_;
  int position_ = 0;
};
