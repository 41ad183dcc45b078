#pragma once
// LDBDisplay: one horizontal bar per channel on a fixed scale from -36 dB to
// +12 dB, green up to 0 dB and red above. It shows exactly the last level
// record: no peak hold, no decay.
#include <QBrush>
#include <QWidget>
#include <array>

#include "sound/level_record.h"

class LDBDisplay : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMinDB = -36;
  static constexpr int kMaxDB = 12;
  static constexpr int kMaxChannels = 8;

  explicit LDBDisplay(QWidget* parent = nullptr);

  // Repaints only what changed: the part of each band between its old and
  // new level, or the whole meter when the channel count changes.
  void SetLevels(const LLevelRecord& record);

  int ChannelCount() const { return channelCount_; }
  int Level(int channel) const { return levels_[size_t(channel)]; }
  // Pixel column of a level on this meter's scale.
  int ColumnOf(int db) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  int BandTop(int channel, int count) const;

  int channelCount_ = 0;
  std::array<int, kMaxChannels> levels_{};
  QBrush green_;
  QBrush red_;
};

// The meters' two shaded 9 x 32 bitmaps (vertical shading, lit from the top).
QImage LDBGreenBitmap();
QImage LDBRedBitmap();
